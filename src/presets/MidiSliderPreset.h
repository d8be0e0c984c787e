#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantor::presets {

// A snapshot of the surface: slider values, mod-button states and five mode
// flags. A plain value; copies are independent.
struct MidiSliderPreset {
    std::vector<double> values;
    std::vector<bool> modStates;
    bool voiceModeToggle = false;
    bool drumModeToggle = false;
    bool filterModeToggle = false;
    bool regenModeToggle = false;
    bool regen2ModeToggle = false;

    // 42 zero values (one fewer than there are sliders), 7 released mod
    // buttons, every flag off.
    static MidiSliderPreset blank();

    friend bool operator==(const MidiSliderPreset&, const MidiSliderPreset&) = default;
};

// The keyed form: one JSON object whose one-letter keys name the fields,
// written in the order "A" to "G". Keys are exact ("a" names nothing).
enum class PresetKey { A, B, C, D, E, F, G };
std::string_view keyText(PresetKey key);
std::optional<PresetKey> keyFromText(std::string_view text);

struct PresetEncoding {
    std::optional<nlohmann::ordered_json> json; // absent on error
    std::string error;
};
struct PresetDecoding {
    std::optional<MidiSliderPreset> preset; // absent on error; never partial
    std::string error;
};

// Fails on the first value JSON cannot hold (a non-finite number).
PresetEncoding encodePreset(const MidiSliderPreset& preset);

// Every key is required and must hold its type: "A" a list of numbers, "B" a
// list of Booleans, "C" to "G" Booleans. The first missing key or wrong type
// fails the whole decoding. Keys other than "A" to "G" are ignored.
PresetDecoding decodePreset(const nlohmann::json& keyed);
PresetDecoding decodePresetText(std::string_view text);

} // namespace vantor::presets
