#include "platform/camera/V4l2Stream.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>

namespace vantor::platform {

namespace {

v4l2_buffer captureBuffer(std::uint32_t index = 0) {
    v4l2_buffer buffer{};
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    buffer.index = index;
    return buffer;
}

} // namespace

bool V4l2Stream::start(std::uint32_t count) {
    stop();
    v4l2_requestbuffers request{};
    request.count = count;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    bool started = device_.ioctl(VIDIOC_REQBUFS, &request) == 0;
    requested_ = started;
    if (started && request.count == 0) {
        errno = ENOMEM;
        started = false;
    }
    for (std::uint32_t index = 0; started && index < request.count; ++index) {
        v4l2_buffer buffer = captureBuffer(index);
        started = device_.ioctl(VIDIOC_QUERYBUF, &buffer) == 0;
        void* address = started ? device_.map(buffer.length, buffer.m.offset) : nullptr;
        started = address != nullptr;
        if (started) buffers_.push_back({address, buffer.length});
    }
    for (std::uint32_t index = 0; started && index < buffers_.size(); ++index) started = giveBack(index);
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    started = started && device_.ioctl(VIDIOC_STREAMON, &type) == 0;
    if (!started) {
        const int error = errno;
        stop();
        errno = error;
        return false;
    }
    streaming_ = true;
    return true;
}

void V4l2Stream::stop() {
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (streaming_) device_.ioctl(VIDIOC_STREAMOFF, &type);
    for (const Buffer& buffer : buffers_) device_.unmap(buffer.address, buffer.length);
    if (requested_) {
        v4l2_requestbuffers none{};
        none.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        none.memory = V4L2_MEMORY_MMAP;
        device_.ioctl(VIDIOC_REQBUFS, &none);
    }
    buffers_.clear();
    requested_ = false;
    streaming_ = false;
}

V4l2Stream::Taken V4l2Stream::takeNewest() {
    Taken taken;
    // Buffers are filled far slower than they are taken, so the driver runs
    // dry within a round of the buffers; the bound only guards against a
    // driver that never does.
    for (std::size_t round = 0; round < 2 * buffers_.size(); ++round) {
        v4l2_buffer buffer = captureBuffer();
        if (device_.ioctl(VIDIOC_DQBUF, &buffer) != 0) {
            // EAGAIN: nothing more is waiting. EIO: the driver put the
            // queue in its error state, which only a restart of the stream
            // clears. Other faults may pass; only a vanished device ends
            // the run.
            taken.gone = errno == ENODEV;
            taken.failed = errno == EIO;
            break;
        }
        if (buffer.index >= buffers_.size()) continue;
        ++taken.filled;
        if (buffer.flags & V4L2_BUF_FLAG_ERROR) {
            giveBack(buffer.index);
            continue;
        }
        if (taken.newest) giveBack(taken.newest->index);
        const Buffer& mapped = buffers_[buffer.index];
        const std::size_t used = buffer.bytesused > 0 ? std::min<std::size_t>(buffer.bytesused, mapped.length) : mapped.length;
        taken.newest = Picture{buffer.index, {static_cast<std::uint8_t*>(mapped.address), used}};
    }
    return taken;
}

bool V4l2Stream::giveBack(std::uint32_t index) {
    v4l2_buffer buffer = captureBuffer(index);
    return device_.ioctl(VIDIOC_QBUF, &buffer) == 0;
}

} // namespace vantor::platform
