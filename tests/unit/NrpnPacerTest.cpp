#include "midi/NrpnPacer.h"
#include "support/CoreFakes.h"

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
    NrpnPacer pacer{queue, [this] { return now; }, [this](const NrpnMessage& m) { return deliver(m); }};

    SendResult deliver(const NrpnMessage& message) {
        if (refuse > 0) {
            --refuse;
            return SendResult::QueueFull;
        }
        sent.push_back(message);
        sentAt.push_back(now);
        return answer;
    }
    void wait(std::chrono::milliseconds span) {
        for (auto left = span; left > 0ms; left -= 1ms) {
            now += 1ms;
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
    NrpnPacer::TimePoint now{};
    std::vector<NrpnMessage> sent;
    std::vector<NrpnPacer::TimePoint> sentAt;
    SendResult answer = SendResult::Sent;
    int refuse = 0;
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
