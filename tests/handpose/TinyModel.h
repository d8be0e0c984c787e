#pragma once

#include "TfliteSubset_generated.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vantor::handpose::test {

// A small TensorFlow Lite model written from a description, so tests can
// make exactly the malformed or unusual file they need.
struct TinyTensor {
    std::vector<std::int32_t> shape;
    std::int8_t type = 0; // 0 float32, 1 float16, 2 int32
    std::vector<std::uint8_t> data;
    std::string name;
};

struct TinyOperator {
    int code = 0;
    std::vector<std::int32_t> inputs;
    std::vector<std::int32_t> outputs;
    tflite::BuiltinOptions optionsType = tflite::BuiltinOptions_NONE;
    std::function<flatbuffers::Offset<void>(flatbuffers::FlatBufferBuilder&)> options;
};

struct TinyModel {
    std::vector<TinyTensor> tensors;
    std::vector<TinyOperator> operators;
    std::vector<std::int32_t> inputs;
    std::vector<std::int32_t> outputs;

    std::vector<std::uint8_t> bytes() const;
};

std::vector<std::uint8_t> floatBytes(const std::vector<float>& values);
std::vector<std::uint8_t> intBytes(const std::vector<std::int32_t>& values);

// TensorFlow Lite operator codes used by the tests.
inline constexpr int kConv2D = 3;
inline constexpr int kMul = 18;
inline constexpr int kReshape = 22;
inline constexpr int kConcatenation = 2;

TinyOperator conv2D(std::vector<std::int32_t> inputs, std::vector<std::int32_t> outputs, std::int8_t activation = 0);

// input [1,2,2,2] -> 1x1 convolution with 3 filters -> output [1,2,2,3].
TinyModel oneByOneConvolution();

} // namespace vantor::handpose::test
