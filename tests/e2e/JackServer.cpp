#include "JackServer.h"

#include "platform/jack/JackHandles.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace vantor::e2e {

namespace {

bool serverAnswers() {
    platform::silenceJackLibrary();
    jack_status_t status{};
    const platform::JackClientHandle probe(jack_client_open("e2e-probe", JackNoStartServer, &status));
    return probe != nullptr;
}

} // namespace

JackServer::JackServer() : name_("vantor-testbed-" + std::to_string(getpid())) {
    setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
    start();
}

JackServer::~JackServer() { stopAndClean(); }

void JackServer::start() {
    // Synchronous mode (-S): a cycle ends only when every client has run.
    // In the default asynchronous mode a busy machine makes clients miss
    // cycles, and JACK drops the MIDI of the cycles they miss (a few hundred
    // to several thousand of 400,000 events with both cores saturated),
    // which no client can prevent.
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{VANTOR_JACKD, "-r", "-S", "-d", "dummy", "-r", std::to_string(kSampleRate), "-p",
                                 std::to_string(kPeriodFrames)},
        ChildProcess::Output::Discard);
}

bool JackServer::waitUntilReady(std::chrono::milliseconds timeout) {
    return process_->started() && waitFor([&] { return !process_->running() || serverAnswers(); }, timeout) &&
           process_->running();
}

void JackServer::kill(int signal) {
    process_->signal(signal);
    process_->wait(std::chrono::seconds(10));
    killedHard_ = killedHard_ || signal == SIGKILL;
}

void JackServer::stopAndClean() {
    process_->stop();
    if (killedHard_) {
        // A server that could not clean up keeps its slot in JACK's shared
        // registry, which has room for eight. A new server of the same name
        // takes the slot over and frees it when it ends normally.
        start();
        waitUntilReady(std::chrono::seconds(10));
        process_->stop();
    }
    process_.reset();
    // Semaphores of clients that died with the server are left in /dev/shm
    // under the server's name.
    std::error_code error;
    const std::string prefix = "jack_sem." + std::to_string(getuid()) + "_" + name_ + "_";
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", error)) {
        if (entry.path().filename().string().starts_with(prefix)) std::filesystem::remove(entry.path(), error);
    }
}

} // namespace vantor::e2e
