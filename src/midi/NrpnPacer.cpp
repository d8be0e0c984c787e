#include "midi/NrpnPacer.h"

#include <algorithm>
#include <utility>

namespace vantor::midi {

NrpnPacer::NrpnPacer(MainQueue& mainQueue, Send send) : mainQueue_(mainQueue), send_(std::move(send)) {}

void NrpnPacer::submit(const NrpnMessage& message) {
    const auto same = std::find_if(waiting_.begin(), waiting_.end(), [&](const NrpnMessage& w) {
        return w.channel == message.channel && w.parameter == message.parameter;
    });
    if (same != waiting_.end()) {
        waiting_.erase(same);
        ++superseded_;
    }
    waiting_.push_back(message);
    drain();
}

void NrpnPacer::clear() { waiting_.clear(); }

void NrpnPacer::drain() {
    const TimePoint now = mainQueue_.now();
    while (!waiting_.empty() && wireHasRoom(now)) {
        const SendResult result = send_(waiting_.front());
        if (result == SendResult::QueueFull) break; // kept first in line for the next turn
        waiting_.erase(waiting_.begin());
        if (result == SendResult::Sent) {
            busyUntil_ = std::max(busyUntil_, now) + kWireTime;
        } else if (result != SendResult::DriverError) {
            waiting_.clear(); // no destination any more: the caller hears of it
        }
    }
    if (!waiting_.empty()) scheduleDrain(now);
}

void NrpnPacer::scheduleDrain(TimePoint now) {
    if (drainScheduled_) return;
    drainScheduled_ = true;
    // Room comes back when the wire is less than kAhead behind; a refused
    // send is tried again a wire time later.
    const auto untilRoom = std::max(busyUntil_ - kAhead - now, TimePoint::duration(kWireTime / 2));
    const auto delay = std::chrono::ceil<std::chrono::milliseconds>(untilRoom);
    mainQueue_.postAfter(delay, lifetime_.guard([this] {
        drainScheduled_ = false;
        drain();
    }));
}

} // namespace vantor::midi
