#include "NetworkPlan.h"

#include "Half.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace vantor::handtracking {

namespace {

constexpr std::int32_t kMaxPadding = 1 << 16;
constexpr std::int32_t kMaxResizeSide = 4096;
// All activations together; the hand models need 5 to 12 million floats.
// A file asking for more than this is refused rather than allowed to take
// gigabytes of memory.
constexpr std::size_t kMaxActivationElements = std::size_t{1} << 26;

std::string shapeText(const std::vector<std::size_t>& dims) {
    std::string text = "[";
    for (std::size_t i = 0; i < dims.size(); ++i) text += (i ? "," : "") + std::to_string(dims[i]);
    return text + "]";
}

void activationRange(Activation activation, float& min, float& max) {
    constexpr float inf = std::numeric_limits<float>::infinity();
    switch (activation) {
    case Activation::None: min = -inf; max = inf; return;
    case Activation::Relu: min = 0.0f; max = inf; return;
    case Activation::ReluN1To1: min = -1.0f; max = 1.0f; return;
    case Activation::Relu6: min = 0.0f; max = 6.0f; return;
    }
}

// One spatial axis of a window operation in TensorFlow's convention.
// Returns false when the window does not fit.
bool windowAxis(std::size_t in, std::uint32_t kernel, std::uint32_t stride, std::uint32_t dilation,
                Padding padding, std::size_t& out, std::uint32_t& before, std::uint32_t& after) {
    const std::size_t effective = (static_cast<std::size_t>(kernel) - 1) * dilation + 1;
    if (padding == Padding::Same) {
        out = (in + stride - 1) / stride;
        const std::size_t needed = (out - 1) * stride + effective;
        const std::size_t total = needed > in ? needed - in : 0;
        before = static_cast<std::uint32_t>(total / 2);
        after = static_cast<std::uint32_t>(total - total / 2);
        return true;
    }
    if (in < effective) return false;
    out = (in - effective) / stride + 1;
    before = after = 0;
    return true;
}

} // namespace

// Walks the model's operators in file order (TensorFlow Lite stores them in
// execution order) and records a layer for each, refusing anything it cannot
// prove consistent.
class PlanBuilder {
public:
    PlanBuilder(const TfliteModel& model, std::string& error) : model_(model), error_(error) {}

    std::optional<NetworkPlan> build() {
        const auto& tensors = model_.tensors();
        plan_.tensors_.resize(tensors.size());
        state_.assign(tensors.size(), State::Unset);
        for (std::size_t t = 0; t < tensors.size(); ++t) {
            if (tensors[t].isConstant()) state_[t] = State::FileConstant;
        }
        if (model_.inputs().size() != 1) return fail("model must have exactly one input");
        const int input = model_.inputs()[0];
        const TensorDesc& in = tensors[static_cast<std::size_t>(input)];
        if (in.isConstant() || in.type != ElementType::Float32 || in.shape.size() != 4 || in.shape[0] != 1)
            return fail("model input must be a float32 [1,H,W,C] image");
        plan_.input_ = input;
        activationElements_ = elementCount(in.shape);
        plan_.tensors_[static_cast<std::size_t>(input)].dims = in.shape;
        state_[static_cast<std::size_t>(input)] = State::Activation;

        const auto& ops = model_.operators();
        for (std::size_t i = 0; i < ops.size(); ++i) {
            where_ = "operator " + std::to_string(i) + " (" + operatorName(ops[i].kind) + ")";
            if (!addOperator(i, ops[i])) return std::nullopt;
        }
        if (!addOutputs()) return std::nullopt;
        return std::move(plan_);
    }

private:
    enum class State { Unset, FileConstant, Constant, Activation, Joined };

    std::nullopt_t fail(const std::string& message) {
        error_ = message;
        return std::nullopt;
    }
    bool refuse(const std::string& message) {
        error_ = where_ + ": " + message;
        return false;
    }

    const TensorDesc& desc(int t) const { return model_.tensors()[static_cast<std::size_t>(t)]; }
    std::vector<std::size_t>& dims(int t) { return plan_.tensors_[static_cast<std::size_t>(t)].dims; }
    State state(int t) const { return state_[static_cast<std::size_t>(t)]; }

