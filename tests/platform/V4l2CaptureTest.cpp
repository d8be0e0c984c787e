// The V4L2 capture over an in-memory device: libv4lconvert's real YUYV and
// MJPEG decoding, the newest-picture rule, a camera pulled out mid-run.
#include "FakeV4l2Device.h"
#include "platform/camera/V4l2FrameSource.h"
#include "platform/image/ImageFile.h"

#include <gtest/gtest.h>

#include <linux/videodev2.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

namespace vantor::platform {
namespace {

using camera::SourceStatus;
using camera::VideoFrame;
using testing::FakeV4l2Device;
using Bytes = FakeV4l2Device::Bytes;

std::string dataPath(const std::string& file) { return std::string(VANTOR_TEST_DATA_DIR) + "/" + file; }

Bytes fileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

double meanDifference(const VideoFrame& a, const VideoFrame& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.bgr->size(); ++i) sum += std::abs(int{(*a.bgr)[i]} - int{(*b.bgr)[i]});
    return sum / static_cast<double>(a.bgr->size());
}

// A source over a fake device that the test keeps a hand on.
struct FakeCamera {
    FakeCamera(std::uint32_t format, std::uint32_t width, std::uint32_t height) {
        auto owned = std::make_unique<FakeV4l2Device>(format, width, height);
        device = owned.get();
        source = std::make_unique<V4l2FrameSource>(std::move(owned));
    }
    FakeV4l2Device* device = nullptr;
    std::unique_ptr<V4l2FrameSource> source;
};

struct FormatCase {
    std::string name;
    std::uint32_t format;
    std::uint32_t width;
    std::uint32_t height;
    std::string picture; // the camera sees this file's picture
};
void PrintTo(const FormatCase& row, std::ostream* out) { *out << row.name; }

class CameraFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(CameraFormat, ArrivesAsTheBgrPictureTheCameraSaw) {
    const FormatCase& row = GetParam();
    const auto seen = readImageFile(dataPath(row.picture));
    ASSERT_TRUE(seen);
    // An MJPEG frame is a JPEG file; YUYV is made from the decoded picture.
    const Bytes sent = row.format == V4L2_PIX_FMT_MJPEG ? fileBytes(dataPath(row.picture)) : FakeV4l2Device::yuyvOf(*seen);

    FakeCamera camera(row.format, row.width, row.height);
    EXPECT_TRUE(camera.source->hasInput());
    ASSERT_EQ(camera.source->open(), SourceStatus::Ready);
    camera.device->capture(sent);
    const auto got = camera.source->read({});
    ASSERT_EQ(got.status, SourceStatus::Ready);
    ASSERT_TRUE(got.picture.isValid());
    EXPECT_EQ(got.picture.width, seen->width);
    EXPECT_EQ(got.picture.height, seen->height);
    // Rounding and shared chroma (or another JPEG decoder's arithmetic) move
    // a pixel by a few levels; swapped channels or a skewed row by far more.
    EXPECT_LT(meanDifference(got.picture, *seen), 3.0);
    EXPECT_EQ(camera.device->buffersQueued(), V4l2FrameSource::kBufferCount) << "a buffer was not given back";

