#include "TfliteModel.h"

#include "TfliteSubset_generated.h"

#include <flatbuffers/flatbuffers.h>

#include <fstream>
#include <iterator>
#include <limits>

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

} // namespace

std::size_t elementSize(ElementType type) {
    switch (type) {
    case ElementType::Float32: return 4;
    case ElementType::Float16: return 2;
    case ElementType::Int32: return 4;
    }
    return 4;
}

std::size_t TensorDesc::elementCount() const {
    std::size_t count = 1;
    for (const std::size_t d : shape) count *= d;
    return count;
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
    const std::vector<std::uint8_t>& data = *model.bytes_;

    if (data.size() < 8 || data.size() > kMaxFileBytes) {
        error = "not a TensorFlow Lite model (size)";
        return std::nullopt;
    }
    if (!flatbuffers::BufferHasIdentifier(data.data(), fb::ModelIdentifier())) {
        error = "not a TensorFlow Lite model (identifier)";
        return std::nullopt;
    }
    flatbuffers::Verifier verifier(data.data(), data.size());
    if (!fb::VerifyModelBuffer(verifier)) {
        error = "corrupt TensorFlow Lite model (verification failed)";
        return std::nullopt;
    }

    const fb::Model* root = fb::GetModel(data.data());
    if (!root->subgraphs() || root->subgraphs()->size() != 1) {
        error = "model must have exactly one subgraph";
        return std::nullopt;
    }
    const fb::SubGraph* graph = root->subgraphs()->Get(0);
    const auto* buffers = root->buffers();
    const auto* codes = root->operator_codes();
    if (!graph->tensors() || !graph->operators() || !buffers || !codes) {
        error = "model lacks tensors, operators, buffers or operator codes";
        return std::nullopt;
    }

    const std::size_t tensorCount = graph->tensors()->size();
    model.tensors_.reserve(tensorCount);
    for (std::size_t t = 0; t < tensorCount; ++t) {
        const fb::Tensor* tensor = graph->tensors()->Get(static_cast<flatbuffers::uoffset_t>(t));
        TensorDesc desc;
        const std::string where = "tensor " + std::to_string(t);
        if (tensor->name()) desc.name = tensor->name()->str();
        const auto type = elementType(tensor->type());
        if (!type) {
            error = where + " has an unsupported element type " + std::to_string(tensor->type());
            return std::nullopt;
        }
        desc.type = *type;
        if (tensor->shape()) {
            if (tensor->shape()->size() > kMaxRank) {
                error = where + " has too many dimensions";
                return std::nullopt;
            }
            std::size_t count = 1;
            for (const std::int32_t d : *tensor->shape()) {
                if (d < 1 || d > kMaxDimension) {
                    error = where + " has a bad dimension " + std::to_string(d);
                    return std::nullopt;
                }
                count *= static_cast<std::size_t>(d);
                if (count > kMaxElements) {
                    error = where + " is too large";
                    return std::nullopt;
                }
                desc.shape.push_back(static_cast<std::size_t>(d));
            }
        }
        if (tensor->is_variable()) {
            error = where + " is a variable tensor";
            return std::nullopt;
        }
        if (tensor->buffer() >= buffers->size()) {
            error = where + " names a buffer out of range";
            return std::nullopt;
        }
        const fb::Buffer* buffer = buffers->Get(tensor->buffer());
        if (buffer->offset() != 0 || buffer->size() != 0) {
            error = where + " uses an external buffer";
            return std::nullopt;
        }
        if (buffer->data() && buffer->data()->size() > 0) {
            const std::size_t expected = desc.elementCount() * elementSize(desc.type);
            if (buffer->data()->size() != expected) {
                error = where + " has " + std::to_string(buffer->data()->size()) + " bytes of data, expected " +
                        std::to_string(expected);
                return std::nullopt;
            }
            desc.data = std::span<const std::uint8_t>(buffer->data()->data(), buffer->data()->size());
        }
        model.tensors_.push_back(std::move(desc));
    }

    const std::size_t opCount = graph->operators()->size();
    model.operators_.reserve(opCount);
    for (std::size_t i = 0; i < opCount; ++i) {
        const fb::Operator* op = graph->operators()->Get(static_cast<flatbuffers::uoffset_t>(i));
        const std::string where = "operator " + std::to_string(i);
        if (op->opcode_index() >= codes->size()) {
            error = where + " names an operator code out of range";
            return std::nullopt;
        }
        const fb::OperatorCode* code = codes->Get(op->opcode_index());
        int builtin = code->deprecated_builtin_code();
        if (builtin == kPlaceholderForGreaterOpCodes || code->builtin_code() > builtin) builtin = code->builtin_code();
        const auto kind = operatorKind(builtin);
        if (!kind) {
            error = where + " is an unsupported operator (code " + std::to_string(builtin) + ")";
            return std::nullopt;
        }
        OperatorDesc desc;
        desc.kind = *kind;
        if (!readIndices(op->inputs(), tensorCount, -1, desc.inputs) ||
            !readIndices(op->outputs(), tensorCount, 0, desc.outputs)) {
            error = where + " (" + operatorName(*kind) + ") names a tensor out of range";
            return std::nullopt;
        }
        if (!readOptions(*kind, *op, desc.options)) {
            error = where + " (" + operatorName(*kind) + ") has missing or unsupported options";
            return std::nullopt;
        }
        model.operators_.push_back(std::move(desc));
    }

    if (!readIndices(graph->inputs(), tensorCount, 0, model.inputs_) ||
        !readIndices(graph->outputs(), tensorCount, 0, model.outputs_) || model.inputs_.empty() ||
        model.outputs_.empty()) {
        error = "model inputs or outputs missing or out of range";
        return std::nullopt;
    }
    return model;
}

} // namespace vantor::handtracking
