#include "modes/ModeWatchers.h"

#include "surface/ParameterCatalogue.h"

namespace vantor::modes {

ModeWatchers::ModeWatchers(MainQueue& mainQueue, FlagReader readFlag, Announce announce, surface::TabTag selectedTab)
    : mainQueue_(mainQueue), readFlag_(std::move(readFlag)), announce_(std::move(announce)) {
    selectedTabChanged(selectedTab);
}

bool ModeWatchers::liveOnTab(const ModeSwitchInfo& info, surface::TabTag tag) {
    if (info.kind != ModeSwitchKind::WatchesFlag) return false;
    return info.place == ModeSwitchPlace::Header ? tag != surface::kGestureTabTag : surface::isSliderTab(tag);
}

void ModeWatchers::selectedTabChanged(surface::TabTag tag) {
    for (const auto& info : kModeSwitches) {
        Watcher& watcher = state(info.id);
        const bool live = liveOnTab(info, tag);
        // A switch coming on screen shows the flag as it is now; changes made
        // while it was away are not announced.
        if (live && !watcher.live) watcher.seen = readFlag_(info.id);
        watcher.live = live;
    }
}

void ModeWatchers::flagWritten(ModeSwitchId id) {
    Watcher& watcher = state(id);
    if (!watcher.live || watcher.pending) return;
    watcher.pending = true;
    mainQueue_.post(lifetime_.guard([this, id] { check(id); }));
}

void ModeWatchers::check(ModeSwitchId id) {
    Watcher& watcher = state(id);
    watcher.pending = false;
    if (!watcher.live) return;
    const bool now = readFlag_(id);
    if (now == watcher.seen) return;
    watcher.seen = now;
    announce_(id, now);
}

} // namespace vantor::modes
