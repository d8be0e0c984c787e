#include "FakeV4l2Device.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace vantor::testing {

namespace {

// Buffers sit this far apart in the device's memory as mmap() offsets see it.
constexpr std::int64_t kOffsetStep = 1 << 24;

int fail(int error) {
    errno = error;
    return -1;
}

std::uint8_t clampByte(double value) { return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L)); }

} // namespace

FakeV4l2Device::FakeV4l2Device(std::uint32_t pixelFormat, std::uint32_t width, std::uint32_t height)
    : pixelFormat_(pixelFormat), width_(width), height_(height) {}

FakeV4l2Device::Bytes FakeV4l2Device::yuyvOf(const camera::VideoFrame& picture) {
    Bytes out;
    const auto& bgr = *picture.bgr;
    for (std::size_t pixel = 0; pixel + 1 < bgr.size() / 3; pixel += 2) {
        double y[2];
        double u = 0;
        double v = 0;
        for (std::size_t k = 0; k < 2; ++k) {
            const double b = bgr[3 * (pixel + k)];
            const double g = bgr[3 * (pixel + k) + 1];
            const double r = bgr[3 * (pixel + k) + 2];
            y[k] = 0.299 * r + 0.587 * g + 0.114 * b;
            u += (128 - 0.1687 * r - 0.3313 * g + 0.5 * b) / 2;
            v += (128 + 0.5 * r - 0.4187 * g - 0.0813 * b) / 2;
        }
        out.insert(out.end(), {clampByte(y[0]), clampByte(u), clampByte(y[1]), clampByte(v)});
    }
    return out;
}

void FakeV4l2Device::capture(const Bytes& picture) {
    if (!streaming_ || queued_.empty()) return;
    const std::uint32_t index = queued_.front();
    queued_.pop_front();
    Buffer& buffer = buffers_[index];
    const std::size_t used = std::min(picture.size(), buffer.memory.size());
    std::copy_n(picture.begin(), used, buffer.memory.begin());
    buffer.used = static_cast<std::uint32_t>(used);
    buffer.sequence = sequence_++;
    filled_.push_back(index);
}

void FakeV4l2Device::captureWhileWaiting(std::vector<Bytes> pictures) {
    whileWaiting_.assign(pictures.begin(), pictures.end());
}

void FakeV4l2Device::plugBackIn() {
    plugged_ = true;
    open_ = false;
    streaming_ = false;
    buffers_.clear();
    queued_.clear();
    filled_.clear();
}

int FakeV4l2Device::open() {
    if (!plugged_) return fail(ENOENT);
    open_ = true;
    return 0;
}

int FakeV4l2Device::ioctl(unsigned long request, void* argument) {
    if (!plugged_) return fail(ENODEV);
    return answer(request, argument);
}

void* FakeV4l2Device::map(std::size_t length, std::int64_t offset) {
    const auto index = static_cast<std::size_t>(offset / kOffsetStep);
    if (!plugged_ || offset % kOffsetStep != 0 || index >= buffers_.size() || length > buffers_[index].memory.size()) {
        errno = plugged_ ? EINVAL : ENODEV;
        return nullptr;
    }
    ++mapped_;
    return buffers_[index].memory.data();
}

void FakeV4l2Device::unmap(void*, std::size_t) { --mapped_; }

bool FakeV4l2Device::waitForPicture(const std::stop_token&, std::chrono::milliseconds) {
    if (!plugged_) return true; // a vanished device wakes its waiters
    if (filled_.empty() && !whileWaiting_.empty()) {
        capture(whileWaiting_.front());
        whileWaiting_.pop_front();
    }
    return !filled_.empty();
}

void FakeV4l2Device::fillFormat(void* argument) const {
    v4l2_pix_format& pix = static_cast<v4l2_format*>(argument)->fmt.pix;
    pix = {};
    pix.width = width_;
    pix.height = height_;
    pix.pixelformat = pixelFormat_;
    pix.field = V4L2_FIELD_NONE;
    pix.bytesperline = pixelFormat_ == V4L2_PIX_FMT_YUYV ? width_ * 2 : 0;
    pix.sizeimage = width_ * height_ * 2;
    pix.colorspace = V4L2_COLORSPACE_SRGB;
}

int FakeV4l2Device::answer(unsigned long request, void* argument) {
    switch (request) {
    case VIDIOC_QUERYCAP: {
        auto* capability = static_cast<v4l2_capability*>(argument);
        *capability = {};
        capability->device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
        capability->capabilities = capability->device_caps | V4L2_CAP_DEVICE_CAPS;
        return 0;
    }
    case VIDIOC_ENUM_FMT: {
        auto* description = static_cast<v4l2_fmtdesc*>(argument);
        if (description->index != 0 || description->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return fail(EINVAL);
        description->pixelformat = pixelFormat_;
        return 0;
    }
    case VIDIOC_G_FMT:
    case VIDIOC_TRY_FMT:
    case VIDIOC_S_FMT:
        // Like a driver, it answers any request with what it can do.
        if (static_cast<v4l2_format*>(argument)->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return fail(EINVAL);
        fillFormat(argument);
        return 0;
    case VIDIOC_REQBUFS: {
        auto* wanted = static_cast<v4l2_requestbuffers*>(argument);
        if (wanted->memory != V4L2_MEMORY_MMAP) return fail(EINVAL);
        if (streaming_ || mapped_ > 0) return fail(EBUSY);
        queued_.clear();
        filled_.clear();
        wanted->count = std::min(wanted->count, 8u);
        buffers_.assign(wanted->count, Buffer{Bytes(std::size_t{width_} * height_ * 2)});
        return 0;
    }
    case VIDIOC_QUERYBUF: {
        auto* buffer = static_cast<v4l2_buffer*>(argument);
        if (buffer->index >= buffers_.size()) return fail(EINVAL);
        buffer->length = static_cast<std::uint32_t>(buffers_[buffer->index].memory.size());
        buffer->m.offset = static_cast<std::uint32_t>(buffer->index * kOffsetStep);
        return 0;
    }
    case VIDIOC_QBUF: {
        const std::uint32_t index = static_cast<v4l2_buffer*>(argument)->index;
        const auto held = [&](const std::deque<std::uint32_t>& list) {
            return std::find(list.begin(), list.end(), index) != list.end();
        };
        if (index >= buffers_.size() || held(queued_) || held(filled_)) return fail(EINVAL);
        queued_.push_back(index);
        return 0;
    }
    case VIDIOC_DQBUF: {
        if (filled_.empty()) return fail(EAGAIN);
        auto* buffer = static_cast<v4l2_buffer*>(argument);
        buffer->index = filled_.front();
        filled_.pop_front();
        buffer->bytesused = buffers_[buffer->index].used;
        buffer->sequence = buffers_[buffer->index].sequence;
        buffer->flags = 0;
        return 0;
    }
    case VIDIOC_STREAMON:
        streaming_ = true;
        return 0;
    case VIDIOC_STREAMOFF:
        // Every buffer comes back to the program, filled or not.
        streaming_ = false;
        queued_.clear();
        filled_.clear();
        return 0;
    default:
        return fail(ENOTTY);
    }
}

} // namespace vantor::testing
