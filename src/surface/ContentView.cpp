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
int groupPosition(Parameter parameter) { return ((parameter.value() - 1) % kGroupSize + kGroupSize) % kGroupSize; }

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

void ContentView::storeSliderValue(SliderIndex slider, double value) {
    sliderValues_[slider.index()] = value;
    sliderValueChanged.emit(slider);
}

void ContentView::editSlider(TabTag tab, SliderIndex slider, double value) {
    if (!midi::sendableValue(value)) return;
    storeSliderValue(slider, value);
    sendSliderNRPN(nrpnOfSlider(slider), tab, value);
}

void ContentView::sendSliderNRPN(Parameter parameter, TabTag tab, double value) {
    if (!midi::sendableValue(value)) return;
    sendControlValue(midiManager_, console_, parameter, value);
    const auto group = linkGroupOf(tab);
    if (group && isLinked(*group)) propagateToLinkedTabs(parameter, *group, value);
}

void ContentView::propagateToLinkedTabs(Parameter parameter, LinkGroup from, double value) {
    const int position = groupPosition(parameter);
    for (int number = 0; number < LinkGroup::kCount; ++number) {
        const auto group = *LinkGroup::of(number);
        if (group == from || !isLinked(group)) continue;
        const auto target = SliderIndex::of(kGroupSize * group.value() + position);
        if (!target) continue; // the last group is cut short
        mainQueue_.post(lifetime_.guard([this, target = *target, value] { applyLinkedValue(target, value); }));
    }
}

void ContentView::applyLinkedValue(SliderIndex target, double value) {
    storeSliderValue(target, value);
    sendControlValue(midiManager_, console_, nrpnOfSlider(target), value);
}

void ContentView::toggleLink(LinkGroup group) {
    auto& flag = linkedTabs_[group.index()];
    flag = !flag;
    linkChanged.emit(group);
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

    for (int number = 0; number < SliderIndex::kCount; ++number) {
        const auto slider = *SliderIndex::of(number);
        const double value = sliderValues_[slider.index()];
        const Parameter parameter = nrpnOfSlider(slider);
        sendControlValue(midiManager_, console_, parameter, value);
        const auto group = LinkGroup::of(number / kGroupSize);
        if (group && isLinked(*group)) propagateToLinkedTabs(parameter, *group, value);
    }
}

void ContentView::editUtilitySlider(int position, double value) {
    if (position < 0 || position >= static_cast<int>(utilityValues_.size()) || !midi::sendableValue(value)) return;
    auto& stored = utilityValues_[static_cast<std::size_t>(position)];
    if (stored == value) return;
    stored = value;
    utilityValueChanged.emit(position);
    sendSliderNRPN(Parameter(kUtilityFirstParameter + position), kUtilityTabTag, value);
}

void ContentView::pressUtilityCommand(int position) {
    if (position < 0 || position >= static_cast<int>(kUtilityCommands.size())) return;
    sendSliderNRPN(Parameter(kUtilityCommands[static_cast<std::size_t>(position)].parameter), kUtilityTabTag, 0.0);
}

void ContentView::setSelectedTab(TabTag tag) {
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
