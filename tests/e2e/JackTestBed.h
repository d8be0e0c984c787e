#pragma once

// The end-to-end test bed, also the JACK benchmarks': a private JACK server
// (jackd2, or PipeWire with WirePlumber when the process runs on PipeWire's
// libjack) and a receiving client.
#include "platform/jack/JackHandles.h"
#include "support/ChildProcess.h"

#include <jack/midiport.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <dlfcn.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace vantor::e2e {

using namespace std::chrono_literals;

using testing::ChildProcess;
using testing::waitUntil;

// How many JACK ports match the regular expression `pattern` ("": all); nothing when no client can connect.
inline std::optional<std::size_t> jackPorts(const std::string& pattern = "") {
    platform::silenceJackLibrary();
    jack_status_t status{};
    const platform::JackClientHandle probe(jack_client_open("e2e-probe", JackNoStartServer, &status));
    if (!probe) return std::nullopt;
    const platform::JackNameList ports(jack_get_ports(probe.get(), pattern.c_str(), nullptr, 0));
    std::size_t count = 0;
    while (ports && ports.get()[count] != nullptr) ++count;
    return count;
}

// Whether this process runs on PipeWire's libjack (loaded in place of jackd2's through LD_LIBRARY_PATH, as
// pw-jack does) rather than jackd2's: the test bed then starts a PipeWire daemon instead of jackd.
inline bool onPipeWireJack() {
    Dl_info library{};
    return dladdr(reinterpret_cast<void*>(&jack_client_open), &library) != 0 && library.dli_fname != nullptr &&
           std::string_view(library.dli_fname).find("/pipewire-") != std::string_view::npos;
}

// The sample at `fraction` (0..1) of the sorted samples, the nearest rank; 0 for none.
inline double percentile(std::vector<double> samples, double fraction) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1) + 0.5);
    return samples[std::min(index, samples.size() - 1)];
}

// A private JACK server for the process and its children, of the kind its libjack talks to, at 48 kHz with
// 128-frame periods:
// - jackd2: dummy driver, synchronous so that a late client delays the MIDI rather than losing it, with a 10 s
//   client time-out (not 0.5 s) so that a busy machine does not get clients thrown out, named after this process
//   in JACK_DEFAULT_SERVER;
// - PipeWire: a headless daemon with a dummy driver node, and WirePlumber as its session manager (as users
//   have it) on a private D-Bus session, in a private runtime folder named in PIPEWIRE_RUNTIME_DIR.
class JackServer {
public:
    static constexpr unsigned kSampleRate = 48000;
    static constexpr unsigned kPeriodFrames = 128;
    static constexpr double kPeriodMicros = 1e6 * kPeriodFrames / kSampleRate;

    JackServer() : pipeWire_(onPipeWireJack()), name_("vantor-testbed-" + std::to_string(getpid())) {
        if (pipeWire_) preparePipeWire();
        else setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        start();
    }
    ~JackServer() {
        stop();
        if (killedHard_ && !pipeWire_) { // its slot in jackd's registry of eight is freed by a clean end of its namesake
            start();
            waitUntilReady(10s);
            stop();
        }
        // Clients that died with jackd leave semaphores under its name; PipeWire's files are in our folder.
        std::error_code error;
        const std::string prefix = "jack_sem." + std::to_string(getuid()) + "_" + name_ + "_";
        for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", error)) {
            if (entry.path().filename().string().starts_with(prefix)) std::filesystem::remove(entry.path(), error);
        }
        if (!runtimeDir_.empty()) std::filesystem::remove_all(runtimeDir_, error);
    }
    bool pipeWire() const { return pipeWire_; }
    // Waits until a client can connect (and, on PipeWire, the session manager is there); false on time-out.
    bool waitUntilReady(std::chrono::milliseconds timeout = 60s) {
        const auto up = [&] { return jackPorts().has_value() && (!pipeWire_ || sessionManagerUp()); };
        return waitUntil([&] { return !process_->running() || up(); }, timeout) && process_->running();
    }
    // Sends `signal` to the server and waits for it to end.
    void kill(int signal) {
        process_->signal(signal);
        process_->wait(10s);
        killedHard_ = killedHard_ || signal == SIGKILL;
    }

