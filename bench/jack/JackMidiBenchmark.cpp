// How fast NRPNs travel through JACK: from MidiManager::sendNRPN on the main
// thread to the process callback of a receiving client, on a private server
// (48 kHz, 128 frames) that this program starts itself: jackd2, or PipeWire
// when run with PipeWire's libjack (pw-jack, or LD_LIBRARY_PATH as
// scripts/bench does).

#include "JackTestBed.h"

#include "midi/MidiManager.h"
#include "midi/NrpnDecoder.h"
#include "platform/jack/JackMidiService.h"
#include "support/SteadyMainQueue.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <thread>

namespace {

using vantor::e2e::JackReceiver;
using vantor::e2e::JackServer;
using vantor::e2e::percentile;
using vantor::e2e::ReceivedEvent;
using vantor::midi::MidiManager;
using vantor::platform::JackMidiService;
using Clock = std::chrono::steady_clock;

constexpr double kPeriodMicros = JackServer::kPeriodMicros;
// Target for a single NRPN: p99 within one period plus half a millisecond.
constexpr double kTargetP99Micros = kPeriodMicros + 500.0;

// Waits for `count` more events, polling briefly so the next send starts
// soon after (and at a varying point of the period).
std::vector<ReceivedEvent> awaitEvents(JackReceiver& receiver, std::size_t count, std::chrono::seconds timeout) {
    std::vector<ReceivedEvent> events;
    const auto deadline = Clock::now() + timeout;
    while (events.size() < count && Clock::now() < deadline) {
        const auto more = receiver.take();
        events.insert(events.end(), more.begin(), more.end());
        if (events.size() < count) std::this_thread::sleep_for(std::chrono::microseconds(150));
    }
    return events;
}

// Arg 1: paced as the program sends (a single step leaves at once); Arg 0:
// handed to the service directly.
void BM_NrpnLatencyToReceiverCallback(benchmark::State& state) {
    JackReceiver synth("vantor*2", {"in"});
    JackMidiService service;
    vantor::testing::SteadyMainQueue queue;
    MidiManager manager(service, state.range(0) != 0 ? &queue : nullptr);
    if (!synth.ok() || !manager.isConnected()) {
        state.SkipWithError("no receiving client");
        return;
    }
    const auto destination = *manager.connectedEndpoint();
    // The first send makes the connection; leave it out of the figures.
    manager.sendNRPN(0, 1, 0, destination);
    awaitEvents(synth, 4, std::chrono::seconds(5));

    std::vector<double> micros;
    std::size_t missing = 0;
    int value = 0;
    // Each send at a different point of the period, as a user's would be:
    // a pseudo-random pause first, so the loop does not lock onto the cycle.
    // Steps at least a MIDI wire's NRPN time apart, as single steps are (a
    // key held down repeats some 30 times a second).
    std::minstd_rand phase(12345);
    constexpr int kWireMicros = 3840;
    std::uniform_int_distribution<int> pause(kWireMicros, kWireMicros + static_cast<int>(kPeriodMicros));
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::microseconds(pause(phase)));
        const jack_time_t sent = jack_get_time();
        manager.sendNRPN(value++ & 0x3FFF, 28, 0, destination);
        const auto events = awaitEvents(synth, 4, std::chrono::seconds(2));
        if (events.size() < 4) {
            ++missing;
            state.SetIterationTime(2.0);
            continue;
        }
        const double latency = static_cast<double>(events.back().arrivalMicros - std::min(sent, events.back().arrivalMicros));
        micros.push_back(latency);
        state.SetIterationTime(latency / 1e6);
    }
    const double median = percentile(micros, 0.5);
    const double p99 = percentile(micros, 0.99);
    state.counters["median_us"] = median;
    state.counters["p99_us"] = p99;
    state.counters["max_us"] = percentile(micros, 1.0);
    state.counters["median_periods"] = median / kPeriodMicros;
    state.counters["p99_periods"] = p99 / kPeriodMicros;
    state.counters["target_p99_us"] = kTargetP99Micros;
    state.counters["meets_target"] = (p99 <= kTargetP99Micros && missing == 0) ? 1 : 0;
    state.counters["missing"] = static_cast<double>(missing);
}
BENCHMARK(BM_NrpnLatencyToReceiverCallback)->Arg(1)->Arg(0)->Iterations(1500)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The user's first move after the program started: a fresh client finds the
// destination (and connects to it) as the program does at start-up, then
// the first NRPN goes out after `range(0)` ms: 0 for a send at once, the
// worst case, which waits for the new connection to settle; 300 for the
// quickest click a person makes once the surface is there.
void BM_FirstNrpnFromClick(benchmark::State& state) {
    const auto delay = std::chrono::milliseconds(state.range(0));
    JackReceiver synth("vantor*2", {"in"});
    if (!synth.ok()) {
        state.SkipWithError("no receiving client");
        return;
    }
    std::vector<double> micros;
    std::size_t missing = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto service = std::make_unique<JackMidiService>();
        auto manager = std::make_unique<MidiManager>(*service);
        if (!manager->isConnected()) {
            state.SkipWithError("destination not found");
            return;
        }
        std::this_thread::sleep_for(delay);
        state.ResumeTiming();
        const jack_time_t click = jack_get_time();
        manager->sendNRPN(8192, 28, 0, *manager->connectedEndpoint());
        const auto events = awaitEvents(synth, 4, std::chrono::seconds(2));
        if (events.size() < 4) {
            ++missing;
        } else {
            micros.push_back(static_cast<double>(events.back().arrivalMicros - std::min(click, events.back().arrivalMicros)));
        }
        state.PauseTiming();
        manager.reset();
        service.reset();
        synth.take();
        state.ResumeTiming();
    }
    state.counters["median_us"] = percentile(micros, 0.5);
    state.counters["p99_us"] = percentile(micros, 0.99);
    state.counters["max_us"] = percentile(micros, 1.0);
    state.counters["missing"] = static_cast<double>(missing);
}
BENCHMARK(BM_FirstNrpnFromClick)->Arg(0)->Arg(300)->Iterations(100)->Unit(benchmark::kMillisecond);

