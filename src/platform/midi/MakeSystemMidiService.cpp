#include "platform/midi/SystemMidiService.h"

// This file alone knows which backends the build has.
#if VANTOR_HAVE_ALSA
#include "platform/alsa/AlsaMidiService.h"
#endif
#if VANTOR_HAVE_JACK
#include "platform/jack/JackMidiService.h"
#endif

namespace vantor::platform {

std::unique_ptr<midi::MidiService> makeSystemMidiService([[maybe_unused]] MainQueue& mainQueue) {
    std::vector<std::unique_ptr<midi::MidiService>> backends;
#if VANTOR_HAVE_ALSA
    backends.push_back(std::make_unique<AlsaMidiService>());
#endif
#if VANTOR_HAVE_JACK
    backends.push_back(std::make_unique<JackMidiService>(mainQueue));
#endif
    return std::make_unique<SystemMidiService>(std::move(backends));
}

} // namespace vantor::platform
