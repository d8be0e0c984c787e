#pragma once

#include "core/Console.h"
#include "core/Lifetime.h"
#include "core/MainQueue.h"
#include "core/RandomSource.h"
#include "core/Signal.h"
#include "midi/MidiManager.h"
#include "midi/MidiService.h"
#include "modes/ModButtons.h"
#include "modes/ModeSwitches.h"
#include "modes/ModeWatchers.h"
#include "presets/MidiSliderPreset.h"
#include "surface/ParameterCatalogue.h"

#include <array>
#include <string>
#include <vector>

namespace vantor::surface {

// The control surface's state and the operations that change it and send
// it: the 43 slider values, tab linking, the seven mode flags, the mod
// buttons, the dice and the utility tab. Constructing it builds the one
// MidiManager, which looks up the destination and keeps the sends to a MIDI
// wire's rate on the main queue's clock, the newest value of each parameter
// winning (NrpnPacer). Views show this state, forward the user's
// edits here and listen to the change signals; they keep no values of their
// own. Main thread only.
class ContentView {
public:
    ContentView(midi::MidiService& midiService, MainQueue& mainQueue, Console& console, RandomSource& random,
                modes::ModButtonTable nrpnButtonStates = {});
    ContentView(const ContentView&) = delete;
    ContentView& operator=(const ContentView&) = delete;

    // --- slider send path and linking ---------------------------------------
    // A user's edit of a slider on page `tab`: stores the value, then sends
    // it as that slider's NRPN and, if the page's group is linked, copies it
    // to the same position of every other linked group through the main
    // queue (copies are never copied on). A value that is not a finite
    // number changes nothing.
    void editSlider(TabTag tab, SliderIndex slider, double value);
    void toggleLink(LinkGroup group);
    bool isLinked(LinkGroup group) const { return linkedTabs_[group.index()]; }

    // --- mode switches -------------------------------------------------------
    bool modeFlag(modes::ModeSwitchId id) const { return modeFlags_[static_cast<std::size_t>(id)]; }
    // Writes a flag, as a click on its switch or other code does; the
    // switch's watcher announces the change if the switch is on screen.
    void setModeFlag(modes::ModeSwitchId id, bool on);
    // The regen push button: highlight on (off again 0.3 s later), flip
    // regenModeToggle, announce it.
    void pressRegenButton();
    bool regenHighlighted() const { return regenHighlighted_; }

    // --- mod buttons and dice ------------------------------------------------
    void sendModButtonNRPN(int index);
    void rollDice();

    // --- utility tab ---------------------------------------------------------
    // Its four sliders send 107..110 when their value changes; its three
    // buttons send 111..113 with value 0. None of it is linked.
    void editUtilitySlider(int position, double value);
    void pressUtilityCommand(int position);
    const std::array<double, kUtilitySliderLabels.size()>& utilityValues() const { return utilityValues_; }

    // --- navigation ----------------------------------------------------------
    TabTag selectedTab() const { return selectedTab_; }
    void setSelectedTab(TabTag tag);
    bool isHeaderShown() const { return selectedTab_ != kGestureTabTag; }
    bool isCameraEnabled() const { return isCameraEnabled_; }
    void setCameraEnabled(bool enabled);

    // --- readers -------------------------------------------------------------
    const std::vector<double>& sliderValues() const { return sliderValues_; }
    const std::vector<std::string>& sliderLabels() const { return sliderLabels_; }
    const std::vector<bool>& modButtonPressed() const { return modButtonPressed_; }
    const modes::ModButtonTable& nrpnButtonStates() const { return nrpnButtonStates_; }
    const std::vector<presets::MidiSliderPreset>& presets() const { return presets_; }
    int selectedPresetIndex() const { return selectedPresetIndex_; }
    midi::MidiManager& midiManager() { return midiManager_; }
    const midi::MidiManager& midiManager() const { return midiManager_; }

    // --- change signals (views redraw on them) -------------------------------
    Signal<SliderIndex> sliderValueChanged; // one slider
    Signal<> sliderValuesReplaced;    // all of them at once (the dice)
    Signal<LinkGroup> linkChanged;
    Signal<modes::ModeSwitchId, bool> modeFlagChanged;
    Signal<bool> regenHighlightChanged;
    Signal<TabTag> selectedTabChanged;
    Signal<bool> cameraEnabledChanged;
    Signal<int> utilityValueChanged; // position

    // Fields of the sequencer the instrument may one day get; nothing reads
    // or changes them.
    const double bpm = 120.0;
    const int numberOfNotes = 8;
    const int currentNoteIndex = 1;
    const std::vector<double> noteValues = std::vector<double>(64, 0.0);
    const std::vector<double> noteDurations = std::vector<double>(64, 1.0);
    const std::vector<int> gateCounts = std::vector<int>(64, 1);
    const bool isNotePlaying = false;

private:
    // Sends `value` to `parameter` and copies it to the other linked groups
    // if `tab` is a page of a linked group.
    void sendSliderNRPN(Parameter parameter, TabTag tab, double value);
    void propagateToLinkedTabs(Parameter parameter, LinkGroup from, double value);
    // Runs on the main queue: stores a copied value and sends it.
    void applyLinkedValue(SliderIndex target, double value);
    void storeSliderValue(SliderIndex slider, double value);
    void announceMode(modes::ModeSwitchId id, bool on);

    MainQueue& mainQueue_;
    Console& console_;
    RandomSource& random_;
    midi::MidiManager midiManager_;

    std::vector<double> sliderValues_ = std::vector<double>(kSliderCount, 0.0);
    std::vector<std::string> sliderLabels_;
    std::array<bool, LinkGroup::kCount> linkedTabs_{};
    std::array<bool, modes::kModeSwitchCount> modeFlags_{};
    std::vector<bool> modButtonPressed_ = std::vector<bool>(modes::kModButtonCount, false);
    const modes::ModButtonTable nrpnButtonStates_;
    std::vector<presets::MidiSliderPreset> presets_ =
        std::vector<presets::MidiSliderPreset>(100, presets::MidiSliderPreset::blank());
    int selectedPresetIndex_ = 0;
    std::array<double, kUtilitySliderLabels.size()> utilityValues_{};
    bool regenHighlighted_ = false;
    bool isCameraEnabled_ = true;
    TabTag selectedTab_{0};

    modes::ModeWatchers watchers_;
    Lifetime lifetime_; // last: pending tasks are disowned before anything else goes
};

} // namespace vantor::surface
