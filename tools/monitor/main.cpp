// vantor2-monitor: a stand-in for the synthesizer. It offers a MIDI input
// named "vantor*2" (a JACK client, and an ALSA sequencer client where ALSA
// is available) and prints every NRPN it receives, one line each, until
// Ctrl-C.

#include "JackMidiInput.h"
#include "NrpnPrinter.h"

#if VANTOR_MONITOR_ALSA
#include "AlsaMidiInput.h"
#endif

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kName = "vantor*2";
constexpr const char* kPortName = "in";
// How often JACK's ring is looked at; ALSA input and signals wake us at once.
constexpr int kPollMilliseconds = 5;

volatile std::sig_atomic_t stopRequested = 0;
int wakeWriteFd = -1;

void requestStop(int) {
    stopRequested = 1;
    const char byte = 0;
    [[maybe_unused]] const auto ignored = write(wakeWriteFd, &byte, 1);
}

bool installStopHandlers(int (&wakePipe)[2]) {
    if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    wakeWriteFd = wakePipe[1];
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
}

} // namespace

int main() {
    using vantor::monitor::NrpnPrinter;

    int wakePipe[2] = {-1, -1};
    if (!installStopHandlers(wakePipe)) {
        std::perror("vantor2-monitor");
        return 1;
    }

    auto jack = std::make_unique<vantor::monitor::JackMidiInput>(kName, kPortName);
    NrpnPrinter jackPrinter(stdout);
    if (!jack->ok()) {
        std::fprintf(stderr, "vantor2-monitor: JACK: %s\n", jack->error().c_str());
        jack.reset();
    } else {
        jackPrinter.line("listening: JACK " + jack->portName());
    }

#if VANTOR_MONITOR_ALSA
    auto alsa = std::make_unique<vantor::monitor::AlsaMidiInput>(kName, kPortName);
    NrpnPrinter alsaPrinter(stdout);
    if (!alsa->ok()) {
        alsa.reset();
    } else {
        alsaPrinter.line("listening: ALSA " + alsa->address());
    }
    const bool anyInput = jack || alsa;
#else
    const bool anyInput = jack != nullptr;
#endif
    if (!anyInput) {
        std::fprintf(stderr, "vantor2-monitor: no JACK server and no ALSA sequencer to listen on\n");
        return 1;
    }

    std::vector<pollfd> descriptors{{wakePipe[0], POLLIN, 0}};
#if VANTOR_MONITOR_ALSA
    if (alsa) {
        const auto more = alsa->pollDescriptors();
        descriptors.insert(descriptors.end(), more.begin(), more.end());
    }
#endif

    while (stopRequested == 0) {
        if (poll(descriptors.data(), descriptors.size(), kPollMilliseconds) < 0 && errno != EINTR) break;
        if (jack) {
            const auto lost = jack->drain([&](auto message) { jackPrinter.message(message); });
            if (lost != 0) jackPrinter.lost(lost);
            if (jack->serverGone()) {
                jackPrinter.line("warning: the JACK server shut down");
                jack.reset();
            }
        }
#if VANTOR_MONITOR_ALSA
        if (alsa) {
            const auto drained = alsa->drain([&](auto message) { alsaPrinter.message(message); });
            if (drained.overflows != 0) alsaPrinter.overflowed(drained.droppedEvents);
        }
        if (!jack && !alsa) break;
#else
        if (!jack) break;
#endif
    }
    return 0;
}
