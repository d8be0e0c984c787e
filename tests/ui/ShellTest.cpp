// The application shell: the splash, the status header, the About window,
// and ending in any state.

#include "WindowHarness.h"

#include <QMenuBar>

using namespace std::chrono_literals;
using vantor::uitest::WindowHarness;

class ShellTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void splashStaysOnePointFiveSecondsWithoutMidiThenTheSurfaceLooksUpOnce() {
        WindowHarness harness({.destination = false});
        harness.advance(1000ms);
        harness.midi.addDestination("vantor*2"); // attached during the splash: found
        harness.advance(499ms);
        QVERIFY(!harness.window().contentView());
        QCOMPARE(harness.midi.enumerationCount(), 0u);
        QVERIFY(harness.midi.clientNames().empty());
        harness.advance(1ms);
        QCOMPARE(harness.find<QLabel>(QStringLiteral("statusLine"))->text(), QStringLiteral("vantor*2"));
        harness.advance(10s);
        QCOMPARE(harness.midi.enumerationCount(), 1u);
        QCOMPARE(harness.midi.clientNames(), std::vector<std::string>{"MidiClient"});
        QCOMPARE(harness.midi.portNames(), std::vector<std::string>{"OutPort"});
        QVERIFY(harness.takeNrpns().empty());
    }

    void statusHeaderNamesTheDestinationAndRendersNotConnectedOnceItIsLost() {
        WindowHarness absent({.destination = false});
        absent.passSplash();
        auto* absentStatus = absent.find<QLabel>(QStringLiteral("statusLine"));
        QCOMPARE(absentStatus->text(), QStringLiteral("Not Connected"));
        WindowHarness harness;
        harness.passSplash();
        auto* status = harness.find<QLabel>(QStringLiteral("statusLine"));
        QCOMPARE(status->text(), QStringLiteral("vantor*2"));
        QVERIFY(status->grab().toImage() != absentStatus->grab().toImage());
        harness.midi.vanish(*harness.destination);
        harness.slider(3)->setValue(42); // this send finds the destination gone
        QCOMPARE(status->text(), QStringLiteral("Not Connected"));
        QCOMPARE(status->grab().toImage(), absentStatus->grab().toImage());
    }

    void aboutFromTheHelpMenuOpensOneWindowThatIsReusedAndNeverKeepsTheProgramRunning() {
        WindowHarness harness;
        QMenu* help = harness.window().menuBar()->actions().front()->menu();
        QCOMPARE(help->title(), QStringLiteral("Help"));
        QAction* about = help->actions().front();
        QCOMPARE(about->text(), QStringLiteral("About Vantor*2"));
        about->trigger();
        harness.drain();
        QPointer<vantor::app::AboutWindow> first = harness.window().aboutWindow();
        QVERIFY(first && first->isVisible());
        QVERIFY(!first->testAttribute(Qt::WA_QuitOnClose));
        QVERIFY(first->close());
        QVERIFY(first && !first->isVisible()); // hidden, not destroyed
        for (int again = 0; again < 2; ++again) {
            about->trigger();
            harness.drain();
        }
        QCOMPARE(harness.window().aboutWindow(), first.data());
        QVERIFY(first->isVisible());
        QCOMPARE(harness.window().findChildren<vantor::app::AboutWindow*>().size(), 1);
    }

    // Whatever is pending (the splash, link copies, the regen reset, a watcher,
    // About) never runs against a destroyed window.
    void nothingRunsAfterTheWindowIsDestroyed() {
        for (const bool onSurface : {false, true}) {
            WindowHarness harness;
            if (onSurface) {
                harness.passSplash();
                harness.content().toggleLink(0);
                harness.content().toggleLink(1);
                harness.content().editSlider(0, 0, 5000);
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
