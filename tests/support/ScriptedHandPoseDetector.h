#pragma once

#include "camera/HandPoseDetector.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace vantor::testing {

// Answers each run with the next scripted result, then with the fallback
// (no hand unless set). Safe to script from the test thread while a worker
// runs it.
class ScriptedHandPoseDetector : public camera::HandPoseDetector {
public:
    using Result = std::optional<std::vector<camera::HandObservation>>;

    void push(Result result);
    void pushHand(const camera::HandObservation& hand);
    void pushHands(const std::vector<camera::HandObservation>& hands); // one frame each
    void pushNoHand();
    void pushFailure();
    void setFallback(Result result);
    // Plays a detector that never finds a hand (no hand models).
    void setCanFindHands(bool can) { canFindHands_ = can; }

    std::size_t runs() const { return runs_.load(); }

    Result detect(const camera::VideoFrame& frame) override;
    bool canFindHands() const override { return canFindHands_.load(); }

private:
    mutable std::mutex mutex_;
    std::deque<Result> script_;                 // guarded by mutex_
    Result fallback_ = std::vector<camera::HandObservation>{}; // guarded by mutex_
    std::atomic<std::size_t> runs_{0};
    std::atomic<bool> canFindHands_{true};
};

} // namespace vantor::testing
