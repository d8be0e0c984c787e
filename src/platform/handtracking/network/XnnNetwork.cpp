#include "platform/handtracking/network/XnnNetwork.h"

#include <pthreadpool.h>
#include <xnnpack.h>

#include <algorithm>
#include <cstring>

namespace vantor::handtracking {

namespace {

struct SubgraphDeleter {
    void operator()(xnn_subgraph_t subgraph) const { xnn_delete_subgraph(subgraph); }
};
struct RuntimeDeleter {
    void operator()(xnn_runtime_t runtime) const { xnn_delete_runtime(runtime); }
};
using SubgraphHandle = std::unique_ptr<xnn_subgraph, SubgraphDeleter>;
using RuntimeHandle = std::unique_ptr<xnn_runtime, RuntimeDeleter>;

bool initializeXnnpack(std::string& error) {
    // Idempotent and thread-safe inside XNNPACK; it stays initialised for the
    // life of the process.
    if (xnn_initialize(nullptr) != xnn_status_success) {
        error = "XNNPACK cannot run on this processor";
        return false;
    }
    return true;
}

} // namespace

ThreadPool::ThreadPool(std::size_t threads) : pool_(pthreadpool_create(threads)) {}

ThreadPool::~ThreadPool() {
    if (pool_) pthreadpool_destroy(pool_);
}

struct XnnNetwork::Runtime {
    RuntimeHandle handle;
};

XnnNetwork::~XnnNetwork() = default;

std::unique_ptr<XnnNetwork> XnnNetwork::fromModel(const TfliteModel& model, ThreadPool* pool, std::string& error) {
    auto plan = NetworkPlan::fromModel(model, error);
    return plan ? create(std::move(*plan), pool, error) : nullptr;
}

std::unique_ptr<XnnNetwork> XnnNetwork::fromFile(const std::string& path, ThreadPool* pool, std::string& error) {
    auto model = TfliteModel::fromFile(path, error);
    if (!model) return nullptr;
    auto network = fromModel(*model, pool, error);
    if (!network) error = path + ": " + error;
    return network;
}

// Builds the runtime in the order XNNPACK needs: the external values first
// (the input, then each distinct part of the outputs), then every layer, then
// the runtime over the network's own buffers.
class XnnNetwork::Builder {
public:
    Builder(XnnNetwork& network, std::string& error)
        : network_(network), plan_(*network.plan_), tensors_(plan_.tensors()),
          ids_(tensors_.size(), XNN_INVALID_VALUE_ID), error_(error) {}

    bool build(ThreadPool* pool) {
        gatherOutputs();
        return createSubgraph() && defineExternals() && defineLayers() && createRuntime(pool) && setUpRuntime();
    }

private:
    bool fail(const std::string& message) {
        error_ = message;
        return false;
    }

    const PlanTensor& tensor(int t) const { return tensors_[static_cast<std::size_t>(t)]; }

    // The model's outputs, each naming the engine outputs it joins; a tensor
    // in two outputs is one engine output.
    void gatherOutputs() {
        for (const PlanOutput& output : plan_.outputs()) {
            Output out{output.name, output.shape, {}, output.axis, std::vector<float>(elementCount(output.shape))};
            for (const int t : output.parts) out.parts.push_back(partIndex(t));
            network_.outputs_.push_back(std::move(out));
        }
    }

    std::size_t partIndex(int t) {
        auto found = std::find(partTensors_.begin(), partTensors_.end(), t);
        if (found == partTensors_.end()) {
            partTensors_.push_back(t);
            found = partTensors_.end() - 1;
        }
        return static_cast<std::size_t>(found - partTensors_.begin());
    }

    bool createSubgraph() {
        xnn_subgraph_t raw = nullptr;
        const auto externalCount = static_cast<std::uint32_t>(1 + partTensors_.size());
        if (xnn_create_subgraph(externalCount, 0, &raw) != xnn_status_success)
            return fail("cannot create the network");
        subgraph_.reset(raw);
        return true;
    }

