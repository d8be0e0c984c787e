#pragma once

#include "ui/shell/MainWindow.h"
#include "camera/CameraManager.h"
#include "midi/NrpnDecoder.h"
#include "support/ConsoleRecorder.h"
#include "support/ManualMainQueue.h"
#include "support/RecordingMidiService.h"
#include "support/ScriptedCaptureSession.h"
#include "support/ScriptedHandPoseDetector.h"
#include "support/ScriptedRandom.h"
#include "surface/ContentView.h"
#include "ui/surface/ContentViewWidget.h"

#include <QTabWidget>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

namespace vantor::uitest {

// The seams' fakes. Declared before any window so they outlive it.
struct Fakes {
    testing::RecordingMidiService midi;
    testing::ManualMainQueue queue;
    testing::ConsoleRecorder console;
    testing::ScriptedRandom random;

    // The camera panel runs on a scripted session without a thread.
    app::WindowSeams seams() {
        return {midi, queue, console, random, [this] {
                    return std::make_unique<camera::CameraManager>(std::make_unique<testing::ScriptedCaptureSession>(),
                                                                   std::make_unique<testing::ScriptedHandPoseDetector>(),
                                                                   queue, console);
                }};
    }
};

enum class Destination { Present, Absent };

// The real main window over fakes. The main queue runs only when a test
// drains it, and its clock moves only when a test advances it.
class WindowHarness {
public:
    // Shows the window on its splash; with Present, a "vantor*2"
    // destination is there from the start.
    explicit WindowHarness(Destination present = Destination::Present);
    ~WindowHarness();

    // Moves the queue's clock by `by`, then runs every ready task and lets
    // Qt handle the events they caused.
    void advance(std::chrono::milliseconds by);
    void drain() { advance(std::chrono::milliseconds(0)); }
    // Past the splash: the control surface is built.
    void passSplash();

    app::MainWindow& window() { return *window_; }
    surface::ContentViewWidget& view();
    surface::ContentView& content() { return view().content(); }
    QTabWidget& tabView();

    // A click on the tab bar, as the user would make it.
    void selectTab(int tag);
    // The page on screen for tag `tag`.
    QWidget& page(int tag);

    template <typename T>
    T* find(const QString& name, QWidget* scope = nullptr) {
        return (scope ? scope : static_cast<QWidget*>(window_.get()))->findChild<T*>(name);
    }

    // NRPNs sent since the last call.
    std::vector<midi::NrpnMessage> takeNrpns();

    Fakes fakes;
    std::optional<midi::EndpointRef> destination; // with Present

private:
    std::unique_ptr<app::MainWindow> window_;
};

// Whether any pixel of `image` lies within `tolerance` of `colour` on every
// channel.
bool containsColour(const QImage& image, const QColor& colour, int tolerance = 40);

// Words for ScriptedRandom that make the dice draw `value` for a slider.
std::uint64_t wordForSliderValue(double value);
// ... and that make a fair Boolean come out `on`.
std::uint64_t wordForBoolean(bool on);

} // namespace vantor::uitest

// QCOMPARE prints NRPNs readably.
namespace vantor::midi {
char* toString(const NrpnMessage& message);
}
