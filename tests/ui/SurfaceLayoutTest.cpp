// What the control surface shows and where: status line, header, tabs,
// slider pages.

#include "WindowHarness.h"

#include "ui/modes/ModeToggleView.h"
#include "ui/surface/MidiSliderView.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <QTest>

using vantor::uitest::Destination;
using vantor::uitest::WindowHarness;
namespace surface = vantor::surface;

namespace {

QStringList sliderNames(QWidget& page) {
    QStringList names;
    for (const QSlider* slider : page.findChildren<QSlider*>()) names << slider->objectName();
    names.sort();
    return names;
}

QStringList expectedSliderNames(int first, int last) {
    QStringList names;
    for (int index = first; index <= last; ++index) names << QStringLiteral("slider.%1").arg(index, 2, 10, QChar('0'));
    return names;
}

} // namespace

class SurfaceLayoutTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void statusLineNamesTheDestinationUntilItIsFoundGone() {
        WindowHarness harness;
        harness.passSplash();
        auto* status = harness.find<QLabel>(QStringLiteral("statusLine"));
        QCOMPARE(status->text(), QStringLiteral("vantor*2"));

        harness.fakes.midi.vanish(*harness.destination);
        auto* decayA = harness.find<QSlider>(QStringLiteral("slider.03"));
        decayA->setValue(42); // lost: this send finds the destination gone
        QCOMPARE(status->text(), QStringLiteral("Not Connected"));
        decayA->setValue(43);
        QCOMPARE(harness.fakes.console.lines(), std::vector<std::string>{"No MIDI device connected."});
    }

    void statusLineReadsNotConnectedAndControlsStillWork() {
        WindowHarness harness(Destination::Absent);
        harness.passSplash();
        QCOMPARE(harness.find<QLabel>(QStringLiteral("statusLine"))->text(), QStringLiteral("Not Connected"));
        harness.find<QSlider>(QStringLiteral("slider.03"))->setValue(42);
        QCOMPARE(harness.content().sliderValues()[3], 42.0);
        QCOMPARE(harness.fakes.console.lines(), std::vector<std::string>{"No MIDI device connected."});
    }

    void tabsInOrderWithLabels() {
        WindowHarness harness;
        harness.passSplash();
        QTabWidget& tabs = harness.tabView();
        QCOMPARE(tabs.size(), QSize(800, 500));
        const QStringList expected{"W/X", "Y/Z", "Algorithm matrix", "Mod", "Mod", "gesture", "utility"};
        QStringList labels;
        for (int index = 0; index < tabs.count(); ++index) labels << tabs.tabText(index);
        QCOMPARE(labels, expected);
        // The two named pages carry icons of their own; slider pages are text only.
        for (int index = 0; index < 5; ++index) QVERIFY(tabs.tabIcon(index).isNull());
        QVERIFY(!tabs.tabIcon(5).isNull());
        QVERIFY(!tabs.tabIcon(6).isNull());
        QCOMPARE(tabs.widget(5)->objectName(), QStringLiteral("gesturePage"));
        QCOMPARE(tabs.widget(5), harness.view().gesturePage());
    }

    void firstPageIsWXWithSlidersZeroToSeven() {
        WindowHarness harness;
        harness.passSplash();
        QCOMPARE(harness.tabView().currentIndex(), 0);
        QCOMPARE(harness.content().selectedTab(), 0);
        QCOMPARE(sliderNames(harness.page(0)), expectedSliderNames(0, 7));
        for (QSlider* slider : harness.page(0).findChildren<QSlider*>()) {
            QCOMPARE(slider->minimum(), 0);
            QCOMPARE(slider->maximum(), 16383);
            QCOMPARE(slider->value(), 0);
        }
    }

    void eachSliderPageShowsItsRange_data() {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::newRow("W/X") << 0 << 0 << 7;
        QTest::newRow("Y/Z") << 1 << 8 << 15;
        QTest::newRow("Algorithm matrix") << 2 << 16 << 24;
        QTest::newRow("Mod") << 3 << 25 << 33;
        QTest::newRow("second Mod: 9 sliders, not 10") << 4 << 34 << 42;
    }
    void eachSliderPageShowsItsRange() {
        QFETCH(int, tab);
        QFETCH(int, first);
        QFETCH(int, last);
        WindowHarness harness;
        harness.passSplash();
        harness.selectTab(tab);
        QWidget& page = harness.page(tab);
        QVERIFY(page.isVisible());
        QCOMPARE(sliderNames(page), expectedSliderNames(first, last));
        // Every slider is labelled with its parameter's name.
        for (int index = first; index <= last; ++index) {
            const QString label = QString::fromUtf8(surface::kSliderLabels[static_cast<std::size_t>(index)].data());
            bool found = false;
            for (const QLabel* caption : page.findChildren<QLabel*>()) found = found || caption->text() == label;
            QVERIFY2(found, qPrintable(label));
        }
        // Three columns: the first three cells share a row, the fourth starts the next.
        auto cell = [&](int index) {
            return page.findChild<QSlider*>(expectedSliderNames(index, index).front())->parentWidget();
        };
        QWidget* s0 = cell(first);
        QWidget* s2 = cell(first + 2);
        QWidget* s3 = cell(first + 3);
        QCOMPARE(s0->mapTo(&page, QPoint()).y(), s2->mapTo(&page, QPoint()).y());
        QVERIFY(s2->mapTo(&page, QPoint()).x() > s0->mapTo(&page, QPoint()).x());
        QVERIFY(s3->mapTo(&page, QPoint()).y() > s0->mapTo(&page, QPoint()).y());
        QCOMPARE(s3->mapTo(&page, QPoint()).x(), s0->mapTo(&page, QPoint()).x());
        // Below the grid: the link bar for group `tab`, then the five switches.
        QVERIFY(page.findChild<QPushButton*>(QStringLiteral("linkButton.%1").arg(tab)));
        QCOMPARE(page.findChildren<vantor::modes::ModeToggleView*>().size(), 4);
        QVERIFY(page.findChild<QPushButton*>(QStringLiteral("modeSwitch.regen")));
    }

    void headerLeavesOnTheGestureTabAndReturns() {
        WindowHarness harness;
        harness.passSplash();
        const QStringList headerParts{"statusLine", "diceButton", "modeSwitch.voice", "modeSwitch.drum"};
        auto allVisible = [&](bool visible) {
            for (const QString& name : headerParts) {
                if (harness.find<QWidget>(name)->isVisible() != visible) return false;
            }
            return true;
        };
        QVERIFY(allVisible(true));
        harness.selectTab(surface::kGestureTabTag);
        QCOMPARE(harness.content().selectedTab(), surface::kGestureTabTag);
        QVERIFY(allVisible(false));
        harness.selectTab(surface::kUtilityTabTag);
        QCOMPARE(harness.content().selectedTab(), surface::kUtilityTabTag);
        QVERIFY(allVisible(true));
        harness.selectTab(surface::kGestureTabTag);
        harness.selectTab(3);
        QCOMPARE(harness.content().selectedTab(), 3);
        QVERIFY(allVisible(true));
    }

    void valuesPersistAcrossPageSwitches() {
        WindowHarness harness;
        harness.passSplash();
        harness.find<QSlider>(QStringLiteral("slider.02"))->setValue(777);
        harness.selectTab(surface::kUtilityTabTag);
        harness.selectTab(0);
        QCOMPARE(harness.find<QSlider>(QStringLiteral("slider.02"))->value(), 777);
    }
};

QTEST_MAIN(SurfaceLayoutTest)
#include "SurfaceLayoutTest.moc"
