#include "support/ScriptedFrameSource.h"

#include "support/HandFrames.h"

namespace vantor::testing {

using camera::SourceStatus;

bool ScriptedFrameSource::unplugged() const {
    const auto at = unplugAt_.load();
    return at != kNever && next_.load() >= at;
}

SourceStatus ScriptedFrameSource::open() {
    ++opens_;
    if (unplugged()) return SourceStatus::Gone;
    if (failingOpens_.load() > 0) {
        --failingOpens_;
        return SourceStatus::NotNow;
    }
    open_ = true;
    return SourceStatus::Ready;
}

camera::FrameRead ScriptedFrameSource::read(std::stop_token) {
    ++reads_;
    if (!open_) return {};
    if (unplugged()) return {SourceStatus::Gone, {}};
    if (frameCount_ && next_.load() >= *frameCount_) return {};
    return {SourceStatus::Ready, numberedFrame(next_++)};
}

void ScriptedFrameSource::close() {
    ++closes_;
    open_ = false;
}

} // namespace vantor::testing
