// What one camera picture costs between the driver's buffer and the frame the
// analysis gets: taking the newest buffer and converting it to BGR with
// libv4lconvert, for a YUYV and an MJPEG camera. The device is the tests'
// in-memory one, so only the program's own work is timed.
#include "FakeV4l2Device.h"
#include "platform/camera/V4l2FrameSource.h"
#include "platform/image/ImageFile.h"

#include <benchmark/benchmark.h>

#include <linux/videodev2.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

using vantor::camera::SourceStatus;
using vantor::platform::readImageFile;
using vantor::platform::V4l2FrameSource;
using vantor::testing::FakeV4l2Device;

void capturePictures(benchmark::State& state, std::uint32_t format, const std::string& file) {
    const std::string path = std::string(VANTOR_BENCH_DATA) + "/" + file;
    const auto photo = readImageFile(path);
    if (!photo) {
        state.SkipWithError("test picture missing");
        return;
    }
    std::ifstream jpeg(path, std::ios::binary);
    const FakeV4l2Device::Bytes sent = format == V4L2_PIX_FMT_YUYV
                                           ? FakeV4l2Device::yuyvOf(*photo)
                                           : FakeV4l2Device::Bytes(std::istreambuf_iterator<char>(jpeg), {});
    auto owned = std::make_unique<FakeV4l2Device>(format, static_cast<std::uint32_t>(photo->width),
                                                  static_cast<std::uint32_t>(photo->height));
    FakeV4l2Device* device = owned.get();
    V4l2FrameSource source(std::move(owned));
    if (source.open() != SourceStatus::Ready) {
        state.SkipWithError("the fake camera did not open");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        device->capture(sent); // the driver's work, not ours
        state.ResumeTiming();
        const auto got = source.read({});
        if (got.status != SourceStatus::Ready) {
            state.SkipWithError("no picture");
            break;
        }
        benchmark::DoNotOptimize(got.picture.bgr->data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(std::to_string(photo->width) + "x" + std::to_string(photo->height));
}

BENCHMARK_CAPTURE(capturePictures, yuyv, V4L2_PIX_FMT_YUYV, "handpose/handsrc.png")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(capturePictures, mjpeg, V4L2_PIX_FMT_MJPEG, "handpose/fruits.jpg")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
