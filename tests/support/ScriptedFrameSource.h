#pragma once

#include "camera/FrameSource.h"

#include <atomic>
#include <cstdint>
#include <optional>

namespace vantor::testing {

// Pictures for WorkerCaptureSession: numbered frames 0, 1, 2, ... (see
// numberedFrame), `frameCount` of them in all runs together, or without end.
// Past the last one every read answers NotNow. The counters may be read from
// any thread.
class ScriptedFrameSource : public camera::FrameSource {
public:
    explicit ScriptedFrameSource(std::optional<std::uint32_t> frameCount, bool hasInput = true)
        : frameCount_(frameCount), hasInput_(hasInput) {}

    // The first `count` opens answer NotNow, as with a camera that is busy.
    void failOpens(std::size_t count) { failingOpens_ = count; }
    // Once frame `number` is due the camera is unplugged: reads and opens
    // answer Gone until it is plugged back in.
    void unplugAt(std::uint32_t number) { unplugAt_ = number; }
    void plugBackIn() { unplugAt_ = kNever; }

    std::uint32_t framesRead() const { return next_.load(); }
    std::size_t reads() const { return reads_.load(); }
    std::size_t opens() const { return opens_.load(); }
    std::size_t closes() const { return closes_.load(); }
    bool isOpen() const { return open_.load(); }

    bool hasInput() const override { return hasInput_; }
    camera::SourceStatus open() override;
    camera::FrameRead read(std::stop_token stop) override;
    void close() override;

private:
    static constexpr std::int64_t kNever = -1;
    bool unplugged() const;

    const std::optional<std::uint32_t> frameCount_;
    const bool hasInput_;
    std::atomic<std::size_t> failingOpens_{0};
    std::atomic<std::int64_t> unplugAt_{kNever};
    std::atomic<std::uint32_t> next_{0};
    std::atomic<std::size_t> reads_{0};
    std::atomic<std::size_t> opens_{0};
    std::atomic<std::size_t> closes_{0};
    std::atomic<bool> open_{false};
};

} // namespace vantor::testing
