#pragma once

// The end-to-end test bed, also the JACK benchmarks': child processes, a
// private JACK server, a receiving client.
#include "platform/jack/JackHandles.h"
#include "support/CoreFakes.h"

#include <jack/midiport.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace vantor::e2e {

using namespace std::chrono_literals;

using testing::waitUntil;

// A program a test starts and stops itself, by process id: its output
// discarded, or its standard output read line by line through a pipe.
class ChildProcess {
public:
    enum class Output { Discard, Pipe };
    ChildProcess(const std::vector<std::string>& argv, Output output) {
        std::vector<char*> args;
        for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        int fds[2] = {-1, -1};
        if (output == Output::Pipe && pipe2(fds, O_CLOEXEC) == 0) {
            posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
            fcntl(fds[0], F_SETFL, O_NONBLOCK);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        }
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        if (fds[1] >= 0) close(fds[1]);
        output_ = fds[0];
    }
    ~ChildProcess() {
        stop();
        if (output_ >= 0) close(output_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next whole line of output; nothing at its end or on time-out.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout) {
        const auto lineOrEnd = [&] {
            char chunk[4096];
            const ssize_t got = output_ < 0 ? 0 : read(output_, chunk, sizeof chunk);
            if (got > 0) buffered_.append(chunk, static_cast<std::size_t>(got));
            return buffered_.find('\n') != std::string::npos || got == 0;
        };
        const std::size_t end = waitUntil(lineOrEnd, timeout) ? buffered_.find('\n') : std::string::npos;
        if (end == std::string::npos) return std::nullopt;
        std::string line = buffered_.substr(0, end);
        buffered_.erase(0, end + 1);
        return line;
    }

    void signal(int number) const { if (pid_ > 0 && !status_) ::kill(pid_, number); }
    // Whether the child handles signal `number` itself: bit n-1 of SigCgt in its /proc status.
    bool catches(int number) const {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("SigCgt:")) return (std::stoull(line.substr(7), nullptr, 16) >> (number - 1)) & 1u;
        }
        return false;
    }
    // The exit status as waitpid reports it; nothing on time-out.
    std::optional<int> wait(std::chrono::milliseconds timeout) {
        int status = 0;
        if (!status_ && waitUntil([&] { return pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_; }, timeout)) {
            status_ = status;
        }
        return status_;
    }
    bool running() { return pid_ > 0 && !wait(0ms); }
    // SIGTERM, then SIGKILL if it has not ended within a few seconds.
    void stop() {
        if (!running()) return;
        signal(SIGTERM);
        if (wait(5s)) return;
        signal(SIGKILL);
        wait(10s);
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::string buffered_;
    std::optional<int> status_;
};

// How many JACK ports match the regular expression `pattern` ("": all); nothing when no client can connect.
inline std::optional<std::size_t> jackPorts(const std::string& pattern) {
    platform::silenceJackLibrary();
    jack_status_t status{};
    const platform::JackClientHandle probe(jack_client_open("e2e-probe", JackNoStartServer, &status));
    if (!probe) return std::nullopt;
    const platform::JackNameList ports(jack_get_ports(probe.get(), pattern.c_str(), nullptr, 0));
    std::size_t count = 0;
    while (ports && ports.get()[count] != nullptr) ++count;
    return count;
}

// A private JACK server (dummy driver, 48 kHz, 128 frames, synchronous so that a late client delays the MIDI
// rather than losing it) named after this process, in JACK_DEFAULT_SERVER for the process and its children.
class JackServer {
public:
    static constexpr unsigned kSampleRate = 48000;
    static constexpr unsigned kPeriodFrames = 128;

    JackServer() : name_("vantor-testbed-" + std::to_string(getpid())) {
        setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        start();
    }
    ~JackServer() {
        process_->stop();
        if (killedHard_) { // its slot in JACK's registry of eight is freed by a clean end of its namesake
            start();
            waitUntilReady(10s);
            process_->stop();
        }
        // Clients that died with the server leave semaphores under its name.
        std::error_code error;
        const std::string prefix = "jack_sem." + std::to_string(getuid()) + "_" + name_ + "_";
        for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", error)) {
            if (entry.path().filename().string().starts_with(prefix)) std::filesystem::remove(entry.path(), error);
        }
    }
    // Waits until a client can connect; false on time-out.
    bool waitUntilReady(std::chrono::milliseconds timeout = 30s) {
        return waitUntil([&] { return !process_->running() || jackPorts(""); }, timeout) && process_->running();
    }
    // Sends `signal` to the server and waits for it to end.
    void kill(int signal) {
        process_->signal(signal);
        process_->wait(10s);
        killedHard_ = killedHard_ || signal == SIGKILL;
    }

