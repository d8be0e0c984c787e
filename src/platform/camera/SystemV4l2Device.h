#pragma once

#include "platform/camera/V4l2Device.h"

#include <string>

namespace vantor::platform {

// A V4L2 device node of this machine, e.g. /dev/video0.
class SystemV4l2Device final : public V4l2Device {
public:
    explicit SystemV4l2Device(std::string path);
    ~SystemV4l2Device() override;

    SystemV4l2Device(const SystemV4l2Device&) = delete;
    SystemV4l2Device& operator=(const SystemV4l2Device&) = delete;

    int open() override;
    void close() override;
    int fd() const override { return fd_; }
    int ioctl(unsigned long request, void* argument) override;
    void* map(std::size_t length, std::int64_t offset) override;
    void unmap(void* address, std::size_t length) override;
    bool waitForPicture(const std::stop_token& stop, std::chrono::milliseconds timeout) override;

private:
    const std::string path_;
    int fd_ = -1;
    int wakeFd_ = -1; // an eventfd that a stop request writes to, ending a wait at once
};

} // namespace vantor::platform
