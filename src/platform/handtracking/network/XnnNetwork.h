#pragma once

#include "platform/handtracking/model/NetworkPlan.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct pthreadpool;

namespace vantor::handtracking {

// A pool of worker threads that inference runs on; shared by the networks of
// one detector. Owns the pthreadpool handle.
class ThreadPool {
public:
    explicit ThreadPool(std::size_t threads);
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;
    pthreadpool* handle() const { return pool_; }

private:
    pthreadpool* pool_;
};

// One model as an XNNPACK runtime: write the input, run, read the outputs.
// Not thread-safe; one caller at a time (the camera worker).
class XnnNetwork {
public:
    // Builds the network of a checked plan. On failure returns nullptr and
    // sets `error`. The pool must outlive the network; nullptr runs on the
    // calling thread.
    static std::unique_ptr<XnnNetwork> create(NetworkPlan plan, ThreadPool* pool, std::string& error);
    // Checks the network a model describes and builds it.
    static std::unique_ptr<XnnNetwork> fromModel(const TfliteModel& model, ThreadPool* pool, std::string& error);
    // Reads, checks and builds a model file in one go.
    static std::unique_ptr<XnnNetwork> fromFile(const std::string& path, ThreadPool* pool, std::string& error);

    ~XnnNetwork();
    XnnNetwork(const XnnNetwork&) = delete;
    XnnNetwork& operator=(const XnnNetwork&) = delete;

    // NHWC float32, [1, height, width, channels].
    const std::vector<std::size_t>& inputShape() const { return inputShape_; }
    std::span<float> input() { return input_; }

    bool run();

    std::size_t outputCount() const { return outputs_.size(); }
    std::span<const float> output(std::size_t index) const { return outputs_[index].values; }
    const std::vector<std::size_t>& outputShape(std::size_t index) const { return outputs_[index].shape; }
    const std::string& outputName(std::size_t index) const { return outputs_[index].name; }

private:
    class Builder; // the steps of create()
    struct Runtime;
    struct Part {
        std::vector<float> values;
        std::vector<std::size_t> dims;
    };
    struct Output {
        std::string name;
        std::vector<std::size_t> shape;
        std::vector<std::size_t> parts; // indices into parts_
        std::size_t axis = 0;
        std::vector<float> values;
    };

    XnnNetwork() = default;
    void joinOutputs();

    std::optional<NetworkPlan> plan_; // keeps the weights the runtime reads
    std::unique_ptr<Runtime> runtime_;
    std::vector<std::size_t> inputShape_;
    std::vector<float> input_;
    std::vector<Part> parts_;
    std::vector<Output> outputs_;
};

} // namespace vantor::handtracking
