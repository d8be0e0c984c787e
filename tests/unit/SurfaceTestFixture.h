#pragma once

#include "support/ConsoleRecorder.h"
#include "support/ManualMainQueue.h"
#include "support/RecordingMidiService.h"
#include "support/ScriptedRandom.h"
#include "surface/ContentView.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace vantor::testing {

// A ContentView over fakes, connected to a "vantor*2" destination unless a
// test asks for none.
class SurfaceTest : public ::testing::Test {
protected:
    void build(bool connected = true, modes::ModButtonTable table = {}) {
        if (connected) destination = midi.addDestination("vantor*2");
        view = std::make_unique<surface::ContentView>(midi, queue, console, random, std::move(table));
    }

    std::vector<midi::NrpnMessage> sent() const { return midi.nrpns(); }
    std::vector<std::string> lines() const { return console.lines(); }

    RecordingMidiService midi;
    ManualMainQueue queue;
    ConsoleRecorder console;
    ScriptedRandom random;
    std::optional<midi::EndpointRef> destination;
    std::unique_ptr<surface::ContentView> view;
};

inline midi::NrpnMessage nrpn(int parameter, int value) { return {0, parameter, value}; }

} // namespace vantor::testing
