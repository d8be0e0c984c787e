#pragma once

#include "camera/CameraManagerFactory.h"
#include "core/Console.h"
#include "core/MainQueue.h"
#include "core/RandomSource.h"
#include "core/Signal.h"
#include "midi/MidiService.h"
#include "surface/SurfaceIds.h"

#include <QWidget>

#include <memory>
#include <vector>

class QTabWidget;

namespace vantor::widgets {
class ArtworkView;
}

namespace vantor::surface {

class ContentView;
class StatusHeaderView;

// The control surface on screen: the status header, the 800 x 500 tab view
// (five slider pages, "gesture" and "utility") and the logo "2". It builds
// and owns the core's ContentView, so building this widget is what builds
// the MidiManager and looks up the destination. The first time it is shown
// it also builds the window's one CameraManager (not started) and puts the
// camera panel into the gesture tab; without a factory that tab stays empty.
class ContentViewWidget : public QWidget {
    Q_OBJECT

public:
    ContentViewWidget(midi::MidiService& midiService, MainQueue& mainQueue, Console& console, RandomSource& random,
                      camera::CameraManagerFactory makeCameraManager = {}, QWidget* parent = nullptr);
    ~ContentViewWidget() override;

    struct Sizes {
        QSize hint;
        QSize minimum;
    };
    // The sizes the surface will ask for, found without building it (and so
    // without a MIDI lookup): the header and the fixed-size tab view set them.
    static Sizes sizesBeforeBuilt(MainQueue& mainQueue, RandomSource& random);

    ContentView& content() { return *content_; }
    // Null until the surface is first shown (and without a factory).
    camera::CameraManager* cameraManager() const { return cameraManager_.get(); }

    // The gesture tab's page (tag 6); the camera panel is put into it when
    // the surface is first shown.
    QWidget* gesturePage() const { return gesturePage_; }
    // The page of the tab view that carries `tag`.
    QWidget* page(TabTag tag) const;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void addPage(QWidget* page, TabTag tag, const QString& label, const QIcon& icon);
    // Ctrl+Tab and Ctrl+Shift+Tab: the next and previous page, round the end.
    void addPageShortcuts();
    void showSelectedTab(TabTag tag);
    void placeLogo();

    std::unique_ptr<ContentView> content_;
    Console& console_;
    camera::CameraManagerFactory makeCameraManager_;
    // Outlives the camera panel: the destructor deletes the views first.
    std::unique_ptr<camera::CameraManager> cameraManager_;
    StatusHeaderView* header_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QWidget* gesturePage_ = nullptr;
    widgets::ArtworkView* logo_ = nullptr;
    std::vector<TabTag> tagOfIndex_; // tab view index -> page tag
    Signal<TabTag>::Connection selectedTabChanged_;
};

} // namespace vantor::surface
