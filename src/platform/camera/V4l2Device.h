#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <stop_token>

namespace vantor::platform {

// The system calls the camera capture makes on one V4L2 video device, so that
// tests can put an in-memory device where /dev/video0 would be. Calls keep
// the system's conventions: failures return -1 (or nullptr) with errno set.
// Used by one thread at a time.
class V4l2Device {
public:
    virtual ~V4l2Device() = default;

    // Opens the device node; ENOENT or ENODEV when there is no such device.
    virtual int open() = 0;
    virtual void close() = 0;
    // The open file descriptor, or -1 when the device has none (a fake).
    virtual int fd() const = 0;

    virtual int ioctl(unsigned long request, void* argument) = 0;
    virtual void* map(std::size_t length, std::int64_t offset) = 0;
    virtual void unmap(void* address, std::size_t length) = 0;

    // Waits until a filled buffer can be dequeued or the device reports a
    // fault (which the dequeue then names); false when `timeout` passed or a
    // stop was requested first.
    virtual bool waitForPicture(const std::stop_token& stop, std::chrono::milliseconds timeout) = 0;
};

} // namespace vantor::platform
