#pragma once

#include <chrono>

namespace vantor::platform {

// A grab that returns sooner than this found its picture already waiting in
// the driver's queue, so the picture may be as old as the analysis before it;
// a fresh one has to be waited for (a frame period, tens of milliseconds).
// Dequeuing a waiting buffer takes microseconds.
inline constexpr std::chrono::microseconds kQueuedGrab{2000};
// OpenCV asks V4L2 for four buffers unless the driver honours a request for
// fewer, so at most four pictures can be waiting.
inline constexpr int kMaxWaitingPictures = 4;

// Grabs until a grab had to wait for the camera, so that the picture kept is
// the newest one and not a backlog. `grab` returns false on failure; `now`
// reads a steady clock.
template <typename Grab, typename Now>
bool grabNewest(Grab&& grab, Now&& now) {
    for (int grabs = 0; grabs <= kMaxWaitingPictures; ++grabs) {
        const auto start = now();
        if (!grab()) return false;
        if (now() - start >= kQueuedGrab) return true;
    }
    // Pictures keep arriving as fast as they are taken away; the last one is
    // as new as any.
    return true;
}

} // namespace vantor::platform