// NRPNs sent at a steady rate for five seconds; everything must arrive, in
// order. The per-period cap of 64 events allows 6,000 NRPN/s.
void BM_SustainedNrpnRate(benchmark::State& state) {
    const auto rate = static_cast<double>(state.range(0));
    constexpr double kSeconds = 5.0;
    const auto total = static_cast<std::size_t>(rate * kSeconds);
    for (auto _ : state) {
        JackReceiver synth("vantor*2", {"in"});
        JackMidiService service;
        MidiManager manager(service);
        if (!synth.ok() || !manager.isConnected()) {
            state.SkipWithError("no receiving client");
            return;
        }
        const auto destination = *manager.connectedEndpoint();
        std::vector<vantor::midi::NrpnMessage> sent;
        std::vector<ReceivedEvent> received;
        std::size_t refused = 0;
        std::size_t backlog = 0;
        const auto interval = std::chrono::duration<double>(1.0 / rate);
        const auto start = Clock::now();
        for (std::size_t i = 0; i < total; ++i) {
            std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(interval * static_cast<double>(i)));
            const vantor::midi::NrpnMessage nrpn{0, 1 + static_cast<int>(i >> 14), static_cast<int>(i & 0x3FFF)};
            manager.sendNRPN(nrpn.value, nrpn.parameter, 0, destination);
            if (manager.lastSendResult() == vantor::midi::SendResult::Sent) {
                sent.push_back(nrpn);
            } else {
                ++refused;
            }
            backlog = std::max(backlog, service.pendingEvents());
            if (i % 64 == 0) {
                const auto more = synth.take();
                received.insert(received.end(), more.begin(), more.end());
            }
        }
        const double sendSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        const auto rest = awaitEvents(synth, 4 * sent.size() - std::min(received.size(), 4 * sent.size()),
                                      std::chrono::seconds(10));
        received.insert(received.end(), rest.begin(), rest.end());
        const double allSeconds = std::chrono::duration<double>(Clock::now() - start).count();

        const auto decoded = vantor::midi::decodeNrpns(vantor::e2e::bytesOf(received));
        const bool complete = decoded == sent && refused == 0 && synth.lost() == 0;
        state.counters["sent_per_s"] = static_cast<double>(sent.size()) / sendSeconds;
        state.counters["arrived"] = static_cast<double>(decoded.size());
        state.counters["lost"] = static_cast<double>(total - std::min(total, decoded.size()));
        state.counters["refused"] = static_cast<double>(refused);
        state.counters["max_backlog_events"] = static_cast<double>(backlog);
        state.counters["complete_in_order"] = complete ? 1 : 0;
        state.counters["seconds_to_last"] = allSeconds;
        if (!complete) state.SkipWithError("NRPNs were lost or reordered");
    }
}
BENCHMARK(BM_SustainedNrpnRate)->Arg(5000)->Arg(5900)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    JackServer server;
    if (!server.waitUntilReady()) {
        std::fprintf(stderr, "bench_jack_midi: the %s server did not start\n", server.pipeWire() ? "PipeWire" : "JACK (jackd)");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
