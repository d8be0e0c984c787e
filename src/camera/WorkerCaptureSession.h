#pragma once

#include "camera/CaptureSession.h"
#include "camera/FrameSource.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

namespace vantor::camera {

// A capture session whose pictures are read from a FrameSource by one worker
// thread that exists only while the session runs. A picture is read, then
// analysed, then the next one is read: the source decides which picture is
// the newest, so no backlog builds up behind a slow analysis. A source that
// reports its camera gone ends the run; the worker then finishes by itself
// and the next start tries the camera again.
class WorkerCaptureSession final : public CaptureSession {
public:
    // How long the worker waits before asking again when the camera had
    // nothing for it (a busy camera must not make it spin).
    static constexpr std::chrono::milliseconds kDefaultRetryDelay{100};

    explicit WorkerCaptureSession(std::unique_ptr<FrameSource> source,
                                  std::chrono::milliseconds retryDelay = kDefaultRetryDelay);
    // Stops the worker first: the source and the handlers outlive it.
    ~WorkerCaptureSession() override;

    WorkerCaptureSession(const WorkerCaptureSession&) = delete;
    WorkerCaptureSession& operator=(const WorkerCaptureSession&) = delete;

    bool hasInput() const override;
    InputState inputState() const override;
    void setFrameHandler(FrameHandler handler) override;
    void setInputStateHandler(InputStateHandler handler) override;
    void setPreviewHandler(FrameHandler handler) override;
    void startRunning() override;
    void stopRunning() override;
    bool isRunning() const override;

private:
    void run(std::stop_token stop);                     // worker thread
    bool capture(const std::stop_token& stop);          // worker thread; true when the camera went away
    bool pauseBeforeRetry(const std::stop_token& stop); // worker thread
    void deliver(const VideoFrame& frame);              // worker thread
    void clearPreview();                                // worker thread
    void changeInputState(InputState state);            // worker thread

    const std::unique_ptr<FrameSource> source_; // worker thread while running
    const std::chrono::milliseconds retryDelay_;
    FrameHandler frameHandler_; // written on the main thread while stopped; called on the worker
    InputStateHandler inputStateHandler_; // likewise

    // Held while the preview handler runs, so that replacing it waits for a
    // call in progress.
    std::mutex previewMutex_;
    FrameHandler previewHandler_; // guarded by previewMutex_

    std::atomic<InputState> inputState_;   // written on the worker, read anywhere
    std::atomic<bool> workerEnded_{false}; // set by the worker as its last step

    std::jthread worker_; // main thread; declared last so that it goes first
};

} // namespace vantor::camera