    bool define(int t, std::uint32_t externalId, std::uint32_t flags) {
        const PlanTensor& planned = tensor(t);
        std::uint32_t id = XNN_INVALID_VALUE_ID;
        if (xnn_define_tensor_value(subgraph_.get(), xnn_datatype_fp32, planned.dims.size(), planned.dims.data(),
                                    planned.constant, externalId, flags, &id) != xnn_status_success)
            return false;
        ids_[static_cast<std::size_t>(t)] = id;
        return true;
    }

    // External value 0 is the input, 1 + k the k-th part of the outputs; the
    // network's buffers for them are sized here.
    bool defineExternals() {
        network_.inputShape_ = tensor(plan_.input()).dims;
        network_.input_.assign(elementCount(network_.inputShape_), 0.0f);
        bool ok = define(plan_.input(), 0, XNN_VALUE_FLAG_EXTERNAL_INPUT);
        for (std::size_t k = 0; ok && k < partTensors_.size(); ++k) {
            const int t = partTensors_[k];
            ok = define(t, static_cast<std::uint32_t>(1 + k), XNN_VALUE_FLAG_EXTERNAL_OUTPUT);
            const auto& dims = tensor(t).dims;
            network_.parts_.push_back({std::vector<float>(elementCount(dims)), dims});
        }
        return ok || fail("cannot define the network's inputs and outputs");
    }

    // A tensor's value, defined when a layer first names it; absent (-1) or
    // refused, the invalid id, which the layer's definition then refuses.
    std::uint32_t value(int t) {
        if (t < 0) return XNN_INVALID_VALUE_ID;
        if (ids_[static_cast<std::size_t>(t)] == XNN_INVALID_VALUE_ID && !define(t, XNN_INVALID_VALUE_ID, 0))
            return XNN_INVALID_VALUE_ID;
        return ids_[static_cast<std::size_t>(t)];
    }

    bool defineLayers() {
        for (std::size_t i = 0; i < plan_.layers().size(); ++i) {
            if (defineLayer(plan_.layers()[i]) != xnn_status_success)
                return fail("the inference engine refused layer " + std::to_string(i));
        }
        return true;
    }

    // One layer. The tensors it names get their values first and in this
    // order, which numbers the values the same way on every build.
    enum xnn_status defineLayer(const Layer& l) {
        const std::uint32_t in = value(l.inputs[0]);
        const std::uint32_t in1 = value(l.inputs[1]);
        const std::uint32_t in2 = value(l.inputs[2]);
        const std::uint32_t out = value(l.output);
        const xnn_subgraph_t s = subgraph_.get();
        switch (l.kind) {
        case LayerKind::Conv2D:
        case LayerKind::DepthwiseConv2D: return defineConvolution(l, in, in1, in2, out);
        case LayerKind::MaxPool2D:
            return xnn_define_max_pooling_2d(s, l.padTop, l.padRight, l.padBottom, l.padLeft, l.kernelH, l.kernelW,
                                             l.strideH, l.strideW, 1, 1, l.outputMin, l.outputMax, in, out, 0);
        case LayerKind::FullyConnected:
            return xnn_define_fully_connected(s, l.outputMin, l.outputMax, in, in1, in2, out,
                                              XNN_FLAG_TENSORFLOW_RESHAPE_2D);
        case LayerKind::GlobalAveragePool:
            return xnn_define_global_average_pooling_2d(s, l.outputMin, l.outputMax, in, out, 0);
        case LayerKind::Add: return xnn_define_add2(s, l.outputMin, l.outputMax, in, in1, out, 0);
        case LayerKind::PRelu: return xnn_define_prelu(s, in, in1, out, 0);
        case LayerKind::Pad:
            return xnn_define_static_constant_pad(s, l.padBefore.data(), l.padAfter.data(), 0.0f, in, out, 0);
        case LayerKind::Reshape: {
            const auto& dims = tensor(l.output).dims;
            return xnn_define_static_reshape(s, dims.size(), dims.data(), in, out, 0);
        }
        case LayerKind::ResizeBilinear: {
            const auto& dims = tensor(l.output).dims;
            return xnn_define_static_resize_bilinear_2d(s, dims[1], dims[2], in, out, resizeFlags(l.resizeMode));
        }
        case LayerKind::Sigmoid: return xnn_define_sigmoid(s, in, out, 0);
        }
        return xnn_status_invalid_parameter;
    }

