// Pictures from a camera through V4L2 (an in-memory device, libv4lconvert's real decoding) and image files.
#include "FakeV4l2Device.h"
#include "platform/camera/DefaultCamera.h"
#include "platform/camera/SystemV4l2Device.h"
#include "platform/camera/V4l2FrameSource.h"
#include "platform/image/ImageFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace vantor::platform {
namespace {

using camera::SourceStatus;
using testing::FakeV4l2Device;

std::string dataPath(const std::string& file) { return std::string(VANTOR_TEST_DATA_DIR) + "/" + file; }

class CameraFormat : public ::testing::TestWithParam<std::pair<std::uint32_t, const char*>> {};

TEST_P(CameraFormat, TheNewestPictureArrivesAsTheCameraSawItUntilTheCameraIsPulledOut) {
    const auto [format, file] = GetParam();
    const auto seen = readImageFile(dataPath(file));
    ASSERT_TRUE(seen);
    std::ifstream jpeg(dataPath(file), std::ios::binary);
    auto* device = new FakeV4l2Device(format, std::uint32_t(seen->width), std::uint32_t(seen->height));
    V4l2FrameSource source{std::unique_ptr<V4l2Device>(device)};
    ASSERT_TRUE(source.hasInput());
    ASSERT_EQ(source.open(), SourceStatus::Ready);
    device->capture(FakeV4l2Device::Bytes(64, 0)); // an older picture, to be passed over
    device->capture(format == V4L2_PIX_FMT_MJPEG ? FakeV4l2Device::Bytes(std::istreambuf_iterator<char>(jpeg), {})
                                                 : FakeV4l2Device::yuyvOf(*seen));
    const auto got = source.read({});
    ASSERT_EQ(got.status, SourceStatus::Ready);
    ASSERT_EQ(std::make_pair(got.picture.width, got.picture.height), std::make_pair(seen->width, seen->height));
    // Shared chroma or another JPEG decoder move a pixel by a few levels; swapped channels or skewed rows by far more.
    double difference = 0;
    for (std::size_t i = 0; i < seen->bgr->size(); ++i) difference += std::abs((*got.picture.bgr)[i] - (*seen->bgr)[i]);
    EXPECT_LT(difference / double(seen->bgr->size()), 3.0);
    EXPECT_EQ(device->buffersQueued(), V4l2FrameSource::kBufferCount) << "a buffer was not given back";

    device->unplug();
    EXPECT_EQ(source.read({}).status, SourceStatus::Gone);
    source.close();
    EXPECT_EQ(device->buffersMapped(), 0u);
    EXPECT_EQ(source.open(), SourceStatus::Gone);
}

INSTANTIATE_TEST_SUITE_P(Formats, CameraFormat,
                         ::testing::Values(std::pair(V4L2_PIX_FMT_YUYV, "handpose/handsrc.png"),
                                           std::pair(V4L2_PIX_FMT_MJPEG, "camera/hand-160x120.jpg")),
                         [](const auto& row) { return row.param.first == V4L2_PIX_FMT_MJPEG ? "mjpeg" : "yuyv"; });

// A driver's fatal streaming error (a dequeue answers EIO, poll POLLERR) would otherwise be answered "nothing
// now" for ever: the picture frozen, no notice. The stream is restarted once and pictures come again; a stream
// that breaks again before a picture came, or will not start, is a lost camera.
TEST(V4l2Capture, AStreamInTheDriversErrorStateIsRestartedOnceThenTheCameraIsLost) {
    auto* device = new FakeV4l2Device(V4L2_PIX_FMT_YUYV, 160, 120);
    V4l2FrameSource source{std::unique_ptr<V4l2Device>(device)};
    ASSERT_EQ(source.open(), SourceStatus::Ready);
    const FakeV4l2Device::Bytes picture(2 * 160 * 120, 128);
    for (int round = 0; round < 2; ++round) { // a picture between two errors: each gets its restart
        device->breakStream();
        device->capture(picture); // lost: the stream is down
        EXPECT_EQ(source.read({}).status, SourceStatus::NotNow) << round;
        EXPECT_EQ(device->streamStarts(), 2u + round);
        device->capture(picture);
        EXPECT_EQ(source.read({}).status, SourceStatus::Ready) << round;
    }
    device->breakStream();
    EXPECT_EQ(source.read({}).status, SourceStatus::NotNow);
    device->breakStream();
    EXPECT_EQ(source.read({}).status, SourceStatus::Gone) << "broken again before a picture came";

    ASSERT_EQ(source.open(), SourceStatus::Ready);
    device->refuseToStream(true);
    device->breakStream();
    EXPECT_EQ(source.read({}).status, SourceStatus::Gone) << "the restart failed";
    source.close();
    EXPECT_EQ(device->buffersMapped(), 0u);
}

TEST(V4l2Capture, NoCameraOrANodeThatIsNoCameraGivesNoInputAndNothingIsPrinted) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(V4l2FrameSource(std::make_unique<SystemV4l2Device>("/dev/null")).hasInput());
    V4l2FrameSource missing(std::make_unique<SystemV4l2Device>("/dev/no-such-video"));
    EXPECT_EQ(missing.open(), SourceStatus::Gone);
    if (!std::filesystem::exists("/dev/video0")) {
        auto session = makeDefaultCaptureSession();
        EXPECT_EQ(session->inputState(), camera::InputState::None);
        session->startRunning();
        EXPECT_FALSE(session->isRunning());
    }
    EXPECT_EQ(::testing::internal::GetCapturedStdout() + ::testing::internal::GetCapturedStderr(), "");
}

struct FileCase {
    std::string name;
    std::string file;
    std::array<double, 3> sums; // of every blue, green and red byte as another decoder reads them; 0: no picture
    double tolerance;           // a share of each sum
};
class ImageFile : public ::testing::TestWithParam<FileCase> {};

TEST_P(ImageFile, APngIsReadExactlyAJpegDecodedAndAnythingElseGivesNothingQuietly) {
    const auto& [name, file, expected, tolerance] = GetParam();
    ::testing::internal::CaptureStderr();
    const auto picture = readImageFile(dataPath(file));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    std::array<double, 3> sums{};
    for (std::size_t i = 0; picture && i < picture->bgr->size(); ++i) sums[i % 3] += (*picture->bgr)[i];
    for (std::size_t c = 0; c < 3; ++c) EXPECT_NEAR(sums[c], expected[c], expected[c] * tolerance) << name;
}

INSTANTIATE_TEST_SUITE_P(Files, ImageFile, ::testing::Values(
    FileCase{"png", "handpose/handsrc.png", {42031595, 44763930, 46680290}, 0},
    FileCase{"jpeg", "handpose/fruits.jpg", {11361515, 21041086, 27233602}, 0.005},
    FileCase{"missing", "handpose/no-such-picture.png", {}, 0},
    FileCase{"notAPicture", "handpose/README.md", {}, 0}),
    [](const auto& row) { return row.param.name; });

} // namespace
} // namespace vantor::platform
