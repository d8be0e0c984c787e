#include "JackReceiver.h"
#include "JackServer.h"

#include "midi/MidiManager.h"
#include "midi/Nrpn.h"
#include "midi/NrpnDecoder.h"
#include "platform/jack/JackMidiService.h"

#include <gtest/gtest.h>

#include <map>

namespace vantor::e2e {
namespace {

using midi::MidiManager;
using midi::NrpnMessage;
using midi::SendResult;
using namespace std::chrono_literals;

class JackDelivery : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.waitUntilReady()) << "jackd did not start"; }

    JackServer server;
};

TEST_F(JackDelivery, AnNrpnArrivesByteExactAsFourThreeByteEvents) {
    JackReceiver synth("vantor*2", {"in"});
    ASSERT_TRUE(synth.ok());
    platform::JackMidiService service;
    MidiManager manager(service);
    ASSERT_TRUE(manager.isConnected());

    manager.sendNRPN(8197, 134, 0, *manager.connectedEndpoint());
    manager.sendNRPN(16383, 1, 0, *manager.connectedEndpoint());
    ASSERT_EQ(manager.lastSendResult(), SendResult::Sent);

    const auto events = synth.collect(8, 10s);
    ASSERT_EQ(events.size(), 8u);
    for (const auto& event : events) EXPECT_EQ(event.size, 3u);
    const auto first = midi::encodeNrpn(8197, 134, 0);
    const auto second = midi::encodeNrpn(16383, 1, 0);
    std::vector<std::uint8_t> expected(first.begin(), first.end());
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(bytesOf(events), expected);
    EXPECT_EQ(synth.lost(), 0u);
}

TEST_F(JackDelivery, AHundredThousandNrpnBurstArrivesCompleteAndInOrder) {
    JackReceiver synth("vantor*2", {"in"});
    ASSERT_TRUE(synth.ok());
    platform::JackMidiService service;
    MidiManager manager(service);
    ASSERT_TRUE(manager.isConnected());

    constexpr int kCount = 100'000;
    std::vector<NrpnMessage> sent;
    sent.reserve(kCount);
    for (int i = 0; i < kCount; ++i) {
        // Every NRPN different from its neighbours, so a loss or a swap shows.
        const NrpnMessage message{0, 1 + (i >> 14) , i & 0x3FFF};
        manager.sendNRPN(message.value, message.parameter, 0, *manager.connectedEndpoint());
        ASSERT_EQ(manager.lastSendResult(), SendResult::Sent) << "send " << i;
        sent.push_back(message);
    }
    EXPECT_EQ(service.queueFullCount(), 0u);

    // 6,250 periods of 64 events: about 17 s of server time.
    const auto events = synth.collect(4u * kCount, 120s);
    EXPECT_EQ(synth.lost(), 0u);
    ASSERT_EQ(events.size(), 4u * kCount) << "server gone: " << service.serverGone()
                                          << ", still queued: " << service.pendingEvents();
    EXPECT_EQ(midi::decodeNrpns(bytesOf(events)), sent);

    std::map<std::uint32_t, std::size_t> perPeriod;
    for (const auto& event : events) ++perPeriod[event.period];
    std::size_t busiest = 0;
    for (const auto& [period, count] : perPeriod) busiest = std::max(busiest, count);
    EXPECT_LE(busiest, platform::JackMidiService::kMaxEventsPerPeriod);
}

TEST_F(JackDelivery, AFullQueueRefusesWholeNrpnsAndCountsThem) {
    JackReceiver synth("vantor*2", {"in"});
    ASSERT_TRUE(synth.ok());
    platform::JackMidiService service;
    MidiManager manager(service);
    ASSERT_TRUE(manager.isConnected());

    // Far more than the queue holds, faster than one period drains.
    constexpr int kCount = 160'000;
    std::size_t refused = 0;
    for (int i = 0; i < kCount; ++i) {
        manager.sendNRPN(i & 0x3FFF, 1 + (i >> 14), 0, *manager.connectedEndpoint());
        const auto result = manager.lastSendResult();
        ASSERT_TRUE(result == SendResult::Sent || result == SendResult::QueueFull) << static_cast<int>(result);
        if (result == SendResult::QueueFull) ++refused;
    }
    EXPECT_GT(refused, 0u);
    EXPECT_EQ(service.queueFullCount(), refused);
    // What was taken arrives, and decodes cleanly.
    const auto events = synth.collect(4 * 1000, 20s);
    midi::NrpnDecoder decoder;
    for (const auto& event : decoder.feedBytes(bytesOf(events))) {
        EXPECT_TRUE(std::holds_alternative<NrpnMessage>(event)) << std::get<midi::DecodeWarning>(event).text;
    }
}

} // namespace
} // namespace vantor::e2e
