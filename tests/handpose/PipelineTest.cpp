// The whole detector on real photos: the reference photo gives MediaPipe's
// own joints, a photo without a hand gives none, and a turned photo gives
// the turned joints.
#include "TestData.h"

#include "platform/handpose/MediaPipeHandDetector.h"
#include "platform/image/ImageFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace vantor::handpose {
namespace {

using camera::HandJoint;
using ::testing::HasSubstr;

struct Joint {
    HandJoint joint;
    double x;
    double y;
};

// MediaPipe's own result for the reference photo (lite models), origin lower left.
const std::vector<Joint> kMediaPipeJoints{
    {HandJoint::Wrist, -0.0018, 0.4458},    {HandJoint::ThumbTip, 0.3932, 0.9574},
    {HandJoint::IndexTip, 0.7461, 0.7129},  {HandJoint::MiddleTip, 0.8233, 0.4640},
    {HandJoint::LittleTip, 0.6559, 0.0887},
};

camera::VideoFrame frameOf(const cv::Mat& bgr) {
    camera::VideoFrame frame;
    frame.width = bgr.cols;
    frame.height = bgr.rows;
    const cv::Mat continuous = bgr.isContinuous() ? bgr : bgr.clone();
    frame.bgr = std::make_shared<const std::vector<std::uint8_t>>(continuous.data,
                                                                  continuous.data + continuous.total() * 3);
    return frame;
}

// An empty frame when the file cannot be read.
camera::VideoFrame photo(const std::string& file) {
    return platform::readImageFile(test::dataPath(file)).value_or(camera::VideoFrame{});
}

// Distance between two points in units of the picture's width.
double distanceInWidths(double dx, double dy, const camera::VideoFrame& picture) {
    return std::hypot(dx, dy * picture.height / picture.width);
}

class PipelineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        detector_ = MediaPipeHandDetector::create(defaultModelsDirectory(), ModelVariant::Lite, error).release();
        ASSERT_NE(detector_, nullptr) << error;
    }
    static void TearDownTestSuite() {
        delete detector_;
        detector_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(detector_, nullptr);
        detector_->forgetHand();
    }

    void expectJoints(const camera::HandObservation& hand, const std::vector<Joint>& expected,
                      const camera::VideoFrame& picture) {
        for (const Joint& j : expected) {
            const auto point = hand.recognizedPoint(j.joint);
            ASSERT_TRUE(point);
            EXPECT_LE(distanceInWidths(point->x - j.x, point->y - j.y, picture), 0.02)
                << "joint " << static_cast<int>(j.joint) << " at " << point->x << ", " << point->y << ", expected "
                << j.x << ", " << j.y;
            EXPECT_GT(point->confidence, 0.5f);
        }
    }

    static MediaPipeHandDetector* detector_;
};

MediaPipeHandDetector* PipelineTest::detector_ = nullptr;

TEST_F(PipelineTest, ReferencePhotoGivesMediaPipesJoints) {
    const auto picture = photo("handsrc.png");
    ASSERT_TRUE(picture.isValid());
    const auto hands = detector_->detect(picture);
    ASSERT_TRUE(hands);
    ASSERT_EQ(hands->size(), 1u);
    expectJoints(hands->front(), kMediaPipeJoints, picture);
}

TEST_F(PipelineTest, PhotoWithoutAHandGivesNone) {
    const auto picture = photo("fruits.jpg");
    ASSERT_TRUE(picture.isValid());
    const auto hands = detector_->detect(picture);
    ASSERT_TRUE(hands);
    EXPECT_TRUE(hands->empty());
    EXPECT_FALSE(detector_->isTracking());
}

TEST_F(PipelineTest, TurnedPhotoGivesTurnedJoints) {
    cv::Mat turned;
    cv::rotate(bgrPicture(photo("handsrc.png")), turned, cv::ROTATE_90_CLOCKWISE);
    const auto picture = frameOf(turned);
    const auto hands = detector_->detect(picture);
    ASSERT_TRUE(hands);
    ASSERT_EQ(hands->size(), 1u);
    // A quarter turn clockwise takes (x, y) with y up to (y, 1 - x).
    std::vector<Joint> turnedJoints;
    for (const Joint& j : kMediaPipeJoints) turnedJoints.push_back({j.joint, j.y, 1.0 - j.x});
    expectJoints(hands->front(), turnedJoints, picture);
}

TEST_F(PipelineTest, NextFrameIsTrackedFromTheLandmarks) {
    const auto picture = photo("handsrc.png");
    const auto first = detector_->detect(picture);
    ASSERT_TRUE(first && first->size() == 1);
    EXPECT_TRUE(detector_->isTracking());
    const auto second = detector_->detect(picture);
    ASSERT_TRUE(second && second->size() == 1);
    EXPECT_TRUE(detector_->isTracking());
    expectJoints(second->front(), kMediaPipeJoints, picture);
}