private:
    void start() {
        process_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{VANTOR_JACKD, "-r", "-S", "-d", "dummy", "-r", std::to_string(kSampleRate), "-p",
                                     std::to_string(kPeriodFrames)},
            ChildProcess::Output::Discard);
    }

    std::string name_;
    std::unique_ptr<ChildProcess> process_;
    bool killedHard_ = false;
};

// One MIDI event as a receiving client saw it in its process callback.
struct ReceivedEvent {
    std::uint64_t arrivalMicros = 0;     // jack_get_time() when the callback began
    std::uint8_t size = 0;               // in bytes
    std::array<std::uint8_t, 3> bytes{}; // the first ones
};

// A JACK client with MIDI input ports of the given names. Its process callback copies every event into a
// lock-free ring of 600,000, more than any test sends; the test takes them out.
class JackReceiver {
public:
    JackReceiver(const std::string& clientName, const std::vector<std::string>& portNames)
        : ring_(jack_ringbuffer_create(600'000 * sizeof(ReceivedEvent))) {
        platform::silenceJackLibrary();
        jack_status_t status{};
        const auto options = JackOptions(JackNoStartServer | JackUseExactName);
        client_.reset(jack_client_open(clientName.c_str(), options, &status));
        for (const auto& name : portNames) {
            if (!client_) return;
            ports_.push_back(
                jack_port_register(client_.get(), name.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0));
            if (ports_.back() == nullptr) client_.reset();
        }
        if (client_ && (jack_set_process_callback(client_.get(), process, this) || jack_activate(client_.get()))) {
            client_.reset();
        }
    }
    bool ok() const { return client_ != nullptr; }
    std::size_t lost() const { return lost_.load(); } // events the ring had no room for
    std::vector<ReceivedEvent> take() { // what arrived since the last call
        std::vector<ReceivedEvent> events(jack_ringbuffer_read_space(ring_.get()) / sizeof(ReceivedEvent));
        jack_ringbuffer_read(ring_.get(), reinterpret_cast<char*>(events.data()), events.size() * sizeof events[0]);
        return events;
    }

private:
    static int process(jack_nframes_t frames, void* self) {
        auto& receiver = *static_cast<JackReceiver*>(self);
        ReceivedEvent record{jack_get_time()};
        jack_midi_event_t event;
        for (jack_port_t* port : receiver.ports_) {
            void* buffer = jack_port_get_buffer(port, frames);
            for (jack_nframes_t n = 0; jack_midi_event_get(&event, buffer, n) == 0; ++n) {
                record.size = static_cast<std::uint8_t>(event.size);
                std::copy_n(event.buffer, std::min<std::size_t>(event.size, 3), record.bytes.begin());
                if (jack_ringbuffer_write_space(receiver.ring_.get()) < sizeof record) {
                    receiver.lost_.fetch_add(1, std::memory_order_relaxed);
                } else {
                    jack_ringbuffer_write(receiver.ring_.get(), reinterpret_cast<const char*>(&record), sizeof record);
                }
            }
        }
        return 0;
    }

    platform::JackRingbufferHandle ring_; // process callback writes, test thread reads
    platform::JackClientHandle client_;   // goes first, which stops the callback
    std::vector<jack_port_t*> ports_;     // written before activation
    std::atomic<std::size_t> lost_{0};
};

// The bytes of a run of events, in order.
inline std::vector<std::uint8_t> bytesOf(const std::vector<ReceivedEvent>& events) {
    std::vector<std::uint8_t> bytes;
    for (const auto& event : events) {
        bytes.insert(bytes.end(), event.bytes.begin(), event.bytes.begin() + std::min(+event.size, 3));
    }
    return bytes;
}

} // namespace vantor::e2e
