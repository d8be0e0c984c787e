#pragma once

#include "ChildProcess.h"

#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace vantor::e2e {

// A private JACK server for one test: dummy driver, 48 kHz, 128 frames, no
// realtime scheduling, synchronous mode, under a name no other test uses. The name goes into
// JACK_DEFAULT_SERVER of this process (and so of every child it starts)
// before any JACK call.
class JackServer {
public:
    static constexpr unsigned kSampleRate = 48000;
    static constexpr unsigned kPeriodFrames = 128;

    JackServer();
    ~JackServer(); // stops the server
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    // Waits until a client can connect; false on time-out.
    bool waitUntilReady(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    const std::string& name() const { return name_; }

    // Sends `signal` to the server and waits for it to end.
    void kill(int signal);

private:
    void start();
    void stopAndClean();

    std::string name_;
    std::unique_ptr<ChildProcess> process_;
    bool killedHard_ = false;
};

// Polls `condition` every few milliseconds until it holds or `timeout` passes.
template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace vantor::e2e
