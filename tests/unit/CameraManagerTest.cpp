#include "camera/CameraManager.h"
#include "camera/DeferredHandPoseDetector.h"
#include "camera/NoHandDetector.h"
#include "support/ConsoleRecorder.h"
#include "support/HandFrames.h"
#include "support/ManualMainQueue.h"
#include "support/ScriptedCaptureSession.h"
#include "support/ScriptedHandPoseDetector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace vantor::camera {
namespace {

using testing::ConsoleRecorder;
using testing::HandShape;
using testing::makeHand;
using testing::ManualMainQueue;
using testing::ScriptedCaptureSession;
using testing::ScriptedHandPoseDetector;

constexpr TrackedValues kZeros{};

class CameraManagerTest : public ::testing::Test {
protected:
    explicit CameraManagerTest(bool hasCamera = true) {
        auto ownedSession = std::make_unique<ScriptedCaptureSession>(hasCamera);
        auto ownedDetector = std::make_unique<ScriptedHandPoseDetector>();
        session = ownedSession.get();
        detector = ownedDetector.get();
        manager = std::make_unique<CameraManager>(std::move(ownedSession), std::move(ownedDetector), queue, console);
        manager->session().startRunning();
    }

    // One picture through the worker's step, and its outcome through the
    // main thread.
    void frame() {
        session->deliver();
        queue.runAll();
    }
    void handFrame(const HandObservation& hand) {
        detector->pushHand(hand);
        frame();
    }
    void handFrames(const HandObservation& hand, int count) {
        for (int i = 0; i < count; ++i) handFrame(hand);
    }

