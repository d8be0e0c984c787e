#pragma once

#include "TfliteModel.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vantor::handtracking {

// The network of a model, checked operator by operator and ready to be
// handed to an inference engine: every shape is known and consistent, every
// weight is float32 in memory the plan owns, and only layers the engine has
// remain. Nothing here depends on the engine, so the whole check runs (and is
// fuzzed) without it.
enum class LayerKind {
    Conv2D,
    DepthwiseConv2D,
    FullyConnected, // input flattened to [elements / inputChannels, inputChannels]
    MaxPool2D,
    GlobalAveragePool,
    Add,
    PRelu,
    Pad,
    Reshape,
    ResizeBilinear,
    Sigmoid,
};

enum class ResizeMode { HalfPixelCenters, AlignCorners, Legacy };

struct PlanTensor {
    std::vector<std::size_t> dims;
    const float* constant = nullptr; // float32 weights, owned by the plan
};

struct Layer {
    LayerKind kind = LayerKind::Add;
    std::array<int, 3> inputs{-1, -1, -1}; // plan tensor indices, -1 absent
    int output = -1;
    // Convolution and pooling windows; padding is explicit (top, right, bottom, left).
    std::uint32_t padTop = 0, padRight = 0, padBottom = 0, padLeft = 0;
    std::uint32_t kernelH = 1, kernelW = 1, strideH = 1, strideW = 1, dilationH = 1, dilationW = 1;
    std::uint32_t depthMultiplier = 1;
    std::size_t inputChannels = 0;
    std::size_t outputChannels = 0;
    float outputMin = 0.0f;
    float outputMax = 0.0f;
    std::vector<std::size_t> padBefore, padAfter; // Pad, one entry per dimension
    ResizeMode resizeMode = ResizeMode::HalfPixelCenters;
};

// One output of the model: the engine outputs `parts` joined along `axis`
// (a CONCATENATION at the end of the model), or a single part as it is.
struct PlanOutput {
    std::string name;
    std::vector<std::size_t> shape;
    std::vector<int> parts;
    std::size_t axis = 0;
};

class NetworkPlan {
public:
    static std::optional<NetworkPlan> fromModel(const TfliteModel& model, std::string& error);

    const std::vector<PlanTensor>& tensors() const { return tensors_; }
    const std::vector<Layer>& layers() const { return layers_; }
    int input() const { return input_; }
    const std::vector<PlanOutput>& outputs() const { return outputs_; }

private:
    NetworkPlan() = default;
    friend class PlanBuilder;

    std::vector<PlanTensor> tensors_;
    std::vector<Layer> layers_;
    int input_ = -1;
    std::vector<PlanOutput> outputs_;
    // Heap blocks so the pointers in tensors_ survive moves of the plan.
    std::vector<std::unique_ptr<std::vector<float>>> storage_;
};

} // namespace vantor::handtracking
