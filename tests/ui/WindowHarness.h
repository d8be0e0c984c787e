// The main window over fakes of the seams, shared by the window's test
// programs: the shell, the surface's controls and the camera panel.
#pragma once

#include "camera/CameraManager.h"
#include "midi/NrpnDecoder.h"
#include "support/CoreFakes.h"
#include "support/CameraFakes.h"
#include "support/MidiFakes.h"
#include "surface/ContentView.h"
#include "ui/shell/MainWindow.h"
#include "ui/surface/ContentViewWidget.h"

#include <QApplication>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <cmath>

namespace vantor::midi {
inline char* toString(const NrpnMessage& message) { // for QCOMPARE
    return QTest::toString(QStringLiteral("NRPN(parameter %1, value %2)").arg(message.parameter).arg(message.value));
}
} // namespace vantor::midi

namespace vantor::testing::window {

using namespace std::chrono_literals;
using app::MainWindow;
using midi::NrpnMessage;
using surface::TabTag;
using Sent = std::vector<NrpnMessage>;
inline constexpr TabTag kGestureTab = surface::kGestureTabTag;
inline constexpr TabTag kUtilityTab = surface::kUtilityTabTag;

struct Setup {
    bool destination = true; // "vantor*2" is there from the start
    bool camera = true;
    bool handModels = true;
    bool pastSplash = true; // on the surface, its one lookup done
};

// The real main window over fakes, shown past its splash unless a test asks
// to stay on it. The main queue runs only when a test drains it; its clock
// moves only when a test advances it.
class WindowHarness {
public:
    explicit WindowHarness(Setup setup = {}) {
        if (setup.destination) midi.addDestination("vantor*2");
        auto makeCamera = [this, setup] {
            auto scriptedSession = std::make_unique<ScriptedCaptureSession>(setup.camera);
            auto scriptedDetector = std::make_unique<ScriptedHandPoseDetector>();
            scriptedDetector->setCanFindHands(setup.handModels);
            session = scriptedSession.get();
            detector = scriptedDetector.get();
            return std::make_unique<camera::CameraManager>(std::move(scriptedSession), std::move(scriptedDetector),
                                                           queue, console);
        };
        window_ = std::make_unique<MainWindow>(app::WindowSeams{midi, queue, console, random, makeCamera});
        window_->show();
        QApplication::processEvents();
        if (setup.pastSplash) advance(MainWindow::kSplashTime);
    }

    // Moves the queue's clock, runs every ready task and lets Qt handle what they caused.
    void advance(std::chrono::milliseconds by) {
        queue.advance(by);
        queue.runAll();
        QApplication::processEvents();
    }
    void drain() { advance(0ms); }
    void destroyWindow() { window_.reset(); }

    MainWindow& window() { return *window_; }
    surface::ContentViewWidget& view() { return *window_->contentView(); }
    surface::ContentView& content() { return view().content(); }
    camera::CameraManager& cameraManager() { return *view().cameraManager(); }
    QWidget& page(TabTag tag) { return *view().page(tag); }
    void selectTab(TabTag tag) { // a click on the tab bar
        QTabBar* bar = tabs().tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tabs().indexOf(&page(tag))).center());
    }
    template <typename T>
    T* find(const QString& name) {
        return window_->findChild<T*>(name);
    }
    QSlider* slider(int index) { return find<QSlider>(QStringLiteral("slider.%1").arg(index, 2, 10, QChar('0'))); }
    // Sent since the last call, once the sends waiting for the wire have left
    // (the clock turned 200 ms, time for 52 NRPNs).
    Sent takeNrpns() {
        for (int ms = 0; ms < 200; ++ms) advance(1ms);
        auto sent = midi.nrpns();
        midi.clearSends();
        return sent;
    }

    // Declared before the window so that they outlive it.
    RecordingMidiService midi;
    ManualMainQueue queue;
    ConsoleRecorder console;
    ScriptedRandom random;
    ScriptedCaptureSession* session = nullptr;    // owned by the camera manager
    ScriptedHandPoseDetector* detector = nullptr; // likewise

private:
    QTabWidget& tabs() { return *window_->findChild<QTabWidget*>(QStringLiteral("tabView")); }
    std::unique_ptr<MainWindow> window_;
};

inline // Whether a pixel of `image` lies within `tolerance` of `colour` on every channel.
bool containsColour(const QImage& image, const QColor& colour, int tolerance = 40) {
    const auto near = [tolerance](int a, int b) { return std::abs(a - b) <= tolerance; };
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor p = image.pixelColor(x, y);
            if (near(p.red(), colour.red()) && near(p.green(), colour.green()) && near(p.blue(), colour.blue())) {
                return true;
            }
        }
    }
    return false;
}

} // namespace vantor::testing::window
