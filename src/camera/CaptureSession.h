#pragma once

#include "camera/VideoFrame.h"

#include <functional>

namespace vantor::camera {

// Whether there is a camera to show, for the panel to tell the user.
enum class InputState {
    None,      // no camera was found when the session was set up
    Available, // the camera is there, whether the session runs or not
    Lost,      // the camera went away (unplugged); the next start looks for it again
};

// The camera as the hand control sees it: it may have an input, it can be
// started and stopped, and while it runs it hands its pictures one at a time
// to the frame handler on one worker thread.
//
// startRunning() and stopRunning() are called on the main thread and are
// harmless to repeat or to call without an input. After stopRunning()
// returns, no handler call is in progress and none follows until the next
// start.
//
// A camera that goes away ends the run by itself: isRunning() turns false,
// inputState() turns Lost and the preview handler is called once more with
// an empty frame, so that the last picture is not left on screen.
class CaptureSession {
public:
    // Worker thread. Must not block on the main thread.
    using FrameHandler = std::function<void(const VideoFrame&)>;
    using InputStateHandler = std::function<void(InputState)>;

    virtual ~CaptureSession() = default;

    // Whether a camera was found when the session was set up.
    virtual bool hasInput() const = 0;
    // Any thread.
    virtual InputState inputState() const = 0;

    // The analysis of every delivered frame. Set once, while stopped.
    virtual void setFrameHandler(FrameHandler handler) = 0;
    // Told, on the worker thread, each time inputState() changes while the
    // session runs: the camera went away, or came back with a new start.
    // Set once, while stopped.
    virtual void setInputStateHandler(InputStateHandler handler) = 0;

    // The picture shown on screen; may be replaced or cleared (an empty
    // handler) at any time. Once the call returns, the old handler is
    // neither running nor called again. Runs after the frame handler.
    virtual void setPreviewHandler(FrameHandler handler) = 0;

    virtual void startRunning() = 0;
    virtual void stopRunning() = 0;
    virtual bool isRunning() const = 0;
};

} // namespace vantor::camera