    bool expectCounts(const OperatorDesc& op, std::size_t minInputs, std::size_t maxInputs, std::size_t outputs) {
        if (op.inputs.size() < minInputs || op.inputs.size() > maxInputs || op.outputs.size() != outputs)
            return refuse("unexpected number of inputs or outputs");
        for (std::size_t k = 0; k < minInputs; ++k) {
            if (op.inputs[k] < 0) return refuse("a required input is missing");
        }
        return true;
    }

    // An activation input: produced earlier (or the model input), float32.
    bool activationInput(int t) {
        if (t < 0 || state(t) != State::Activation) return refuse("an input is not computed before use");
        return true;
    }

    // A float32 constant: from the file or from an earlier DEQUANTIZE.
    const float* floatConstant(int t) {
        if (t < 0) return nullptr;
        auto& tensor = plan_.tensors_[static_cast<std::size_t>(t)];
        if (state(t) == State::Constant) return tensor.constant;
        if (state(t) != State::FileConstant || desc(t).type != ElementType::Float32) return nullptr;
        const TensorDesc& d = desc(t);
        auto block = std::make_unique<std::vector<float>>(elementCount(d.shape));
        std::memcpy(block->data(), d.data.data(), d.data.size());
        tensor.dims = d.shape;
        tensor.constant = block->data();
        plan_.storage_.push_back(std::move(block));
        state_[static_cast<std::size_t>(t)] = State::Constant;
        return tensor.constant;
    }

    std::optional<std::vector<std::int32_t>> intConstant(int t) {
        if (t < 0 || state(t) != State::FileConstant || desc(t).type != ElementType::Int32) return std::nullopt;
        std::vector<std::int32_t> values(elementCount(desc(t).shape));
        std::memcpy(values.data(), desc(t).data.data(), desc(t).data.size());
        return values;
    }

    const float* addStorage(std::vector<float> values) {
        plan_.storage_.push_back(std::make_unique<std::vector<float>>(std::move(values)));
        return plan_.storage_.back()->data();
    }

    // The operator's output: a fresh float32 tensor whose declared shape must
    // equal `expected` (or hold as many elements when `countOnly`); the plan
    // then knows it by `planDims`.
    bool defineOutput(int t, const std::vector<std::size_t>& expected, bool countOnly = false,
                      std::vector<std::size_t> planDims = {}) {
        if (state(t) != State::Unset) return refuse("output tensor is written twice or is a constant");
        if (desc(t).type != ElementType::Float32) return refuse("output is not float32");
        const bool same =
            countOnly ? elementCount(desc(t).shape) == elementCount(expected) : desc(t).shape == expected;
        if (!same)
            return refuse("output shape " + shapeText(desc(t).shape) + " does not match " + shapeText(expected));
        activationElements_ += elementCount(expected);
        if (activationElements_ > kMaxActivationElements) return refuse("network too large");
        dims(t) = planDims.empty() ? expected : std::move(planDims);
        state_[static_cast<std::size_t>(t)] = State::Activation;
        return true;
    }

    bool addOperator(std::size_t index, const OperatorDesc& op) {
        switch (op.kind) {
        case OperatorKind::Dequantize: return addDequantize(op);
        case OperatorKind::Conv2D: return addConvolution(op, false);
        case OperatorKind::DepthwiseConv2D: return addConvolution(op, true);
        case OperatorKind::FullyConnected: return addFullyConnected(op);
        case OperatorKind::MaxPool2D: return addMaxPool(op);
        case OperatorKind::Mean: return addMean(op);
        case OperatorKind::Add: return addAdd(op);
        case OperatorKind::Logistic: return addLogistic(op);
        case OperatorKind::PRelu: return addPRelu(op);
        case OperatorKind::Pad: return addPad(op);
        case OperatorKind::Reshape: return addReshape(op);
        case OperatorKind::ResizeBilinear: return addResize(op);
        case OperatorKind::Concatenation: return addConcatenation(index, op);
        }
        return refuse("unsupported operator");
    }

    bool addDequantize(const OperatorDesc& op) {
        if (!expectCounts(op, 1, 1, 1)) return false;
        const int in = op.inputs[0];
        const int out = op.outputs[0];
        if (state(in) != State::FileConstant || desc(in).type != ElementType::Float16)
            return refuse("only float16 constants can be dequantized");
        if (state(out) != State::Unset || desc(out).type != ElementType::Float32 || desc(out).shape != desc(in).shape)
            return refuse("output does not match the float16 constant");
        std::vector<float> values(elementCount(desc(in).shape));
        const std::uint8_t* bytes = desc(in).data.data();
        for (std::size_t k = 0; k < values.size(); ++k) {
            std::uint16_t half;
            std::memcpy(&half, bytes + 2 * k, sizeof half);
            values[k] = halfToFloat(half);
        }
        auto& tensor = plan_.tensors_[static_cast<std::size_t>(out)];
        tensor.dims = desc(out).shape;
        tensor.constant = addStorage(std::move(values));
        state_[static_cast<std::size_t>(out)] = State::Constant;
        return true;
    }

