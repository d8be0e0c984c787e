// The program's own send path (the surface's state, its MidiManager, the
// real ALSA service) played faster than a MIDI 1.0 wire carries, to the USB
// synth of usb_synth.sh whose synth side reads at the DIN rate, as a synth
// behind a DIN socket or a slow USB input does. The gadget, like a USB-to-DIN
// interface without flow control, drops what its synth has no room for, a
// byte at a time: whatever is handed over faster than the wire shows up as
// Control Changes outside a whole NRPN. Run in a guest by guest_run.sh.

#include "KernelMidi.h"
#include "support/CoreFakes.h"
#include "support/NrpnStream.h"
#include "support/SteadyMainQueue.h"
#include "surface/ContentView.h"
#include "surface/ParameterCatalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace vantor::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// 10 bits a byte at 31,250 baud.
constexpr auto kByteTime = 320us;

// The synth end of a MIDI 1.0 wire: takes the bytes waiting at the gadget's
// synth side no faster than the wire brings them, on a thread of its own. An
// idle wire saves up no time; after falling behind (a late wake-up) it takes
// what the wire would have carried meanwhile. The gadget keeps what is not
// yet taken in its buffer and drops what does not fit.
class DinRateSynth {
public:
    explicit DinRateSynth(int synthSide) : reader_([this, synthSide](std::stop_token stop) { read(stop, synthSide); }) {}

    // Takes nothing for `span` (a synth busy with something else).
    void stallFor(Clock::duration span) { stalledUntil_ = (Clock::now() + span).time_since_epoch().count(); }

    std::vector<std::uint8_t> bytes() const {
        std::lock_guard lock(mutex_);
        return bytes_;
    }

private:
    void read(const std::stop_token& stop, int synthSide) {
        auto wireFree = Clock::now();
        while (!stop.stop_requested()) {
            const auto now = Clock::now();
            const Clock::time_point stalledUntil{Clock::duration(stalledUntil_.load())};
            if (now < stalledUntil) {
                std::this_thread::sleep_until(std::min(stalledUntil, now + 10ms));
                wireFree = std::max(wireFree, stalledUntil);
                continue;
            }
            if (now < wireFree) {
                // A millisecond late on purpose: a few bytes a wake-up.
                std::this_thread::sleep_until(wireFree + 1ms);
                continue;
            }
            std::uint8_t chunk[64];
            const auto allowance = std::min<std::size_t>(sizeof chunk, 1 + (now - wireFree) / kByteTime);
            const ssize_t got = ::read(synthSide, chunk, allowance);
            if (got > 0) {
                std::lock_guard lock(mutex_);
                bytes_.insert(bytes_.end(), chunk, chunk + got);
                wireFree += got * kByteTime;
                continue;
            }
            pollfd descriptor{synthSide, POLLIN, 0};
            poll(&descriptor, 1, 10);
            wireFree = Clock::now();
        }
    }

    std::atomic<Clock::rep> stalledUntil_{0};
    mutable std::mutex mutex_;
    std::vector<std::uint8_t> bytes_;
    std::jthread reader_; // last: stopped and joined before the rest goes
};

// The program's side: the surface over the real ALSA service, its main
// queue run by the test's thread.
struct SurfaceProgram {
    platform::AlsaMidiService service;
    SteadyMainQueue queue;
    ConsoleRecorder console;
    ScriptedRandom random;
    surface::ContentView view{service, queue, console, random};
};

class UsbSynthPacing : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        ASSERT_TRUE(usb.plug());
        program = std::make_unique<SurfaceProgram>();
        ASSERT_TRUE(program->view.midiManager().isConnected());
        synth.emplace(usb.synthSide());
    }
    void TearDown() override { synth.reset(); }

    UsbSynth usb;
    std::unique_ptr<SurfaceProgram> program;
    std::optional<DinRateSynth> synth;
};

// Every tab grouped, then the third slider of the first dragged every 10 ms for three seconds, each move higher
// than the last: six NRPNs a move, 600 a second, more than twice what the wire carries. Then the program runs
// until the synth ends on the drag's values: whole NRPNs only, none older than one already there, every
// parameter's last value the slider's. Also when the synth takes nothing for a second in the middle of the drag:
// the gadget holds what waits.
TEST_P(UsbSynthPacing, AGroupedDragArrivesAsWholeNrpnsEndingOnEveryParametersLastValue) {
    const bool stalls = GetParam();
    for (int group = 0; group < 6; ++group) program->view.toggleLink(*surface::LinkGroup::of(group));
    std::map<int, int> finalValues;
    auto next = Clock::now();
    for (int move = 0; move < 300; ++move) {
        if (stalls && move == 100) synth->stallFor(1s);
        const int value = 1000 + 10 * move;
        program->view.editSlider(surface::TabTag(0), *surface::SliderIndex::of(2), value);
        for (int group = 0; group < 6; ++group) finalValues[surface::nrpnOfSlider(*surface::SliderIndex::of(6 * group + 2)).value()] = value;
        next += 10ms;
        program->queue.runUntil(next);
    }
    const auto deadline = Clock::now() + kKernelWait;
    auto stream = NrpnStream::read(synth->bytes());
    while (!(stream.endsWhole && stream.lastValues() == finalValues) && Clock::now() < deadline) {
        program->queue.runFor(10ms);
        stream = NrpnStream::read(synth->bytes());
    }
    EXPECT_EQ(stream.orphans, 0u);
    EXPECT_EQ(stream.olderThanSeen(), 0u);
    EXPECT_EQ(stream.lastValues(), finalValues);
    // The wire is kept busy: 3 s at about 260 a second.
    EXPECT_GT(stream.whole.size(), stalls ? 0u : 500u);
    EXPECT_TRUE(program->console.lines().empty());
}

INSTANTIATE_TEST_SUITE_P(Kernel, UsbSynthPacing, ::testing::Bool(),
                         [](const auto& row) { return row.param ? "synthStallsForASecond" : "synthKeepsUp"; });

} // namespace
} // namespace vantor::testing
