// Each of the four models, run on the reference photo, must reproduce every
// output tensor of the reference runtime (TensorFlow Lite with XNNPACK).
#include "TestData.h"

#include "platform/handpose/XnnNetwork.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace vantor::handpose {
namespace {

using test::dataPath;
using test::modelPath;
using test::readFloats;

struct ModelCase {
    std::string name;
    std::string input;
    std::vector<std::string> outputs;
};

class ModelOutputTest : public ::testing::TestWithParam<ModelCase> {};

TEST_P(ModelOutputTest, MatchesReferenceTensors) {
    const ModelCase& c = GetParam();
    ThreadPool pool(2);
    std::string error;
    auto network = XnnNetwork::fromFile(modelPath(c.name + ".tflite"), &pool, error);
    ASSERT_TRUE(network) << error;

    const auto input = readFloats(dataPath("inputs/" + c.input));
    ASSERT_EQ(input.size(), network->input().size());
    std::copy(input.begin(), input.end(), network->input().begin());
    ASSERT_TRUE(network->run());

    ASSERT_EQ(network->outputCount(), c.outputs.size());
    for (std::size_t k = 0; k < c.outputs.size(); ++k) {
        SCOPED_TRACE(c.outputs[k]);
        EXPECT_EQ(network->outputName(k), c.outputs[k]);
        const auto reference = readFloats(dataPath(c.name + "/" + c.outputs[k] + ".f32"));
        const auto ours = network->output(k);
        ASSERT_EQ(ours.size(), reference.size());
        float maxReference = 0.0f;
        float maxDifference = 0.0f;
        for (std::size_t i = 0; i < reference.size(); ++i) {
            maxReference = std::max(maxReference, std::fabs(reference[i]));
            maxDifference = std::max(maxDifference, std::fabs(ours[i] - reference[i]));
        }
        EXPECT_LE(maxDifference, 1e-4f * maxReference) << "max |reference| " << maxReference;
        RecordProperty(c.outputs[k] + "_max_difference", std::to_string(maxDifference));
    }
}

const std::vector<std::string> kPalmOutputs{"Identity", "Identity_1"};
const std::vector<std::string> kLandmarkOutputs{"Identity", "Identity_1", "Identity_2", "Identity_3"};

INSTANTIATE_TEST_SUITE_P(
    HandModels, ModelOutputTest,
    ::testing::Values(ModelCase{"palm_detection_lite", "handsrc_192x192.f32", kPalmOutputs},
                      ModelCase{"palm_detection_full", "handsrc_192x192.f32", kPalmOutputs},
                      ModelCase{"hand_landmark_lite", "handsrc_224x224.f32", kLandmarkOutputs},
                      ModelCase{"hand_landmark_full", "handsrc_224x224.f32", kLandmarkOutputs}),
    [](const ::testing::TestParamInfo<ModelCase>& row) { return row.param.name; });

} // namespace
} // namespace vantor::handpose
