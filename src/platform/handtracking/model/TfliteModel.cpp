#include "TfliteModel.h"

#include "TfliteSubset_generated.h"

#include <flatbuffers/flatbuffers.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <numeric>

namespace vantor::handtracking {

namespace fb = vantor::handtracking::tflite;

namespace {

// Generous bounds far above what the hand models need; they keep every size
// computation below far from overflow.
constexpr std::size_t kMaxRank = 6;
constexpr std::int64_t kMaxDimension = 1 << 24;
constexpr std::size_t kMaxElements = std::size_t{1} << 28;
constexpr int kMaxWindow = 64;  // kernel sizes, strides, dilations
constexpr std::size_t kMaxFileBytes = std::size_t{256} << 20;

// TensorFlow Lite's numbers for the operators we run.
constexpr int kOpAdd = 0;
constexpr int kOpConcatenation = 2;
constexpr int kOpConv2D = 3;
constexpr int kOpDepthwiseConv2D = 4;
constexpr int kOpDequantize = 6;
constexpr int kOpFullyConnected = 9;
constexpr int kOpLogistic = 14;
constexpr int kOpMaxPool2D = 17;
constexpr int kOpReshape = 22;
constexpr int kOpResizeBilinear = 23;
constexpr int kOpPad = 34;
constexpr int kOpMean = 40;
constexpr int kOpPRelu = 54;
// Older files keep the code in a byte; this marks "look in the int field".
constexpr int kPlaceholderForGreaterOpCodes = 127;

std::optional<OperatorKind> operatorKind(int code) {
    switch (code) {
    case kOpAdd: return OperatorKind::Add;
    case kOpConcatenation: return OperatorKind::Concatenation;
    case kOpConv2D: return OperatorKind::Conv2D;
    case kOpDepthwiseConv2D: return OperatorKind::DepthwiseConv2D;
    case kOpDequantize: return OperatorKind::Dequantize;
    case kOpFullyConnected: return OperatorKind::FullyConnected;
    case kOpLogistic: return OperatorKind::Logistic;
    case kOpMaxPool2D: return OperatorKind::MaxPool2D;
    case kOpReshape: return OperatorKind::Reshape;
    case kOpResizeBilinear: return OperatorKind::ResizeBilinear;
    case kOpPad: return OperatorKind::Pad;
    case kOpMean: return OperatorKind::Mean;
    case kOpPRelu: return OperatorKind::PRelu;
    default: return std::nullopt;
    }
}

std::optional<ElementType> elementType(std::int8_t type) {
    switch (type) {
    case 0: return ElementType::Float32;
    case 1: return ElementType::Float16;
    case 2: return ElementType::Int32;
    default: return std::nullopt;
    }
}

std::optional<Activation> activation(std::int8_t value) {
    switch (value) {
    case 0: return Activation::None;
    case 1: return Activation::Relu;
    case 2: return Activation::ReluN1To1;
    case 3: return Activation::Relu6;
    default: return std::nullopt;
    }
}

std::optional<Padding> padding(std::int8_t value) {
    switch (value) {
    case 0: return Padding::Same;
    case 1: return Padding::Valid;
    default: return std::nullopt;
    }
}

bool windowOk(int value) { return value >= 1 && value <= kMaxWindow; }

template <typename T>
bool store(OperatorOptions& out, T value) {
    out = value;
    return true;
}

// Convolution options; both kinds of convolution share the fields we read.
template <typename Options>
bool readConvolution(const Options* o, int depthMultiplier, OperatorOptions& out) {
    const auto pad = padding(o->padding());
    const auto act = activation(o->fused_activation_function());
    if (!pad || !act) return false;
    const ConvOptions c{*pad, o->stride_w(), o->stride_h(), o->dilation_w_factor(), o->dilation_h_factor(),
                        depthMultiplier, *act};
    if (!windowOk(c.strideW) || !windowOk(c.strideH) || !windowOk(c.dilationW) || !windowOk(c.dilationH))
        return false;
    return store(out, c);
}

// The fused activation of an operator whose options hold nothing else we
// use; absent options mean no activation.
template <typename Options>
bool readActivation(const fb::Operator& op, const Options* o, OperatorOptions& out) {
    if (op.builtin_options_type() == fb::BuiltinOptions_NONE) return store(out, ActivationOptions{});
    if (!o) return false;
    const auto act = activation(o->fused_activation_function());
    return act && store(out, ActivationOptions{*act});
}

// Reads one operator's options; false when they are missing, of the wrong
// kind or out of range.
bool readOptions(OperatorKind kind, const fb::Operator& op, OperatorOptions& out) {
    const auto type = op.builtin_options_type();
    const bool none = type == fb::BuiltinOptions_NONE;
    switch (kind) {
    case OperatorKind::Conv2D: {
        const auto* o = op.builtin_options_as_Conv2DOptions();
        return o && readConvolution(o, 1, out);
    }
    case OperatorKind::DepthwiseConv2D: {
        const auto* o = op.builtin_options_as_DepthwiseConv2DOptions();
        return o && readConvolution(o, o->depth_multiplier(), out);
    }
    case OperatorKind::MaxPool2D: {
        const auto* o = op.builtin_options_as_Pool2DOptions();
        if (!o) return false;
        const auto pad = padding(o->padding());
        const auto act = activation(o->fused_activation_function());
        if (!pad || !act) return false;
        const PoolOptions p{*pad, o->stride_w(), o->stride_h(), o->filter_width(), o->filter_height(), *act};
        if (!windowOk(p.strideW) || !windowOk(p.strideH) || !windowOk(p.filterW) || !windowOk(p.filterH))
            return false;
        return store(out, p);
    }
    case OperatorKind::Add:
        return readActivation(op, op.builtin_options_as_AddOptions(), out);
    case OperatorKind::FullyConnected: {
        const auto* o = op.builtin_options_as_FullyConnectedOptions();
        if (o && o->weights_format() != 0) return false; // only plain float weights
        return readActivation(op, o, out);
    }
    case OperatorKind::Concatenation: {
        const auto* o = op.builtin_options_as_ConcatenationOptions();
        if (!o) return false;
        const auto act = activation(o->fused_activation_function());
        return act && store(out, ConcatenationOptions{o->axis(), *act});
    }
    case OperatorKind::ResizeBilinear: {
        if (none) return store(out, ResizeOptions{});
        const auto* o = op.builtin_options_as_ResizeBilinearOptions();
        return o && store(out, ResizeOptions{o->align_corners(), o->half_pixel_centers()});
    }
    case OperatorKind::Mean: {
        if (none) return store(out, ReducerOptions{});
        const auto* o = op.builtin_options_as_ReducerOptions();
        return o && store(out, ReducerOptions{o->keep_dims()});
    }
    case OperatorKind::Reshape:
        return (none || type == fb::BuiltinOptions_ReshapeOptions) && store(out, std::monostate{});
    case OperatorKind::Pad:
        return (none || type == fb::BuiltinOptions_PadOptions) && store(out, std::monostate{});
    case OperatorKind::Dequantize:
        return (none || type == fb::BuiltinOptions_DequantizeOptions) && store(out, std::monostate{});
    case OperatorKind::Logistic:
    case OperatorKind::PRelu:
        return none && store(out, std::monostate{});
    }
    return false;
}

// Copies a list of tensor indices, each within [min, tensorCount).
bool readIndices(const flatbuffers::Vector<std::int32_t>* list, std::size_t tensorCount, int min,
                 std::vector<int>& out) {
    out.clear();
    if (!list) return true;
    for (const std::int32_t index : *list) {
        if (index < min || (index >= 0 && static_cast<std::size_t>(index) >= tensorCount)) return false;
        out.push_back(index);
    }
    return true;
}

using Buffers = flatbuffers::Vector<flatbuffers::Offset<fb::Buffer>>;
using OperatorCodes = flatbuffers::Vector<flatbuffers::Offset<fb::OperatorCode>>;

// The file's size and identifier, then the flatbuffers Verifier: past this
// every table and vector of the file can be read without leaving its bytes.
const fb::Model* verifiedModel(const std::vector<std::uint8_t>& data, std::string& error) {
    if (data.size() < 8 || data.size() > kMaxFileBytes) {
        error = "not a TensorFlow Lite model (size)";
        return nullptr;
    }
    if (!flatbuffers::BufferHasIdentifier(data.data(), fb::ModelIdentifier())) {
        error = "not a TensorFlow Lite model (identifier)";
        return nullptr;
    }
    flatbuffers::Verifier verifier(data.data(), data.size());
    if (!fb::VerifyModelBuffer(verifier)) {
        error = "corrupt TensorFlow Lite model (verification failed)";
        return nullptr;
    }
    return fb::GetModel(data.data());
}

// The model's one subgraph, once every table read below is known present.
const fb::SubGraph* onlySubgraph(const fb::Model& root, std::string& error) {
    if (!root.subgraphs() || root.subgraphs()->size() != 1) {
        error = "model must have exactly one subgraph";
        return nullptr;
    }
    const fb::SubGraph* graph = root.subgraphs()->Get(0);
    if (!graph->tensors() || !graph->operators() || !root.buffers() || !root.operator_codes()) {
        error = "model lacks tensors, operators, buffers or operator codes";
        return nullptr;
    }
    return graph;
}

// A tensor's dimensions, each and their running product within bounds, so
// that no size computed from them can overflow.
bool readShape(const fb::Tensor& tensor, const std::string& where, std::vector<std::size_t>& shape,
               std::string& error) {
    if (!tensor.shape()) return true;
    if (tensor.shape()->size() > kMaxRank) {
        error = where + " has too many dimensions";
        return false;
    }
    std::size_t count = 1;
    for (const std::int32_t d : *tensor.shape()) {
        if (d < 1 || d > kMaxDimension) {
            error = where + " has a bad dimension " + std::to_string(d);
            return false;
        }
        count *= static_cast<std::size_t>(d);
        if (count > kMaxElements) {
            error = where + " is too large";
            return false;
        }
        shape.push_back(static_cast<std::size_t>(d));
    }
    return true;
}

// A constant's bytes: a buffer inside the file holding exactly the tensor's
// elements. A tensor without data is an activation.
bool readData(const fb::Tensor& tensor, const Buffers& buffers, const std::string& where, TensorDesc& desc,
              std::string& error) {
    if (tensor.buffer() >= buffers.size()) {
        error = where + " names a buffer out of range";
        return false;
    }
    const fb::Buffer* buffer = buffers.Get(tensor.buffer());
    if (buffer->offset() != 0 || buffer->size() != 0) {
        error = where + " uses an external buffer";
        return false;
    }
    if (!buffer->data() || buffer->data()->size() == 0) return true;
    const std::size_t expected = elementCount(desc.shape) * elementSize(desc.type);
    if (buffer->data()->size() != expected) {
        error = where + " has " + std::to_string(buffer->data()->size()) + " bytes of data, expected " +
                std::to_string(expected);
        return false;
    }
    desc.data = std::span<const std::uint8_t>(buffer->data()->data(), buffer->data()->size());
    return true;
}

std::optional<TensorDesc> readTensor(const fb::Tensor& tensor, std::size_t index, const Buffers& buffers,
                                     std::string& error) {
    TensorDesc desc;
    const std::string where = "tensor " + std::to_string(index);
    if (tensor.name()) desc.name = tensor.name()->str();
    const auto type = elementType(tensor.type());
    if (!type) {
        error = where + " has an unsupported element type " + std::to_string(tensor.type());
        return std::nullopt;
    }
    desc.type = *type;
    if (!readShape(tensor, where, desc.shape, error)) return std::nullopt;
    if (tensor.is_variable()) {
        error = where + " is a variable tensor";
        return std::nullopt;
    }
    if (!readData(tensor, buffers, where, desc, error)) return std::nullopt;
    return desc;
}

bool readTensors(const fb::SubGraph& graph, const Buffers& buffers, std::vector<TensorDesc>& out,
                 std::string& error) {
    const std::size_t count = graph.tensors()->size();
    out.reserve(count);
    for (std::size_t t = 0; t < count; ++t) {
        auto desc = readTensor(*graph.tensors()->Get(static_cast<flatbuffers::uoffset_t>(t)), t, buffers, error);
        if (!desc) return false;
        out.push_back(std::move(*desc));
    }
    return true;
}

// The operator an entry of the code table names: its byte, unless that holds
// the marker or a smaller number than its int.
int builtinCode(const fb::OperatorCode& code) {
    const int inByte = code.deprecated_builtin_code();
    return inByte == kPlaceholderForGreaterOpCodes || code.builtin_code() > inByte ? code.builtin_code() : inByte;
}

std::optional<OperatorDesc> readOperator(const fb::Operator& op, std::size_t index, const OperatorCodes& codes,
                                         std::size_t tensorCount, std::string& error) {
    const std::string where = "operator " + std::to_string(index);
    if (op.opcode_index() >= codes.size()) {
        error = where + " names an operator code out of range";
        return std::nullopt;
    }
    const int builtin = builtinCode(*codes.Get(op.opcode_index()));
    const auto kind = operatorKind(builtin);
    if (!kind) {
        error = where + " is an unsupported operator (code " + std::to_string(builtin) + ")";
        return std::nullopt;
    }
    OperatorDesc desc;
    desc.kind = *kind;
    if (!readIndices(op.inputs(), tensorCount, -1, desc.inputs) ||
        !readIndices(op.outputs(), tensorCount, 0, desc.outputs)) {
        error = where + " (" + operatorName(*kind) + ") names a tensor out of range";
        return std::nullopt;
    }
    if (!readOptions(*kind, op, desc.options)) {
        error = where + " (" + operatorName(*kind) + ") has missing or unsupported options";
        return std::nullopt;
    }
    return desc;
}

bool readOperators(const fb::SubGraph& graph, const OperatorCodes& codes, std::vector<OperatorDesc>& out,
                   std::string& error) {
    const std::size_t count = graph.operators()->size();
    const std::size_t tensorCount = graph.tensors()->size();
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const fb::Operator& op = *graph.operators()->Get(static_cast<flatbuffers::uoffset_t>(i));
        auto desc = readOperator(op, i, codes, tensorCount, error);
        if (!desc) return false;
        out.push_back(std::move(*desc));
    }
    return true;
}

} // namespace

