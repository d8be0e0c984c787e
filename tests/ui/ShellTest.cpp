// The window around the surface: the splash, the status header, the About
// window, and ending in any state.

#include "ui/WindowHarness.h"

#include <QLabel>
#include <QMenuBar>
#include <QPointer>

using namespace vantor::testing::window;
namespace surface = vantor::surface;
namespace testing = vantor::testing;
namespace camera = vantor::camera;
namespace app = vantor::app;

class ShellTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void splashStaysOnePointFiveSecondsWithoutMidiThenTheSurfaceLooksUpOnce() {
        WindowHarness harness({.destination = false, .pastSplash = false});
        const QSize splashSize = harness.window().size();
        harness.advance(1000ms);
        harness.midi.addDestination("vantor*2"); // attached during the splash: found
        harness.advance(499ms);
        QVERIFY(!harness.window().contentView());
        QCOMPARE(harness.midi.enumerationCount(), 0u);
        harness.advance(1ms);
        QCOMPARE(harness.find<QLabel>(QStringLiteral("statusLine"))->text(), QStringLiteral("vantor*2"));
        QCOMPARE(harness.window().size(), splashSize); // opened at the surface's size
        QCOMPARE(harness.window().size(), harness.window().sizeHint());
        harness.advance(10s);
        QCOMPARE(harness.midi.enumerationCount(), 1u);
    }

    void statusHeaderNamesTheDestinationAndRendersNotConnectedOnceItIsLost() {
        WindowHarness absent({.destination = false});
        auto* absentStatus = absent.find<QLabel>(QStringLiteral("statusLine"));
        QCOMPARE(absentStatus->text(), QStringLiteral("Not Connected"));
        WindowHarness harness;
        auto* status = harness.find<QLabel>(QStringLiteral("statusLine"));
        QCOMPARE(status->text(), QStringLiteral("vantor*2"));
        QVERIFY(status->grab().toImage() != absentStatus->grab().toImage());
        harness.midi.vanish(*harness.midi.destinationAt(0));
        harness.slider(3)->setValue(42); // this send finds the destination gone
        QCOMPARE(status->text(), QStringLiteral("Not Connected"));
        QCOMPARE(status->grab().toImage(), absentStatus->grab().toImage());
    }

    // That choosing it again shows the same window is the desktop test's.
    void aboutFromTheHelpMenuOpensADialogThatClosingHidesAndNeverKeepsTheProgramRunning() {
        WindowHarness harness({.pastSplash = false});
        QMenu* help = harness.window().menuBar()->actions().front()->menu();
        QCOMPARE(help->title(), QStringLiteral("Help"));
        QAction* about = help->actions().front();
        QCOMPARE(about->text(), QStringLiteral("About Vantor*2"));
        about->trigger();
        harness.drain();
        QPointer<app::AboutWindow> first = harness.window().aboutWindow();
        QVERIFY(first && first->isVisible());
        QVERIFY(!first->testAttribute(Qt::WA_QuitOnClose));
        // A dialog of the main window whose title bar offers closing only.
        QCOMPARE(first->windowType(), Qt::Dialog);
        QCOMPARE(first->windowHandle()->transientParent(), harness.window().windowHandle());
        QCOMPARE(first->windowFlags() & (Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
                 Qt::WindowCloseButtonHint);
        QVERIFY(first->close());
        QVERIFY(first && !first->isVisible()); // hidden, not destroyed
    }

    // Whatever is pending (the splash, link copies, the regen reset, a
    // watcher, About) never runs against a destroyed window.
    void nothingRunsAfterTheWindowIsDestroyed() {
        for (const bool onSurface : {false, true}) {
            WindowHarness harness({.pastSplash = onSurface});
            if (onSurface) {
                harness.content().toggleLink(*surface::LinkGroup::of(0));
                harness.content().toggleLink(*surface::LinkGroup::of(1));
                harness.content().editSlider(TabTag(0), *surface::SliderIndex::of(0), 5000);
                harness.content().pressRegenButton();
                harness.content().setModeFlag(vantor::modes::ModeSwitchId::Drum, true);
                harness.find<QAction>(QStringLiteral("aboutAction"))->trigger();
                harness.takeNrpns();
            }
            harness.destroyWindow();
            harness.advance(2s);
            QVERIFY(harness.takeNrpns().empty());
            QCOMPARE(harness.midi.enumerationCount(), onSurface ? 1u : 0u);
        }
    }
};

QTEST_MAIN(ShellTest)
#include "ShellTest.moc"
