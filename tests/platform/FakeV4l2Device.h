#pragma once

#include "camera/VideoFrame.h"
#include "platform/camera/V4l2Device.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace vantor::testing {

// An in-memory V4L2 capture device offering one pixel format at one size,
// its buffers in plain memory. The test plays the camera: capture() fills the
// oldest queued buffer with a picture's bytes, as the driver would.
class FakeV4l2Device final : public platform::V4l2Device {
public:
    using Bytes = std::vector<std::uint8_t>;

    FakeV4l2Device(std::uint32_t pixelFormat, std::uint32_t width, std::uint32_t height);

    // A BGR picture as a YUYV camera sends it: each pair of pixels has its
    // own luma and shares its chroma (Y0 U Y1 V). BT.601 in full range, as
    // libv4lconvert reads it.
    static Bytes yuyvOf(const camera::VideoFrame& picture);

    // A picture taken now; lost, as with a driver, when no buffer is queued.
    void capture(const Bytes& picture);
    // Pictures the camera takes while a read waits for one, one per wait.
    void captureWhileWaiting(std::vector<Bytes> pictures);
    // From now on every call fails as for a device that was pulled out.
    void unplug() { plugged_ = false; }
    // A camera plugged back in is a new device: nothing of the old run is left.
    void plugBackIn();

    bool isOpen() const { return open_; }
    bool isStreaming() const { return streaming_; }
    std::size_t buffersQueued() const { return queued_.size(); }
    std::size_t buffersMapped() const { return mapped_; }
    std::size_t buffersAllocated() const { return buffers_.size(); }

    int open() override;
    void close() override { open_ = false; }
    int fd() const override { return -1; }
    int ioctl(unsigned long request, void* argument) override;
    void* map(std::size_t length, std::int64_t offset) override;
    void unmap(void* address, std::size_t length) override;
    bool waitForPicture(const std::stop_token& stop, std::chrono::milliseconds timeout) override;

private:
    struct Buffer {
        Bytes memory;
        std::uint32_t used = 0;
        std::uint32_t sequence = 0;
    };

    int answer(unsigned long request, void* argument);
    void fillFormat(void* format) const;

    const std::uint32_t pixelFormat_;
    const std::uint32_t width_;
    const std::uint32_t height_;
    bool plugged_ = true;
    bool open_ = false;
    bool streaming_ = false;
    std::vector<Buffer> buffers_;
    std::deque<std::uint32_t> queued_; // to be filled, oldest first
    std::deque<std::uint32_t> filled_; // to be dequeued, oldest first
    std::size_t mapped_ = 0;
    std::uint32_t sequence_ = 0;
    std::deque<Bytes> whileWaiting_;
};

} // namespace vantor::testing