std::size_t elementSize(ElementType type) {
    switch (type) {
    case ElementType::Float32: return 4;
    case ElementType::Float16: return 2;
    case ElementType::Int32: return 4;
    }
    return 4;
}

std::size_t elementCount(std::span<const std::size_t> shape) {
    return std::accumulate(shape.begin(), shape.end(), std::size_t{1}, std::multiplies<>());
}

const char* operatorName(OperatorKind kind) {
    switch (kind) {
    case OperatorKind::Add: return "ADD";
    case OperatorKind::Concatenation: return "CONCATENATION";
    case OperatorKind::Conv2D: return "CONV_2D";
    case OperatorKind::DepthwiseConv2D: return "DEPTHWISE_CONV_2D";
    case OperatorKind::Dequantize: return "DEQUANTIZE";
    case OperatorKind::FullyConnected: return "FULLY_CONNECTED";
    case OperatorKind::Logistic: return "LOGISTIC";
    case OperatorKind::MaxPool2D: return "MAX_POOL_2D";
    case OperatorKind::Mean: return "MEAN";
    case OperatorKind::Pad: return "PAD";
    case OperatorKind::PRelu: return "PRELU";
    case OperatorKind::Reshape: return "RESHAPE";
    case OperatorKind::ResizeBilinear: return "RESIZE_BILINEAR";
    }
    return "?";
}

