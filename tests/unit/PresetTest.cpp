// The preset record's keyed text form.

#include "presets/MidiSliderPreset.h"

#include <cmath>
#include <string>

#include <gtest/gtest.h>

namespace vantor::testing {
namespace {

TEST(Preset, IsKeyedAToGInOrderAndRoundTripsThroughItsText) {
    presets::MidiSliderPreset preset{{0.5, 16383.0, 1e-300}, {true, false}, false, true, false, false, true};
    const auto encoded = presets::encodePreset(preset);
    ASSERT_TRUE(encoded.json) << encoded.error;
    std::string keys;
    for (const auto& item : encoded.json->items()) keys += item.key();
    EXPECT_EQ(keys, "ABCDEFG");
    EXPECT_EQ(presets::decodePresetText(encoded.json->dump()).preset, preset);
    EXPECT_EQ(presets::decodePresetText(R"({"A":[0.5,16383,1e-300],"B":[true,false],"C":false,"D":true,)"
                                        R"("E":false,"F":false,"G":true})")
                  .preset,
              preset);
    preset.values[1] = std::nan("");
    EXPECT_FALSE(presets::encodePreset(preset).json);
}

TEST(Preset, DecodesOnlyAWellFormedRecordAndOtherwiseTellsWhy) {
    struct Row {
        const char* name;
        std::string text;
        bool wellFormed;
    };
    const Row rows[] = {
        {"every key, and others ignored", R"({"Z":1,"a":[],"A":[],"B":[],"C":false,"D":false,"E":false,"F":false,"G":false})", true},
        {"G missing", R"({"A":[],"B":[],"C":false,"D":false,"E":false,"F":false})", false},
        {"A missing", R"({"B":[],"C":false,"D":false,"E":false,"F":false,"G":false})", false},
        {"a flag that is a number", R"({"A":[],"B":[],"C":1,"D":false,"E":false,"F":false,"G":false})", false},
        {"a value that is a string", R"({"A":["1"],"B":[],"C":false,"D":false,"E":false,"F":false,"G":false})", false},
        {"a number among the Booleans", R"({"A":[],"B":[0],"C":false,"D":false,"E":false,"F":false,"G":false})", false},
        {"values that are no list", R"({"A":0,"B":[],"C":false,"D":false,"E":false,"F":false,"G":false})", false},
        {"a value out of range", R"({"A":[1e400],"B":[],"C":false,"D":false,"E":false,"F":false,"G":false})", false},
        {"lower-case keys", R"({"a":[],"b":[],"c":false,"d":false,"e":false,"f":false,"g":false})", false},
        {"a list, not a record", "[1,2,3]", false},
        {"cut short", R"({"A":)", false}};
    for (const auto& [name, text, wellFormed] : rows) {
        const auto decoded = presets::decodePresetText(std::string_view(text));
        EXPECT_EQ(decoded.preset.has_value(), wellFormed) << name;
        EXPECT_EQ(decoded.error.empty(), wellFormed) << name;
    }
}

} // namespace
} // namespace vantor::testing
