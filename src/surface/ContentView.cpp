#include "surface/ContentView.h"

#include "modes/ModeAnnouncer.h"
#include "presets/Dice.h"
#include "surface/SendPath.h"

#include <chrono>

namespace vantor::surface {

namespace {

constexpr int kGroupSize = 6;
constexpr auto kRegenHighlightTime = std::chrono::milliseconds(300);

// Position of a parameter within its block of six.
int groupPosition(int parameter) { return ((parameter - 1) % kGroupSize + kGroupSize) % kGroupSize; }

} // namespace

ContentView::ContentView(midi::MidiService& midiService, MainQueue& mainQueue, Console& console,
                         RandomSource& random, modes::ModButtonTable nrpnButtonStates)
    : mainQueue_(mainQueue),
      console_(console),
      random_(random),
      midiManager_(midiService, &mainQueue),
      sliderLabels_(kSliderLabels.begin(), kSliderLabels.end()),
      nrpnButtonStates_(std::move(nrpnButtonStates)),
      watchers_(
          mainQueue, [this](modes::ModeSwitchId id) { return modeFlag(id); },
          [this](modes::ModeSwitchId id, bool on) { announceMode(id, on); }, selectedTab_) {}

void ContentView::storeSliderValue(int index, double value) {
    if (index < 0 || index >= static_cast<int>(sliderValues_.size())) return;
    sliderValues_[static_cast<std::size_t>(index)] = value;
    sliderValueChanged.emit(index);
}

void ContentView::editSlider(int tab, int index, double value) {
    if (index < 0 || index >= static_cast<int>(sliderValues_.size()) || !midi::sendableValue(value)) return;
    storeSliderValue(index, value);
    sendSliderNRPN(nrpnOfSlider(static_cast<std::size_t>(index)), tab, value);
}

void ContentView::sendSliderNRPN(int parameter, int tab, double value) {
    if (!midi::sendableValue(value)) return;
    sendControlValue(midiManager_, console_, parameter, value);
    if (tab < 0 || tab >= static_cast<int>(linkedTabs_.size())) return;
    if (linkedTabs_[static_cast<std::size_t>(tab)]) propagateToLinkedTabs(parameter, tab, value);
}

void ContentView::propagateToLinkedTabs(int parameter, int tab, double value) {
    const int position = groupPosition(parameter);
    for (int group = 0; group < static_cast<int>(linkedTabs_.size()); ++group) {
        if (group == tab || !linkedTabs_[static_cast<std::size_t>(group)]) continue;
        const int targetIndex = kGroupSize * group + position;
        if (targetIndex >= static_cast<int>(sliderValues_.size())) continue;
        mainQueue_.post(lifetime_.guard([this, targetIndex, group, parameter, value] {
            applyLinkedValue(targetIndex, group, parameter, value);
        }));
    }
}

void ContentView::applyLinkedValue(int targetIndex, int group, int parameter, double value) {
    if (targetIndex < 0 || targetIndex >= static_cast<int>(sliderValues_.size()) || !midi::sendableValue(value)) {
        return;
    }
    storeSliderValue(targetIndex, value);
    sendControlValue(midiManager_, console_, kGroupSize * group + groupPosition(parameter) + 1, value);
}

void ContentView::toggleLink(int tab) {
    if (tab < 0 || tab >= static_cast<int>(linkedTabs_.size())) return;
    auto& flag = linkedTabs_[static_cast<std::size_t>(tab)];
    flag = !flag;
    linkChanged.emit(tab);
}

void ContentView::setModeFlag(modes::ModeSwitchId id, bool on) {
    auto& flag = modeFlags_[static_cast<std::size_t>(id)];
    if (flag == on) return;
    flag = on;
    modeFlagChanged.emit(id, on);
    watchers_.flagWritten(id);
}

void ContentView::announceMode(modes::ModeSwitchId id, bool on) {
    modes::announceMode(midiManager_, console_, id, on);
}

void ContentView::pressRegenButton() {
    regenHighlighted_ = true;
    regenHighlightChanged.emit(true);
    // Each press schedules its own reset and none is cancelled, so the
    // highlight ends 0.3 s after the first of several quick presses.
    mainQueue_.postAfter(kRegenHighlightTime, lifetime_.guard([this] {
        if (!regenHighlighted_) return;
        regenHighlighted_ = false;
        regenHighlightChanged.emit(false);
    }));
    const auto id = modes::ModeSwitchId::Regen;
    setModeFlag(id, !modeFlag(id));
    announceMode(id, modeFlag(id));
}

void ContentView::sendModButtonNRPN(int index) {
    modes::sendModButtonState(index, modButtonPressed_, nrpnButtonStates_, midiManager_, console_);
}

void ContentView::rollDice() {
    const presets::DiceRoll roll =
        presets::drawDiceRoll(random_, sliderValues_.size(), modButtonPressed_.size());

    sliderValues_ = roll.sliderValues;
    sliderValuesReplaced.emit();

    for (std::size_t i = 0; i < modButtonPressed_.size(); ++i) {
        modButtonPressed_[i] = roll.modButtonPressed[i];
        sendModButtonNRPN(static_cast<int>(i));
    }

    for (const auto& [id, on] : {std::pair{modes::ModeSwitchId::Regen, roll.regenModeToggle},
                                 std::pair{modes::ModeSwitchId::Regen2, roll.regen2ModeToggle}}) {
        setModeFlag(id, on);
        announceMode(id, on);
    }

    for (std::size_t i = 0; i < sliderValues_.size(); ++i) {
        const double value = sliderValues_[i];
        const int parameter = nrpnOfSlider(i);
        sendControlValue(midiManager_, console_, parameter, value);
        const auto group = i / kGroupSize;
        if (group < linkedTabs_.size() && linkedTabs_[group]) {
            propagateToLinkedTabs(parameter, static_cast<int>(group), value);
        }
    }
}

void ContentView::editUtilitySlider(int position, double value) {
    if (position < 0 || position >= static_cast<int>(utilityValues_.size()) || !midi::sendableValue(value)) return;
    auto& stored = utilityValues_[static_cast<std::size_t>(position)];
    if (stored == value) return;
    stored = value;
    utilityValueChanged.emit(position);
    sendSliderNRPN(kUtilityFirstParameter + position, kUtilityTabTag, value);
}

void ContentView::pressUtilityCommand(int position) {
    if (position < 0 || position >= static_cast<int>(kUtilityCommands.size())) return;
    sendSliderNRPN(kUtilityCommands[static_cast<std::size_t>(position)].parameter, kUtilityTabTag, 0.0);
}

void ContentView::setSelectedTab(int tag) {
    if (tag == selectedTab_) return;
    selectedTab_ = tag;
    watchers_.selectedTabChanged(tag);
    selectedTabChanged.emit(tag);
}

void ContentView::setCameraEnabled(bool enabled) {
    if (enabled == isCameraEnabled_) return;
    isCameraEnabled_ = enabled;
    cameraEnabledChanged.emit(enabled);
}

} // namespace vantor::surface
