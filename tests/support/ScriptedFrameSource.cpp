#include "support/ScriptedFrameSource.h"

#include "support/HandFrames.h"

namespace vantor::testing {

bool ScriptedFrameSource::open() {
    ++opens_;
    if (failingOpens_.load() > 0) {
        --failingOpens_;
        return false;
    }
    open_ = true;
    return true;
}

std::optional<camera::VideoFrame> ScriptedFrameSource::read() {
    if (!open_) return std::nullopt;
    if (frameCount_ && next_.load() >= *frameCount_) return std::nullopt;
    return numberedFrame(next_++);
}

void ScriptedFrameSource::close() {
    ++closes_;
    open_ = false;
}

} // namespace vantor::testing
