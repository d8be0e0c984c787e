#pragma once

#include "platform/camera/V4l2Device.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vantor::platform {

// The memory-mapped buffers of one streaming run of a V4L2 capture device.
// The driver fills the queued buffers in turn; a filled buffer is taken out
// (dequeued), read, and given back (queued) to be filled again.
class V4l2Stream {
public:
    explicit V4l2Stream(V4l2Device& device) : device_(device) {}
    ~V4l2Stream() { stop(); }

    V4l2Stream(const V4l2Stream&) = delete;
    V4l2Stream& operator=(const V4l2Stream&) = delete;

    // Asks for `count` buffers (the driver may grant others), maps and queues
    // them and starts streaming. On failure everything is undone and errno
    // says why.
    bool start(std::uint32_t count);
    // Stops streaming and lets go of the buffers; harmless to repeat, and
    // done whatever the device answers (an unplugged one answers ENODEV).
    void stop();

    std::size_t bufferCount() const { return buffers_.size(); }

    struct Picture {
        std::uint32_t index = 0;
        std::span<std::uint8_t> bytes; // the buffer's filled part
    };
    struct Taken {
        std::optional<Picture> newest; // to be given back once read
        std::size_t filled = 0;        // how many filled buffers were waiting
        bool gone = false;             // the device is unplugged
        bool failed = false;           // the stream broke (EIO): no picture comes until it restarts
    };
    // Takes every filled buffer that is waiting, without waiting for more,
    // and gives all but the newest straight back. Buffers the driver marks
    // as damaged are given back unread.
    Taken takeNewest();
    // Gives a taken buffer back to be filled again; false with errno set
    // when the device refuses it.
    bool giveBack(std::uint32_t index);

private:
    struct Buffer {
        void* address = nullptr;
        std::size_t length = 0;
    };

    V4l2Device& device_;
    std::vector<Buffer> buffers_;
    bool requested_ = false;
    bool streaming_ = false;
};

} // namespace vantor::platform