    enum xnn_status defineConvolution(const Layer& l, std::uint32_t in, std::uint32_t filter, std::uint32_t bias,
                                      std::uint32_t out) {
        if (l.kind == LayerKind::DepthwiseConv2D)
            return xnn_define_depthwise_convolution_2d(subgraph_.get(), l.padTop, l.padRight, l.padBottom, l.padLeft,
                                                       l.kernelH, l.kernelW, l.strideH, l.strideW, l.dilationH,
                                                       l.dilationW, l.depthMultiplier, l.inputChannels, l.outputMin,
                                                       l.outputMax, in, filter, bias, out, 0);
        return xnn_define_convolution_2d(subgraph_.get(), l.padTop, l.padRight, l.padBottom, l.padLeft, l.kernelH,
                                         l.kernelW, l.strideH, l.strideW, l.dilationH, l.dilationW, 1,
                                         l.inputChannels, l.outputChannels, l.outputMin, l.outputMax, in, filter,
                                         bias, out, 0);
    }

    static std::uint32_t resizeFlags(ResizeMode mode) {
        return mode == ResizeMode::AlignCorners ? XNN_FLAG_ALIGN_CORNERS
               : mode == ResizeMode::Legacy     ? XNN_FLAG_TENSORFLOW_LEGACY_MODE
                                                : 0;
    }

    // Workers sleep once a run is over instead of spinning until the next
    // frame: the interface and the capture thread need that core.
    bool createRuntime(ThreadPool* pool) {
        xnn_runtime_t raw = nullptr;
        if (xnn_create_runtime_v2(subgraph_.get(), pool ? pool->handle() : nullptr, XNN_FLAG_YIELD_WORKERS, &raw) !=
            xnn_status_success)
            return fail("cannot create the inference runtime");
        network_.runtime_ = std::make_unique<Runtime>(Runtime{RuntimeHandle(raw)});
        return true;
    }

    // The runtime reads the input from, and writes the parts into, the
    // network's own buffers.
    bool setUpRuntime() {
        std::vector<xnn_external_value> externals;
        externals.push_back({0, network_.input_.data()});
        for (std::size_t k = 0; k < network_.parts_.size(); ++k)
            externals.push_back({static_cast<std::uint32_t>(1 + k), network_.parts_[k].values.data()});
        if (xnn_setup_runtime(network_.runtime_->handle.get(), externals.size(), externals.data()) !=
            xnn_status_success)
            return fail("cannot set up the inference runtime");
        return true;
    }

    XnnNetwork& network_;
    const NetworkPlan& plan_;
    const std::vector<PlanTensor>& tensors_;
    std::vector<std::uint32_t> ids_; // XNNPACK's value of each plan tensor, once defined
    std::vector<int> partTensors_;   // the plan tensors the engine outputs, external values 1, 2, ...
    SubgraphHandle subgraph_;
    std::string& error_;
};

std::unique_ptr<XnnNetwork> XnnNetwork::create(NetworkPlan plan, ThreadPool* pool, std::string& error) {
    if (!initializeXnnpack(error)) return nullptr;
    std::unique_ptr<XnnNetwork> network(new XnnNetwork());
    network->plan_ = std::move(plan);
    if (!Builder(*network, error).build(pool)) return nullptr;
    return network;
}

bool XnnNetwork::run() {
    if (xnn_invoke_runtime(runtime_->handle.get()) != xnn_status_success) return false;
    joinOutputs();
    return true;
}

// Concatenations at the end of a model are done here: each output is its
// parts laid side by side along the output's axis.
void XnnNetwork::joinOutputs() {
    for (Output& output : outputs_) {
        if (output.parts.size() == 1) {
            const auto& part = parts_[output.parts[0]].values;
            std::copy(part.begin(), part.end(), output.values.begin());
            continue;
        }
        const std::size_t outer = elementCount(std::span(output.shape).first(output.axis));
        float* destination = output.values.data();
        for (std::size_t o = 0; o < outer; ++o) {
            for (const std::size_t index : output.parts) {
                const Part& part = parts_[index];
                const std::size_t chunk = part.values.size() / outer;
                const float* source = part.values.data() + o * chunk;
                destination = std::copy(source, source + chunk, destination);
            }
        }
    }
}

} // namespace vantor::handtracking
