#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace vantor::modes {

// The seven mode switches of the instrument.
enum class ModeSwitchId : std::size_t { Voice, Drum, Filter, Regen, Regen2, Midimode, Complexity };
inline constexpr std::size_t kModeSwitchCount = 7;

// How a switch decides to send: a toggle watches its flag and announces every
// change of it; the regen push button announces only its own presses.
enum class ModeSwitchKind { WatchesFlag, ActsOnPress };
// Where it is shown: the status header (every tab but gesture) or each
// slider page.
enum class ModeSwitchPlace { Header, SliderPage };

struct ModeSwitchInfo {
    ModeSwitchId id;
    std::string_view key;     // short stable key, e.g. "regen2"
    std::string_view purpose; // what it does, in a musician's words
    std::string_view labelOn;
    std::string_view labelOff;
    int numberOn;  // NRPN parameter and value sent when the flag becomes true
    int numberOff; // ... and when it becomes false
    ModeSwitchKind kind;
    ModeSwitchPlace place;
};

// In the order they are shown: two in the header, then five on each page.
// Two "on" labels begin with a space; the "pulse" switch is the one whose
// "on" number is the higher of its pair.
inline constexpr std::array<ModeSwitchInfo, kModeSwitchCount> kModeSwitches{{
    {ModeSwitchId::Voice, "voice", "Switches the voice allocation between A and B",
     "Voice allocation B", "Voice allocation A", 130, 131, ModeSwitchKind::WatchesFlag, ModeSwitchPlace::Header},
    {ModeSwitchId::Drum, "drum", "Turns drum assign on or off",
     "drum assign on", "drum assign off", 132, 133, ModeSwitchKind::WatchesFlag, ModeSwitchPlace::Header},
    {ModeSwitchId::Filter, "filter", "Turns the pulse on or off",
     "pulse enabled", "pulse disabled", 135, 134, ModeSwitchKind::WatchesFlag, ModeSwitchPlace::SliderPage},
    {ModeSwitchId::Regen, "regen", "Each press flips the regen equation",
     "equation ??", "equation ??", 136, 137, ModeSwitchKind::ActsOnPress, ModeSwitchPlace::SliderPage},
    {ModeSwitchId::Regen2, "regen2", "Switches the algorithm mode between A and B",
     "algorithm mode B", "algorithm mode A", 138, 139, ModeSwitchKind::WatchesFlag, ModeSwitchPlace::SliderPage},
    {ModeSwitchId::Midimode, "midimode", "Turns channel assign on or off",
     " channel assign on", "channel assign off", 140, 141, ModeSwitchKind::WatchesFlag, ModeSwitchPlace::SliderPage},
    {ModeSwitchId::Complexity, "complexity", "Turns complexity on or off",
     " complexity on", "complexity off", 104, 105, ModeSwitchKind::WatchesFlag, ModeSwitchPlace::SliderPage},
}};

constexpr const ModeSwitchInfo& modeSwitch(ModeSwitchId id) { return kModeSwitches[static_cast<std::size_t>(id)]; }
constexpr std::string_view labelFor(const ModeSwitchInfo& info, bool on) { return on ? info.labelOn : info.labelOff; }
constexpr int numberFor(const ModeSwitchInfo& info, bool on) { return on ? info.numberOn : info.numberOff; }

// The switch and state a number announces, for decoding what was sent.
struct ModeNumber {
    ModeSwitchId id;
    bool on;
};
constexpr std::optional<ModeNumber> modeNumber(int number) {
    for (const auto& info : kModeSwitches) {
        if (info.numberOn == number) return ModeNumber{info.id, true};
        if (info.numberOff == number) return ModeNumber{info.id, false};
    }
    return std::nullopt;
}

} // namespace vantor::modes