    // The bias of a convolution or fully connected layer: given, or zeros.
    int biasTensor(const OperatorDesc& op, std::size_t channels) {
        if (op.inputs.size() > 2 && op.inputs[2] >= 0) {
            const int bias = op.inputs[2];
            if (!floatConstant(bias) || dims(bias) != std::vector<std::size_t>{channels}) {
                refuse("bias must be a float constant of [" + std::to_string(channels) + "]");
                return -2;
            }
            return bias;
        }
        // No bias in the file: an extra plan tensor of zeros.
        PlanTensor zeros;
        zeros.dims = {channels};
        zeros.constant = addStorage(std::vector<float>(channels, 0.0f));
        plan_.tensors_.push_back(std::move(zeros));
        state_.push_back(State::Constant);
        return static_cast<int>(plan_.tensors_.size() - 1);
    }

    bool addConvolution(const OperatorDesc& op, bool depthwise) {
        if (!expectCounts(op, 2, 3, 1)) return false;
        const int in = op.inputs[0];
        const int filter = op.inputs[1];
        if (!activationInput(in)) return false;
        // Copies: adding a zero bias below grows the tensor list.
        const auto x = dims(in);
        if (x.size() != 4) return refuse("input is not 4-dimensional");
        if (!floatConstant(filter) || dims(filter).size() != 4) return refuse("filter must be a 4-D float constant");
        const auto f = dims(filter);
        const auto& options = std::get<ConvOptions>(op.options);
        Layer layer;
        layer.kind = depthwise ? LayerKind::DepthwiseConv2D : LayerKind::Conv2D;
        layer.kernelH = static_cast<std::uint32_t>(f[1]);
        layer.kernelW = static_cast<std::uint32_t>(f[2]);
        layer.inputChannels = x[3];
        if (depthwise) {
            if (f[0] != 1 || f[3] % x[3] != 0) return refuse("filter " + shapeText(f) + " does not fit the input");
            layer.outputChannels = f[3];
            layer.depthMultiplier = static_cast<std::uint32_t>(f[3] / x[3]);
        } else {
            if (f[3] != x[3]) return refuse("filter " + shapeText(f) + " does not fit the input");
            layer.outputChannels = f[0];
        }
        if (layer.kernelH > 64 || layer.kernelW > 64) return refuse("kernel too large");
        layer.strideH = static_cast<std::uint32_t>(options.strideH);
        layer.strideW = static_cast<std::uint32_t>(options.strideW);
        layer.dilationH = static_cast<std::uint32_t>(options.dilationH);
        layer.dilationW = static_cast<std::uint32_t>(options.dilationW);
        std::size_t outH = 0, outW = 0;
        if (!windowAxis(x[1], layer.kernelH, layer.strideH, layer.dilationH, options.padding, outH, layer.padTop,
                        layer.padBottom) ||
            !windowAxis(x[2], layer.kernelW, layer.strideW, layer.dilationW, options.padding, outW, layer.padLeft,
                        layer.padRight))
            return refuse("window larger than the input");
        activationRange(options.activation, layer.outputMin, layer.outputMax);
        const int bias = biasTensor(op, layer.outputChannels);
        if (bias == -2) return false;
        layer.inputs = {in, filter, bias};
        layer.output = op.outputs[0];
        if (!defineOutput(layer.output, {x[0], outH, outW, layer.outputChannels})) return false;
        plan_.layers_.push_back(std::move(layer));
        return true;
    }

