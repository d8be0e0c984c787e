// The model reader and network check: real models read with the expected
// operators; malformed files and unsupported networks are refused with a
// message, never a crash; what is accepted computes the right numbers.
#include "TestData.h"
#include "TinyModel.h"

#include "platform/tflite/NetworkPlan.h"
#include "platform/tflite/TfliteModel.h"
#include "platform/handpose/XnnNetwork.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

namespace vantor::handpose {
namespace {

using test::TinyModel;
using ::testing::HasSubstr;

struct OperatorCountCase {
    std::string model;
    std::map<std::string, int> counts;
};

class RealModelTest : public ::testing::TestWithParam<OperatorCountCase> {};

TEST_P(RealModelTest, ReadsEveryOperatorOfTheModel) {
    std::string error;
    const auto model = TfliteModel::fromFile(test::modelPath(GetParam().model + ".tflite"), error);
    ASSERT_TRUE(model) << error;
    std::map<std::string, int> counts;
    for (const OperatorDesc& op : model->operators()) ++counts[operatorName(op.kind)];
    EXPECT_EQ(counts, GetParam().counts);
    EXPECT_TRUE(NetworkPlan::fromModel(*model, error)) << error;
}

INSTANTIATE_TEST_SUITE_P(
    HandModels, RealModelTest,
    ::testing::Values(
        OperatorCountCase{"palm_detection_lite",
                          {{"ADD", 25}, {"CONCATENATION", 2}, {"CONV_2D", 30}, {"DEPTHWISE_CONV_2D", 23},
                           {"DEQUANTIZE", 113}, {"MAX_POOL_2D", 4}, {"PAD", 3}, {"PRELU", 26}, {"RESHAPE", 4},
                           {"RESIZE_BILINEAR", 2}}},
        OperatorCountCase{"palm_detection_full",
                          {{"ADD", 30}, {"CONCATENATION", 2}, {"CONV_2D", 35}, {"DEPTHWISE_CONV_2D", 28},
                           {"DEQUANTIZE", 133}, {"MAX_POOL_2D", 4}, {"PAD", 3}, {"PRELU", 31}, {"RESHAPE", 4},
                           {"RESIZE_BILINEAR", 2}}},
        OperatorCountCase{"hand_landmark_lite",
                          {{"ADD", 10}, {"CONV_2D", 31}, {"DEPTHWISE_CONV_2D", 16}, {"DEQUANTIZE", 102},
                           {"FULLY_CONNECTED", 4}, {"LOGISTIC", 2}, {"MAX_POOL_2D", 1}, {"MEAN", 1}}},
        OperatorCountCase{"hand_landmark_full",
                          {{"ADD", 9}, {"CONV_2D", 31}, {"DEPTHWISE_CONV_2D", 16}, {"DEQUANTIZE", 102},
                           {"FULLY_CONNECTED", 4}, {"LOGISTIC", 2}, {"MEAN", 1}}}),
    [](const ::testing::TestParamInfo<OperatorCountCase>& row) { return row.param.model; });

// Cut-off and damaged copies of a real model: refused with a message.
struct DamageCase {
    std::string name;
    std::function<void(std::vector<std::uint8_t>&)> damage;
};

class DamagedModelTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedModelTest, IsRefusedWithAMessage) {
    auto bytes = test::readBytes(test::modelPath("hand_landmark_lite.tflite"));
    ASSERT_FALSE(bytes.empty());
    GetParam().damage(bytes);
    std::string error;
    EXPECT_FALSE(TfliteModel::fromBytes(bytes, error));
    EXPECT_FALSE(error.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedModelTest,
    ::testing::Values(DamageCase{"Empty", [](auto& b) { b.clear(); }},
                      DamageCase{"OnlyTheHeader", [](auto& b) { b.resize(8); }},
                      DamageCase{"CutInTheMiddle", [](auto& b) { b.resize(b.size() / 2); }},
                      DamageCase{"LastByteMissing", [](auto& b) { b.pop_back(); }},
                      DamageCase{"WrongIdentifier", [](auto& b) { b[4] = 'X'; }},
                      DamageCase{"RootOffsetPastTheEnd", [](auto& b) { b[3] = 0x7f; }}),
    [](const ::testing::TestParamInfo<DamageCase>& row) { return row.param.name; });

// Small models that break one rule each.
struct RefusalCase {
    std::string name;
    std::function<void(TinyModel&)> change;
    std::string message;
};

class RefusedModelTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusedModelTest, IsRefusedWithTheReason) {
    TinyModel tiny = test::oneByOneConvolution();
    GetParam().change(tiny);
    std::string error;
    const auto model = TfliteModel::fromBytes(tiny.bytes(), error);
    const bool planned = model && NetworkPlan::fromModel(*model, error);
    EXPECT_FALSE(planned);
    EXPECT_THAT(error, HasSubstr(GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RefusedModelTest,
    ::testing::Values(
        RefusalCase{"UnknownOperator", [](TinyModel& m) { m.operators[0].code = test::kMul; }, "unsupported operator"},
        RefusalCase{"FilterDoesNotFitInput",
                    [](TinyModel& m) {
                        m.tensors[1] = {{3, 1, 1, 1}, 0, test::floatBytes({1, 2, 3}), "filter"};
                    },
                    "does not fit"},
        RefusalCase{"ConstantShorterThanItsShape",
                    [](TinyModel& m) { m.tensors[2].data = test::floatBytes({1, 2}); }, "bytes of data"},
        RefusalCase{"TensorIndexOutOfRange", [](TinyModel& m) { m.operators[0].inputs[0] = 9; }, "out of range"},
        RefusalCase{"OutputShapeDisagrees", [](TinyModel& m) { m.tensors[3].shape = {1, 2, 2, 4}; }, "does not match"},
        RefusalCase{"OptionsMissing",
                    [](TinyModel& m) {
                        m.operators[0].optionsType = tflite::BuiltinOptions_NONE;
                        m.operators[0].options = nullptr;
                    },
                    "options"},
        RefusalCase{"UnknownActivation", [](TinyModel& m) { m.operators[0] = test::conv2D({0, 1, 2}, {3}, 4); },
                    "options"},
        RefusalCase{"InputReadBeforeItIsComputed", [](TinyModel& m) { m.operators[0].inputs[0] = 3; },
                    "not computed before use"},
        RefusalCase{"UnsupportedElementType", [](TinyModel& m) { m.tensors[0].type = 9; }, "element type"},
        RefusalCase{"NegativeDimension", [](TinyModel& m) { m.tensors[0].shape = {1, -2, 2, 2}; }, "bad dimension"},
        RefusalCase{"HugeTensor", [](TinyModel& m) { m.tensors[3].shape = {1, 1 << 20, 1 << 20, 3}; }, "too large"},
        RefusalCase{"WeightsComputedAtRunTime", [](TinyModel& m) { m.tensors[1].data.clear(); },
                    "filter must be a 4-D float constant"},
        RefusalCase{"OutputNotComputed", [](TinyModel& m) { m.outputs = {0}; }, "not computed by the network"}),
    [](const ::testing::TestParamInfo<RefusalCase>& row) { return row.param.name; });

TEST(XnnNetworkTest, ComputesAOneByOneConvolution) {
    std::string error;
    auto model = TfliteModel::fromBytes(test::oneByOneConvolution().bytes(), error);
    ASSERT_TRUE(model) << error;
    auto plan = NetworkPlan::fromModel(*model, error);
    ASSERT_TRUE(plan) << error;
    auto network = XnnNetwork::create(std::move(*plan), nullptr, error);
    ASSERT_TRUE(network) << error;
    const std::vector<float> input{1, 2, 3, 4, 5, 6, 7, 8};
    std::copy(input.begin(), input.end(), network->input().begin());
    ASSERT_TRUE(network->run());
    // Filters: a, b, a - b; bias 0.5 on the first.
    const std::vector<float> expected{1.5f, 2, -1, 3.5f, 4, -1, 5.5f, 6, -1, 7.5f, 8, -1};
    const auto out = network->output(0);
    EXPECT_EQ(std::vector<float>(out.begin(), out.end()), expected);
}

// The palm model ends in concatenations that are done outside the engine:
// parts must interleave along the axis, not follow one another.
TEST(XnnNetworkTest, JoinsAConcatenationAlongTheLastAxis) {
    TinyModel m = test::oneByOneConvolution();
    m.tensors.push_back({{1, 4, 2}, 0, {}, "input rows"});     // 4
    m.tensors.push_back({{1, 4, 3}, 0, {}, "conv rows"});      // 5
    m.tensors.push_back({{1, 4, 5}, 0, {}, "joined"});         // 6
    test::TinyOperator reshapeInput{test::kReshape, {0}, {4}, tflite::BuiltinOptions_NONE, nullptr};
    test::TinyOperator reshapeConv{test::kReshape, {3}, {5}, tflite::BuiltinOptions_NONE, nullptr};
    test::TinyOperator concat{test::kConcatenation, {4, 5}, {6}, tflite::BuiltinOptions_ConcatenationOptions,
                              [](flatbuffers::FlatBufferBuilder& b) {
                                  return tflite::CreateConcatenationOptions(b, -1).Union();
                              }};
    m.operators.push_back(reshapeInput);
    m.operators.push_back(reshapeConv);
    m.operators.push_back(concat);
    m.outputs = {6};

    std::string error;
    auto model = TfliteModel::fromBytes(m.bytes(), error);
    ASSERT_TRUE(model) << error;
    auto plan = NetworkPlan::fromModel(*model, error);
    ASSERT_TRUE(plan) << error;
    auto network = XnnNetwork::create(std::move(*plan), nullptr, error);
    ASSERT_TRUE(network) << error;
    const std::vector<float> input{1, 2, 3, 4, 5, 6, 7, 8};
    std::copy(input.begin(), input.end(), network->input().begin());
    ASSERT_TRUE(network->run());
    const std::vector<float> expected{1, 2, 1.5f, 2, -1, 3, 4, 3.5f, 4, -1, 5, 6, 5.5f, 6, -1, 7, 8, 7.5f, 8, -1};
    const auto out = network->output(0);
    EXPECT_EQ(std::vector<float>(out.begin(), out.end()), expected);
    EXPECT_EQ(network->outputShape(0), (std::vector<std::size_t>{1, 4, 5}));
}

TEST(XnnNetworkTest, ConcatenationFeedingAnotherOperatorIsRefused) {
    TinyModel m = test::oneByOneConvolution();
    m.tensors.push_back({{1, 2, 2, 5}, 0, {}, "joined"});  // 4
    m.tensors.push_back({{1, 20}, 0, {}, "flat"});         // 5
    m.operators.push_back({test::kConcatenation, {0, 3}, {4}, tflite::BuiltinOptions_ConcatenationOptions,
                           [](flatbuffers::FlatBufferBuilder& b) {
                               return tflite::CreateConcatenationOptions(b, 3).Union();
                           }});
    m.operators.push_back({test::kReshape, {4}, {5}, tflite::BuiltinOptions_NONE, nullptr});
    m.outputs = {4, 5};
    std::string error;
    auto model = TfliteModel::fromBytes(m.bytes(), error);
    ASSERT_TRUE(model) << error;
    EXPECT_FALSE(NetworkPlan::fromModel(*model, error));
    EXPECT_THAT(error, HasSubstr("concatenation"));
}

TEST(XnnNetworkTest, MissingFileNamesThePath) {
    std::string error;
    EXPECT_FALSE(XnnNetwork::fromFile("/nonexistent/palm.tflite", nullptr, error));
    EXPECT_THAT(error, HasSubstr("/nonexistent/palm.tflite"));
}

} // namespace
} // namespace vantor::handpose
