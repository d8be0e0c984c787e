// How long the main thread is blocked when the camera is stopped (the user
// leaves the gesture tab, or quits) while the hand-tracking module and its
// models are still loading: the program's own camera manager with the real
// deferred detector, over a stand-in camera that has a picture whenever
// asked. Each run: a fresh manager, the session started, stopped as soon as
// the first picture has started the load; the stop is what is timed. The
// manager is then destroyed outside the timing (that waits for the load).

#include "camera/CameraManager.h"
#include "camera/FrameSource.h"
#include "camera/WorkerCaptureSession.h"
#include "platform/handtracking/loader/HandTrackingLoader.h"
#include "support/CoreFakes.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// A grey picture on every read, a camera's 30 a second.
class GreyCamera final : public vantor::camera::FrameSource {
public:
    explicit GreyCamera(std::atomic<int>& reads) : reads_(reads) {}
    bool hasInput() const override { return true; }
    vantor::camera::SourceStatus open() override { return vantor::camera::SourceStatus::Ready; }
    // The first picture at once, then one every 33 ms, as a driver wakes a
    // reader early when the session stops.
    vantor::camera::FrameRead read(std::stop_token stop) override {
        if (reads_++ > 0) {
            std::mutex mutex;
            std::condition_variable_any wakeUp;
            std::unique_lock lock(mutex);
            if (wakeUp.wait_for(lock, stop, std::chrono::milliseconds(33), [] { return false; }), stop.stop_requested()) {
                return {};
            }
        }
        return {vantor::camera::SourceStatus::Ready, picture_};
    }
    void close() override {}

private:
    std::atomic<int>& reads_;
    vantor::camera::VideoFrame picture_{
        640, 480, std::make_shared<const std::vector<std::uint8_t>>(std::size_t{640} * 480 * 3, 128)};
};

void BM_StopCameraWhileModelsLoad(benchmark::State& state) {
    vantor::testing::ManualMainQueue queue;
    vantor::testing::ConsoleRecorder console;
    double longest = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::atomic<int> reads{0};
        auto session = std::make_unique<vantor::camera::WorkerCaptureSession>(std::make_unique<GreyCamera>(reads));
        auto manager = vantor::handtracking::makeHandTrackingCameraManager(std::move(session), queue, console);
        manager->session().startRunning();
        // The first picture is on its way to the detector, which loads.
        while (reads.load() < 1) std::this_thread::sleep_for(std::chrono::microseconds(100));
        state.ResumeTiming();
        const auto stopAt = Clock::now();
        manager->session().stopRunning();
        const double stall = std::chrono::duration<double, std::milli>(Clock::now() - stopAt).count();
        state.PauseTiming();
        longest = std::max(longest, stall);
        manager.reset();
        queue.runAll();
        state.ResumeTiming();
    }
    state.counters["longest_stall_ms"] = longest;
}
BENCHMARK(BM_StopCameraWhileModelsLoad)->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
