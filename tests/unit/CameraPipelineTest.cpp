// The camera pipeline with its real worker thread: scripted pictures and
// hands on the worker, the test thread as the main thread. Also run under
// ThreadSanitizer.
#include "camera/CameraManager.h"
#include "camera/WorkerCaptureSession.h"
#include "support/ConsoleRecorder.h"
#include "support/HandFrames.h"
#include "support/ManualMainQueue.h"
#include "support/ScriptedFrameSource.h"
#include "support/ScriptedHandPoseDetector.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace vantor::camera {
namespace {

using namespace std::chrono_literals;
using testing::ConsoleRecorder;
using testing::handRamp;
using testing::HandShape;
using testing::ManualMainQueue;
using testing::ScriptedFrameSource;
using testing::ScriptedHandPoseDetector;
using testing::waitUntil;

struct Pipeline {
    explicit Pipeline(std::optional<std::uint32_t> frames) {
        auto ownedSource = std::make_unique<ScriptedFrameSource>(frames);
        auto ownedDetector = std::make_unique<ScriptedHandPoseDetector>();
        source = ownedSource.get();
        detector = ownedDetector.get();
        manager = std::make_unique<CameraManager>(
            std::make_unique<WorkerCaptureSession>(std::move(ownedSource), 1ms), std::move(ownedDetector), queue,
            console);
    }
    ManualMainQueue queue;
    ConsoleRecorder console;
    ScriptedFrameSource* source = nullptr;
    ScriptedHandPoseDetector* detector = nullptr;
    std::unique_ptr<CameraManager> manager;
};

TEST(CameraPipeline, ThousandFramesArriveInOrderWhileTheUserDragsSliders) {
    constexpr std::uint32_t kFrames = 1000;
    Pipeline p(kFrames);
    const auto hands = handRamp(HandShape{.thumbY = 0.0, .indexY = 0.0, .middleY = 1.0, .pinch = 0.0},
                                HandShape{.thumbY = 1.0, .indexY = 1.0, .middleY = 0.0, .pinch = 1.0}, kFrames);
    p.detector->pushHands(hands);

    std::size_t handTasks = 0;
    auto counter = p.manager->handTrackingPointsChanged().connect(
        [&](const std::vector<TrackingPoint>&) { ++handTasks; });

    p.manager->session().startRunning();
    int drag = 0;
    ASSERT_TRUE(waitUntil([&] {
        // The user drags a slider between two drains of the main queue.
        p.manager->setSliderValue(static_cast<std::size_t>(drag % 5), 0.001 * (drag % 1000));
        ++drag;
        p.queue.runAll();
        return p.detector->runs() == kFrames && p.queue.readyCount() == 0;
    }));
    p.manager->session().stopRunning();
    p.queue.runAll();

    // Every hand moved the overlay, and the smoothing memory is that of all
    // the hands applied in order: drags never reach it.
    EXPECT_EQ(handTasks, kFrames);
    TrackedValues expected{};
    for (const auto& hand : hands) {
        const auto raw = *rawTrackedValues(hand);
        for (std::size_t i = 0; i < kTrackedValueCount; ++i) {
            expected[i] += (i == 4 ? 0.5 : 0.2) * (raw[i] - expected[i]);
        }
    }
    for (std::size_t i = 0; i < kTrackedValueCount; ++i) EXPECT_DOUBLE_EQ(p.manager->lastValues()[i], expected[i]);
    EXPECT_TRUE(p.console.lines().empty());
}

TEST(CameraPipeline, QuittingWhileFramesFlowNeitherCrashesNorHangs) {
    Pipeline p(std::nullopt);
    p.detector->setFallback(std::vector<HandObservation>{testing::makeHand({})});
    p.manager->session().startRunning();
    ASSERT_TRUE(waitUntil([&] { return p.detector->runs() > 20; }));
    // Some results are applied while the worker runs; a bounded number, as
    // the worker may post them as fast as they are run.
    for (int i = 0; i < 20; ++i) p.queue.runOne();
    p.manager.reset();
    // Results posted before the worker stopped find their manager gone.
    p.queue.runAll();
    EXPECT_EQ(p.queue.readyCount(), 0u);
}

} // namespace
} // namespace vantor::camera
