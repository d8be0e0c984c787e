#include "presets/MidiSliderPreset.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vantor::presets {
namespace {

constexpr const char* kBlankJson =
    R"({"A":[0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0],)"
    R"("B":[false,false,false,false,false,false,false],"C":false,"D":false,"E":false,"F":false,"G":false})";

TEST(Preset, ABlankPresetHas42ValuesAnd7ModStates) {
    const auto blank = MidiSliderPreset::blank();
    EXPECT_EQ(blank.values.size(), 42u);
    EXPECT_EQ(blank.modStates.size(), 7u);
}

TEST(Preset, EncodesKeysAToGInOrderAndRoundTrips) {
    auto preset = MidiSliderPreset::blank();
    const auto encoded = encodePreset(preset);
    ASSERT_TRUE(encoded.json) << encoded.error;
    std::string keys;
    for (const auto& item : encoded.json->items()) keys += item.key();
    EXPECT_EQ(keys, "ABCDEFG");

    const auto decoded = decodePresetText(encoded.json->dump());
    ASSERT_TRUE(decoded.preset) << decoded.error;
    EXPECT_EQ(*decoded.preset, preset);

    preset.values = {0.5, 16383.0, 1e-300};
    preset.modStates = {true};
    preset.drumModeToggle = preset.regen2ModeToggle = true;
    EXPECT_EQ(decodePresetText(encodePreset(preset).json->dump()).preset, preset);
}

TEST(Preset, DecodesTheKeyedTextOfABlankPreset) {
    const auto decoded = decodePresetText(std::string_view(kBlankJson));
    ASSERT_TRUE(decoded.preset) << decoded.error;
    EXPECT_EQ(*decoded.preset, MidiSliderPreset::blank());
}

TEST(Preset, EncodingANonFiniteValueFails) {
    auto preset = MidiSliderPreset::blank();
    preset.values[3] = std::nan("");
    const auto encoded = encodePreset(preset);
    EXPECT_FALSE(encoded.json);
    EXPECT_NE(encoded.error.find("A"), std::string::npos);
}

struct RejectCase {
    std::string name;
    std::string json;
    friend void PrintTo(const RejectCase& row, std::ostream* out) { *out << row.name; }
};

class PresetRejects : public ::testing::TestWithParam<RejectCase> {};

TEST_P(PresetRejects, FailsWithAnErrorAndNoRecord) {
    const auto decoded = decodePresetText(std::string_view(GetParam().json));
    EXPECT_FALSE(decoded.preset);
    EXPECT_FALSE(decoded.error.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, PresetRejects,
    ::testing::Values(
        RejectCase{"missingG", R"({"A":[],"B":[],"C":false,"D":false,"E":false,"F":false})"},
        RejectCase{"missingA", R"({"B":[],"C":false,"D":false,"E":false,"F":false,"G":false})"},
        RejectCase{"numberUnderC", R"({"A":[],"B":[],"C":1,"D":false,"E":false,"F":false,"G":false})"},
        RejectCase{"textInValues", R"({"A":["1"],"B":[],"C":false,"D":false,"E":false,"F":false,"G":false})"},
        RejectCase{"booleanInValues", R"({"A":[true],"B":[],"C":false,"D":false,"E":false,"F":false,"G":false})"},
        RejectCase{"numberInModStates", R"({"A":[],"B":[0],"C":false,"D":false,"E":false,"F":false,"G":false})"},
        RejectCase{"valuesNotAList", R"({"A":0,"B":[],"C":false,"D":false,"E":false,"F":false,"G":false})"},
        RejectCase{"nullFlag", R"({"A":[],"B":[],"C":false,"D":null,"E":false,"F":false,"G":false})"},
        RejectCase{"lowerCaseKeys", R"({"a":[],"b":[],"c":false,"d":false,"e":false,"f":false,"g":false})"},
        RejectCase{"numberOutOfRange", R"({"A":[1e400],"B":[],"C":false,"D":false,"E":false,"F":false,"G":false})"},
        RejectCase{"notAnObject", R"([1,2,3])"},
        RejectCase{"notJson", R"({"A":)"}),
    [](const auto& row) { return row.param.name; });

TEST(Preset, KeysAreExactSingleLetters) {
    EXPECT_EQ(keyFromText("A"), PresetKey::A);
    EXPECT_EQ(keyFromText("G"), PresetKey::G);
    EXPECT_FALSE(keyFromText("a"));
    EXPECT_FALSE(keyFromText("H"));
    EXPECT_FALSE(keyFromText("AB"));
    EXPECT_EQ(keyText(PresetKey::C), "C");
}

TEST(Preset, UnknownKeysAreIgnored) {
    std::string json(kBlankJson);
    json.insert(1, R"("Z":1,"a":[],)");
    EXPECT_TRUE(decodePresetText(std::string_view(json)).preset);
}

} // namespace
} // namespace vantor::presets
