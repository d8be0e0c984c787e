#include "platform/camera/V4l2FrameSource.h"

#include "platform/camera/V4l2Stream.h"

#include <libv4l-plugin.h>
#include <libv4lconvert.h>
#include <linux/videodev2.h>

#include <cerrno>
#include <optional>

namespace vantor::platform {

using camera::FrameRead;
using camera::SourceStatus;

namespace {

// libv4lconvert asks the device about its formats and controls through
// these, so that it talks to whatever V4l2Device stands behind the source.
int deviceIoctl(void* device, int, unsigned long request, void* argument) {
    return static_cast<V4l2Device*>(device)->ioctl(request, argument);
}

ssize_t noTransfer(void*, int, void*, std::size_t) {
    errno = ENOSYS;
    return -1;
}

ssize_t noWrite(void*, int, const void*, std::size_t) {
    errno = ENOSYS;
    return -1;
}

const libv4l_dev_ops kDeviceOps = {nullptr, nullptr, deviceIoctl, noTransfer, noWrite, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr};

struct ConverterDeleter {
    void operator()(v4lconvert_data* converter) const { v4lconvert_destroy(converter); }
};

bool isStreamingCaptureDevice(V4l2Device& device) {
    v4l2_capability capability{};
    if (device.ioctl(VIDIOC_QUERYCAP, &capability) != 0) return false;
    // A node's own abilities, when given, rather than its whole device's
    // (a webcam's metadata node belongs to a device that captures).
    const auto abilities =
        (capability.capabilities & V4L2_CAP_DEVICE_CAPS) ? capability.device_caps : capability.capabilities;
    return (abilities & V4L2_CAP_VIDEO_CAPTURE) && (abilities & V4L2_CAP_STREAMING);
}

// The answer to a device node that could not be opened.
SourceStatus openFailure(int error) {
    return error == ENOENT || error == ENODEV || error == ENXIO ? SourceStatus::Gone : SourceStatus::NotNow;
}

// The answer to an open device that could not be set up: errno may come
// from anywhere in the converter by now, so the device is asked again.
SourceStatus setupFailure(V4l2Device& device) {
    v4l2_capability capability{};
    return device.ioctl(VIDIOC_QUERYCAP, &capability) != 0 && errno == ENODEV ? SourceStatus::Gone
                                                                              : SourceStatus::NotNow;
}

} // namespace

// One run: the converter, the formats agreed with the driver, the buffers.
class V4l2FrameSource::Run {
public:
    explicit Run(V4l2Device& device)
        : device_(device), converter_(v4lconvert_create_with_dev_ops(device.fd(), &device, &kDeviceOps)),
          stream_(device) {}

    // Picks the camera format that converts best into BGR near the size
    // asked for, and tells the driver.
    bool negotiate() {
        if (!converter_) return false;
        target_.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        target_.fmt.pix.width = kWidth;
        target_.fmt.pix.height = kHeight;
        target_.fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
        target_.fmt.pix.field = V4L2_FIELD_ANY;
        if (v4lconvert_try_format(converter_.get(), &target_, &source_) != 0) return false;
        if (target_.fmt.pix.pixelformat != V4L2_PIX_FMT_BGR24) return false;
        v4l2_format chosen = source_;
        if (device_.ioctl(VIDIOC_S_FMT, &chosen) != 0 || chosen.fmt.pix.pixelformat != source_.fmt.pix.pixelformat) {
            return false;
        }
        // The driver has the last word on the size.
        if (chosen.fmt.pix.width != source_.fmt.pix.width || chosen.fmt.pix.height != source_.fmt.pix.height) {
            target_.fmt.pix.width = chosen.fmt.pix.width;
            target_.fmt.pix.height = chosen.fmt.pix.height;
            v4lconvert_fixup_fmt(&target_);
        }
        source_ = chosen;
        return target_.fmt.pix.width > 0 && target_.fmt.pix.height > 0;
    }

    V4l2Stream& stream() { return stream_; }

    std::optional<camera::VideoFrame> convert(const V4l2Stream::Picture& picture) {
        const int width = static_cast<int>(target_.fmt.pix.width);
        const int height = static_cast<int>(target_.fmt.pix.height);
        // A fresh buffer per picture: the frame travels on to other threads.
        auto pixels = std::make_shared<std::vector<std::uint8_t>>(static_cast<std::size_t>(width) * height * 3);
        const int written = v4lconvert_convert(converter_.get(), &source_, &target_, picture.bytes.data(),
                                               static_cast<int>(picture.bytes.size()), pixels->data(),
                                               static_cast<int>(pixels->size()));
        // A damaged picture (a cut-off JPEG) fails or comes out short.
        if (written < 0 || static_cast<std::size_t>(written) < pixels->size()) return std::nullopt;
        return camera::VideoFrame{width, height, std::move(pixels)};
    }

private:
    V4l2Device& device_;
    const std::unique_ptr<v4lconvert_data, ConverterDeleter> converter_;
    v4l2_format source_{}; // what the camera sends
    v4l2_format target_{}; // what the conversion makes of it
    V4l2Stream stream_;    // last: its buffers go before the converter
};

V4l2FrameSource::V4l2FrameSource(std::unique_ptr<V4l2Device> device) : device_(std::move(device)) {
    // Probe once, then let go: the device is opened again when a run starts.
    hasInput_ = device_ && device_->open() == 0 && isStreamingCaptureDevice(*device_);
    if (device_) device_->close();
}

V4l2FrameSource::~V4l2FrameSource() { close(); }

SourceStatus V4l2FrameSource::open() {
    close();
    if (device_->open() != 0) return openFailure(errno);
    auto run = std::make_unique<Run>(*device_);
    if (!isStreamingCaptureDevice(*device_) || !run->negotiate() || !run->stream().start(kBufferCount)) {
        const SourceStatus status = setupFailure(*device_);
        run.reset();
        device_->close();
        return status;
    }
    run_ = std::move(run);
    restartedWithoutPicture_ = false;
    return SourceStatus::Ready;
}

FrameRead V4l2FrameSource::read(std::stop_token stop) {
    if (!run_) return {};
    V4l2Stream& stream = run_->stream();
    bool mayBeStale = true;
    // A wake-up may find nothing usable (a damaged picture, a stale set):
    // a few more waits, then the session's pause.
    for (int wait = 0; wait < 3; ++wait) {
        if (!device_->waitForPicture(stop, kPictureWait)) return {};
        const V4l2Stream::Taken taken = stream.takeNewest();
        if (taken.gone) return {SourceStatus::Gone, {}};
        if (taken.failed) {
            // Restarted once; a stream that breaks again before it gave a
            // picture, or will not start, is a camera lost.
            if (restartedWithoutPicture_ || !stream.start(kBufferCount)) return {SourceStatus::Gone, {}};
            restartedWithoutPicture_ = true;
            mayBeStale = false;
            continue;
        }
        if (!taken.newest) continue;
        if (taken.filled == stream.bufferCount() && mayBeStale) {
            mayBeStale = false;
            stream.giveBack(taken.newest->index);
            continue;
        }
        restartedWithoutPicture_ = false;
        auto picture = run_->convert(*taken.newest);
        if (!stream.giveBack(taken.newest->index) && errno == ENODEV) return {SourceStatus::Gone, {}};
        if (!picture) return {};
        return {SourceStatus::Ready, std::move(*picture)};
    }
    return {};
}

void V4l2FrameSource::close() {
    if (!run_) return;
    run_.reset();
    device_->close();
}

} // namespace vantor::platform
