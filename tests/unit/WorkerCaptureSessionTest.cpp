#include "camera/WorkerCaptureSession.h"
#include "support/HandFrames.h"
#include "support/ScriptedFrameSource.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <numeric>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace vantor::camera {
namespace {

using namespace std::chrono_literals;
using testing::frameNumber;
using testing::ScriptedFrameSource;
using testing::waitUntil;

struct SessionWithScript {
    explicit SessionWithScript(std::optional<std::uint32_t> frames, bool hasInput = true,
                               std::chrono::milliseconds retry = 1ms) {
        auto owned = std::make_unique<ScriptedFrameSource>(frames, hasInput);
        source = owned.get();
        session = std::make_unique<WorkerCaptureSession>(std::move(owned), retry);
    }
    ScriptedFrameSource* source = nullptr;
    std::unique_ptr<WorkerCaptureSession> session;
};

// Records what the worker hands over, and whether two calls ever overlapped.
struct FrameLog {
    CaptureSession::FrameHandler handler() {
        return [this](const VideoFrame& frame) {
            if (inside.fetch_add(1) != 0) overlapped = true;
            {
                std::lock_guard lock(mutex);
                numbers.push_back(frameNumber(frame));
                threads.push_back(std::this_thread::get_id());
            }
            inside.fetch_sub(1);
            delivered.fetch_add(1);
        };
    }
    std::mutex mutex;
    std::vector<std::uint32_t> numbers;
    std::vector<std::thread::id> threads;
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::atomic<std::size_t> delivered{0};
};

// Records whether the last preview call carried a picture.
struct PreviewLog {
    CaptureSession::FrameHandler handler() {
        return [this](const VideoFrame& frame) { lastWasEmpty = !frame.isValid(); };
    }
    std::atomic<bool> lastWasEmpty{false};
};

TEST(WorkerCaptureSession, WithoutInputStartsNoWorkerAndStopIsHarmless) {
    SessionWithScript s(10, /*hasInput=*/false);
    FrameLog log;
    s.session->setFrameHandler(log.handler());
    EXPECT_FALSE(s.session->hasInput());
    EXPECT_EQ(s.session->inputState(), InputState::None);
    s.session->stopRunning();
    s.session->startRunning();
    s.session->startRunning();
    EXPECT_FALSE(s.session->isRunning());
    s.session->stopRunning();
    EXPECT_EQ(s.source->opens(), 0u);
    EXPECT_EQ(log.delivered.load(), 0u);
}

TEST(WorkerCaptureSession, DeliversEveryFrameInOrderOneAtATimeOnOneWorkerThread) {
    SessionWithScript s(300);
    FrameLog log;
    s.session->setFrameHandler(log.handler());
    s.session->startRunning();
    ASSERT_TRUE(waitUntil([&] { return log.delivered.load() == 300; }));
    s.session->stopRunning();

    std::vector<std::uint32_t> expected(300);
    std::iota(expected.begin(), expected.end(), 0u);
    EXPECT_EQ(log.numbers, expected);
    EXPECT_FALSE(log.overlapped.load());
    EXPECT_NE(log.threads.front(), std::this_thread::get_id());
    EXPECT_EQ(std::count(log.threads.begin(), log.threads.end(), log.threads.front()), 300);
}

TEST(WorkerCaptureSession, RepeatedStartsShareOneRunAndEachStopClosesTheCamera) {
    SessionWithScript s(std::nullopt);
    FrameLog log;
    s.session->setFrameHandler(log.handler());
    s.session->startRunning();
    s.session->startRunning();
    ASSERT_TRUE(waitUntil([&] { return log.delivered.load() > 5; }));
    s.session->stopRunning();
    s.session->stopRunning();
    EXPECT_EQ(s.source->opens(), 1u);
    EXPECT_EQ(s.source->closes(), 1u);
    EXPECT_FALSE(s.source->isOpen());

    const auto afterFirstRun = log.delivered.load();
    s.session->startRunning();
    ASSERT_TRUE(waitUntil([&] { return log.delivered.load() > afterFirstRun + 5; }));
    s.session->stopRunning();
    EXPECT_EQ(s.source->opens(), 2u);
    EXPECT_EQ(s.source->closes(), 2u);
}

TEST(WorkerCaptureSession, KeepsTryingACameraThatCannotOpenYet) {
    SessionWithScript s(std::nullopt);
    s.source->failOpens(3);
    FrameLog log;
    s.session->setFrameHandler(log.handler());
    s.session->startRunning();
    ASSERT_TRUE(waitUntil([&] { return log.delivered.load() > 0; }));
    s.session->stopRunning();
    EXPECT_EQ(s.source->opens(), 4u);
}

TEST(WorkerCaptureSession, StopInterruptsTheWaitAfterAFailedRead) {
    // One frame, then every read fails; the worker would wait an hour before
    // asking again. Stopping must not wait for that (a hang fails the test).
    SessionWithScript s(1, true, std::chrono::hours(1));
    FrameLog log;
    s.session->setFrameHandler(log.handler());
    s.session->startRunning();
    ASSERT_TRUE(waitUntil([&] { return s.source->reads() >= 2; }));
    s.session->stopRunning();
    EXPECT_EQ(s.source->closes(), 1u);
}

TEST(WorkerCaptureSession, DestroyingARunningSessionStopsItsWorker) {
    SessionWithScript s(std::nullopt);
    FrameLog log;
    s.session->setFrameHandler(log.handler());
    s.session->startRunning();
    ASSERT_TRUE(waitUntil([&] { return log.delivered.load() > 5; }));
    s.session.reset(); // a worker left running would use the freed source (the sanitizers see it)
}

TEST(WorkerCaptureSession, PreviewSeesTheSameFramesAndAClearedPreviewIsNeverCalledAgain) {
    SessionWithScript s(std::nullopt);
    FrameLog analysis;
    FrameLog preview;
    s.session->setFrameHandler(analysis.handler());
    s.session->setPreviewHandler(preview.handler());
    s.session->startRunning();
    ASSERT_TRUE(waitUntil([&] { return preview.delivered.load() > 10; }));

    s.session->setPreviewHandler({});
    const auto previewed = preview.delivered.load();
    const auto analysed = analysis.delivered.load();
    ASSERT_TRUE(waitUntil([&] { return analysis.delivered.load() > analysed + 10; }));
    s.session->stopRunning();

    EXPECT_EQ(preview.delivered.load(), previewed);
    std::lock_guard lock(preview.mutex);
    for (std::size_t i = 0; i < preview.numbers.size(); ++i) EXPECT_EQ(preview.numbers[i], i);
}

struct UnplugCase {
    std::string name;
    std::uint32_t unplugAt;   // frame number due when the camera goes
    std::size_t closes;       // runs that had opened the camera
};
void PrintTo(const UnplugCase& row, std::ostream* out) { *out << row.name; }

class CameraGoesAway : public ::testing::TestWithParam<UnplugCase> {};

TEST_P(CameraGoesAway, TheRunEndsByItselfUntilTheNextStartFindsTheCameraAgain) {
    SessionWithScript s(std::nullopt);
    s.source->unplugAt(GetParam().unplugAt);
    FrameLog log;
    PreviewLog preview;
    std::atomic<int> toldLost{0};
    std::atomic<int> toldFound{0};
    s.session->setFrameHandler(log.handler());
    s.session->setPreviewHandler(preview.handler());
    s.session->setInputStateHandler([&](InputState state) { ++(state == InputState::Lost ? toldLost : toldFound); });
    s.session->startRunning();
    ASSERT_TRUE(waitUntil([&] { return !s.session->isRunning(); }));

    EXPECT_EQ(s.session->inputState(), InputState::Lost);
    EXPECT_EQ(toldLost.load(), 1);
    EXPECT_EQ(log.delivered.load(), GetParam().unplugAt);
    EXPECT_TRUE(preview.lastWasEmpty.load()) << "the last picture stayed on screen";
    EXPECT_EQ(s.source->opens(), 1u) << "a vanished camera is not retried until the next start";
    EXPECT_EQ(s.source->closes(), GetParam().closes);
    EXPECT_FALSE(s.source->isOpen());

    s.source->plugBackIn();
    s.session->startRunning();
    ASSERT_TRUE(waitUntil([&] { return log.delivered.load() > GetParam().unplugAt + 5; }));
    EXPECT_TRUE(s.session->isRunning());
    EXPECT_EQ(s.session->inputState(), InputState::Available);
    EXPECT_EQ(toldFound.load(), 1);
    EXPECT_FALSE(preview.lastWasEmpty.load());
    s.session->stopRunning();
    EXPECT_EQ(s.source->opens(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Unplugged, CameraGoesAway,
                         ::testing::Values(UnplugCase{"whileRunning", 5, 1}, UnplugCase{"beforeTheStart", 0, 0}),
                         [](const auto& row) { return row.param.name; });

} // namespace
} // namespace vantor::camera