    camera.source->close();
    EXPECT_FALSE(camera.device->isOpen());
    EXPECT_EQ(camera.device->buffersMapped(), 0u);
    EXPECT_EQ(camera.device->buffersAllocated(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Formats, CameraFormat,
                         ::testing::Values(FormatCase{"yuyv", V4L2_PIX_FMT_YUYV, 640, 480, "handpose/handsrc.png"},
                                           FormatCase{"mjpeg", V4L2_PIX_FMT_MJPEG, 160, 120,
                                                      "camera/hand-160x120.jpg"}),
                         [](const auto& row) { return row.param.name; });

// Flat gray pictures told apart by their brightness: picture n has luma 50 n.
Bytes grayPicture(int number) {
    Bytes picture(16 * 8 * 2, 128);
    for (std::size_t i = 0; i < picture.size(); i += 2) picture[i] = static_cast<std::uint8_t>(50 * number);
    return picture;
}

int grayNumber(const VideoFrame& picture) { return static_cast<int>(std::lround((*picture.bgr)[0] / 50.0)); }

struct BacklogCase {
    std::string name;
    int waiting;      // pictures taken before the read
    int whileWaiting; // pictures taken while the read waits
    int delivered;    // the one the read hands over
};
void PrintTo(const BacklogCase& row, std::ostream* out) { *out << row.name; }

class NewestPicture : public ::testing::TestWithParam<BacklogCase> {};

TEST_P(NewestPicture, OnlyTheNewestIsReadAndEveryBufferGoesBack) {
    FakeCamera camera(V4L2_PIX_FMT_YUYV, 16, 8);
    ASSERT_EQ(camera.source->open(), SourceStatus::Ready);
    int number = 0;
    for (; number < GetParam().waiting; ++number) camera.device->capture(grayPicture(number));
    std::vector<Bytes> later;
    for (; number < GetParam().waiting + GetParam().whileWaiting; ++number) later.push_back(grayPicture(number));
    camera.device->captureWhileWaiting(later);

    const auto got = camera.source->read({});
    ASSERT_EQ(got.status, SourceStatus::Ready);
    EXPECT_EQ(grayNumber(got.picture), GetParam().delivered);
    EXPECT_EQ(camera.device->buffersQueued(), V4l2FrameSource::kBufferCount);
}

INSTANTIATE_TEST_SUITE_P(
    Backlogs, NewestPicture,
    ::testing::Values(BacklogCase{"noneWaiting", 0, 1, 0}, BacklogCase{"twoWaiting", 2, 0, 1},
                      // Every buffer full: the driver may have dropped newer
                      // pictures, so the next one is waited for.
                      BacklogCase{"everyBufferFull", 3, 1, 3}),
    [](const auto& row) { return row.param.name; });

TEST(V4l2Capture, AnUnpluggedCameraEndsTheRunLetsGoAndIsFoundAgainOnceBack) {
    FakeCamera camera(V4L2_PIX_FMT_YUYV, 16, 8);
    ASSERT_EQ(camera.source->open(), SourceStatus::Ready);
    camera.device->capture(grayPicture(1));
    ASSERT_EQ(camera.source->read({}).status, SourceStatus::Ready);

    camera.device->unplug();
    EXPECT_EQ(camera.source->read({}).status, SourceStatus::Gone);
    camera.source->close();
    EXPECT_FALSE(camera.device->isOpen());
    EXPECT_EQ(camera.device->buffersMapped(), 0u);
    EXPECT_EQ(camera.source->open(), SourceStatus::Gone);

    camera.device->plugBackIn();
    ASSERT_EQ(camera.source->open(), SourceStatus::Ready);
    camera.device->capture(grayPicture(2));
    const auto got = camera.source->read({});
    ASSERT_EQ(got.status, SourceStatus::Ready);
    EXPECT_EQ(grayNumber(got.picture), 2);
}

TEST(V4l2Capture, ADamagedPictureIsSkippedQuietly) {
    const Bytes jpeg = fileBytes(dataPath("camera/hand-160x120.jpg"));
    FakeCamera camera(V4L2_PIX_FMT_MJPEG, 160, 120);
    ASSERT_EQ(camera.source->open(), SourceStatus::Ready);
    ::testing::internal::CaptureStderr();
    camera.device->capture(Bytes(jpeg.begin(), jpeg.begin() + 200));
    EXPECT_EQ(camera.source->read({}).status, SourceStatus::NotNow);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(camera.device->buffersQueued(), V4l2FrameSource::kBufferCount);

    camera.device->capture(jpeg);
    EXPECT_EQ(camera.source->read({}).status, SourceStatus::Ready);
}

} // namespace
} // namespace vantor::platform