    ManualMainQueue queue;
    ConsoleRecorder console;
    ScriptedCaptureSession* session = nullptr;
    ScriptedHandPoseDetector* detector = nullptr;
    std::unique_ptr<CameraManager> manager;
};

// Raw values 1, 0.5, 0.25, 0.8 and tilt 0.375 (hand pointing up).
const HandShape kShape{.thumbY = 1.0, .indexY = 0.5, .middleY = 0.25, .pinch = 0.8};
const TrackedValues kRaw{1.0, 0.5, 0.25, 0.8, 0.375};

TEST(CameraManagerSetup, ConfiguresButNeverStartsTheSession) {
    ManualMainQueue queue;
    ConsoleRecorder console;
    auto owned = std::make_unique<ScriptedCaptureSession>(true);
    auto* session = owned.get();
    CameraManager manager(std::move(owned), std::make_unique<ScriptedHandPoseDetector>(), queue, console);
    EXPECT_TRUE(session->hasFrameHandler());
    EXPECT_EQ(session->startCount(), 0u);
    EXPECT_FALSE(session->deliver());
    EXPECT_EQ(manager.sliderValues(), kZeros);
    EXPECT_EQ(manager.lastValues(), kZeros);
    EXPECT_TRUE(manager.handTrackingPoints().empty());
}

TEST(CameraManagerSetup, WithoutACameraStartingAndStoppingIsHarmlessAndSilent) {
    ManualMainQueue queue;
    ConsoleRecorder console;
    auto owned = std::make_unique<ScriptedCaptureSession>(false);
    auto* session = owned.get();
    CameraManager manager(std::move(owned), std::make_unique<ScriptedHandPoseDetector>(), queue, console);
    EXPECT_FALSE(session->hasFrameHandler());
    manager.session().startRunning();
    manager.session().startRunning();
    EXPECT_FALSE(session->deliver());
    manager.session().stopRunning();
    manager.session().stopRunning();
    EXPECT_EQ(queue.readyCount(), 0u);
    EXPECT_TRUE(console.lines().empty());
    EXPECT_EQ(manager.sliderValues(), kZeros);
}

TEST(CameraManagerSetup, TheStandInDetectorKeepsTheValuesAtRestAndTheSlidersFree) {
    ManualMainQueue queue;
    ConsoleRecorder console;
    auto owned = std::make_unique<ScriptedCaptureSession>(true);
    auto* session = owned.get();
    CameraManager manager(std::move(owned), std::make_unique<NoHandDetector>(), queue, console);
    manager.session().startRunning();
    manager.setSliderValue(1, 0.7);
    session->deliver();
    queue.runAll();
    EXPECT_EQ(manager.sliderValues(), kZeros);
    manager.setSliderValue(1, 0.7);
    EXPECT_EQ(manager.sliderValues()[1], 0.7);
    EXPECT_TRUE(console.lines().empty());
}

struct NoticeCase {
    std::string name;
    bool hasCamera;
    std::function<std::unique_ptr<HandPoseDetector>()> detector;
    CameraNotice before; // the first picture
    CameraNotice after;
    friend void PrintTo(const NoticeCase& row, std::ostream* out) { *out << row.name; }
};

class CameraNoticeTest : public ::testing::TestWithParam<NoticeCase> {};

TEST_P(CameraNoticeTest, SaysWhatThePictureCannot) {
    const auto& c = GetParam();
    ManualMainQueue queue;
    ConsoleRecorder console;
    auto owned = std::make_unique<ScriptedCaptureSession>(c.hasCamera);
    auto* session = owned.get();
    CameraManager manager(std::move(owned), c.detector(), queue, console);
    std::vector<CameraNotice> told;
    auto connection = manager.noticeChanged().connect([&](CameraNotice notice) { told.push_back(notice); });
    EXPECT_EQ(manager.notice(), c.before);

    manager.session().startRunning();
    session->deliver();
    session->deliver();
    queue.runAll();
    EXPECT_EQ(manager.notice(), c.after);
    EXPECT_EQ(told, c.before == c.after ? std::vector<CameraNotice>{} : std::vector{c.after});
}

std::unique_ptr<HandPoseDetector> scripted() { return std::make_unique<ScriptedHandPoseDetector>(); }
std::unique_ptr<HandPoseDetector> noHands() { return std::make_unique<NoHandDetector>(); }
std::unique_ptr<HandPoseDetector> unreadableModels() {
    return std::make_unique<DeferredHandPoseDetector>([] { return std::unique_ptr<HandPoseDetector>(); });
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CameraNoticeTest,
    ::testing::Values(
        NoticeCase{"cameraAndModels", true, scripted, CameraNotice::None, CameraNotice::None},
        NoticeCase{"noCamera", false, scripted, CameraNotice::NoCamera, CameraNotice::NoCamera},
        NoticeCase{"noCameraNorModels", false, noHands, CameraNotice::NoCamera, CameraNotice::NoCamera},
        NoticeCase{"modelsMissing", true, noHands, CameraNotice::HandTrackingUnavailable,
                   CameraNotice::HandTrackingUnavailable},
        NoticeCase{"modelsUnreadableWhenFirstRead", true, unreadableModels, CameraNotice::None,
                   CameraNotice::HandTrackingUnavailable}),
    [](const auto& row) { return row.param.name; });

TEST(CameraNoticeTest, APulledOutCameraIsToldUntilAStartFindsItAgain) {
    ManualMainQueue queue;
    ConsoleRecorder console;
    auto owned = std::make_unique<ScriptedCaptureSession>(true);
    auto* session = owned.get();
    CameraManager manager(std::move(owned), noHands(), queue, console);
    std::vector<CameraNotice> told;
    auto connection = manager.noticeChanged().connect([&](CameraNotice notice) { told.push_back(notice); });

    manager.session().startRunning();
    session->loseCamera();
    queue.runAll();
    EXPECT_EQ(manager.notice(), CameraNotice::CameraDisconnected) << "outranks the missing hand models";
    manager.session().startRunning();
    queue.runAll();
    EXPECT_EQ(told, (std::vector{CameraNotice::CameraDisconnected, CameraNotice::HandTrackingUnavailable}));
}

TEST_F(CameraManagerTest, SmoothsFingerValuesByOneFifthOfTheWayPerFrame) {
    const double expected[] = {0.2, 0.36, 0.488, 0.5904};
    for (const double fraction : expected) {
        handFrame(makeHand(kShape));
        for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(manager->sliderValues()[i], fraction * kRaw[i], 1e-12) << i;
    }
    EXPECT_EQ(manager->lastValues(), manager->sliderValues());
}

TEST_F(CameraManagerTest, FingerValuesComeWithinOnePercentAfterTwentyOneFrames) {
    handFrames(makeHand(kShape), 20);
    EXPECT_GT(std::abs(manager->sliderValues()[0] - kRaw[0]), 0.01 * kRaw[0]);
    handFrame(makeHand(kShape));
    for (std::size_t i = 0; i < 4; ++i) EXPECT_LT(std::abs(manager->sliderValues()[i] - kRaw[i]), 0.01 * kRaw[i]) << i;
}

TEST_F(CameraManagerTest, SmoothsTheTiltByHalfTheWayPerFrameWithinOnePercentAfterSeven) {
    const double tilt = kRaw[index(TrackedValue::Tilt)];
    handFrame(makeHand(kShape));
    EXPECT_NEAR(manager->sliderValues()[4], 0.5 * tilt, 1e-12);
    handFrame(makeHand(kShape));
    EXPECT_NEAR(manager->sliderValues()[4], 0.75 * tilt, 1e-12);
    handFrames(makeHand(kShape), 4);
    EXPECT_GT(std::abs(manager->sliderValues()[4] - tilt), 0.01 * tilt);
    handFrame(makeHand(kShape));
    EXPECT_LT(std::abs(manager->sliderValues()[4] - tilt), 0.01 * tilt);
}

TEST_F(CameraManagerTest, PublishesThePinchUnclamped) {
    HandShape wide = kShape;
    wide.pinch = 1.4;
    handFrames(makeHand(wide), 40);
    EXPECT_NEAR(manager->sliderValues()[index(TrackedValue::Pinch)], 1.4, 0.01);
}

enum class Miss { NoHand, DetectionFailed };

class HandLost : public CameraManagerTest, public ::testing::WithParamInterface<Miss> {};

TEST_P(HandLost, ResetsThePublishedValuesOnlyAndTheHandJumpsBackWhenItReturns) {
    handFrames(makeHand(kShape), 3);
    const auto remembered = manager->lastValues();
    const auto points = manager->handTrackingPoints();
    ASSERT_EQ(points.size(), 4u);

    GetParam() == Miss::NoHand ? detector->pushNoHand() : detector->pushFailure();
    frame();
    EXPECT_EQ(manager->sliderValues(), kZeros);
    EXPECT_EQ(manager->lastValues(), remembered);
    EXPECT_EQ(manager->handTrackingPoints(), points);
    EXPECT_TRUE(console.lines().empty());

    handFrame(makeHand(kShape));
    for (std::size_t i = 0; i < kTrackedValueCount; ++i) {
        const double weight = i == 4 ? 0.5 : 0.2;
        EXPECT_NEAR(manager->sliderValues()[i], remembered[i] + weight * (kRaw[i] - remembered[i]), 1e-12) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Misses, HandLost, ::testing::Values(Miss::NoHand, Miss::DetectionFailed),
                         [](const auto& row) { return row.param == Miss::NoHand ? "noHand" : "detectionFailed"; });

class FingerTipLookup : public CameraManagerTest, public ::testing::WithParamInterface<HandJoint> {};

TEST_P(FingerTipLookup, FailingPrintsOnceAndPublishesNothing) {
    handFrames(makeHand(kShape), 2);
    const auto values = manager->sliderValues();
    const auto memory = manager->lastValues();
    const auto points = manager->handTrackingPoints();

    auto hand = makeHand({.thumbY = 0.1, .indexY = 0.1, .middleY = 0.1});
    hand.joints[static_cast<std::size_t>(GetParam())].reset();
    detector->pushHand(hand);
    session->deliver();
    EXPECT_EQ(queue.readyCount(), 0u);
    EXPECT_EQ(console.lines(), std::vector<std::string>{"Error in recognizing points"});
    EXPECT_EQ(manager->sliderValues(), values);
    EXPECT_EQ(manager->lastValues(), memory);
    EXPECT_EQ(manager->handTrackingPoints(), points);
}

INSTANTIATE_TEST_SUITE_P(Tips, FingerTipLookup,
                         ::testing::Values(HandJoint::ThumbTip, HandJoint::IndexTip, HandJoint::MiddleTip),
                         [](const auto& row) {
                             return row.param == HandJoint::ThumbTip   ? "thumb"
                                    : row.param == HandJoint::IndexTip ? "index"
                                                                        : "middle";
                         });

TEST_F(CameraManagerTest, ADetectorReportingNaNForAFingerTipCannotPoisonTheValues) {
    handFrames(makeHand(kShape), 2);
    auto hand = makeHand(kShape);
    hand.joints[static_cast<std::size_t>(HandJoint::ThumbTip)]->y = std::numeric_limits<double>::quiet_NaN();
    handFrame(hand);
    handFrame(makeHand(kShape));
    for (const double value : manager->lastValues()) EXPECT_TRUE(std::isfinite(value));
    EXPECT_NEAR(manager->sliderValues()[0], 0.488, 1e-12);
}

TEST_F(CameraManagerTest, PostsAtMostOneTaskPerFrameAndTheyRunInOrder) {
    // Thumb heights 0.1, 0.2, ... with misses in between.
    for (int i = 1; i <= 4; ++i) {
        detector->pushHand(makeHand({.thumbY = 0.1 * i, .indexY = 0.1 * i}));
        detector->pushNoHand();
        detector->pushFailure();
    }
    auto badTip = makeHand({});
    badTip.joints[static_cast<std::size_t>(HandJoint::MiddleTip)].reset();
    detector->pushHand(badTip);

    for (std::size_t frames = 1; frames <= 13; ++frames) {
        const auto before = queue.readyCount();
        session->deliver();
        EXPECT_LE(queue.readyCount(), before + 1) << frames;
    }
    EXPECT_EQ(queue.readyCount(), 12u);

    std::vector<double> thumbs;
    auto connection = manager->sliderValuesChanged().connect(
        [&](const TrackedValues& values) { thumbs.push_back(values[0]); });
    queue.runAll();
    // Smoothing memory after hands 0.1, 0.2, 0.3, 0.4, each followed by two resets.
    const std::vector<double> expected{0.02, 0, 0.056, 0, 0.1048, 0, 0.16384, 0};
    ASSERT_EQ(thumbs.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(thumbs[i], expected[i], 1e-12) << i;
}

TEST_F(CameraManagerTest, NotifiesOnlyWhenAPublishedFieldChanges) {
    int valueChanges = 0;
    int pointChanges = 0;
    auto values = manager->sliderValuesChanged().connect([&](const TrackedValues&) { ++valueChanges; });
    auto points = manager->handTrackingPointsChanged().connect(
        [&](const std::vector<TrackingPoint>&) { ++pointChanges; });

    detector->pushNoHand();
    frame();
    EXPECT_EQ(valueChanges, 0); // already zeros

    handFrames(makeHand(kShape), 2);
    EXPECT_EQ(valueChanges, 2);
    EXPECT_EQ(pointChanges, 1); // the same hand twice

    detector->pushNoHand();
    frame();
    EXPECT_EQ(valueChanges, 3);
    EXPECT_EQ(pointChanges, 1); // the overlay keeps the last hand
}

TEST_F(CameraManagerTest, DraggingPublishesTheValueWithoutTouchingTheSmoothingMemory) {
    handFrame(makeHand(kShape));
    std::vector<TrackedValues> told;
    auto connection = manager->sliderValuesChanged().connect([&](const TrackedValues& v) { told.push_back(v); });

    manager->setSliderValue(2, 0.9);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0][2], 0.9);
    EXPECT_EQ(manager->sliderValues()[2], 0.9);
    EXPECT_NEAR(manager->lastValues()[2], 0.2 * kRaw[2], 1e-12);

    manager->setSliderValue(5, 0.5);
    manager->setSliderValue(1, std::numeric_limits<double>::quiet_NaN());
    manager->setSliderValue(2, 0.9);
    EXPECT_EQ(told.size(), 1u);

    handFrame(makeHand(kShape));
    EXPECT_NEAR(manager->sliderValues()[2], 0.36 * kRaw[2], 1e-12);
}

TEST_F(CameraManagerTest, ResultsStillQueuedWhenTheManagerGoesAwayAreDropped) {
    detector->pushHand(makeHand(kShape));
    detector->pushNoHand();
    session->deliver();
    session->deliver();
    ASSERT_EQ(queue.readyCount(), 2u);
    manager.reset();
    // Under AddressSanitizer a task reaching the freed manager would fail here.
    EXPECT_EQ(queue.runAll(), 2u);
}

} // namespace
} // namespace vantor::camera
