#pragma once

#include "core/Lifetime.h"
#include "core/MainQueue.h"
#include "modes/ModeSwitches.h"
#include "surface/SurfaceIds.h"

#include <array>
#include <functional>

namespace vantor::modes {

// The toggle switches announce every change of their flag, whoever made it,
// but only while they are on screen: a header switch while the header is
// shown (any tab but gesture), a page switch while a slider page is shown.
// Every page carries a copy of the page switches; a change is announced once,
// not once per copy. The announcement runs on the main queue after the event
// that changed the flag, and a flag flipped back before then announces
// nothing. The regen push button announces its own presses and is not
// watched. Main thread only.
class ModeWatchers {
public:
    using FlagReader = std::function<bool(ModeSwitchId)>;
    using Announce = std::function<void(ModeSwitchId, bool)>;

    ModeWatchers(MainQueue& mainQueue, FlagReader readFlag, Announce announce, surface::TabTag selectedTab);

    void selectedTabChanged(surface::TabTag tag);
    void flagWritten(ModeSwitchId id);

    bool isLive(ModeSwitchId id) const { return state(id).live; }

private:
    struct Watcher {
        bool live = false;
        bool seen = false;    // the flag's value as last announced or shown
        bool pending = false; // an announcement is queued
    };

    static bool liveOnTab(const ModeSwitchInfo& info, surface::TabTag tag);
    void check(ModeSwitchId id);
    Watcher& state(ModeSwitchId id) { return watchers_[static_cast<std::size_t>(id)]; }
    const Watcher& state(ModeSwitchId id) const { return watchers_[static_cast<std::size_t>(id)]; }

    MainQueue& mainQueue_;
    FlagReader readFlag_;
    Announce announce_;
    std::array<Watcher, kModeSwitchCount> watchers_{};
    Lifetime lifetime_;
};

} // namespace vantor::modes
