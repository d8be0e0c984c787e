// The application shell: splash, the switch to the control surface, the
// Help menu and the About window, and ending in any state.

#include "WindowHarness.h"

#include "ui/shell/StartupView.h"

#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QTest>

using namespace std::chrono_literals;
using vantor::uitest::Destination;
using vantor::uitest::WindowHarness;

class ShellTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void splashGivesWayAfterOnePointFiveSecondsAndTheLookupRunsThen() {
        WindowHarness harness;
        auto& window = harness.window();
        QVERIFY(window.isFirstLaunch());
        QVERIFY(harness.find<vantor::app::StartupView>(QStringLiteral("startupView")));
        QCOMPARE(harness.find<QLabel>(QStringLiteral("splashTitle"))->text(), QStringLiteral("vantor*2"));
        // Nothing has asked the MIDI service anything yet.
        QCOMPARE(harness.fakes.midi.enumerationCount(), 0u);
        QVERIFY(harness.fakes.midi.clientNames().empty());

        harness.advance(1499ms);
        QVERIFY(window.isFirstLaunch());
        QVERIFY(!window.contentView());
        QCOMPARE(harness.fakes.midi.enumerationCount(), 0u);

        harness.advance(1ms);
        QVERIFY(!window.isFirstLaunch());
        QVERIFY(window.contentView());
        QVERIFY(!harness.find<vantor::app::StartupView>(QStringLiteral("startupView")));
        QCOMPARE(harness.fakes.midi.enumerationCount(), 1u);
        QCOMPARE(harness.fakes.midi.clientNames(), std::vector<std::string>{"MidiClient"});
        QCOMPARE(harness.fakes.midi.portNames(), std::vector<std::string>{"OutPort"});
        QVERIFY(harness.takeNrpns().empty());
        QVERIFY(harness.fakes.console.lines().empty());
    }

    void deviceAttachedDuringTheSplashIsFound() {
        WindowHarness harness(Destination::Absent);
        harness.advance(1000ms);
        harness.fakes.midi.addDestination("vantor*2");
        harness.passSplash();
        QCOMPARE(harness.find<QLabel>(QStringLiteral("statusLine"))->text(), QStringLiteral("vantor*2"));

        harness.fakes.midi.addDestination("later");
        harness.advance(10s);
        QCOMPARE(harness.fakes.midi.enumerationCount(), 1u); // nothing scans again
    }

    void splashWaitsUntilItIsShown() {
        vantor::uitest::Fakes fakes;
        vantor::app::MainWindow window(fakes.seams());
        fakes.queue.advance(5s);
        fakes.queue.runAll();
        QVERIFY(window.isFirstLaunch());
        QCOMPARE(fakes.queue.delayedCount(), 0u);
    }

    void helpMenuHoldsAboutItem() {
        WindowHarness harness;
        const auto menus = harness.window().menuBar()->actions();
        QCOMPARE(menus.size(), 1);
        QCOMPARE(menus.front()->text(), QStringLiteral("Help"));
        const auto items = menus.front()->menu()->actions();
        QCOMPARE(items.size(), 1);
        QCOMPARE(items.front()->text(), QStringLiteral("About Vantor*2"));
    }

    void aboutTwiceGivesOneWindowWhichClosingHides() {
        WindowHarness harness;
        auto* about = harness.find<QAction>(QStringLiteral("aboutAction"));
        about->trigger();
        // Opened from the queue, after the menu action has returned.
        QVERIFY(!harness.window().aboutWindow());
        harness.drain();
        QPointer<vantor::app::AboutWindow> first = harness.window().aboutWindow();
        QVERIFY(first);
        QVERIFY(first->isVisible());
        QCOMPARE(first->windowTitle(), QStringLiteral("vantor*2"));
        QCOMPARE(first->size(), QSize(480, 300));
        QCOMPARE(first->minimumSize(), first->maximumSize()); // not resizable
        QVERIFY(!(first->windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(first->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(first->windowFlags() & Qt::WindowCloseButtonHint);
        QCOMPARE(first->findChild<QLabel*>(QStringLiteral("aboutTitle"))->text(), QStringLiteral("About vantor*2"));
        QCOMPARE(first->findChild<QLabel*>(QStringLiteral("aboutName"))->text(), QStringLiteral("vantor*2"));

        about->trigger();
        harness.drain();
        QCOMPARE(harness.window().aboutWindow(), first.data());
        QCOMPARE(harness.window().findChildren<vantor::app::AboutWindow*>().size(), 1);

        first->move(first->pos() + QPoint(37, 11));
        const QPoint leftAt = first->pos();
        QVERIFY(first->close());
        QVERIFY(first); // hidden, not destroyed
        QVERIFY(!first->isVisible());
        about->trigger();
        harness.drain();
        QCOMPARE(harness.window().aboutWindow(), first.data());
        QVERIFY(first->isVisible());
        QCOMPARE(first->pos(), leftAt);
    }

    void aboutWindowNeverKeepsTheProgramRunning() {
        WindowHarness harness;
        harness.window().openAboutWindow();
        QVERIFY(!harness.window().aboutWindow()->testAttribute(Qt::WA_QuitOnClose));
    }

    // Whatever is pending when the window goes (the splash's timer, an
    // About request, link copies, the regen highlight's reset, watchers),
    // nothing runs against the destroyed window.
    void closingInAnyStateLeavesNothingBehind() {
        {
            vantor::uitest::Fakes fakes;
            auto window = std::make_unique<vantor::app::MainWindow>(fakes.seams());
            window->show();
            QApplication::processEvents();
            window.reset(); // during the splash
            fakes.queue.advance(2s);
            QCOMPARE(fakes.queue.runAll(), 1u);
            QCOMPARE(fakes.midi.enumerationCount(), 0u);
        }
        {
            vantor::uitest::Fakes fakes;
            fakes.midi.addDestination("vantor*2");
            auto window = std::make_unique<vantor::app::MainWindow>(fakes.seams());
            window->show();
            QApplication::processEvents();
            fakes.queue.advance(vantor::app::MainWindow::kSplashTime);
            fakes.queue.runAll();
            auto& content = window->contentView()->content();
            content.toggleLink(0);
            content.toggleLink(1);
            content.editSlider(0, 0, 5000);
            content.pressRegenButton();
            content.setModeFlag(vantor::modes::ModeSwitchId::Drum, true);
            window->findChild<QAction*>(QStringLiteral("aboutAction"))->trigger();
            fakes.midi.clearSends();
            window.reset();
            fakes.queue.advance(1s);
            fakes.queue.runAll();
            QVERIFY(fakes.midi.nrpns().empty());
        }
    }
};

QTEST_MAIN(ShellTest)
#include "ShellTest.moc"
