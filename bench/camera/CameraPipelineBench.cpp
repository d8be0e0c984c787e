// The camera pipeline's own overhead, with a detector that answers at once.
// Frames per second are reported as items_per_second.
#include "camera/CameraManager.h"
#include "camera/WorkerCaptureSession.h"
#include "core/MainQueue.h"
#include "support/CoreFakes.h"
#include "support/CameraFakes.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <semaphore>

namespace {

using namespace vantor;
using namespace vantor::camera;
using namespace std::chrono_literals;

// A main queue whose tasks the benchmark thread runs as they arrive.
class BlockingMainQueue : public MainQueue {
public:
    void post(Task task) override {
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        arrived_.notify_one();
    }
    void postAfter(std::chrono::milliseconds, Task task) override { post(std::move(task)); }

    void runNext() {
        Task task;
        {
            std::unique_lock lock(mutex_);
            arrived_.wait(lock, [this] { return !tasks_.empty(); });
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
    void runReady() {
        for (;;) {
            Task task;
            {
                std::lock_guard lock(mutex_);
                if (tasks_.empty()) return;
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Task> tasks_;
};

VideoFrame vgaFrame() {
    constexpr int kWidth = 640;
    constexpr int kHeight = 480;
    return {kWidth, kHeight, std::make_shared<const std::vector<std::uint8_t>>(std::size_t{kWidth * kHeight * 3}, 0)};
}

// Hands out the same picture again and again, like a camera that is never
// late, but no more than `kInFlight` ahead of the main thread: a real camera
// paces the worker, and an unpaced one would only grow the queue.
class PacedFrameSource : public FrameSource {
public:
    static constexpr std::ptrdiff_t kInFlight = 4;

    bool hasInput() const override { return true; }
    SourceStatus open() override { return SourceStatus::Ready; }
    FrameRead read(std::stop_token) override {
        // Gives up now and then so that a stop request is seen.
        if (!credits_.try_acquire_for(10ms)) return {};
        return {SourceStatus::Ready, frame_};
    }
    void close() override {}
    void frameConsumed() { credits_.release(); }

private:
    const VideoFrame frame_ = vgaFrame();
    std::counting_semaphore<kInFlight> credits_{kInFlight};
};

class InstantDetector : public HandPoseDetector {
public:
    explicit InstantDetector(bool findsHand) {
        if (findsHand) hands_.push_back(testing::makeHand({}));
    }
    std::optional<std::vector<HandObservation>> detect(const VideoFrame&) override { return hands_; }

private:
    std::vector<HandObservation> hands_;
};

// Picture in on the worker, result applied on this thread, with the panel's
// stand-in listening to the published values.
void BM_CameraPipelineThreaded(benchmark::State& state) {
    const bool findsHand = state.range(0) != 0;
    BlockingMainQueue queue;
    testing::ConsoleRecorder console;
    auto ownedSource = std::make_unique<PacedFrameSource>();
    auto* source = ownedSource.get();
    CameraManager manager(std::make_unique<WorkerCaptureSession>(std::move(ownedSource)),
                          std::make_unique<InstantDetector>(findsHand), queue, console);
    double seen = 0;
    auto listener = manager.sliderValuesChanged().connect([&](const TrackedValues& values) { seen += values[0]; });

    manager.session().startRunning();
    for (auto _ : state) {
        queue.runNext();
        source->frameConsumed();
    }
    manager.session().stopRunning();
    queue.runReady();
    benchmark::DoNotOptimize(seen);
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(findsHand ? "hand in every frame" : "no hand");
}
BENCHMARK(BM_CameraPipelineThreaded)->Arg(1)->Arg(0)->UseRealTime();

// The same work without the thread hand-off: what one picture costs.
void BM_CameraFrameStepSameThread(benchmark::State& state) {
    const bool findsHand = state.range(0) != 0;
    testing::ManualMainQueue queue;
    testing::ConsoleRecorder console;
    auto ownedSession = std::make_unique<testing::ScriptedCaptureSession>();
    auto* session = ownedSession.get();
    CameraManager manager(std::move(ownedSession), std::make_unique<InstantDetector>(findsHand), queue, console);
    manager.session().startRunning();
    const auto frame = vgaFrame();
    for (auto _ : state) {
        session->deliver(frame);
        queue.runOne();
    }
    benchmark::DoNotOptimize(manager.sliderValues());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CameraFrameStepSameThread)->Arg(1)->Arg(0);

} // namespace

BENCHMARK_MAIN();
