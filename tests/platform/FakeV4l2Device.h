#pragma once

#include "camera/VideoFrame.h"
#include "platform/camera/V4l2Device.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <deque>
#include <vector>

namespace vantor::testing {

// An in-memory V4L2 capture device of one pixel format at one size. The test plays the camera: capture() fills
// the oldest queued buffer with a picture's bytes, as the driver would.
class FakeV4l2Device final : public platform::V4l2Device {
public:
    using Bytes = std::vector<std::uint8_t>;

    FakeV4l2Device(std::uint32_t pixelFormat, std::uint32_t width, std::uint32_t height)
        : format_(pixelFormat), width_(width), height_(height) {}

    // A BGR picture as a YUYV camera sends it: Y0 U Y1 V, each pair sharing its chroma; BT.601, full range.
    static Bytes yuyvOf(const camera::VideoFrame& picture) {
        const auto byte = [](double value) { return std::uint8_t(std::clamp(std::lround(value), 0L, 255L)); };
        const auto& bgr = *picture.bgr;
        const auto luma = [&](std::size_t p) { return byte(0.114 * bgr[p] + 0.587 * bgr[p + 1] + 0.299 * bgr[p + 2]); };
        Bytes out;
        for (std::size_t at = 0; at + 6 <= bgr.size(); at += 6) {
            const auto mean = [&](std::size_t c) { return (bgr[at + c] + bgr[at + 3 + c]) / 2.0; }; // b, g, r
            const double u = 128 + 0.5 * mean(0) - 0.3313 * mean(1) - 0.1687 * mean(2);
            const double v = 128 - 0.0813 * mean(0) - 0.4187 * mean(1) + 0.5 * mean(2);
            out.insert(out.end(), {luma(at), byte(u), luma(at + 3), byte(v)});
        }
        return out;
    }

    // A picture taken now; lost, as with a driver, when no buffer is queued.
    void capture(const Bytes& picture) {
        if (!streaming_ || queued_.empty()) return;
        Bytes& buffer = buffers_[queued_.front()];
        std::copy_n(picture.begin(), std::min(picture.size(), buffer.size()), buffer.begin());
        filled_.push_back(queued_.front());
        queued_.pop_front();
    }
    // From now on every call fails as for a device that was pulled out.
    void unplug() { plugged_ = false; }
    // The queue's error state, as a driver's fatal streaming error leaves it: waiters wake (POLLERR) and a
    // dequeue answers EIO until the stream is stopped.
    void breakStream() { broken_ = true; }
    // Whether starting the stream fails (EIO), as for a device that cannot recover.
    void refuseToStream(bool refuse) { refuseToStream_ = refuse; }
    std::size_t streamStarts() const { return streamStarts_; }

    std::size_t buffersQueued() const { return queued_.size(); }
    std::size_t buffersMapped() const { return mapped_; }

    int open() override { return plugged_ ? 0 : fail(ENOENT); }
    void close() override {}
    int fd() const override { return -1; }
    void* map(std::size_t, std::int64_t offset) override {
        ++mapped_;
        return buffers_.at(std::size_t(offset)).data();
    }
    void unmap(void*, std::size_t) override { --mapped_; }
    bool waitForPicture(const std::stop_token&, std::chrono::milliseconds) override {
        return !plugged_ || broken_ || !filled_.empty(); // a vanished or broken device wakes its waiters
    }

    int ioctl(unsigned long request, void* argument) override {
        if (!plugged_) return fail(ENODEV);
        auto* buffer = static_cast<v4l2_buffer*>(argument);
        switch (request) {
        case VIDIOC_QUERYCAP:
            *static_cast<v4l2_capability*>(argument) = {};
            static_cast<v4l2_capability*>(argument)->capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
            return 0;
        case VIDIOC_ENUM_FMT:
            static_cast<v4l2_fmtdesc*>(argument)->pixelformat = format_;
            return static_cast<v4l2_fmtdesc*>(argument)->index == 0 ? 0 : fail(EINVAL);
        case VIDIOC_TRY_FMT:
        case VIDIOC_S_FMT: { // like a driver, it answers any request with what it can do
            v4l2_pix_format& pix = static_cast<v4l2_format*>(argument)->fmt.pix;
            pix = {};
            pix.width = width_;
            pix.height = height_;
            pix.pixelformat = format_;
            pix.bytesperline = format_ == V4L2_PIX_FMT_YUYV ? 2 * width_ : 0;
            return 0;
        }
        case VIDIOC_REQBUFS:
            buffers_.assign(static_cast<v4l2_requestbuffers*>(argument)->count, Bytes(2 * width_ * height_));
            return 0;
        case VIDIOC_QUERYBUF:
            buffer->length = std::uint32_t(buffers_.at(buffer->index).size());
            buffer->m.offset = buffer->index; // what map() is handed
            return 0;
        case VIDIOC_QBUF:
            queued_.push_back(buffer->index);
            return 0;
        case VIDIOC_DQBUF:
            if (broken_) return fail(EIO);
            if (filled_.empty()) return fail(EAGAIN);
            buffer->index = filled_.front(); // bytesused 0: the whole buffer
            filled_.pop_front();
            return 0;
        case VIDIOC_STREAMON:
            if (refuseToStream_) return fail(EIO);
            ++streamStarts_;
            streaming_ = true;
            return 0;
        case VIDIOC_STREAMOFF: // every buffer comes back to the program, filled or not
            streaming_ = false;
            broken_ = false;
            queued_.clear();
            filled_.clear();
            return 0;
        default:
            return fail(ENOTTY);
        }
    }

private:
    static int fail(int error) {
        errno = error;
        return -1;
    }

    const std::uint32_t format_, width_, height_;
    bool plugged_ = true;
    bool streaming_ = false;
    bool broken_ = false;
    bool refuseToStream_ = false;
    std::size_t streamStarts_ = 0;
    std::vector<Bytes> buffers_;
    std::deque<std::uint32_t> queued_, filled_; // to be filled, to be dequeued: oldest first
    std::size_t mapped_ = 0;
};

} // namespace vantor::testing