    bool addFullyConnected(const OperatorDesc& op) {
        if (!expectCounts(op, 2, 3, 1)) return false;
        const int in = op.inputs[0];
        const int weights = op.inputs[1];
        if (!activationInput(in)) return false;
        if (!floatConstant(weights) || dims(weights).size() != 2)
            return refuse("weights must be a 2-D float constant");
        Layer layer;
        layer.kind = LayerKind::FullyConnected;
        layer.outputChannels = dims(weights)[0];
        layer.inputChannels = dims(weights)[1];
        const std::size_t elements = elementCount(dims(in));
        if (elements % layer.inputChannels != 0) return refuse("input does not fit the weights");
        const auto& options = std::get<ActivationOptions>(op.options);
        activationRange(options.activation, layer.outputMin, layer.outputMax);
        const int bias = biasTensor(op, layer.outputChannels);
        if (bias == -2) return false;
        layer.inputs = {in, weights, bias};
        layer.output = op.outputs[0];
        const std::vector<std::size_t> out{elements / layer.inputChannels, layer.outputChannels};
        if (!defineOutput(layer.output, out, true, out)) return false;
        plan_.layers_.push_back(std::move(layer));
        return true;
    }

    bool addMaxPool(const OperatorDesc& op) {
        if (!expectCounts(op, 1, 1, 1)) return false;
        const int in = op.inputs[0];
        if (!activationInput(in)) return false;
        const auto& x = dims(in);
        if (x.size() != 4) return refuse("input is not 4-dimensional");
        const auto& options = std::get<PoolOptions>(op.options);
        Layer layer;
        layer.kind = LayerKind::MaxPool2D;
        layer.kernelH = static_cast<std::uint32_t>(options.filterH);
        layer.kernelW = static_cast<std::uint32_t>(options.filterW);
        layer.strideH = static_cast<std::uint32_t>(options.strideH);
        layer.strideW = static_cast<std::uint32_t>(options.strideW);
        if (layer.kernelH * layer.kernelW < 2) return refuse("a 1x1 pooling window");
        std::size_t outH = 0, outW = 0;
        if (!windowAxis(x[1], layer.kernelH, layer.strideH, 1, options.padding, outH, layer.padTop, layer.padBottom) ||
            !windowAxis(x[2], layer.kernelW, layer.strideW, 1, options.padding, outW, layer.padLeft, layer.padRight))
            return refuse("window larger than the input");
        activationRange(options.activation, layer.outputMin, layer.outputMax);
        layer.inputs = {in, -1, -1};
        layer.output = op.outputs[0];
        if (!defineOutput(layer.output, {x[0], outH, outW, x[3]})) return false;
        plan_.layers_.push_back(std::move(layer));
        return true;
    }

    bool addMean(const OperatorDesc& op) {
        if (!expectCounts(op, 2, 2, 1)) return false;
        const int in = op.inputs[0];
        if (!activationInput(in)) return false;
        const auto& x = dims(in);
        auto axes = intConstant(op.inputs[1]);
        if (!axes) return refuse("axes must be an int32 constant");
        std::sort(axes->begin(), axes->end());
        if (x.size() != 4 || *axes != std::vector<std::int32_t>{1, 2})
            return refuse("only the mean over height and width of a 4-D tensor is supported");
        Layer layer;
        layer.kind = LayerKind::GlobalAveragePool;
        activationRange(Activation::None, layer.outputMin, layer.outputMax);
        layer.inputs = {in, -1, -1};
        layer.output = op.outputs[0];
        const std::vector<std::size_t> out{x[0], 1, 1, x[3]};
        if (!defineOutput(layer.output, out, true, out)) return false;
        plan_.layers_.push_back(std::move(layer));
        return true;
    }

    bool addAdd(const OperatorDesc& op) {
        if (!expectCounts(op, 2, 2, 1)) return false;
        const int a = op.inputs[0];
        const int b = op.inputs[1];
        for (const int t : {a, b}) {
            if (state(t) != State::Activation && !floatConstant(t))
                return refuse("an input is not computed before use");
        }
        // Broadcasting as numpy does, aligned from the last dimension.
        const auto& da = dims(a);
        const auto& db = dims(b);
        const std::size_t rank = std::max(da.size(), db.size());
        std::vector<std::size_t> out(rank, 1);
        for (std::size_t k = 0; k < rank; ++k) {
            const std::size_t ea = k < rank - da.size() ? 1 : da[k - (rank - da.size())];
            const std::size_t eb = k < rank - db.size() ? 1 : db[k - (rank - db.size())];
            if (ea != eb && ea != 1 && eb != 1) return refuse("inputs cannot be broadcast together");
            out[k] = std::max(ea, eb);
        }
        Layer layer;
        layer.kind = LayerKind::Add;
        activationRange(std::get<ActivationOptions>(op.options).activation, layer.outputMin, layer.outputMax);
        layer.inputs = {a, b, -1};
        layer.output = op.outputs[0];
        if (!defineOutput(layer.output, out)) return false;
        plan_.layers_.push_back(std::move(layer));
        return true;
    }

