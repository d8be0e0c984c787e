#pragma once

#include "camera/VideoFrame.h"

#include <stop_token>

namespace vantor::camera {

// What the camera answered when it was opened or read.
enum class SourceStatus {
    Ready,  // open(): the run has begun; read(): the frame holds the newest picture
    NotNow, // nothing this time (busy, no picture in time, a passing fault): ask again after a pause
    Gone,   // the camera is not there any more (unplugged): asking again is pointless
};

struct FrameRead {
    SourceStatus status = SourceStatus::NotNow;
    VideoFrame picture; // valid only with SourceStatus::Ready
};

// A camera read picture by picture, driven by WorkerCaptureSession.
// hasInput() is fixed when the source is built; open(), read() and close()
// run on the session's worker thread, one run at a time, and close() follows
// every open() that answered Ready.
class FrameSource {
public:
    virtual ~FrameSource() = default;

    virtual bool hasInput() const = 0;

    // Prepares a run.
    virtual SourceStatus open() = 0;
    // Blocks until the newest picture is ready (about one frame period), or
    // answers NotNow early once `stop` is requested.
    virtual FrameRead read(std::stop_token stop) = 0;
    // Ends a run and lets go of the device.
    virtual void close() = 0;
};

} // namespace vantor::camera
