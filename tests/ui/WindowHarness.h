#pragma once

#include "camera/CameraManager.h"
#include "midi/NrpnDecoder.h"
#include "support/ConsoleRecorder.h"
#include "support/ManualMainQueue.h"
#include "support/RecordingMidiService.h"
#include "support/ScriptedCaptureSession.h"
#include "support/ScriptedHandPoseDetector.h"
#include "support/ScriptedRandom.h"
#include "surface/ContentView.h"
#include "ui/shell/MainWindow.h"
#include "ui/surface/ContentViewWidget.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>

namespace vantor::uitest {

using Sent = std::vector<midi::NrpnMessage>;

struct Setup {
    bool destination = true; // "vantor*2" is there from the start
    bool camera = true;
    bool handModels = true;
};

// The real main window over fakes, shown on its splash. The main queue runs
// only when a test drains it; its clock moves only when a test advances it.
class WindowHarness {
public:
    explicit WindowHarness(Setup setup = {});

    // Moves the queue's clock, runs every ready task and lets Qt handle what they caused.
    void advance(std::chrono::milliseconds by);
    void drain() { advance(std::chrono::milliseconds(0)); }
    void passSplash() { advance(app::MainWindow::kSplashTime); }
    void destroyWindow() { window_.reset(); }

    app::MainWindow& window() { return *window_; }
    surface::ContentViewWidget& view() { return *window_->contentView(); }
    surface::ContentView& content() { return view().content(); }
    camera::CameraManager& cameraManager() { return *view().cameraManager(); }
    QTabWidget& tabView() { return *view().findChild<QTabWidget*>(QStringLiteral("tabView")); }
    QWidget& page(int tag) { return *tabView().widget(surface::isSliderTab(tag) ? tag : tag - 1); }
    void selectTab(int tag); // a click on the tab bar

    template <typename T>
    T* find(const QString& name) {
        return window_->findChild<T*>(name);
    }
    QSlider* slider(int index) { return find<QSlider>(QStringLiteral("slider.%1").arg(index, 2, 10, QChar('0'))); }
    Sent takeNrpns(); // sent since the last call

    // Declared before the window so that they outlive it.
    testing::RecordingMidiService midi;
    testing::ManualMainQueue queue;
    testing::ConsoleRecorder console;
    testing::ScriptedRandom random;
    std::optional<midi::EndpointRef> destination;
    testing::ScriptedCaptureSession* session = nullptr;    // owned by the camera manager
    testing::ScriptedHandPoseDetector* detector = nullptr; // likewise

private:
    std::unique_ptr<app::MainWindow> window_;
};

// Whether a pixel of `image` lies within `tolerance` of `colour` on every channel.
bool containsColour(const QImage& image, const QColor& colour, int tolerance = 40);

} // namespace vantor::uitest

namespace vantor::midi {
char* toString(const NrpnMessage& message); // for QCOMPARE
}
