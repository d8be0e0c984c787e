// The palm model's outputs decoded, and the whole detector on real photos:
// MediaPipe's own joints for the reference photo, also once turned and once
// tracked from the last hand (which is what places the hand's regions).
#include "platform/handtracking/loader/HandTrackingLoader.h"
#include "platform/handtracking/pipeline/MediaPipeHandDetector.h"
#include "platform/image/ImageFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include <cmath>

namespace vantor::handtracking {
namespace {

TEST(PalmDecodingTest, PalmSitsAtItsAnchorAndIsKeptOnlyWhenTheSigmoidOfItsLogitReachesTheThreshold) {
    const std::vector<Anchor> anchors(5, Anchor{0.5f, 0.5f});
    std::vector<float> regressors(5 * kPalmValuesPerAnchor, 0.0f);
    regressors[2] = 38.4f; // width 0.2 of the 192-pixel input
    regressors[4] = 96.0f; // keypoint 0 half the input right of the anchor
    const std::vector<float> logits{2.0f, -0.1f, 1e30f, -1e30f, std::nanf("")};
    const auto palms = decodePalms(regressors, logits, anchors, 192.0f, 0.5f);
    ASSERT_EQ(palms.size(), 2u);
    EXPECT_NEAR(palms[0].score, 1.0f / (1.0f + std::exp(-2.0f)), 1e-6);
    EXPECT_NEAR(palms[0].xMin, 0.4f, 1e-6);
    EXPECT_NEAR(palms[0].keypoints[0].x, 1.0f, 1e-6);
    EXPECT_FLOAT_EQ(palms[1].score, 1.0f);
}

PalmDetection palm(float x, float size, float score, Point2 wrist = {}, Point2 knuckle = {}) {
    PalmDetection p{x, 0.4f, size, size, {}, score};
    p.keypoints[0] = wrist;
    p.keypoints[2] = knuckle;
    return p;
}

TEST(PalmDecodingTest, OverlappingPalmsMergeWeightedByScoreOthersStayApartBestFirst) {
    // The first and last overlap by IoU 0.67; a box without area overlaps nothing, not even itself.
    const auto kept = weightedNonMaxSuppression(
        {palm(0.2f, 1.0f, 0.6f, {1.0f, 0.0f}), palm(5.0f, 0.2f, 0.7f), palm(0.0f, NAN, 0.8f), palm(0.0f, 1.0f, 0.9f)},
        0.3f);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_NEAR(kept[0].xMin, 0.2f * 0.6f / 1.5f, 1e-6);
    EXPECT_NEAR(kept[0].width, 1.0f, 1e-6);
    EXPECT_NEAR(kept[0].keypoints[0].x, 0.6f / 1.5f, 1e-6);
    EXPECT_FLOAT_EQ(kept[0].score, 0.9f);
    EXPECT_FLOAT_EQ(kept[1].score, 0.8f);
    EXPECT_FLOAT_EQ(kept[2].score, 0.7f);
}

using camera::HandJoint;

struct Joint {
    HandJoint joint;
    double x, y;
};

// MediaPipe's own result for handsrc.png (lite models), origin lower left.
const std::vector<Joint> kMediaPipeJoints{
    {HandJoint::Wrist, -0.0018, 0.4458},   {HandJoint::ThumbTip, 0.3932, 0.9574},
    {HandJoint::IndexTip, 0.7461, 0.7129}, {HandJoint::MiddleTip, 0.8233, 0.4640},
    {HandJoint::LittleTip, 0.6559, 0.0887},
};

camera::VideoFrame photo(const std::string& file) {
    return platform::readImageFile(std::string(VANTOR_TEST_DATA_DIR) + "/" + file).value_or(camera::VideoFrame{});
}

camera::VideoFrame frameOf(const cv::Mat& bgr) {
    return {bgr.cols, bgr.rows, std::make_shared<const std::vector<std::uint8_t>>(bgr.datastart, bgr.dataend)};
}

class PipelineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        detector_ = MediaPipeHandDetector::create(defaultModelsDirectory(), ModelVariant::Lite, error).release();
        ASSERT_NE(detector_, nullptr) << error;
    }
    static void TearDownTestSuite() { delete detector_; }
    void SetUp() override {
        ASSERT_NE(detector_, nullptr);
        detector_->forgetHand();
    }

