#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "surface/SurfaceIds.h"

namespace vantor::surface {

// The synthesizer's 43 parameters. Slider index i (0..42) is NRPN parameter
// number i + 1 and carries label kSliderLabels[i]. The labels are the
// instrument's own, irregular spellings included.
inline constexpr std::size_t kSliderCount = SliderIndex::kCount;
inline constexpr std::array<std::string_view, kSliderCount> kSliderLabels{
    // "W/X"
    "pm modulation depth A", "pm modulation frequency A", "pm frequency A", "decay A",
    "pm modulation depth B", "pm mod frequency B", "pm frequency B", "decay B",
    // "Y/Z"
    "pm modulation depth C", "pm modulation frequency C", "pm frequency C", "decay C",
    "pm modulation depth D", "pm modulation frequency D", "pm frequency D", "decay D",
    // "Algorithm matrix"
    "algorithm mix", "regen mix", "spectral base frequency / chebyshev polynomial scanner", "regen feedback",
    "algorithm modulation range", "algorithm modulation speed", "regen time",
    "regen buffer filter / <-polynomial scan depth->", "algorithm feedback",
    // "Mod"
    "mod A rate", "mod A shape", "mod A depth", "mod B rate", "A X B MOD", "mod B depth",
    "mod C rate", "mod C shape", "mod C depth",
    // "Mod"
    "mod D rate", "C X D MOD", "mod D depth", "mod E rate", "mod E shape", "mod E depth",
    "mod F rate", "E X F MOD", "mod F depth"};

constexpr Parameter nrpnOfSlider(SliderIndex slider) { return Parameter(slider.value() + 1); }

// The slider tabs: tab tag t is row t. The counts add up to 44 while only
// 43 sliders exist, so the last tab's range is cut to 9 sliders.
struct TabConfig {
    std::string_view title;
    int numSliders;
};
inline constexpr std::array<TabConfig, 5> kTabsConfig{
    {{"W/X", 8}, {"Y/Z", 8}, {"Algorithm matrix", 9}, {"Mod", 9}, {"Mod", 10}}};

inline constexpr TabTag kGestureTabTag{6};
inline constexpr TabTag kUtilityTabTag{7};
constexpr bool isSliderTab(TabTag tag) { return tag.value() >= 0 && tag.value() < static_cast<int>(kTabsConfig.size()); }
// The link group a page's "Group" bar switches: slider page t, group t.
constexpr std::optional<LinkGroup> linkGroupOf(TabTag tag) {
    return isSliderTab(tag) ? LinkGroup::of(tag.value()) : std::nullopt;
}

// Global slider indices [start, end) shown on slider tab `tab`.
struct SliderRange {
    int start;
    int end;
};
constexpr SliderRange sliderRange(TabTag tab) {
    int start = 0;
    for (int row = 0; row < tab.value(); ++row) start += kTabsConfig[static_cast<std::size_t>(row)].numSliders;
    const int end = start + kTabsConfig[static_cast<std::size_t>(tab.value())].numSliders;
    return {start, end < SliderIndex::kCount ? end : SliderIndex::kCount};
}

// The utility tab: four sliders of its own (107..110) and three commands
// (111..113, sent with value 0).
inline constexpr std::array<std::string_view, 4> kUtilitySliderLabels{"bpm", "algorithm", "swing", "preset index"};
inline constexpr int kUtilityFirstParameter = 107;
struct UtilityCommand {
    std::string_view label;
    int parameter;
};
inline constexpr std::array<UtilityCommand, 3> kUtilityCommands{
    {{"save preset", 111}, {"load preset", 112}, {"dice modulators", 113}}};

// Titles of the five mod buttons; no control shows them.
inline constexpr std::array<std::string_view, 5> kButtonTitles{
    "complexity pulse gen A", "complexity pulse gen B", "Multiply Voice 3", "Multiply Voice 4", "Multiply Voice 5"};

// A name for every NRPN parameter number the program sends: the slider and
// utility labels, and for the mode switches the label of the state the
// number announces. Nothing for numbers the program never sends.
std::optional<std::string_view> parameterLabel(int nrpn);

} // namespace vantor::surface
