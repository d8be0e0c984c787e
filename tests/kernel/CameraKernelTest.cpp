// The real V4L2 capture, libv4lconvert included, on the kernel's virtual
// video driver (vivid): run in a guest by guest_run.sh.

#include "platform/camera/SystemV4l2Device.h"
#include "platform/camera/V4l2FrameSource.h"
#include "support/CoreFakes.h"

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
#include <utility>
#include <vector>

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
        if (request == VIDIOC_DQBUF || request == VIDIOC_QBUF) return logged(request, argument);
        if (request != VIDIOC_ENUM_FMT) return device_.ioctl(request, argument);
        auto* description = static_cast<v4l2_fmtdesc*>(argument);
        if (description->index != 0) return refuse();
        for (description->index = 0; device_.ioctl(request, argument) == 0; ++description->index) {
            if (description->pixelformat == format_) {
                description->index = 0;
                return 0;
            }
        }
        return -1;
    }

    // How many of the buffers with the driver hold a picture now.
    int filledBuffers() {
        int filled = 0;
        for (std::uint32_t index = 0; index < V4l2FrameSource::kBufferCount; ++index) {
            v4l2_buffer buffer{};
            buffer.index = index;
            buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            buffer.memory = V4L2_MEMORY_MMAP;
            if (device_.ioctl(VIDIOC_QUERYBUF, &buffer) == 0 && (buffer.flags & V4L2_BUF_FLAG_DONE) != 0) ++filled;
        }
        return filled;
    }
    struct Taken {
        std::uint32_t index, sequence;
    };
    // The buffers taken from the driver since the last call, and the one given back last.
    std::pair<std::vector<Taken>, std::uint32_t> takeLog() { return {std::exchange(taken_, {}), lastGivenBack_}; }

private:
    int logged(unsigned long request, void* argument) {
        const int result = device_.ioctl(request, argument);
        const auto* buffer = static_cast<const v4l2_buffer*>(argument);
        if (result == 0 && request == VIDIOC_DQBUF) taken_.push_back({buffer->index, buffer->sequence});
        if (result == 0 && request == VIDIOC_QBUF) lastGivenBack_ = buffer->index;
        return result;
    }
    static int refuse() {
        errno = EINVAL;
        return -1;
    }
    const std::uint32_t format_;
    std::vector<Taken> taken_;
    std::uint32_t lastGivenBack_ = 0;
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

// vivid's Disconnect button, then the driver unbound while streaming, as a camera pulled out; bound again, a
// fresh device, as after replugging it.
TEST_P(ConvertedFormat, GivesColourBarsUntilPulledOutAndAgainAfterReplugAndLetsGoOfTheDevice) {
    const int before = videoHandles();
    V4l2FrameSource source(std::make_unique<OneFormatCamera>(GetParam().second));
    ASSERT_TRUE(source.hasInput());
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

// vivid's fatal streaming error puts the queue in videobuf2's error state
// (a dequeue answers EIO, poll POLLERR): the stream is restarted and the
// pictures come again. When the restart fails too, the camera is lost.
TEST(Vivid, AFatalStreamingErrorRestartsTheStreamOnceAndAFailedRestartLosesTheCamera) {
    V4l2FrameSource source(std::make_unique<OneFormatCamera>(V4L2_PIX_FMT_YUYV));
    expectColourBars(source);
    ASSERT_TRUE(pressButton("Inject Fatal Streaming Error"));
    EXPECT_EQ(readPicture(source).status, SourceStatus::Ready);
    EXPECT_EQ(readPicture(source).status, SourceStatus::Ready);

    ASSERT_TRUE(pressButton("Inject VIDIOC_STREAMON Error"));
    ASSERT_TRUE(pressButton("Inject Fatal Streaming Error"));
    EXPECT_EQ(readPicture(source).status, SourceStatus::Gone);
    source.close();
    expectColourBars(source); // a new run starts it again
    source.close();
}

// With pictures waiting in more than one buffer, a read converts the newest
// (the highest sequence number) and hands the older ones straight back.
TEST(Vivid, AReadDeliversTheNewestOfTheWaitingPictures) {
    auto camera = std::make_unique<OneFormatCamera>(V4L2_PIX_FMT_YUYV);
    OneFormatCamera& device = *camera;
    V4l2FrameSource source(std::move(camera));
    ASSERT_EQ(source.open(), SourceStatus::Ready);
    ASSERT_EQ(readPicture(source).status, SourceStatus::Ready);
    int checked = 0;
    for (int attempt = 0; attempt < 50 && checked == 0; ++attempt) {
        device.takeLog();
        // Two of the three filled; a third would make every buffer full, and
        // the read would wait for a fresh picture instead (tried again).
        ASSERT_TRUE(vantor::testing::waitUntil([&] { return device.filledBuffers() >= 2; }, std::chrono::seconds(10)));
        ASSERT_EQ(source.read({}).status, SourceStatus::Ready);
        const auto [taken, delivered] = device.takeLog();
        if (taken.size() != 2) continue;
        EXPECT_LT(taken[0].sequence, taken[1].sequence);
        EXPECT_EQ(delivered, taken[1].index) << "the newest picture is the one converted and given back last";
        ++checked;
    }
    EXPECT_EQ(checked, 1) << "never caught two waiting pictures";
    source.close();
}

} // namespace
