// The four hand models: each reproduces every output tensor of TensorFlow
// Lite's own runtime (XNNPACK) on the reference photo within 1e-4 of the
// tensor's largest value; missing, damaged or swapped files are refused.
// Small models of every operator run with known results.
#include "platform/handtracking/network/XnnNetwork.h"
#include "platform/handtracking/pipeline/MediaPipeHandDetector.h"
#include "support/TinyModels.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <unistd.h>

namespace vantor::handtracking {
namespace {

namespace fs = std::filesystem;

std::vector<char> fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Raw little-endian float32 reference data.
std::vector<float> referenceFloats(const std::string& file) {
    const auto bytes = fileBytes(fs::path(VANTOR_TEST_DATA_DIR) / file);
    std::vector<float> values(bytes.size() / sizeof(float));
    std::memcpy(values.data(), bytes.data(), values.size() * sizeof(float));
    return values;
}

class ModelOutputTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ModelOutputTest, MatchesTheReferenceRuntimesTensors) {
    const std::string& model = GetParam();
    const bool palm = model.starts_with("palm");
    ThreadPool pool(2);
    std::string error;
    auto network = XnnNetwork::fromFile(std::string(VANTOR_TEST_MODELS_DIR) + "/" + model + ".tflite", &pool, error);
    ASSERT_TRUE(network) << error;
    const auto input = referenceFloats(palm ? "inputs/handsrc_192x192.f32" : "inputs/handsrc_224x224.f32");
    ASSERT_EQ(input.size(), network->input().size());
    std::copy(input.begin(), input.end(), network->input().begin());
    ASSERT_TRUE(network->run());
    ASSERT_EQ(network->outputCount(), palm ? 2u : 4u);
    for (std::size_t k = 0; k < network->outputCount(); ++k) {
        const std::string name = k == 0 ? "Identity" : "Identity_" + std::to_string(k);
        SCOPED_TRACE(name);
        EXPECT_EQ(network->outputName(k), name);
        const auto reference = referenceFloats(model + "/" + name + ".f32");
        const auto ours = network->output(k);
        ASSERT_EQ(ours.size(), reference.size());
        float maxReference = 0.0f;
        float maxDifference = 0.0f;
        for (std::size_t i = 0; i < reference.size(); ++i) {
            maxReference = std::max(maxReference, std::fabs(reference[i]));
            maxDifference = std::max(maxDifference, std::fabs(ours[i] - reference[i]));
        }
        EXPECT_LE(maxDifference, 1e-4f * maxReference) << "max |reference| " << maxReference;
    }
}

INSTANTIATE_TEST_SUITE_P(HandModels, ModelOutputTest,
                         ::testing::Values("palm_detection_lite", "palm_detection_full", "hand_landmark_lite",
                                           "hand_landmark_full"),
                         [](const ::testing::TestParamInfo<std::string>& row) { return row.param; });

using Damage = std::function<void(std::vector<char>&)>;

// Model files that cannot be used: copies of the models named (if any), the landmarks damaged.
struct BadModels {
    std::string name, palmFrom, landmarkFrom;
    Damage damageLandmarks;
    std::string error;
};

class BadModelsTest : public ::testing::TestWithParam<BadModels> {};

TEST_P(BadModelsTest, AreRefusedWithAnErrorNamingTheFile) {
    const BadModels& c = GetParam();
    const fs::path directory = fs::temp_directory_path() / ("vantor-handpose-" + std::to_string(::getpid()));
    fs::remove_all(directory);
    fs::create_directories(directory);
    const auto copy = [&](const std::string& from, const char* to, const Damage& damage) {
        if (from.empty()) return;
        auto bytes = fileBytes(fs::path(defaultModelsDirectory()) / (from + ".tflite"));
        if (damage) damage(bytes);
        std::ofstream(directory / to, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    };
    copy(c.palmFrom, "palm_detection_lite.tflite", nullptr);
    copy(c.landmarkFrom, "hand_landmark_lite.tflite", c.damageLandmarks);
    std::string error;
    EXPECT_FALSE(MediaPipeHandDetector::create(directory.string(), ModelVariant::Lite, error));
    EXPECT_THAT(error, ::testing::HasSubstr(c.error));
    fs::remove_all(directory);
}

const std::string kPalm = "palm_detection_lite", kLandmark = "hand_landmark_lite";
const std::string kLandmarkFile = "hand_landmark_lite.tflite";

INSTANTIATE_TEST_SUITE_P(
    Files, BadModelsTest,
    ::testing::Values(
        BadModels{"Missing", "", "", nullptr, "palm_detection_lite.tflite"},
        BadModels{"Swapped", kLandmark, kPalm, nullptr, "palm_detection_lite.tflite: not a palm detection model"},
        BadModels{"Empty", kPalm, kLandmark, [](auto& b) { b.clear(); }, kLandmarkFile},
        BadModels{"CutToAThird", kPalm, kLandmark, [](auto& b) { b.resize(b.size() / 3); }, kLandmarkFile}),
    [](const ::testing::TestParamInfo<BadModels>& row) { return row.param.name; });

// Each operator's small model is built by the inference engine and, with -1
// everywhere in its input, gives the values worked out by hand. A PRELU whose
// slope is a scalar passed every check once and then crashed the planner;
// it is refused with the reason.
TEST(TinyModels, EveryOperatorBuildsAndRunsAndAScalarSlopeIsRefused) {
    std::map<std::string, std::vector<float>> outputs;
    for (const auto& [name, bytes] : testing::tinyModelsOfEveryOperator()) {
        std::string error;
        const auto model = TfliteModel::fromBytes(bytes, error);
        ASSERT_TRUE(model) << name << ": " << error;
        const auto network = XnnNetwork::fromModel(*model, nullptr, error);
        if (name == "prelu-scalar-slope") {
            EXPECT_FALSE(network);
            EXPECT_THAT(error, ::testing::HasSubstr("only one slope per channel is supported"));
            continue;
        }
        ASSERT_TRUE(network) << name << ": " << error;
        std::ranges::fill(network->input(), -1.0f);
        ASSERT_TRUE(network->run()) << name;
        const auto values = network->output(0);
        EXPECT_TRUE(std::ranges::all_of(values, [](float v) { return std::isfinite(v); })) << name;
        outputs[name].assign(values.begin(), values.end());
    }
    // The first values of a model's output are these.
    const auto startsWith = [&](const std::string& name, std::vector<float> expected) {
        const auto& got = outputs[name];
        const std::vector<float> first(got.begin(), got.begin() + static_cast<long>(std::min(got.size(), expected.size())));
        EXPECT_THAT(first, ::testing::Pointwise(::testing::FloatNear(1e-4f), expected)) << name;
    };
    startsWith("add", {-1.25f, -1.125f});
    startsWith("logistic", {0.26894f});
    startsWith("prelu", {0.25f, 0.125f});
    startsWith("dequantize", {0.0f, -2.0f});
    startsWith("mean", {-1.0f, -1.0f});
    startsWith("pad", {0.0f, 0.0f}); // a padded row first
    startsWith("max-pool", {-1.0f});
    startsWith("concatenation", {0.26894f, 0.26894f, -2.0f, -2.0f}); // logistic's two channels, then the sum's
    EXPECT_EQ(outputs["concatenation"].size(), 64u);
}

} // namespace
} // namespace vantor::handtracking
