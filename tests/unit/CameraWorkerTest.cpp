// The camera's worker thread, alone and in the whole pipeline; also run
// under ThreadSanitizer.
#include "camera/CameraManager.h"
#include "camera/DeferredHandPoseDetector.h"
#include "camera/WorkerCaptureSession.h"
#include "support/CoreFakes.h"
#include "support/CameraFakes.h"

#include <gtest/gtest.h>

#include <future>
#include <numeric>
#include <set>

namespace vantor::camera {
namespace {

using namespace std::chrono_literals;
using testing::waitUntil;

// A worker session over scripted pictures that records what it hands over.
// After a picture that is not ready it would wait an hour: a stop that does
// not interrupt the wait hangs the test.
struct Worker {
    explicit Worker(std::optional<std::uint32_t> frames) {
        auto owned = std::make_unique<testing::ScriptedFrameSource>(frames);
        source = owned.get();
        session = std::make_unique<WorkerCaptureSession>(std::move(owned), std::chrono::hours(1));
        session->setFrameHandler([this](const VideoFrame& frame) {
            std::uint32_t number = 0;
            std::memcpy(&number, frame.bgr->data(), sizeof number);
            std::lock_guard lock(mutex);
            numbers.push_back(number);
            threads.insert(std::this_thread::get_id());
            ++delivered;
        });
        session->setPreviewHandler([this](const VideoFrame& frame) { previewCleared = !frame.isValid(); });
    }
    testing::ScriptedFrameSource* source = nullptr;
    std::unique_ptr<WorkerCaptureSession> session;
    std::mutex mutex;
    std::vector<std::uint32_t> numbers;
    std::set<std::thread::id> threads;
    std::atomic<std::size_t> delivered{0};
    std::atomic<bool> previewCleared{false};
};

TEST(WorkerCaptureSession, DeliversEveryPictureInOrderOnOneWorkerAndStopsAtOnceHoweverOftenStartedOrStopped) {
    Worker worker(300);
    worker.session->startRunning();
    worker.session->startRunning();
    ASSERT_TRUE(waitUntil([&] { return worker.source->reads() > 300; }));
    worker.session->stopRunning();
    worker.session->stopRunning();

    std::vector<std::uint32_t> expected(300);
    std::iota(expected.begin(), expected.end(), 0u);
    EXPECT_EQ(worker.numbers, expected);
    ASSERT_EQ(worker.threads.size(), 1u);
    EXPECT_NE(*worker.threads.begin(), std::this_thread::get_id());
    EXPECT_EQ(worker.source->opens(), 1u);
    EXPECT_EQ(worker.source->closes(), 1u);

    worker.session->startRunning();
    ASSERT_TRUE(waitUntil([&] { return worker.source->opens() == 2; }));
    worker.session->stopRunning();
    EXPECT_EQ(worker.source->closes(), 2u);
}

TEST(WorkerCaptureSession, ACameraGoneBeforeOrWhileRunningEndsTheRunUntilTheNextStartFindsItAgain) {
    for (const std::uint32_t unplugAt : {0u, 5u}) { // the picture due when the camera goes
        Worker worker(std::nullopt);
        std::atomic<int> lost{0};
        std::atomic<int> found{0};
        worker.session->setInputStateHandler([&](InputState state) { ++(state == InputState::Lost ? lost : found); });
        worker.source->unplugAt(unplugAt);
        worker.session->startRunning();
        ASSERT_TRUE(waitUntil([&] { return !worker.session->isRunning(); }));
        EXPECT_EQ(worker.session->inputState(), InputState::Lost);
        EXPECT_EQ(lost, 1);
        EXPECT_EQ(worker.delivered, unplugAt);
        EXPECT_TRUE(worker.previewCleared) << "the last picture must not stay on screen";
        EXPECT_EQ(worker.source->opens(), 1u) << "not retried until the next start";
        EXPECT_EQ(worker.source->closes(), unplugAt ? 1u : 0u);

        worker.source->plugBackIn();
        worker.session->startRunning();
        ASSERT_TRUE(waitUntil([&] { return worker.delivered > unplugAt + 5; }));
        EXPECT_EQ(worker.session->inputState(), InputState::Available);
        EXPECT_EQ(found, 1);
        EXPECT_FALSE(worker.previewCleared);
        worker.session->stopRunning();
    }
}

struct Pipeline {
    explicit Pipeline(std::optional<std::uint32_t> frames) {
        auto ownedSource = std::make_unique<testing::ScriptedFrameSource>(frames);
        auto ownedDetector = std::make_unique<testing::ScriptedHandPoseDetector>();
        source = ownedSource.get();
        detector = ownedDetector.get();
        manager = std::make_unique<CameraManager>(std::make_unique<WorkerCaptureSession>(std::move(ownedSource), 1ms),
                                                  std::move(ownedDetector), queue, console);
    }
    testing::ManualMainQueue queue;
    testing::ConsoleRecorder console;
    testing::ScriptedFrameSource* source = nullptr;
    testing::ScriptedHandPoseDetector* detector = nullptr;
    std::unique_ptr<CameraManager> manager;
};

TEST(CameraPipeline, AThousandHandsArriveInOrderWhileTheUserDragsSlidersBetweenDrains) {
    constexpr std::uint32_t kFrames = 1000;
    Pipeline p(kFrames);
    std::vector<HandObservation> hands;
    for (std::uint32_t i = 0; i < kFrames; ++i) {
        const double t = i / double{kFrames - 1};
        hands.push_back(testing::makeHand({.thumbY = t, .indexY = t, .middleY = 1 - t, .pinch = t}));
        p.detector->pushHand(hands.back());
    }
    std::size_t handTasks = 0;
    auto counter = p.manager->handTrackingPointsChanged().connect([&](const auto&) { ++handTasks; });
    p.manager->session().startRunning();
    int drag = 0;
    ASSERT_TRUE(waitUntil([&] {
        p.manager->setSliderValue(static_cast<std::size_t>(drag % 5), 0.001 * (drag % 1000));
        ++drag;
        p.queue.runAll();
        return handTasks == kFrames;
    }));
    p.manager->session().stopRunning();

    // The smoothing memory is that of every hand applied in order; drags never reach it. Smoothing a ramp by a
    // fifth a step lags it by four steps (1/999 each) once the start has faded (0.8^1000); the tilt stays 0.375.
    const TrackedValues expected{1 - 4 / 999.0, 1 - 4 / 999.0, 4 / 999.0, 1 - 4 / 999.0, 0.375};
    for (std::size_t i = 0; i < kTrackedValueCount; ++i) EXPECT_NEAR(p.manager->lastValues()[i], expected[i], 1e-12) << i;
    EXPECT_TRUE(p.console.lines().empty());
}

TEST(CameraPipeline, QuittingWhilePicturesFlowNeitherCrashesNorHangs) {
    Pipeline p(std::nullopt);
    p.manager->session().startRunning();
    ASSERT_TRUE(waitUntil([&] { return p.source->framesRead() > 20; }));
    for (int i = 0; i < 20; ++i) p.queue.runOne();
    p.manager.reset();
    p.queue.runAll(); // results posted before the worker stopped find their manager gone
    EXPECT_EQ(p.queue.readyCount(), 0u);
}

// The tracker is built on a thread of its own when the first picture comes: the pictures meanwhile are skipped
// (no reset, nothing posted), and stopping the camera, as leaving the gesture tab does, returns while the build
// is still going on. Destroying the manager waits for the build; nothing leaks or races (ASan, TSan).
TEST(CameraPipeline, StoppingWhileTheTrackerIsBuiltDoesNotWaitForTheBuild) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    struct ReleaseOnExit { // so that a failed check does not leave the build waiting for ever
        explicit ReleaseOnExit(std::promise<void>& promise) : release(promise) {}
        ReleaseOnExit(const ReleaseOnExit&) = delete;
        ~ReleaseOnExit() { release.set_value(); }
        std::promise<void>& release;
    };
    std::atomic<bool> building{false};
    auto ownedSource = std::make_unique<testing::ScriptedFrameSource>(std::nullopt);
    testing::ScriptedFrameSource* source = ownedSource.get();
    auto deferred = std::make_unique<DeferredHandPoseDetector>([&building, released] {
        building = true;
        released.wait();
        return std::unique_ptr<HandPoseDetector>(std::make_unique<testing::ScriptedHandPoseDetector>());
    });
    testing::ManualMainQueue queue;
    testing::ConsoleRecorder console;
    auto manager = std::make_unique<CameraManager>(std::make_unique<WorkerCaptureSession>(std::move(ownedSource), 1ms),
                                                   std::move(deferred), queue, console);
    std::optional<ReleaseOnExit> releaseOnExit;
    releaseOnExit.emplace(release);
    manager->session().startRunning();
    ASSERT_TRUE(waitUntil([&] { return building.load(); }));
    const auto readsWhileBuilding = source->framesRead();
    ASSERT_TRUE(waitUntil([&] { return source->framesRead() > readsWhileBuilding + 5; })) << "the worker waits for the build";
    manager->session().stopRunning(); // would never return if it waited for the build
    EXPECT_FALSE(manager->session().isRunning());
    EXPECT_EQ(queue.readyCount(), 0u) << "skipped pictures post nothing";
    releaseOnExit.reset();
    manager.reset();
    queue.runAll();
}

} // namespace
} // namespace vantor::camera