std::optional<TfliteModel> TfliteModel::fromFile(const std::string& path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open " + path;
        return std::nullopt;
    }
    file.seekg(0, std::ios::end);
    const auto size = file.tellg();
    if (size < 0 || static_cast<std::uint64_t>(size) > kMaxFileBytes) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    file.seekg(0, std::ios::beg);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (!file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    auto model = fromBytes(std::move(bytes), error);
    if (!model) error = path + ": " + error;
    return model;
}

std::optional<TfliteModel> TfliteModel::fromBytes(std::vector<std::uint8_t> bytes, std::string& error) {
    TfliteModel model;
    model.bytes_ = std::make_unique<std::vector<std::uint8_t>>(std::move(bytes));
    const fb::Model* root = verifiedModel(*model.bytes_, error);
    if (!root) return std::nullopt;
    const fb::SubGraph* graph = onlySubgraph(*root, error);
    if (!graph) return std::nullopt;
    if (!readTensors(*graph, *root->buffers(), model.tensors_, error) ||
        !readOperators(*graph, *root->operator_codes(), model.operators_, error))
        return std::nullopt;
    const std::size_t tensorCount = graph->tensors()->size();
    if (!readIndices(graph->inputs(), tensorCount, 0, model.inputs_) ||
        !readIndices(graph->outputs(), tensorCount, 0, model.outputs_) || model.inputs_.empty() ||
        model.outputs_.empty()) {
        error = "model inputs or outputs missing or out of range";
        return std::nullopt;
    }
    return model;
}

} // namespace vantor::handtracking
