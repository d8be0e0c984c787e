#include "platform/camera/SystemV4l2Device.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace vantor::platform {

SystemV4l2Device::SystemV4l2Device(std::string path) : path_(std::move(path)) {}

SystemV4l2Device::~SystemV4l2Device() { close(); }

int SystemV4l2Device::open() {
    close();
    // Non-blocking: a dequeue with nothing ready answers EAGAIN, so taking
    // every waiting picture never blocks; waitForPicture does the waiting.
    fd_ = ::open(path_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return -1;
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
        const int error = errno;
        close();
        errno = error;
        return -1;
    }
    return 0;
}

void SystemV4l2Device::close() {
    for (int* fd : {&fd_, &wakeFd_}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

int SystemV4l2Device::ioctl(unsigned long request, void* argument) {
    int result = 0;
    do {
        result = ::ioctl(fd_, request, argument);
    } while (result < 0 && errno == EINTR);
    return result;
}

void* SystemV4l2Device::map(std::size_t length, std::int64_t offset) {
    void* address = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, static_cast<off_t>(offset));
    return address == MAP_FAILED ? nullptr : address;
}

void SystemV4l2Device::unmap(void* address, std::size_t length) { ::munmap(address, length); }

bool SystemV4l2Device::waitForPicture(const std::stop_token& stop, std::chrono::milliseconds timeout) {
    // The eventfd is never read back: a stop ends the run, and the next run
    // opens a fresh one.
    const std::stop_callback wake(stop, [this] { ::eventfd_write(wakeFd_, 1); });
    pollfd watched[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    int ready = 0;
    do {
        ready = ::poll(watched, 2, static_cast<int>(timeout.count()));
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0 || stop.stop_requested()) return false;
    // POLLERR and POLLHUP count too: the dequeue that follows says what they mean.
    return watched[0].revents != 0;
}

} // namespace vantor::platform