private:
    void preparePipeWire() {
        std::string folder = (std::filesystem::temp_directory_path() / (name_ + "-XXXXXX")).string();
        if (mkdtemp(folder.data()) == nullptr) return;
        runtimeDir_ = folder;
        // PipeWire's libjack ignores JACK_DEFAULT_SERVER: the runtime folder and the remote's name choose the
        // daemon; WirePlumber keeps its state in our folder, not the user's.
        for (const char* variable : {"PIPEWIRE_RUNTIME_DIR", "XDG_RUNTIME_DIR", "XDG_STATE_HOME"}) {
            setenv(variable, folder.c_str(), 1);
        }
        setenv("PIPEWIRE_REMOTE", name_.c_str(), 1);
        const std::string quantum = std::to_string(kPeriodFrames);
        std::ofstream(folder + "/pipewire.conf")
            << "context.properties = { core.daemon = true core.name = " << name_ << " default.clock.rate = "
            << kSampleRate << " default.clock.quantum = " << quantum << " default.clock.min-quantum = " << quantum
            << " default.clock.max-quantum = " << quantum << " default.clock.force-quantum = " << quantum << " }\n"
            << "context.spa-libs = { support.* = support/libspa-support }\n"
               "context.modules = [ { name = libpipewire-module-rt flags = [ ifexists nofail ] }"
               " { name = libpipewire-module-protocol-native } { name = libpipewire-module-metadata }"
               " { name = libpipewire-module-spa-node-factory } { name = libpipewire-module-client-node }"
               " { name = libpipewire-module-access } { name = libpipewire-module-adapter }"
               " { name = libpipewire-module-link-factory } ]\n"
               "context.objects = [ { factory = metadata args = { metadata.name = default } }"
               " { factory = spa-node-factory args = { factory.name = support.node.driver node.name = Dummy-Driver"
               " node.group = pipewire.dummy priority.driver = 20000 } } ]\n";
    }
    // WirePlumber has joined the daemon when it is among its clients.
    bool sessionManagerUp() const {
        std::unique_ptr<FILE, int (*)(FILE*)> clients(popen("pw-cli ls Client 2>/dev/null", "r"), pclose);
        std::string text(4096, '\0');
        for (std::size_t got; clients && (got = fread(text.data(), 1, text.size(), clients.get())) > 0;) {
            if (std::string_view(text.data(), got).find("\"WirePlumber\"") != std::string_view::npos) return true;
        }
        return false;
    }
    void start() {
        using Argv = std::vector<std::string>;
        const auto discard = ChildProcess::Output::Discard;
        if (!pipeWire_) {
            process_ = std::make_unique<ChildProcess>(Argv{VANTOR_JACKD, "-r", "-S", "-t", "10000", "-d", "dummy", "-r",
                                                           std::to_string(kSampleRate), "-p",
                                                           std::to_string(kPeriodFrames)}, discard);
            return;
        }
        process_ = std::make_unique<ChildProcess>(Argv{VANTOR_PIPEWIRE, "-c", runtimeDir_ + "/pipewire.conf"}, discard);
        sessionManager_ = std::make_unique<ChildProcess>(Argv{VANTOR_DBUS_RUN_SESSION, "--", VANTOR_WIREPLUMBER},
                                                         discard, ChildProcess::Group::Own);
    }
    void stop() {
        if (sessionManager_) sessionManager_->stop();
        process_->stop();
    }

    bool pipeWire_;
    std::string name_;
    std::string runtimeDir_;                       // PipeWire only
    std::unique_ptr<ChildProcess> process_;        // jackd or pipewire
    std::unique_ptr<ChildProcess> sessionManager_; // PipeWire only: WirePlumber and its D-Bus session
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
