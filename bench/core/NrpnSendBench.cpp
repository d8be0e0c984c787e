// Encoding and sending one NRPN through the manager, with an in-memory
// service that only counts what arrives: the cost of the program's own path.
#include "midi/MidiManager.h"
#include "midi/Nrpn.h"
#include "support/MidiFakes.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

using namespace vantor::midi;

class CountingService : public MidiService {
public:
    ClientRef createClient(std::string_view) override { return 1; }
    PortRef createOutputPort(ClientRef, std::string_view) override { return 1; }
    std::size_t destinationCount() override { return 1; }
    std::optional<EndpointRef> destinationAt(std::size_t) override { return 7; }
    DestinationNames destinationNames(EndpointRef) override { return {"vantor*2", "vantor*2"}; }
    SendResult send(PortRef, EndpointRef, std::span<const std::uint8_t> bytes) override {
        checksum += bytes[8] + bytes[11];
        return SendResult::Sent;
    }
    std::uint64_t checksum = 0;
};

void BM_EncodeNrpn(benchmark::State& state) {
    std::int64_t value = 0;
    for (auto _ : state) {
        auto bytes = encodeNrpn(value, 28, 0);
        benchmark::DoNotOptimize(bytes);
        value = (value + 1) & 0x3FFF;
    }
}
BENCHMARK(BM_EncodeNrpn);

void BM_SendNrpnThroughManager(benchmark::State& state) {
    CountingService service;
    MidiManager manager(service);
    const EndpointRef destination = *manager.connectedEndpoint();
    std::int64_t value = 0;
    for (auto _ : state) {
        manager.sendNRPN(value, 28, 0, destination);
        value = (value + 1) & 0x3FFF;
    }
    benchmark::DoNotOptimize(service.checksum);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SendNrpnThroughManager);

// The recording fake the unit tests use keeps a copy of every send.
void BM_SendNrpnToRecordingService(benchmark::State& state) {
    vantor::testing::RecordingMidiService service;
    service.addDestination("vantor*2");
    MidiManager manager(service);
    const EndpointRef destination = *manager.connectedEndpoint();
    std::int64_t value = 0;
    for (auto _ : state) {
        manager.sendNRPN(value, 28, 0, destination);
        value = (value + 1) & 0x3FFF;
        if (service.sends().size() == 65536) {
            state.PauseTiming();
            service.clearSends();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SendNrpnToRecordingService);

} // namespace

BENCHMARK_MAIN();