TEST_F(PipelineTest, LostHandEndsTracking) {
    ASSERT_TRUE(detector_->detect(photo("handsrc.png")));
    ASSERT_TRUE(detector_->isTracking());
    const auto hands = detector_->detect(photo("fruits.jpg"));
    ASSERT_TRUE(hands);
    EXPECT_TRUE(hands->empty());
    EXPECT_FALSE(detector_->isTracking());
}

TEST_F(PipelineTest, InvalidFrameIsAFailedRun) {
    camera::VideoFrame frame;
    frame.width = 4;
    frame.height = 4;
    frame.bgr = std::make_shared<const std::vector<std::uint8_t>>(10, 0);
    EXPECT_FALSE(detector_->detect(frame));
}

TEST_F(PipelineTest, TinyAndOddSizedFramesAreHandled) {
    for (const auto& size : {cv::Size(1, 1), cv::Size(3, 1000), cv::Size(1000, 2)}) {
        const cv::Mat picture(size, CV_8UC3, cv::Scalar(40, 90, 160));
        const auto hands = detector_->detect(frameOf(picture));
        ASSERT_TRUE(hands);
        EXPECT_TRUE(hands->empty());
    }
}

TEST(ObservationTest, FiveJointsWithYUpAndThePresenceAsConfidence) {
    HandResult hand;
    hand.found = true;
    hand.presence = 0.75f;
    for (std::size_t k = 0; k < kHandLandmarks; ++k)
        hand.landmarks[k] = {static_cast<float>(k) / 100.0f, static_cast<float>(k) / 50.0f};
    const auto observation = toObservation(hand);
    const std::vector<std::pair<HandJoint, std::size_t>> joints{
        {HandJoint::Wrist, 0}, {HandJoint::ThumbTip, 4}, {HandJoint::IndexTip, 8},
        {HandJoint::MiddleTip, 12}, {HandJoint::LittleTip, 20}};
    for (const auto& [joint, index] : joints) {
        const auto point = observation.recognizedPoint(joint);
        ASSERT_TRUE(point);
        EXPECT_NEAR(point->x, static_cast<double>(index) / 100.0, 1e-6);
        EXPECT_NEAR(point->y, 1.0 - static_cast<double>(index) / 50.0, 1e-6);
        EXPECT_FLOAT_EQ(point->confidence, 0.75f);
    }
}

class DetectorSetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        // One folder per process: test runs of other checkouts may share /tmp.
        directory_ = std::filesystem::temp_directory_path() /
                     ("vantor-handpose-" + std::to_string(::getpid()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(directory_);
    }
    void TearDown() override { std::filesystem::remove_all(directory_); }
    std::filesystem::path directory_;
};

TEST_F(DetectorSetupTest, MissingModelIsNamedInTheError) {
    std::string error;
    EXPECT_FALSE(MediaPipeHandDetector::create(directory_.string(), ModelVariant::Lite, error));
    EXPECT_THAT(error, HasSubstr("palm_detection_lite.tflite"));
}

TEST_F(DetectorSetupTest, CorruptModelIsNamedInTheError) {
    const auto models = std::filesystem::path(defaultModelsDirectory());
    std::filesystem::copy_file(models / "palm_detection_lite.tflite", directory_ / "palm_detection_lite.tflite");
    auto bytes = test::readBytes((models / "hand_landmark_lite.tflite").string());
    bytes.resize(bytes.size() / 3);
    std::ofstream(directory_ / "hand_landmark_lite.tflite", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::string error;
    EXPECT_FALSE(MediaPipeHandDetector::create(directory_.string(), ModelVariant::Lite, error));
    EXPECT_THAT(error, HasSubstr("hand_landmark_lite.tflite"));
}

TEST_F(DetectorSetupTest, SwappedModelsAreRefused) {
    const auto models = std::filesystem::path(defaultModelsDirectory());
    std::filesystem::copy_file(models / "hand_landmark_lite.tflite", directory_ / "palm_detection_lite.tflite");
    std::filesystem::copy_file(models / "palm_detection_lite.tflite", directory_ / "hand_landmark_lite.tflite");
    std::string error;
    EXPECT_FALSE(MediaPipeHandDetector::create(directory_.string(), ModelVariant::Lite, error));
    EXPECT_THAT(error, HasSubstr("not a palm detection model"));
}

TEST(DetectorFactoryTest, FindsTheModelsBesideTheProgram) {
    std::string error;
    EXPECT_TRUE(platform::makeMediaPipeHandDetector(error)) << error;
}

} // namespace
} // namespace vantor::handpose
