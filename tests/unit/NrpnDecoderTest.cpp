#include "midi/Nrpn.h"
#include "midi/NrpnDecoder.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantor::midi {
namespace {

std::vector<std::uint8_t> concat(std::initializer_list<NrpnBytes> parts) {
    std::vector<std::uint8_t> stream;
    for (const auto& part : parts) stream.insert(stream.end(), part.begin(), part.end());
    return stream;
}

TEST(NrpnDecoder, RoundTripsEveryEncodedNrpn) {
    const auto stream = concat({encodeNrpn(0, 1, 0), encodeNrpn(16383, 43, 0), encodeNrpn(139, 139, 0),
                                encodeNrpn(5000, 7, 3)});
    EXPECT_EQ(decodeNrpns(stream), (std::vector<NrpnMessage>{{0, 1, 0}, {0, 43, 16383}, {0, 139, 139}, {3, 7, 5000}}));
}

TEST(NrpnDecoder, WarnsOnAnInterruptedSequenceAndRecovers) {
    NrpnDecoder decoder;
    const auto first = encodeNrpn(100, 5, 0);
    const auto second = encodeNrpn(200, 6, 0);
    std::vector<std::uint8_t> stream(first.begin(), first.begin() + 6); // parameter only
    stream.insert(stream.end(), second.begin(), second.end());

    const auto events = decoder.feedBytes(stream);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_TRUE(std::holds_alternative<DecodeWarning>(events[0]));
    EXPECT_EQ(std::get<NrpnMessage>(events[1]), (NrpnMessage{0, 6, 200}));
}

TEST(NrpnDecoder, WarnsOnOutOfOrderControllersAndOtherMessages) {
    NrpnDecoder decoder;
    const std::vector<std::uint8_t> dataBeforeParameter{0xB0, 0x06, 0x01};
    const std::vector<std::uint8_t> swappedLsbs{0xB0, 0x63, 0x00, 0xB0, 0x06, 0x01};
    const std::vector<std::uint8_t> noteOn{0x90, 0x40, 0x7F};
    const std::vector<std::uint8_t> shortMessage{0xB0, 0x63};

    EXPECT_EQ(decoder.feedBytes(dataBeforeParameter).size(), 1u);
    const auto swapped = decoder.feedBytes(swappedLsbs);
    ASSERT_EQ(swapped.size(), 1u);
    EXPECT_TRUE(std::holds_alternative<DecodeWarning>(swapped[0]));
    EXPECT_TRUE(std::holds_alternative<DecodeWarning>(*decoder.feedMessage(noteOn)));
    EXPECT_TRUE(std::holds_alternative<DecodeWarning>(*decoder.feedMessage(shortMessage)));
    EXPECT_FALSE(decoder.inSequence());

    const auto good = encodeNrpn(1, 2, 0);
    EXPECT_EQ(decodeNrpns(good), (std::vector<NrpnMessage>{{0, 2, 1}}));
}

TEST(NrpnDecoder, AChannelChangeMidSequenceIsNotMixedIn) {
    auto stream = concat({encodeNrpn(1, 1, 0)});
    stream[9] = 0xB1; // the data LSB arrives on another channel
    EXPECT_TRUE(decodeNrpns(stream).empty());
}

} // namespace
} // namespace vantor::midi
