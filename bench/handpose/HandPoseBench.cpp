// Inference time of the four hand models and of whole frames, models loaded
// once, on one and on two threads. Each benchmark reports the median and the
// fastest milliseconds per run ("median_ms", "min_ms") besides Google
// Benchmark's mean.
#include "platform/handtracking/pipeline/MediaPipeHandDetector.h"
#include "platform/image/ImageFile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using vantor::handtracking::bgrPicture;
using vantor::handtracking::HandPipeline;
using vantor::handtracking::MediaPipeHandDetector;
using vantor::handtracking::ModelVariant;

std::unique_ptr<HandPipeline> loadPipeline(ModelVariant variant, std::size_t threads) {
    std::string error;
    auto loaded = HandPipeline::create(vantor::handtracking::defaultModelsDirectory(), variant, error, threads);
    if (!loaded) throw std::runtime_error(error);
    return loaded;
}

// One pipeline per variant and thread count for the whole run.
HandPipeline& pipeline(ModelVariant variant, std::size_t threads) {
    static std::map<std::pair<ModelVariant, std::size_t>, std::unique_ptr<HandPipeline>> pipelines;
    auto& slot = pipelines[{variant, threads}];
    if (!slot) slot = loadPipeline(variant, threads);
    return *slot;
}

std::size_t threadsOf(const benchmark::State& state) { return static_cast<std::size_t>(state.range(0)); }

// An empty frame when the file is missing.
const vantor::camera::VideoFrame& photo() {
    static const vantor::camera::VideoFrame picture =
        vantor::platform::readImageFile(VANTOR_BENCH_PHOTO).value_or(vantor::camera::VideoFrame{});
    return picture;
}

// A fixed pattern in 0..1, so the networks see ordinary numbers.
void fillInput(std::span<float> input) {
    for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<float>((i * 29) % 256) / 255.0f;
}

// Runs `step` once per iteration and reports the median time.
template <typename Step>
void timeEach(benchmark::State& state, Step step) {
    std::vector<double> times;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!step()) {
            state.SkipWithError("run failed");
            return;
        }
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    if (times.empty()) return;
    // The fastest run shows the cost without interference from other
    // programs; on a busy machine the median can be far above it.
    state.counters["min_ms"] = *std::min_element(times.begin(), times.end());
    std::nth_element(times.begin(), times.begin() + static_cast<long>(times.size() / 2), times.end());
    state.counters["median_ms"] = times[times.size() / 2];
}

void BM_PalmModel(benchmark::State& state, ModelVariant variant) {
    auto& network = pipeline(variant, threadsOf(state)).palmNetwork();
    fillInput(network.input());
    timeEach(state, [&] { return network.run(); });
}

void BM_LandmarkModel(benchmark::State& state, ModelVariant variant) {
    auto& network = pipeline(variant, threadsOf(state)).landmarkNetwork();
    fillInput(network.input());
    timeEach(state, [&] { return network.run(); });
}

// Detection mode: letterbox, palm model, decoding, region, warp, landmark model.
void BM_DetectionFrame(benchmark::State& state, ModelVariant variant) {
    auto& p = pipeline(variant, threadsOf(state));
    if (!photo().isValid()) {
        state.SkipWithError("reference photo missing");
        return;
    }
    const cv::Mat picture = bgrPicture(photo());
    timeEach(state, [&] {
        const auto hand = p.detectHand(picture);
        return hand && hand->found;
    });
}

// Tracking mode: region from the last landmarks, warp, landmark model.
void BM_TrackingFrame(benchmark::State& state, ModelVariant variant) {
    auto detector = std::make_unique<MediaPipeHandDetector>(loadPipeline(variant, threadsOf(state)));
    if (!photo().isValid()) {
        state.SkipWithError("reference photo missing");
        return;
    }
    const vantor::camera::VideoFrame& frame = photo();
    detector->detect(frame); // finds the hand; from here on it is tracked
    timeEach(state, [&] {
        const auto hands = detector->detect(frame);
        return hands && hands->size() == 1 && detector->isTracking();
    });
}

// The argument is the number of threads; 2 is what the program uses.
#define HANDPOSE_BENCHMARK(function, variant, name)                                                        \
    BENCHMARK_CAPTURE(function, name, variant)                                                              \
        ->ArgName("threads")                                                                                \
        ->Arg(1)                                                                                            \
        ->Arg(2)                                                                                            \
        ->Unit(benchmark::kMillisecond)                                                                     \
        ->UseRealTime()

HANDPOSE_BENCHMARK(BM_PalmModel, ModelVariant::Lite, lite);
HANDPOSE_BENCHMARK(BM_PalmModel, ModelVariant::Full, full);
HANDPOSE_BENCHMARK(BM_LandmarkModel, ModelVariant::Lite, lite);
HANDPOSE_BENCHMARK(BM_LandmarkModel, ModelVariant::Full, full);
HANDPOSE_BENCHMARK(BM_DetectionFrame, ModelVariant::Lite, lite);
HANDPOSE_BENCHMARK(BM_TrackingFrame, ModelVariant::Lite, lite);
HANDPOSE_BENCHMARK(BM_DetectionFrame, ModelVariant::Full, full);
HANDPOSE_BENCHMARK(BM_TrackingFrame, ModelVariant::Full, full);

} // namespace

BENCHMARK_MAIN();
