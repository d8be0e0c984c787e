#pragma once

// Small TensorFlow Lite models written in memory: a few tensors and
// operators each, for the model tests and as seeds of the model fuzz target.
// Needs the reader's generated schema (link vantor::handtracking_model).

#include "TfliteSubset_generated.h"

#include <flatbuffers/flatbuffers.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vantor::testing {

namespace tfl = vantor::handtracking::tflite;

class TinyModel {
public:
    // TensorFlow Lite's numbers of the operators and element types.
    enum Op { Add = 0, Concatenation = 2, Conv2D = 3, DepthwiseConv2D = 4, Dequantize = 6, FullyConnected = 9,
              Logistic = 14, MaxPool2D = 17, Reshape = 22, ResizeBilinear = 23, Pad = 34, Mean = 40, PRelu = 54 };
    enum Type : std::int8_t { Float32 = 0, Float16 = 1, Int32 = 2 };
    using Options = std::function<std::pair<tfl::BuiltinOptions, flatbuffers::Offset<void>>(
        flatbuffers::FlatBufferBuilder&)>;

    // A tensor computed by the network (or its input).
    int tensor(std::vector<int> shape) { return add(std::move(shape), Float32, {}); }
    // A constant; an empty shape is a scalar.
    int constant(std::vector<int> shape, const std::vector<float>& values) { return add(std::move(shape), Float32, bytes(values)); }
    int constant(std::vector<int> shape, const std::vector<std::int32_t>& values) { return add(std::move(shape), Int32, bytes(values)); }
    int halfConstant(std::vector<int> shape, const std::vector<std::uint16_t>& values) { return add(std::move(shape), Float16, bytes(values)); }

    void op(Op code, std::vector<int> inputs, std::vector<int> outputs, Options options = {}) {
        operators_.push_back({code, std::move(inputs), std::move(outputs), std::move(options)});
    }

    // Option tables, as the operators of that kind carry them.
    static Options convolution(int stride = 1, bool same = true) {
        return [=](auto& b) {
            return std::pair{tfl::BuiltinOptions_Conv2DOptions,
                             tfl::CreateConv2DOptions(b, same ? 0 : 1, stride, stride, 0, 1, 1).Union()};
        };
    }
    static Options depthwise(int multiplier = 1) {
        return [=](auto& b) {
            return std::pair{tfl::BuiltinOptions_DepthwiseConv2DOptions,
                             tfl::CreateDepthwiseConv2DOptions(b, 0, 1, 1, multiplier, 0, 1, 1).Union()};
        };
    }
    static Options pool(int size = 2) {
        return [=](auto& b) {
            return std::pair{tfl::BuiltinOptions_Pool2DOptions,
                             tfl::CreatePool2DOptions(b, 1, size, size, size, size, 0).Union()};
        };
    }
    static Options fullyConnected() {
        return [](auto& b) {
            return std::pair{tfl::BuiltinOptions_FullyConnectedOptions, tfl::CreateFullyConnectedOptions(b).Union()};
        };
    }
    static Options add() {
        return [](auto& b) { return std::pair{tfl::BuiltinOptions_AddOptions, tfl::CreateAddOptions(b).Union()}; };
    }
    static Options concatenation(int axis) {
        return [=](auto& b) {
            return std::pair{tfl::BuiltinOptions_ConcatenationOptions, tfl::CreateConcatenationOptions(b, axis).Union()};
        };
    }

    std::vector<std::uint8_t> finish(const std::vector<int>& inputs, const std::vector<int>& outputs) const {
        flatbuffers::FlatBufferBuilder b;
        std::vector<flatbuffers::Offset<tfl::Buffer>> buffers{tfl::CreateBuffer(b)}; // buffer 0: none
        std::vector<flatbuffers::Offset<tfl::Tensor>> tensors;
        for (const auto& t : tensors_) {
            std::uint32_t buffer = 0;
            if (!t.data.empty()) {
                b.ForceVectorAlignment(t.data.size(), 1, 16);
                buffers.push_back(tfl::CreateBuffer(b, b.CreateVector(t.data)));
                buffer = static_cast<std::uint32_t>(buffers.size() - 1);
            }
            tensors.push_back(tfl::CreateTensor(b, b.CreateVector(t.shape), t.type, buffer,
                                                b.CreateString("t" + std::to_string(tensors.size()))));
        }
        std::vector<flatbuffers::Offset<tfl::OperatorCode>> codes;
        std::vector<flatbuffers::Offset<tfl::Operator>> ops;
        for (const auto& o : operators_) {
            codes.push_back(tfl::CreateOperatorCode(b, static_cast<std::int8_t>(o.code), 0, 1, o.code));
            auto [type, options] = o.options ? o.options(b) : std::pair{tfl::BuiltinOptions_NONE, flatbuffers::Offset<void>()};
            ops.push_back(tfl::CreateOperator(b, static_cast<std::uint32_t>(codes.size() - 1), b.CreateVector(o.inputs),
                                              b.CreateVector(o.outputs), type, options));
        }
        const auto subgraph = tfl::CreateSubGraph(b, b.CreateVector(tensors), b.CreateVector(inputs),
                                                  b.CreateVector(outputs), b.CreateVector(ops));
        const auto model = tfl::CreateModel(b, 3, b.CreateVector(codes), b.CreateVector(std::vector{subgraph}), 0,
                                            b.CreateVector(buffers));
        b.Finish(model, "TFL3");
        return {b.GetBufferPointer(), b.GetBufferPointer() + b.GetSize()};
    }

private:
    struct Tensor {
        std::vector<int> shape;
        std::int8_t type;
        std::vector<std::uint8_t> data;
    };
    struct Operator {
        Op code;
        std::vector<int> inputs, outputs;
        Options options;
    };
    template <typename T>
    static std::vector<std::uint8_t> bytes(const std::vector<T>& values) {
        std::vector<std::uint8_t> out(values.size() * sizeof(T));
        if (!out.empty()) std::memcpy(out.data(), values.data(), out.size());
        return out;
    }
    int add(std::vector<int> shape, std::int8_t type, std::vector<std::uint8_t> data) {
        tensors_.push_back({std::move(shape), type, std::move(data)});
        return static_cast<int>(tensors_.size() - 1);
    }

