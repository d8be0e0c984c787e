#include "platform/handtracking/network/XnnNetwork.h"

#include <pthreadpool.h>
#include <xnnpack.h>

#include <algorithm>
#include <cstring>
#include <numeric>

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

std::size_t product(const std::vector<std::size_t>& dims) {
    return std::accumulate(dims.begin(), dims.end(), std::size_t{1}, std::multiplies<>());
}

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

std::unique_ptr<XnnNetwork> XnnNetwork::create(NetworkPlan plan, ThreadPool* pool, std::string& error) {
    if (!initializeXnnpack(error)) return nullptr;
    std::unique_ptr<XnnNetwork> network(new XnnNetwork());
    network->plan_ = std::move(plan);
    const NetworkPlan& p = *network->plan_;
    const auto& tensors = p.tensors();

    // External values: the input is 0, then one per distinct output part.
    std::vector<std::uint32_t> ids(tensors.size(), XNN_INVALID_VALUE_ID);
    std::vector<int> partTensors;
    for (const PlanOutput& output : p.outputs()) {
        Output out{output.name, output.shape, {}, output.axis, std::vector<float>(product(output.shape))};
        for (const int t : output.parts) {
            auto found = std::find(partTensors.begin(), partTensors.end(), t);
            if (found == partTensors.end()) {
                partTensors.push_back(t);
                found = partTensors.end() - 1;
            }
            out.parts.push_back(static_cast<std::size_t>(found - partTensors.begin()));
        }
        network->outputs_.push_back(std::move(out));
    }

    xnn_subgraph_t rawSubgraph = nullptr;
    const auto externalCount = static_cast<std::uint32_t>(1 + partTensors.size());
    if (xnn_create_subgraph(externalCount, 0, &rawSubgraph) != xnn_status_success) {
        error = "cannot create the network";
        return nullptr;
    }
    SubgraphHandle subgraph(rawSubgraph);

    const auto define = [&](int t, std::uint32_t externalId, std::uint32_t flags) {
        const PlanTensor& tensor = tensors[static_cast<std::size_t>(t)];
        std::uint32_t id = XNN_INVALID_VALUE_ID;
        const enum xnn_status status =
            xnn_define_tensor_value(subgraph.get(), xnn_datatype_fp32, tensor.dims.size(), tensor.dims.data(),
                                    tensor.constant, externalId, flags, &id);
        if (status != xnn_status_success) return false;
        ids[static_cast<std::size_t>(t)] = id;
        return true;
    };

    network->inputShape_ = tensors[static_cast<std::size_t>(p.input())].dims;
    network->input_.assign(product(network->inputShape_), 0.0f);
    bool ok = define(p.input(), 0, XNN_VALUE_FLAG_EXTERNAL_INPUT);
    for (std::size_t k = 0; ok && k < partTensors.size(); ++k) {
        const int t = partTensors[k];
        ok = define(t, static_cast<std::uint32_t>(1 + k), XNN_VALUE_FLAG_EXTERNAL_OUTPUT);
        const auto& dims = tensors[static_cast<std::size_t>(t)].dims;
        network->parts_.push_back({std::vector<float>(product(dims)), dims});
    }
    if (!ok) {
        error = "cannot define the network's inputs and outputs";
        return nullptr;
    }

    const auto value = [&](int t) -> std::uint32_t {
        if (t < 0) return XNN_INVALID_VALUE_ID;
        if (ids[static_cast<std::size_t>(t)] == XNN_INVALID_VALUE_ID && !define(t, XNN_INVALID_VALUE_ID, 0))
            return XNN_INVALID_VALUE_ID;
        return ids[static_cast<std::size_t>(t)];
    };

    for (std::size_t i = 0; i < p.layers().size(); ++i) {
        const Layer& l = p.layers()[i];
        const std::uint32_t in = value(l.inputs[0]);
        const std::uint32_t in1 = value(l.inputs[1]);
        const std::uint32_t in2 = value(l.inputs[2]);
        const std::uint32_t out = value(l.output);
        enum xnn_status status = xnn_status_invalid_parameter;
        switch (l.kind) {
        case LayerKind::Conv2D:
            status = xnn_define_convolution_2d(subgraph.get(), l.padTop, l.padRight, l.padBottom, l.padLeft, l.kernelH,
                                               l.kernelW, l.strideH, l.strideW, l.dilationH, l.dilationW, 1,
                                               l.inputChannels, l.outputChannels, l.outputMin, l.outputMax, in, in1,
                                               in2, out, 0);
            break;
        case LayerKind::DepthwiseConv2D:
            status = xnn_define_depthwise_convolution_2d(
                subgraph.get(), l.padTop, l.padRight, l.padBottom, l.padLeft, l.kernelH, l.kernelW, l.strideH,
                l.strideW, l.dilationH, l.dilationW, l.depthMultiplier, l.inputChannels, l.outputMin, l.outputMax, in,
                in1, in2, out, 0);
            break;
        case LayerKind::FullyConnected:
            status = xnn_define_fully_connected(subgraph.get(), l.outputMin, l.outputMax, in, in1, in2, out,
                                                XNN_FLAG_TENSORFLOW_RESHAPE_2D);
            break;
        case LayerKind::MaxPool2D:
            status = xnn_define_max_pooling_2d(subgraph.get(), l.padTop, l.padRight, l.padBottom, l.padLeft, l.kernelH,
                                               l.kernelW, l.strideH, l.strideW, 1, 1, l.outputMin, l.outputMax, in,
                                               out, 0);
            break;
        case LayerKind::GlobalAveragePool:
            status = xnn_define_global_average_pooling_2d(subgraph.get(), l.outputMin, l.outputMax, in, out, 0);
            break;
        case LayerKind::Add:
            status = xnn_define_add2(subgraph.get(), l.outputMin, l.outputMax, in, in1, out, 0);
            break;
        case LayerKind::PRelu:
            status = xnn_define_prelu(subgraph.get(), in, in1, out, 0);
            break;
        case LayerKind::Pad:
            status = xnn_define_static_constant_pad(subgraph.get(), l.padBefore.data(), l.padAfter.data(), 0.0f, in,
                                                    out, 0);
            break;
        case LayerKind::Reshape: {
            const auto& dims = tensors[static_cast<std::size_t>(l.output)].dims;
            status = xnn_define_static_reshape(subgraph.get(), dims.size(), dims.data(), in, out, 0);
            break;
        }
        case LayerKind::ResizeBilinear: {
            const auto& dims = tensors[static_cast<std::size_t>(l.output)].dims;
            const std::uint32_t flags = l.resizeMode == ResizeMode::AlignCorners ? XNN_FLAG_ALIGN_CORNERS
                                        : l.resizeMode == ResizeMode::Legacy     ? XNN_FLAG_TENSORFLOW_LEGACY_MODE
                                                                                 : 0;
            status = xnn_define_static_resize_bilinear_2d(subgraph.get(), dims[1], dims[2], in, out, flags);
            break;
        }
        case LayerKind::Sigmoid:
            status = xnn_define_sigmoid(subgraph.get(), in, out, 0);
            break;
        }
        if (status != xnn_status_success) {
            error = "the inference engine refused layer " + std::to_string(i);
            return nullptr;
        }
    }

    // Workers sleep once a run is over instead of spinning until the next
    // frame: the interface and the capture thread need that core.
    xnn_runtime_t rawRuntime = nullptr;
    if (xnn_create_runtime_v2(subgraph.get(), pool ? pool->handle() : nullptr, XNN_FLAG_YIELD_WORKERS, &rawRuntime) !=
        xnn_status_success) {
        error = "cannot create the inference runtime";
        return nullptr;
    }
    network->runtime_ = std::make_unique<Runtime>(Runtime{RuntimeHandle(rawRuntime)});

    std::vector<xnn_external_value> externals;
    externals.push_back({0, network->input_.data()});
    for (std::size_t k = 0; k < network->parts_.size(); ++k)
        externals.push_back({static_cast<std::uint32_t>(1 + k), network->parts_[k].values.data()});
    if (xnn_setup_runtime(network->runtime_->handle.get(), externals.size(), externals.data()) != xnn_status_success) {
        error = "cannot set up the inference runtime";
        return nullptr;
    }
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
        std::size_t outer = 1;
        for (std::size_t k = 0; k < output.axis; ++k) outer *= output.shape[k];
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
