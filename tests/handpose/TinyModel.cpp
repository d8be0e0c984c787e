#include "TinyModel.h"

#include <cstring>

namespace vantor::handpose::test {

namespace fb = vantor::tflite;

std::vector<std::uint8_t> floatBytes(const std::vector<float>& values) {
    std::vector<std::uint8_t> bytes(values.size() * sizeof(float));
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

std::vector<std::uint8_t> intBytes(const std::vector<std::int32_t>& values) {
    std::vector<std::uint8_t> bytes(values.size() * sizeof(std::int32_t));
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

std::vector<std::uint8_t> TinyModel::bytes() const {
    flatbuffers::FlatBufferBuilder builder;
    std::vector<flatbuffers::Offset<fb::Buffer>> buffers{fb::CreateBuffer(builder)};
    std::vector<flatbuffers::Offset<fb::Tensor>> tensorOffsets;
    for (const TinyTensor& t : tensors) {
        std::uint32_t buffer = 0;
        if (!t.data.empty()) {
            buffer = static_cast<std::uint32_t>(buffers.size());
            buffers.push_back(fb::CreateBuffer(builder, builder.CreateVector(t.data)));
        }
        tensorOffsets.push_back(fb::CreateTensor(builder, builder.CreateVector(t.shape), t.type, buffer,
                                                 builder.CreateString(t.name)));
    }
    std::vector<flatbuffers::Offset<fb::OperatorCode>> codes;
    std::vector<flatbuffers::Offset<fb::Operator>> operatorOffsets;
    for (const TinyOperator& op : operators) {
        const auto index = static_cast<std::uint32_t>(codes.size());
        codes.push_back(fb::CreateOperatorCode(builder, static_cast<std::int8_t>(op.code < 127 ? op.code : 127), 0, 1,
                                               op.code));
        const auto options = op.options ? op.options(builder) : flatbuffers::Offset<void>();
        operatorOffsets.push_back(fb::CreateOperator(builder, index, builder.CreateVector(op.inputs),
                                                     builder.CreateVector(op.outputs), op.optionsType, options));
    }
    const auto graph = fb::CreateSubGraph(builder, builder.CreateVector(tensorOffsets), builder.CreateVector(inputs),
                                          builder.CreateVector(outputs), builder.CreateVector(operatorOffsets));
    const std::vector<flatbuffers::Offset<fb::SubGraph>> graphs{graph};
    const auto model = fb::CreateModel(builder, 3, builder.CreateVector(codes), builder.CreateVector(graphs), 0,
                                       builder.CreateVector(buffers));
    fb::FinishModelBuffer(builder, model);
    return {builder.GetBufferPointer(), builder.GetBufferPointer() + builder.GetSize()};
}

TinyOperator conv2D(std::vector<std::int32_t> inputs, std::vector<std::int32_t> outputs, std::int8_t activation) {
    TinyOperator op;
    op.code = kConv2D;
    op.inputs = std::move(inputs);
    op.outputs = std::move(outputs);
    op.optionsType = fb::BuiltinOptions_Conv2DOptions;
    op.options = [activation](flatbuffers::FlatBufferBuilder& b) {
        return fb::CreateConv2DOptions(b, /*padding VALID*/ 1, 1, 1, activation).Union();
    };
    return op;
}

TinyModel oneByOneConvolution() {
    TinyModel m;
    m.tensors = {
        {{1, 2, 2, 2}, 0, {}, "input"},
        {{3, 1, 1, 2}, 0, floatBytes({1, 0, 0, 1, 1, -1}), "filter"},
        {{3}, 0, floatBytes({0.5f, 0, 0}), "bias"},
        {{1, 2, 2, 3}, 0, {}, "output"},
    };
    m.operators = {conv2D({0, 1, 2}, {3})};
    m.inputs = {0};
    m.outputs = {3};
    return m;
}

} // namespace vantor::handpose::test
