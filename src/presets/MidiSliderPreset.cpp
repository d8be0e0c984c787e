#include "presets/MidiSliderPreset.h"

#include "modes/ModButtons.h"
#include "surface/ParameterCatalogue.h"

#include <array>
#include <cmath>

namespace vantor::presets {

namespace {

constexpr std::array<std::string_view, 7> kKeyTexts{"A", "B", "C", "D", "E", "F", "G"};

// The five flags in key order "C" to "G".
constexpr std::array<bool MidiSliderPreset::*, 5> kFlagFields{
    &MidiSliderPreset::voiceModeToggle, &MidiSliderPreset::drumModeToggle, &MidiSliderPreset::filterModeToggle,
    &MidiSliderPreset::regenModeToggle, &MidiSliderPreset::regen2ModeToggle};

PresetDecoding failure(std::string message) { return {std::nullopt, std::move(message)}; }

std::string quoted(std::string_view key) { return "\"" + std::string(key) + "\""; }

} // namespace

MidiSliderPreset MidiSliderPreset::blank() {
    MidiSliderPreset preset;
    preset.values.assign(surface::kSliderCount - 1, 0.0);
    preset.modStates.assign(modes::kModButtonCount, false);
    return preset;
}

std::string_view keyText(PresetKey key) { return kKeyTexts[static_cast<std::size_t>(key)]; }

std::optional<PresetKey> keyFromText(std::string_view text) {
    for (std::size_t i = 0; i < kKeyTexts.size(); ++i) {
        if (kKeyTexts[i] == text) return static_cast<PresetKey>(i);
    }
    return std::nullopt;
}

PresetEncoding encodePreset(const MidiSliderPreset& preset) {
    nlohmann::ordered_json keyed = nlohmann::ordered_json::object();
    auto values = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < preset.values.size(); ++i) {
        if (!std::isfinite(preset.values[i])) {
            return {std::nullopt, "cannot encode " + quoted("A") + "[" + std::to_string(i) + "]: not a finite number"};
        }
        values.push_back(preset.values[i]);
    }
    keyed["A"] = std::move(values);
    auto states = nlohmann::ordered_json::array();
    for (const bool state : preset.modStates) states.push_back(state);
    keyed["B"] = std::move(states);
    for (std::size_t i = 0; i < kFlagFields.size(); ++i) keyed[std::string(kKeyTexts[i + 2])] = preset.*kFlagFields[i];
    return {std::move(keyed), {}};
}

PresetDecoding decodePreset(const nlohmann::json& keyed) {
    if (!keyed.is_object()) return failure("a preset must be a keyed object");
    const auto field = [&keyed](std::string_view key) -> const nlohmann::json* {
        const auto it = keyed.find(std::string(key));
        return it == keyed.end() ? nullptr : &*it;
    };

    MidiSliderPreset preset;
    const auto* values = field("A");
    if (!values) return failure("missing key " + quoted("A"));
    if (!values->is_array()) return failure(quoted("A") + " must be a list of numbers");
    for (const auto& value : *values) {
        if (!value.is_number()) return failure(quoted("A") + " must be a list of numbers");
        const double number = value.get<double>();
        if (!std::isfinite(number)) return failure(quoted("A") + " holds a number out of range");
        preset.values.push_back(number);
    }

    const auto* states = field("B");
    if (!states) return failure("missing key " + quoted("B"));
    if (!states->is_array()) return failure(quoted("B") + " must be a list of Booleans");
    for (const auto& state : *states) {
        if (!state.is_boolean()) return failure(quoted("B") + " must be a list of Booleans");
        preset.modStates.push_back(state.get<bool>());
    }

    for (std::size_t i = 0; i < kFlagFields.size(); ++i) {
        const auto key = kKeyTexts[i + 2];
        const auto* flag = field(key);
        if (!flag) return failure("missing key " + quoted(key));
        if (!flag->is_boolean()) return failure(quoted(key) + " must be a Boolean");
        preset.*kFlagFields[i] = flag->get<bool>();
    }
    return {std::move(preset), {}};
}

PresetDecoding decodePresetText(std::string_view text) {
    const auto keyed = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (keyed.is_discarded()) return failure("not valid JSON");
    return decodePreset(keyed);
}

} // namespace vantor::presets
