#pragma once

#include "core/Console.h"
#include "core/MainQueue.h"
#include "core/RandomSource.h"
#include "core/Signal.h"
#include "midi/MidiService.h"

#include <QWidget>

#include <memory>
#include <vector>

class QTabWidget;

namespace vantor::app {
class ArtworkView;
}

namespace vantor::surface {

class ContentView;
class StatusHeaderView;

// The control surface on screen: the status header, the 800 x 500 tab view
// (five slider pages, "gesture" and "utility") and the logo "2". It builds
// and owns the core's ContentView, so building this widget is what builds
// the MidiManager and looks up the destination.
class ContentViewWidget : public QWidget {
    Q_OBJECT

public:
    ContentViewWidget(midi::MidiService& midiService, MainQueue& mainQueue, Console& console, RandomSource& random,
                      QWidget* parent = nullptr);
    ~ContentViewWidget() override;

    ContentView& content() { return *content_; }

    // The gesture tab's page (tag 6). It is empty; the camera panel goes
    // into its layout.
    QWidget* gesturePage() const { return gesturePage_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void addPage(QWidget* page, int tag, const QString& label, const QIcon& icon);
    void showSelectedTab(int tag);
    void placeLogo();

    std::unique_ptr<ContentView> content_;
    StatusHeaderView* header_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QWidget* gesturePage_ = nullptr;
    app::ArtworkView* logo_ = nullptr;
    std::vector<int> tagOfIndex_; // tab view index -> page tag
    Signal<int>::Connection selectedTabChanged_;
};

} // namespace vantor::surface
