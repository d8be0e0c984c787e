#pragma once

#include <memory>

class QSocketNotifier;

namespace vantor::platform {

// Turns SIGINT, SIGTERM and SIGHUP into a normal end of the event loop, so a
// terminal's Ctrl+C or a session's logout quits the way closing the window
// does and every object is destroyed in order (the JACK client leaves the
// graph, the camera worker is joined). The handler only writes one byte to
// a pipe; the main thread reads it and quits. One instance per process.
class QuitOnSignal {
public:
    QuitOnSignal(); // after the QCoreApplication exists
    ~QuitOnSignal();
    QuitOnSignal(const QuitOnSignal&) = delete;
    QuitOnSignal& operator=(const QuitOnSignal&) = delete;

private:
    int fds_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace vantor::platform