    std::vector<Tensor> tensors_;
    std::vector<Operator> operators_;
};

// One small model for each operator the reader knows, each a whole network
// from a [1,4,4,2] (or given) input to its outputs, and the model with a
// scalar PRELU slope that once crashed the planner.
inline std::vector<std::pair<std::string, std::vector<std::uint8_t>>> tinyModelsOfEveryOperator() {
    using M = TinyModel;
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> models;
    const auto ramp = [](std::size_t n) {
        std::vector<float> values(n);
        for (std::size_t i = 0; i < n; ++i) values[i] = 0.125f * static_cast<float>(i % 7) - 0.25f;
        return values;
    };
    // A model from a [1,4,4,2] input to one output of `shape`, its operators added by `build`.
    const auto single = [&](const std::string& name, std::vector<int> shape, auto build) {
        M m;
        const int in = m.tensor({1, 4, 4, 2});
        const int out = m.tensor(std::move(shape));
        build(m, in, out);
        models.emplace_back(name, m.finish({in}, {out}));
    };
    single("conv2d", {1, 4, 4, 3}, [&](M& m, int in, int out) {
        m.op(M::Conv2D, {in, m.constant({3, 3, 3, 2}, ramp(54)), m.constant({3}, ramp(3))}, {out}, M::convolution());
    });
    single("depthwise", {1, 4, 4, 4}, [&](M& m, int in, int out) {
        m.op(M::DepthwiseConv2D, {in, m.constant({1, 3, 3, 4}, ramp(36)), m.constant({4}, ramp(4))}, {out},
             M::depthwise(2));
    });
    single("fully-connected", {1, 5}, [&](M& m, int in, int out) {
        m.op(M::FullyConnected, {in, m.constant({5, 32}, ramp(160)), m.constant({5}, ramp(5))}, {out},
             M::fullyConnected());
    });
    single("max-pool", {1, 2, 2, 2}, [](M& m, int in, int out) { m.op(M::MaxPool2D, {in}, {out}, M::pool()); });
    single("mean", {1, 1, 1, 2}, [](M& m, int in, int out) {
        m.op(M::Mean, {in, m.constant({2}, std::vector<std::int32_t>{1, 2})}, {out});
    });
    single("add", {1, 4, 4, 2}, [&](M& m, int in, int out) {
        m.op(M::Add, {in, m.constant({2}, ramp(2))}, {out}, M::add());
    });
    single("logistic", {1, 4, 4, 2}, [](M& m, int in, int out) { m.op(M::Logistic, {in}, {out}); });
    single("prelu", {1, 4, 4, 2}, [&](M& m, int in, int out) {
        m.op(M::PRelu, {in, m.constant({1, 1, 2}, ramp(2))}, {out});
    });
    single("pad", {1, 6, 5, 2}, [](M& m, int in, int out) {
        m.op(M::Pad, {in, m.constant({4, 2}, std::vector<std::int32_t>{0, 0, 1, 1, 0, 1, 0, 0})}, {out});
    });
    single("reshape", {1, 32}, [](M& m, int in, int out) {
        m.op(M::Reshape, {in, m.constant({2}, std::vector<std::int32_t>{1, 32})}, {out});
    });
    single("resize", {1, 8, 8, 2}, [](M& m, int in, int out) {
        m.op(M::ResizeBilinear, {in, m.constant({2}, std::vector<std::int32_t>{8, 8})}, {out});
    });
    single("dequantize", {1, 4, 4, 2}, [](M& m, int in, int out) {
        const int weights = m.tensor({2});
        m.op(M::Dequantize, {m.halfConstant({2}, {0x3c00, 0xbc00})}, {weights}); // 1.0, -1.0
        m.op(M::Add, {in, weights}, {out}, M::add());
    });
    single("concatenation", {1, 4, 4, 4}, [](M& m, int in, int out) {
        const int a = m.tensor({1, 4, 4, 2}), b = m.tensor({1, 4, 4, 2});
        m.op(M::Logistic, {in}, {a});
        m.op(M::Add, {in, in}, {b}, M::add());
        m.op(M::Concatenation, {a, b}, {out}, M::concatenation(3));
    });
    {
        M m;
        const int in = m.tensor({1, 4, 4, 1});
        const int out = m.tensor({1, 4, 4, 1});
        m.op(M::PRelu, {in, m.constant({}, std::vector<float>{0.25f})}, {out});
        models.emplace_back("prelu-scalar-slope", m.finish({in}, {out}));
    }
    return models;
}

} // namespace vantor::testing
