// The control surface's state over fakes of its seams, shared by the
// surface's and the dice's tests.
#pragma once

#include "support/CoreFakes.h"
#include "support/MidiFakes.h"
#include "surface/ContentView.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace vantor::testing {

using Messages = std::vector<midi::NrpnMessage>;
using Lines = std::vector<std::string>;

inline midi::NrpnMessage nrpn(int parameter, int value) { return {0, parameter, value}; }

// A ContentView over fakes, connected to a "vantor*2" destination unless a
// test asks for none.
class Surface : public ::testing::Test {
protected:
    void build(bool connected = true, modes::ModButtonTable table = {}) {
        if (connected) destination = midi.addDestination("vantor*2");
        view = std::make_unique<surface::ContentView>(midi, queue, console, random, std::move(table));
    }
    void edit(int tab, int slider, double value) {
        view->editSlider(surface::TabTag(tab), *surface::SliderIndex::of(slider), value);
    }
    void link(int group) { view->toggleLink(*surface::LinkGroup::of(group)); }
    // What reached the destination once the paced sends still waiting for
    // the wire have left (the main queue's clock turned a second).
    Messages sent() {
        for (int ms = 0; ms < 1000; ++ms) {
            queue.runAll();
            queue.advance(std::chrono::milliseconds(1));
        }
        return midi.nrpns();
    }

    RecordingMidiService midi;
    ManualMainQueue queue;
    ConsoleRecorder console;
    ScriptedRandom random;
    midi::EndpointRef destination = 0;
    std::unique_ptr<surface::ContentView> view;
};

} // namespace vantor::testing
