#include "support/ScriptedHandPoseDetector.h"

namespace vantor::testing {

void ScriptedHandPoseDetector::push(Result result) {
    std::lock_guard lock(mutex_);
    script_.push_back(std::move(result));
}

void ScriptedHandPoseDetector::pushHand(const camera::HandObservation& hand) {
    push(std::vector<camera::HandObservation>{hand});
}

void ScriptedHandPoseDetector::pushHands(const std::vector<camera::HandObservation>& hands) {
    for (const auto& hand : hands) pushHand(hand);
}

void ScriptedHandPoseDetector::pushNoHand() { push(std::vector<camera::HandObservation>{}); }

void ScriptedHandPoseDetector::pushFailure() { push(std::nullopt); }

void ScriptedHandPoseDetector::setFallback(Result result) {
    std::lock_guard lock(mutex_);
    fallback_ = std::move(result);
}

ScriptedHandPoseDetector::Result ScriptedHandPoseDetector::detect(const camera::VideoFrame&) {
    ++runs_;
    std::lock_guard lock(mutex_);
    if (script_.empty()) return fallback_;
    // swap rather than move-construct: g++ 12 mistakes the moved-from
    // optional<vector> for uninitialised memory.
    Result result;
    result.swap(script_.front());
    script_.pop_front();
    return result;
}

} // namespace vantor::testing
