// A grouped drag against a synth behind a MIDI 1.0 wire: seven parameters
// every 10 ms, far more than the wire's 260 NRPNs a second, sent through the
// MidiManager as the program sends (paced, Arg 1) or every NRPN handed over
// at once (Arg 0, for comparison), over the private JACK server. The
// receiving client stands for a USB interface and the DIN wire behind it:
// each NRPN arrives in the callback and leaves the wire 3.84 ms after the
// later of its arrival and the previous one's end. A real interface holds
// only a few hundred to a few thousand bytes; what waits beyond that is
// dropped, a byte at a time.
//
// Figures: NRPNs the wire delivered a second during the drag (near 260 when
// the wire is kept busy), the most bytes waiting for the wire at once (what
// the interface would have to hold), and the delay from the drag's last move
// to its last value leaving the wire, median and p99 over the runs (target:
// one wire time per changed parameter plus 10 ms, 36.9 ms for seven).

#include "JackTestBed.h"

#include "midi/MidiManager.h"
#include "midi/NrpnPacer.h"
#include "platform/jack/JackMidiService.h"
#include "support/NrpnStream.h"
#include "support/SteadyMainQueue.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <memory>

namespace {

using vantor::e2e::bytesOf;
using vantor::e2e::JackReceiver;
using vantor::e2e::percentile;
using vantor::e2e::ReceivedEvent;
using vantor::midi::MidiManager;
using vantor::midi::NrpnPacer;
using vantor::platform::JackMidiService;
using vantor::testing::NrpnStream;
using vantor::testing::SteadyMainQueue;

constexpr int kParameters = 7;
constexpr auto kMoveInterval = std::chrono::milliseconds(10);
constexpr auto kDragLength = std::chrono::milliseconds(1500);
constexpr double kWireMicros = std::chrono::duration<double, std::micro>(NrpnPacer::kWireTime).count();
constexpr double kTargetDelayMicros = kParameters * kWireMicros + 10'000.0;

// The wire's view of the NRPNs that arrived: when each left it, and the most
// bytes that waited for it at once.
struct WireRun {
    std::vector<double> leftAt; // jack_get_time() microseconds
    std::size_t mostBytesWaiting = 0;
};

WireRun runThroughTheWire(const std::vector<ReceivedEvent>& events) {
    WireRun run;
    double wireFree = 0;
    std::vector<double> waitingUntil; // when each NRPN still on the wire leaves it
    for (std::size_t last = 3; last < events.size(); last += 4) {
        const auto arrived = static_cast<double>(events[last].arrivalMicros);
        std::erase_if(waitingUntil, [&](double leaves) { return leaves <= arrived; });
        wireFree = std::max(wireFree, arrived) + kWireMicros;
        run.leftAt.push_back(wireFree);
        waitingUntil.push_back(wireFree);
        run.mostBytesWaiting = std::max(run.mostBytesWaiting, 12 * waitingUntil.size());
    }
    return run;
}

void BM_GroupedDragToDinWire(benchmark::State& state) {
    const bool paced = state.range(0) != 0;
    JackReceiver synth("vantor*2", {"in"});
    JackMidiService service;
    SteadyMainQueue queue;
    MidiManager manager(service, paced ? &queue : nullptr);
    if (!synth.ok() || !manager.isConnected()) {
        state.SkipWithError("no receiving client");
        return;
    }
    const auto destination = *manager.connectedEndpoint();
    std::vector<double> delays, rates;
    std::size_t mostBytesWaiting = 0, wrongEnds = 0;
    jack_time_t longestSilence = 0; // between two arrivals during a drag: the server's or our thread's stalls
    int value = 0;
    for (auto _ : state) {
        synth.take();
        std::map<int, int> finalValues;
        const jack_time_t start = jack_get_time();
        auto next = SteadyMainQueue::Clock::now();
        jack_time_t lastMove = start;
        for (std::chrono::milliseconds moved{0}; moved < kDragLength; moved += kMoveInterval) {
            ++value;
            for (int block = 0; block < kParameters; ++block) {
                manager.sendNRPN(value & 0x3FFF, 1 + 6 * block, 0, destination);
                finalValues[1 + 6 * block] = value & 0x3FFF;
            }
            lastMove = jack_get_time();
            next += kMoveInterval;
            queue.runUntil(next);
        }
        std::vector<ReceivedEvent> events;
        const auto ended = [&] {
            std::ranges::copy(synth.take(), std::back_inserter(events));
            const auto stream = NrpnStream::read(bytesOf(events));
            return stream.endsWhole && stream.lastValues() == finalValues;
        };
        const auto deadline = SteadyMainQueue::Clock::now() + std::chrono::seconds(30);
        while (!ended() && SteadyMainQueue::Clock::now() < deadline) queue.runFor(std::chrono::milliseconds(2));
        if (!ended()) ++wrongEnds;

        const WireRun wire = runThroughTheWire(events);
        if (wire.leftAt.empty()) continue;
        for (std::size_t i = 1; i < events.size() && events[i].arrivalMicros <= lastMove; ++i) {
            longestSilence = std::max(longestSilence, events[i].arrivalMicros - events[i - 1].arrivalMicros);
        }
        delays.push_back(wire.leftAt.back() - static_cast<double>(lastMove));
        const auto duringDrag = std::ranges::count_if(wire.leftAt, [&](double at) { return at <= static_cast<double>(lastMove); });
        rates.push_back(static_cast<double>(duringDrag) * 1e6 / static_cast<double>(lastMove - start));
        mostBytesWaiting = std::max(mostBytesWaiting, wire.mostBytesWaiting);
    }
    state.counters["delivered_per_s"] = percentile(rates, 0.5);
    state.counters["most_bytes_waiting"] = static_cast<double>(mostBytesWaiting);
    state.counters["longest_silence_ms"] = static_cast<double>(longestSilence) / 1000.0;
    state.counters["delay_median_ms"] = percentile(delays, 0.5) / 1000.0;
    state.counters["delay_p99_ms"] = percentile(delays, 0.99) / 1000.0;
    state.counters["target_ms"] = kTargetDelayMicros / 1000.0;
    state.counters["meets_target"] = percentile(delays, 0.99) <= kTargetDelayMicros && wrongEnds == 0 ? 1 : 0;
    state.counters["wrong_final_values"] = static_cast<double>(wrongEnds);
}
BENCHMARK(BM_GroupedDragToDinWire)->Arg(1)->Arg(0)->Iterations(20)->UseRealTime()->Unit(benchmark::kSecond);

} // namespace
