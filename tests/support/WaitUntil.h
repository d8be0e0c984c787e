#pragma once

#include <chrono>
#include <thread>

namespace vantor::testing {

// Polls `condition` until it holds; false if it still does not after `limit`.
// The limit only keeps a broken test from hanging: it is never a measure of
// speed, so keep it generous.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace vantor::testing
