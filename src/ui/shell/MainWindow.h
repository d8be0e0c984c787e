#pragma once

#include "ui/shell/AboutWindow.h"
#include "camera/CameraManagerFactory.h"
#include "core/Console.h"
#include "core/Lifetime.h"
#include "core/MainQueue.h"
#include "core/RandomSource.h"
#include "midi/MidiService.h"

#include <QMainWindow>
#include <QPointer>

namespace vantor::surface {
class ContentViewWidget;
}

namespace vantor::app {



// What the window needs from the outside world; main() passes the real
// ones, tests pass fakes.
struct WindowSeams {
    midi::MidiService& midiService;
    MainQueue& mainQueue;
    Console& console;
    RandomSource& random;
    // The camera manager, built when the control surface is first shown;
    // empty: no camera panel.
    camera::CameraManagerFactory makeCameraManager = {};
};

// The program's window. It opens on the splash; 1.5 s after the splash is
// first shown it builds the control surface (and with it the MIDI lookup)
// in its place, once per run. Its "Help" menu opens the one About window.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kSplashTime{1500};

    explicit MainWindow(WindowSeams seams, QWidget* parent = nullptr);
    ~MainWindow() override;

    bool isFirstLaunch() const { return isFirstLaunch_; }
    // Null while the splash is shown.
    surface::ContentViewWidget* contentView() const { return contentView_; }
    // Null until the About window is first opened.
    AboutWindow* aboutWindow() const { return aboutWindow_; }

    void openAboutWindow();

private:
    void buildMenu();
    void scheduleSurface();
    void showSurface();

    WindowSeams seams_;
    bool isFirstLaunch_ = true;
    surface::ContentViewWidget* contentView_ = nullptr; // owned as the central widget
    QPointer<AboutWindow> aboutWindow_;                  // owned as a child window
    Lifetime lifetime_; // last: queued tasks are disowned before anything else goes
};

} // namespace vantor::app