    // One hand, its five joints within 2 % of the picture's width of `expected`.
    static void expectHand(const camera::VideoFrame& picture, const std::vector<Joint>& expected) {
        const auto hands = detector_->detect(picture);
        ASSERT_TRUE(hands);
        ASSERT_EQ(hands->size(), 1u);
        for (const Joint& j : expected) {
            const auto point = hands->front().recognizedPoint(j.joint);
            ASSERT_TRUE(point);
            EXPECT_LE(std::hypot(point->x - j.x, (point->y - j.y) * picture.height / picture.width), 0.02)
                << "joint " << static_cast<int>(j.joint) << " at " << point->x << ", " << point->y;
            EXPECT_GT(point->confidence, 0.5f);
        }
    }

    static inline MediaPipeHandDetector* detector_ = nullptr;
};

TEST_F(PipelineTest, ReferencePhotoGivesMediaPipesJointsTrackedFromFrameToFrameUntilAPhotoWithoutAHand) {
    const auto picture = photo("handsrc.png");
    expectHand(picture, kMediaPipeJoints);
    EXPECT_TRUE(detector_->isTracking());
    expectHand(picture, kMediaPipeJoints);
    EXPECT_TRUE(detector_->isTracking());
    const auto hands = detector_->detect(photo("fruits.jpg"));
    ASSERT_TRUE(hands);
    EXPECT_TRUE(hands->empty());
    EXPECT_FALSE(detector_->isTracking());
}

TEST_F(PipelineTest, TurnedPhotoGivesTurnedJoints) {
    cv::Mat turned;
    cv::rotate(bgrPicture(photo("handsrc.png")), turned, cv::ROTATE_90_CLOCKWISE);
    std::vector<Joint> turnedJoints; // a quarter turn clockwise takes (x, y) with y up to (y, 1 - x)
    for (const Joint& j : kMediaPipeJoints) turnedJoints.push_back({j.joint, j.y, 1.0 - j.x});
    expectHand(frameOf(turned), turnedJoints);
}

TEST_F(PipelineTest, ShortFrameFailsAndTinyOrOddSizedFramesGiveNoHand) {
    EXPECT_FALSE(detector_->detect({4, 4, std::make_shared<const std::vector<std::uint8_t>>(10, 0)}));
    for (const auto& size : {cv::Size(1, 1), cv::Size(3, 1000), cv::Size(1000, 2)}) {
        const auto hands = detector_->detect(frameOf(cv::Mat(size, CV_8UC3, cv::Scalar(40, 90, 160))));
        ASSERT_TRUE(hands);
        EXPECT_TRUE(hands->empty());
    }
}

// The module the program loads when the camera's first picture needs it; a
// missing file is named at once, one that is no module with that picture.
TEST(HandTrackingModule, LoadsWithTheFirstPictureOrSaysWhyItCannot) {
    std::string error;
    auto detector = makeDeferredHandDetector(VANTOR_HANDTRACKING_MODULE, defaultModelsDirectory(), error);
    ASSERT_TRUE(detector) << error;
    const auto hands = detector->detect(photo("handsrc.png"));
    EXPECT_TRUE(hands && hands->size() == 1u);
    EXPECT_TRUE(detector->canFindHands());

    EXPECT_FALSE(makeDeferredHandDetector("/no/such/handtracking.so", defaultModelsDirectory(), error));
    EXPECT_EQ(error, "Hand tracking unavailable: cannot open /no/such/handtracking.so");
    const std::string notAModule = std::string(VANTOR_TEST_DATA_DIR) + "/README.md";
    detector = makeDeferredHandDetector(notAModule, defaultModelsDirectory(), error);
    ASSERT_TRUE(detector);
    ::testing::internal::CaptureStderr();
    const auto none = detector->detect(photo("handsrc.png"));
    EXPECT_THAT(::testing::internal::GetCapturedStderr(),
                ::testing::StartsWith("Hand tracking unavailable: cannot load " + notAModule + ": "));
    EXPECT_TRUE(none && none->empty());
    EXPECT_FALSE(detector->canFindHands());
}

} // namespace
} // namespace vantor::handtracking
