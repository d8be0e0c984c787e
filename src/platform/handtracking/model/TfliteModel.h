#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace vantor::handtracking {

// The element types a hand model's tensors use.
enum class ElementType { Float32, Float16, Int32 };

std::size_t elementSize(ElementType type);

// How many elements a tensor of this shape holds: the product of its
// dimensions, 1 for a scalar.
std::size_t elementCount(std::span<const std::size_t> shape);

// A tensor of the model as the file describes it. `data` is empty for an
// activation; for a constant it views exactly elementCount(shape) *
// elementSize(type) bytes of the file.
struct TensorDesc {
    std::string name;
    std::vector<std::size_t> shape;
    ElementType type = ElementType::Float32;
    std::span<const std::uint8_t> data;

    bool isConstant() const { return !data.empty(); }
};

enum class OperatorKind {
    Add,
    Concatenation,
    Conv2D,
    DepthwiseConv2D,
    Dequantize,
    FullyConnected,
    Logistic,
    MaxPool2D,
    Mean,
    Pad,
    PRelu,
    Reshape,
    ResizeBilinear,
};

const char* operatorName(OperatorKind kind);

enum class Padding { Same, Valid };
enum class Activation { None, Relu, ReluN1To1, Relu6 };

struct ConvOptions {
    Padding padding = Padding::Same;
    int strideW = 1;
    int strideH = 1;
    int dilationW = 1;
    int dilationH = 1;
    int depthMultiplier = 1; // depthwise only
    Activation activation = Activation::None;
};

struct PoolOptions {
    Padding padding = Padding::Same;
    int strideW = 1;
    int strideH = 1;
    int filterW = 1;
    int filterH = 1;
    Activation activation = Activation::None;
};

struct ActivationOptions {
    Activation activation = Activation::None;
};

struct ConcatenationOptions {
    int axis = 0;
    Activation activation = Activation::None;
};

struct ResizeOptions {
    bool alignCorners = false;
    bool halfPixelCenters = false;
};

struct ReducerOptions {
    bool keepDims = false;
};

using OperatorOptions = std::variant<std::monostate, ConvOptions, PoolOptions, ActivationOptions,
                                     ConcatenationOptions, ResizeOptions, ReducerOptions>;

// An operator; its tensor indices are checked to lie inside the tensor list
// (-1 marks an absent optional input).
struct OperatorDesc {
    OperatorKind kind = OperatorKind::Add;
    std::vector<int> inputs;
    std::vector<int> outputs;
    OperatorOptions options;
};

// A TensorFlow Lite model file, read and checked. Owns the file's bytes, which
// the constant tensors view.
class TfliteModel {
public:
    // Reads a model from bytes. On failure returns nothing and sets `error` to
    // one line saying what is wrong.
    static std::optional<TfliteModel> fromBytes(std::vector<std::uint8_t> bytes, std::string& error);
    static std::optional<TfliteModel> fromFile(const std::string& path, std::string& error);

    const std::vector<TensorDesc>& tensors() const { return tensors_; }
    const std::vector<OperatorDesc>& operators() const { return operators_; }
    const std::vector<int>& inputs() const { return inputs_; }
    const std::vector<int>& outputs() const { return outputs_; }

    TfliteModel(TfliteModel&&) = default;
    TfliteModel& operator=(TfliteModel&&) = default;
    TfliteModel(const TfliteModel&) = delete;
    TfliteModel& operator=(const TfliteModel&) = delete;

private:
    TfliteModel() = default;

    // Heap storage whose address survives moves of the model, so the spans
    // of `tensors_` stay valid.
    std::unique_ptr<std::vector<std::uint8_t>> bytes_;
    std::vector<TensorDesc> tensors_;
    std::vector<OperatorDesc> operators_;
    std::vector<int> inputs_;
    std::vector<int> outputs_;
};

} // namespace vantor::handtracking