    bool addLogistic(const OperatorDesc& op) {
        if (!expectCounts(op, 1, 1, 1)) return false;
        const int in = op.inputs[0];
        if (!activationInput(in)) return false;
        Layer layer;
        layer.kind = LayerKind::Sigmoid;
        layer.inputs = {in, -1, -1};
        layer.output = op.outputs[0];
        const auto out = dims(in);
        if (!defineOutput(layer.output, out, true, out)) return false;
        plan_.layers_.push_back(std::move(layer));
        return true;
    }

    bool addPRelu(const OperatorDesc& op) {
        if (!expectCounts(op, 2, 2, 1)) return false;
        const int in = op.inputs[0];
        if (!activationInput(in)) return false;
        const auto x = dims(in);
        if (x.size() != 4) return refuse("input is not 4-dimensional");
        const float* alpha = floatConstant(op.inputs[1]);
        if (!alpha) return refuse("slopes must be a float constant");
        const auto& slope = dims(op.inputs[1]);
        if (slope.empty() || slope.back() != x[3] || elementCount(slope) != x[3])
            return refuse("only one slope per channel is supported");
        // The engine wants the slopes as a 1-D tensor of their own.
        PlanTensor slopes;
        slopes.dims = {x[3]};
        slopes.constant = addStorage(std::vector<float>(alpha, alpha + x[3]));
        plan_.tensors_.push_back(std::move(slopes));
        state_.push_back(State::Constant);
        Layer layer;
        layer.kind = LayerKind::PRelu;
        layer.inputs = {in, static_cast<int>(plan_.tensors_.size() - 1), -1};
        layer.output = op.outputs[0];
        if (!defineOutput(layer.output, x)) return false;
        plan_.layers_.push_back(std::move(layer));
        return true;
    }

    bool addPad(const OperatorDesc& op) {
        if (!expectCounts(op, 2, 2, 1)) return false;
        const int in = op.inputs[0];
        if (!activationInput(in)) return false;
        const auto x = dims(in);
        const auto paddings = intConstant(op.inputs[1]);
        if (!paddings || paddings->size() != 2 * x.size()) return refuse("paddings must be an int32 [rank,2] constant");
        Layer layer;
        layer.kind = LayerKind::Pad;
        std::vector<std::size_t> out(x.size());
        for (std::size_t k = 0; k < x.size(); ++k) {
            const std::int32_t before = (*paddings)[2 * k];
            const std::int32_t after = (*paddings)[2 * k + 1];
            if (before < 0 || after < 0 || before > kMaxPadding || after > kMaxPadding)
                return refuse("padding out of range");
            layer.padBefore.push_back(static_cast<std::size_t>(before));
            layer.padAfter.push_back(static_cast<std::size_t>(after));
            out[k] = x[k] + layer.padBefore[k] + layer.padAfter[k];
        }
        layer.inputs = {in, -1, -1};
        layer.output = op.outputs[0];
        if (!defineOutput(layer.output, out)) return false;
        plan_.layers_.push_back(std::move(layer));
        return true;
    }

    bool addReshape(const OperatorDesc& op) {
        if (!expectCounts(op, 1, 2, 1)) return false;
        const int in = op.inputs[0];
        if (!activationInput(in)) return false;
        const auto out = desc(op.outputs[0]).shape;
        if (out.empty()) return refuse("reshape to a scalar");
        Layer layer;
        layer.kind = LayerKind::Reshape;
        layer.inputs = {in, -1, -1};
        layer.output = op.outputs[0];
        if (elementCount(out) != elementCount(dims(in))) return refuse("reshape changes the number of elements");
        if (!defineOutput(layer.output, out)) return false;
        plan_.layers_.push_back(std::move(layer));
        return true;
    }

