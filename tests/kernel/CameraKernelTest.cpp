// The real V4L2 capture, libv4lconvert included, on the kernel's virtual
// video driver (vivid): run in a guest by guest_run.sh.

#include "platform/camera/SystemV4l2Device.h"
#include "platform/camera/V4l2FrameSource.h"

#include <gtest/gtest.h>

#include <linux/videodev2.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

using vantor::camera::FrameRead;
using vantor::camera::SourceStatus;
using vantor::platform::SystemV4l2Device;
using vantor::platform::V4l2Device;
using vantor::platform::V4l2FrameSource;

constexpr const char* kNode = "/dev/video0";
constexpr const char* kDriver = "/sys/bus/platform/drivers/vivid/";

// vivid offers dozens of formats, BGR24 among them; this narrows the list
// to one, as a webcam that sends only that format would.
class OneFormatCamera final : public V4l2Device {
public:
    explicit OneFormatCamera(std::uint32_t format) : format_(format) {}

    int open() override { return device_.open(); }
    void close() override { device_.close(); }
    int fd() const override { return device_.fd(); }
    void* map(std::size_t length, std::int64_t offset) override { return device_.map(length, offset); }
    void unmap(void* address, std::size_t length) override { device_.unmap(address, length); }
    bool waitForPicture(const std::stop_token& stop, std::chrono::milliseconds timeout) override {
        return device_.waitForPicture(stop, timeout);
    }

    int ioctl(unsigned long request, void* argument) override {
        if (request == VIDIOC_TRY_FMT || request == VIDIOC_S_FMT) {
            static_cast<v4l2_format*>(argument)->fmt.pix.pixelformat = format_;
        }
        if (request != VIDIOC_ENUM_FMT) return device_.ioctl(request, argument);
        auto* description = static_cast<v4l2_fmtdesc*>(argument);
        if (description->index != 0) {
            errno = EINVAL;
            return -1;
        }
        for (description->index = 0; device_.ioctl(request, argument) == 0; ++description->index) {
            if (description->pixelformat == format_) {
                description->index = 0;
                return 0;
            }
        }
        return -1;
    }

private:
    const std::uint32_t format_;
    SystemV4l2Device device_{kNode};
};

// Open descriptors and mappings of a video node in this process.
int videoHandles() {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error).string().starts_with("/dev/video")) ++count;
    }
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        if (line.find("/dev/video") != std::string::npos) ++count;
    }
    return count;
}

// A few reads: the driver may need a moment for its first picture.
FrameRead readPicture(V4l2FrameSource& source) {
    FrameRead read;
    for (int attempt = 0; attempt < 10 && read.status == SourceStatus::NotNow; ++attempt) read = source.read({});
    return read;
}

// Opens the source and checks its first picture.
void expectColourBars(V4l2FrameSource& source) {
    ASSERT_EQ(source.open(), SourceStatus::Ready);
    const FrameRead read = readPicture(source);
    ASSERT_EQ(read.status, SourceStatus::Ready);
    const vantor::camera::VideoFrame& frame = read.picture;
    ASSERT_TRUE(frame.isValid());
    // vivid's default pattern: eight bars, 75 % white then yellow first.
    const auto pixel = [&](int bar) {
        const std::size_t x = static_cast<std::size_t>(frame.width * (2 * bar + 1) / 16);
        const std::size_t y = static_cast<std::size_t>(frame.height / 2);
        const std::uint8_t* bgr = frame.bgr->data() + (y * static_cast<std::size_t>(frame.width) + x) * 3;
        return std::array<int, 3>{bgr[0], bgr[1], bgr[2]};
    };
    const auto yellow = pixel(1);
    for (int channel : pixel(0)) EXPECT_NEAR(channel, 191, 30);
    EXPECT_LT(yellow[0], 80);  // blue
    EXPECT_GT(yellow[1], 150); // green
    EXPECT_GT(yellow[2], 150); // red
}

// Presses one of vivid's buttons, named as v4l2-ctl lists them, through a
// descriptor of its own: "Disconnect" makes the device behave as an
// unplugged one towards everyone who has it open.
bool pressButton(const char* name) {
    const int fd = ::open(kNode, O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    v4l2_queryctrl query{};
    bool pressed = false;
    query.id = V4L2_CTRL_FLAG_NEXT_CTRL;
    while (!pressed && ::ioctl(fd, VIDIOC_QUERYCTRL, &query) == 0) {
        if (std::strcmp(reinterpret_cast<const char*>(query.name), name) == 0) {
            v4l2_control control{query.id, 1};
            pressed = ::ioctl(fd, VIDIOC_S_CTRL, &control) == 0;
        }
        query.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
    }
    ::close(fd);
    return pressed;
}

bool writeDriver(const char* file) {
    std::ofstream out(std::string(kDriver) + file);
    out << "vivid.0" << std::flush;
    return out.good();
}

using Format = std::pair<const char*, std::uint32_t>; // name, fourcc

class ConvertedFormat : public testing::TestWithParam<Format> {};

// vivid's fatal streaming error puts the queue in videobuf2's error state (a dequeue answers EIO, poll
// POLLERR): the stream is restarted and the pictures come again; when the restart fails too, the camera is
// lost until the next run. Then vivid's Disconnect button, and the driver unbound while streaming, as a camera
// pulled out; bound again, a fresh device, as after replugging it.
TEST_P(ConvertedFormat, GivesColourBarsThroughAStreamErrorUntilPulledOutAndAgainAfterReplugAndLetsGoOfTheDevice) {
    const int before = videoHandles();
    V4l2FrameSource source(std::make_unique<OneFormatCamera>(GetParam().second));
    ASSERT_TRUE(source.hasInput());
    expectColourBars(source);
    ASSERT_TRUE(pressButton("Inject Fatal Streaming Error"));
    EXPECT_EQ(readPicture(source).status, SourceStatus::Ready);
    EXPECT_EQ(readPicture(source).status, SourceStatus::Ready);
    ASSERT_TRUE(pressButton("Inject VIDIOC_STREAMON Error"));
    ASSERT_TRUE(pressButton("Inject Fatal Streaming Error"));
    EXPECT_EQ(readPicture(source).status, SourceStatus::Gone);
    source.close();

    expectColourBars(source);
    ASSERT_TRUE(pressButton("Disconnect"));
    EXPECT_EQ(readPicture(source).status, SourceStatus::Gone);
    source.close();
    ASSERT_TRUE(writeDriver("unbind") && writeDriver("bind"));

    expectColourBars(source);
    ASSERT_TRUE(writeDriver("unbind"));
    EXPECT_EQ(readPicture(source).status, SourceStatus::Gone);
    source.close();
    EXPECT_EQ(videoHandles(), before);
    EXPECT_EQ(source.open(), SourceStatus::Gone);

    ASSERT_TRUE(writeDriver("bind"));
    expectColourBars(source);
    source.close();
    EXPECT_EQ(videoHandles(), before);
}

INSTANTIATE_TEST_SUITE_P(Vivid, ConvertedFormat,
                         testing::Values(Format{"YUYV", V4L2_PIX_FMT_YUYV}, Format{"YU12", V4L2_PIX_FMT_YUV420}),
                         [](const auto& row) { return std::string(row.param.first); });

} // namespace
