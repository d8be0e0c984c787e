#include "midi/MidiManager.h"
#include "midi/NrpnPacer.h"
#include "support/CoreFakes.h"
#include "support/MidiFakes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <vector>

namespace vantor::midi {
namespace {

using namespace std::chrono_literals;

// A link behind a pacer, on a clock the test turns a millisecond at a time
// together with the main queue's delayed tasks.
class NrpnPacerTest : public ::testing::Test {
protected:
    SendResult deliver(const NrpnMessage& message) {
        if (refuse > 0) {
            --refuse;
            return SendResult::QueueFull;
        }
        sent.push_back(message);
        sentAt.push_back(queue.now());
        return answer;
    }
    void wait(std::chrono::milliseconds span) {
        for (auto left = span; left > 0ms; left -= 1ms) {
            queue.advance(1ms);
            queue.runAll();
        }
    }
    // The last value each parameter received.
    std::map<int, int> finalValues() const {
        std::map<int, int> last;
        for (const NrpnMessage& m : sent) last[m.parameter] = m.value;
        return last;
    }

    testing::ManualMainQueue queue;
    std::vector<NrpnMessage> sent;
    std::vector<NrpnPacer::TimePoint> sentAt;
    SendResult answer = SendResult::Sent;
    int refuse = 0;
    NrpnPacer pacer{queue, [this](const NrpnMessage& m) { return deliver(m); }};
};

TEST_F(NrpnPacerTest, AMoveLeavesAtOnceAndAWaitingOneAsSoonAsTheWireHasRoom) {
    pacer.submit({0, 4, 100});
    pacer.submit({0, 4, 101});
    pacer.submit({0, 4, 102}); // the wire is two NRPNs ahead: this one waits
    EXPECT_EQ(sent, (std::vector<NrpnMessage>{{0, 4, 100}, {0, 4, 101}}));
    pacer.submit({0, 4, 103});
    EXPECT_EQ(pacer.superseded(), 1u);
    wait(20ms);
    EXPECT_EQ(sent.back(), (NrpnMessage{0, 4, 103}));
    EXPECT_EQ(sent.size(), 3u) << "102 was replaced before it could leave";

    wait(1s); // an idle wire: the next move leaves at once again
    const auto before = sent.size();
    pacer.submit({0, 9, 1});
    EXPECT_EQ(sent.size(), before + 1);
}

// A grouped drag: seven parameters every 10 ms for three seconds, far faster
// than a wire carries.
TEST_F(NrpnPacerTest, AFastDragKeepsToTheWireAndEndsOnEveryParametersLastValue) {
    std::map<int, int> last;
    for (int move = 0; move < 300; ++move) {
        for (int block = 0; block < 7; ++block) {
            const int parameter = 1 + 6 * block;
            const int value = (move * 37 + block) % 16384;
            pacer.submit({0, parameter, value});
            last[parameter] = value;
        }
        wait(10ms);
    }
    wait(1s);
    EXPECT_EQ(finalValues(), last);
    EXPECT_EQ(pacer.waiting(), 0u);
    // Never more than the wire carries: over any stretch, at most the two
    // handed ahead plus one per wire time.
    for (std::size_t i = 0; i + 100 < sentAt.size(); i += 50) {
        const auto span = sentAt[i + 100] - sentAt[i];
        EXPECT_GE(span + 2 * NrpnPacer::kWireTime, 100 * NrpnPacer::kWireTime) << i;
    }
    EXPECT_GT(sent.size(), 700u) << "the wire is kept busy, about 260 a second";
}

// A switch sends one number for on and another for off: whatever it was
// flicked through, the synth ends on the one pressed last.
TEST_F(NrpnPacerTest, WaitingParametersLeaveInTheOrderTheyWereLastChanged) {
    pacer.submit({0, 1, 0});
    pacer.submit({0, 2, 0}); // the wire is full from here on
    pacer.submit({0, 136, 136}); // on
    pacer.submit({0, 137, 137}); // off
    pacer.submit({0, 136, 136}); // on again, last
    wait(50ms);
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[sent.size() - 2], (NrpnMessage{0, 137, 137}));
    EXPECT_EQ(sent.back(), (NrpnMessage{0, 136, 136}));
}

TEST_F(NrpnPacerTest, ARefusalIsTriedAgainAndAGoneDestinationDropsWhatWaits) {
    refuse = 3;
    pacer.submit({0, 5, 1});
    EXPECT_TRUE(sent.empty());
    wait(20ms);
    EXPECT_EQ(sent, (std::vector<NrpnMessage>{{0, 5, 1}}));

    wait(1s);
    answer = SendResult::DestinationGone;
    pacer.submit({0, 5, 2});
    pacer.submit({0, 6, 2});
    EXPECT_EQ(pacer.waiting(), 0u);
}

} // namespace
} // namespace vantor::midi

namespace vantor::midi {
namespace {

using namespace std::chrono_literals;

// Paced, the manager hands a burst over as the wire frees up; a full queue
// is waited out, not counted lost; a destination gone meanwhile is told once.
TEST(PacedMidiManager, SendsABurstAsTheWireFreesUpAndWaitsOutAFullQueue) {
    testing::ManualMainQueue queue;
    testing::RecordingMidiService service;
    const auto synth = service.addDestination("vantor*2");
    MidiManager manager(service, &queue);
    int lost = 0, gone = 0;
    auto lostConnection = manager.nrpnLost.connect([&] { ++lost; });
    auto goneConnection = manager.connectionLost.connect([&] { ++gone; });
    const auto delivered = [&] {
        std::vector<NrpnMessage> all;
        for (const auto& sent : service.sends()) {
            const auto messages = decodeNrpns(sent.bytes);
            all.insert(all.end(), messages.begin(), messages.end());
        }
        return all;
    };
    const auto wait = [&](std::chrono::milliseconds span) {
        for (auto left = span; left > 0ms; left -= 1ms) {
            queue.advance(1ms);
            queue.runAll();
        }
    };

    for (int value = 0; value < 10; ++value) manager.sendNRPN(value, 28, 0, synth);
    manager.sendNRPN(20000, 3, 0, synth); // the synth sees the low 14 bits: 3616
    EXPECT_EQ(service.sends().size(), 2u);
    wait(50ms);
    EXPECT_EQ(delivered(), (std::vector<NrpnMessage>{{0, 28, 0}, {0, 28, 1}, {0, 28, 9}, {0, 3, 3616}}));

    service.failWith(SendResult::QueueFull);
    manager.sendNRPN(5, 5, 0, synth);
    wait(20ms);
    service.stopFailing();
    wait(20ms);
    EXPECT_EQ(delivered().back(), (NrpnMessage{0, 5, 5}));
    EXPECT_EQ(lost, 0);

    for (int value = 0; value < 5; ++value) manager.sendNRPN(value, 7, 0, synth);
    service.loseDestination(synth);
    wait(50ms);
    EXPECT_EQ(gone, 1);
    EXPECT_FALSE(manager.isConnected());
}

} // namespace
} // namespace vantor::midi