    bool addResize(const OperatorDesc& op) {
        if (!expectCounts(op, 2, 2, 1)) return false;
        const int in = op.inputs[0];
        if (!activationInput(in)) return false;
        const auto x = dims(in);
        const auto size = intConstant(op.inputs[1]);
        if (x.size() != 4 || !size || size->size() != 2) return refuse("needs a 4-D input and an int32 [2] size");
        if ((*size)[0] < 1 || (*size)[1] < 1 || (*size)[0] > kMaxResizeSide || (*size)[1] > kMaxResizeSide)
            return refuse("size out of range");
        const auto& options = std::get<ResizeOptions>(op.options);
        Layer layer;
        layer.kind = LayerKind::ResizeBilinear;
        if (options.alignCorners && options.halfPixelCenters) return refuse("align_corners with half_pixel_centers");
        layer.resizeMode = options.alignCorners       ? ResizeMode::AlignCorners
                           : options.halfPixelCenters ? ResizeMode::HalfPixelCenters
                                                      : ResizeMode::Legacy;
        layer.inputs = {in, -1, -1};
        layer.output = op.outputs[0];
        if (!defineOutput(layer.output, {x[0], static_cast<std::size_t>((*size)[0]),
                                         static_cast<std::size_t>((*size)[1]), x[3]}))
            return false;
        plan_.layers_.push_back(std::move(layer));
        return true;
    }

    // A concatenation is joined outside the engine, so it may only produce a
    // model output that nothing else reads.
    bool addConcatenation(std::size_t index, const OperatorDesc& op) {
        if (op.inputs.empty() || op.outputs.size() != 1) return refuse("unexpected number of inputs or outputs");
        const int out = op.outputs[0];
        const auto& outputs = model_.outputs();
        if (std::find(outputs.begin(), outputs.end(), out) == outputs.end())
            return refuse("only a concatenation that makes a model output is supported");
        const auto& ops = model_.operators();
        for (std::size_t j = index + 1; j < ops.size(); ++j) {
            if (std::find(ops[j].inputs.begin(), ops[j].inputs.end(), out) != ops[j].inputs.end())
                return refuse("only a concatenation that makes a model output is supported");
        }
        const auto& options = std::get<ConcatenationOptions>(op.options);
        if (options.activation != Activation::None) return refuse("fused activation is not supported");
        for (const int t : op.inputs) {
            if (!activationInput(t)) return false;
            // The engine computes every part; the model input it only reads.
            if (t == plan_.input_) return refuse("the model input cannot be part of an output");
        }
        const auto first = dims(op.inputs[0]);
        const auto rank = static_cast<int>(first.size());
        const int axis = options.axis < 0 ? options.axis + rank : options.axis;
        if (axis < 0 || axis >= rank) return refuse("axis out of range");
        auto joined = first;
        joined[static_cast<std::size_t>(axis)] = 0;
        for (const int t : op.inputs) {
            const auto& d = dims(t);
            if (d.size() != first.size()) return refuse("inputs differ in rank");
            for (std::size_t k = 0; k < d.size(); ++k) {
                if (k != static_cast<std::size_t>(axis) && d[k] != first[k]) return refuse("inputs differ in shape");
            }
            joined[static_cast<std::size_t>(axis)] += d[static_cast<std::size_t>(axis)];
        }
        if (state(out) != State::Unset || desc(out).type != ElementType::Float32 || desc(out).shape != joined)
            return refuse("output shape does not match " + shapeText(joined));
        dims(out) = joined;
        state_[static_cast<std::size_t>(out)] = State::Joined;
        joins_.push_back({out, op.inputs, static_cast<std::size_t>(axis)});
        return true;
    }

    bool addOutputs() {
        for (const int t : model_.outputs()) {
            PlanOutput output;
            output.name = desc(t).name;
            output.shape = desc(t).shape;
            if (state(t) == State::Joined) {
                const auto join =
                    std::find_if(joins_.begin(), joins_.end(), [t](const Join& j) { return j.output == t; });
                output.parts = join->parts;
                output.axis = join->axis;
            } else if (state(t) == State::Activation && t != plan_.input_) {
                output.parts = {t};
            } else {
                error_ = "model output " + std::to_string(t) + " is not computed by the network";
                return false;
            }
            plan_.outputs_.push_back(std::move(output));
        }
        return true;
    }

    struct Join {
        int output;
        std::vector<int> parts;
        std::size_t axis;
    };

    const TfliteModel& model_;
    std::string& error_;
    std::string where_;
    NetworkPlan plan_;
    std::vector<State> state_;
    std::vector<Join> joins_;
    std::size_t activationElements_ = 0;
};

std::optional<NetworkPlan> NetworkPlan::fromModel(const TfliteModel& model, std::string& error) {
    return PlanBuilder(model, error).build();
}

} // namespace vantor::handtracking
