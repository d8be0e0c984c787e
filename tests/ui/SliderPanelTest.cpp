// The slider panels: a user's edit sends its NRPN, values the core writes
// (link copies, the dice) move sliders without sending from the view, and
// the utility tab's sliders and commands send 107..113.

#include "WindowHarness.h"

#include <QAccessible>
#include <QApplication>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QToolTip>

using namespace std::chrono_literals;
using vantor::midi::NrpnMessage;
using vantor::uitest::WindowHarness;
namespace surface = vantor::surface;

namespace {

QPoint handleCentre(QSlider* slider) {
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.rect = slider->rect();
    return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider).center();
}

// Presses the handle, drags it to `x` in steps, releases.
void drag(QSlider* slider, int x) {
    const QPoint start = handleCentre(slider);
    QTest::mousePress(slider, Qt::LeftButton, {}, start);
    for (int step = 1; step <= 4; ++step) {
        QTest::mouseMove(slider, QPoint(start.x() + (x - start.x()) * step / 4, start.y()));
    }
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(x, start.y()));
}

// The tool tip on screen, if any.
QWidget* shownTip() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("QTipLabel") && widget->isVisible()) return widget;
    }
    return nullptr;
}

// The tip shows `value` beside the handle: just right of its centre, or
// just left of it where the screen ends.
bool tipShows(QSlider* slider, int value) {
    QWidget* tip = shownTip();
    if (!tip || QToolTip::text() != QString::number(value)) {
        qWarning("tip %s", tip ? qPrintable(QToolTip::text()) : "hidden");
        return false;
    }
    const int handle = slider->mapToGlobal(handleCentre(slider)).x();
    if (tip->geometry().left() > handle + 8 || tip->geometry().right() < handle - 8) {
        qWarning("tip at x %d..%d, handle at %d", tip->geometry().left(), tip->geometry().right(), handle);
        return false;
    }
    return true;
}

QSlider* slider(WindowHarness& harness, int index) {
    return harness.find<QSlider>(QStringLiteral("slider.%1").arg(index, 2, 10, QChar('0')));
}

} // namespace

class SliderPanelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dragSendsEveryReportedPositionAsItsNrpn() {
        WindowHarness harness;
        harness.passSplash();
        QSlider* decayA = slider(harness, 3);
        drag(decayA, decayA->width() / 2);
        const auto sent = harness.takeNrpns();
        QVERIFY(!sent.empty());
        for (const NrpnMessage& message : sent) QCOMPARE(message.parameter, 4);
        QCOMPARE(sent.back().value, decayA->value());
        QVERIFY(decayA->value() > 4000 && decayA->value() < 12000);
        QCOMPARE(harness.content().sliderValues()[3], static_cast<double>(decayA->value()));

        // Past the right end: full scale.
        drag(decayA, decayA->width() + 50);
        QCOMPARE(decayA->value(), 16383);
        QCOMPARE(harness.takeNrpns().back(), (NrpnMessage{0, 4, 16383}));
    }

    void keyboardEditSendsToo() {
        WindowHarness harness;
        harness.passSplash();
        QSlider* first = slider(harness, 0);
        first->setFocus();
        QTest::keyClick(first, Qt::Key_End);
        QCOMPARE(harness.takeNrpns(), (std::vector<NrpnMessage>{{0, 1, 16383}}));
    }

    // Every kind of slider shows the integer it sends while moved, and
    // reports it as its accessible value.
    void valueShowsWhileMovedAndScreenReadersReadIt_data() {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("name");
        QTest::newRow("slider page") << 1 << "slider.10";
        QTest::newRow("utility tab") << surface::kUtilityTabTag << "utilitySlider.1";
        QTest::newRow("camera row") << surface::kGestureTabTag << "cameraRow.4.slider";
    }
    void valueShowsWhileMovedAndScreenReadersReadIt() {
        QFETCH(int, tab);
        QFETCH(QString, name);
        WindowHarness harness;
        harness.passSplash();
        harness.selectTab(tab);
        auto* moved = harness.find<QSlider>(name);

        const QPoint start = handleCentre(moved);
        QTest::mousePress(moved, Qt::LeftButton, {}, start);
        QTest::mouseMove(moved, QPoint(moved->width() / 4, start.y()));
        QVERIFY(moved->value() > 0);
        QVERIFY(tipShows(moved, moved->value()));
        QTest::mouseMove(moved, QPoint(moved->width() * 3 / 4, start.y()));
        QVERIFY(tipShows(moved, moved->value()));
        QTest::mouseRelease(moved, Qt::LeftButton, {}, QPoint(moved->width() * 3 / 4, start.y()));
        QVERIFY(!shownTip());

        moved->setFocus();
        QTest::keyClick(moved, Qt::Key_Left);
        QVERIFY(tipShows(moved, moved->value()));
        QTest::keyClick(moved, Qt::Key_End);
        QVERIFY(tipShows(moved, 16383));
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(moved);
        QCOMPARE(accessible->text(QAccessible::Value), QStringLiteral("16383"));
        QCOMPARE(accessible->valueInterface()->currentValue().toInt(), 16383);
        QCOMPARE(accessible->valueInterface()->maximumValue().toInt(), 16383);

        QToolTip::hideText();
        QTRY_VERIFY(!shownTip());
        moved->setValue(1234); // as the dice or a hand frame would
        QVERIFY(!shownTip());
        QCOMPARE(accessible->text(QAccessible::Value), QStringLiteral("1234"));
    }

    void valuesWrittenByTheCoreMoveSlidersAndSendNothingFromTheView() {
        WindowHarness harness;
        harness.passSplash();
        auto& content = harness.content();
        content.toggleLink(0);
        content.toggleLink(1);
        harness.takeNrpns();

        // The user moves slider index 1 on page 0; groups 0 and 1 are linked,
        // so index 7 follows through the queue.
        slider(harness, 1)->setValue(5000);
        QCOMPARE(harness.takeNrpns(), (std::vector<NrpnMessage>{{0, 2, 5000}}));
        harness.drain();
        QCOMPARE(slider(harness, 7)->value(), 5000);
        QCOMPARE(harness.takeNrpns(), (std::vector<NrpnMessage>{{0, 8, 5000}})); // the copy, once
        harness.drain();
        QVERIFY(harness.takeNrpns().empty());
    }

    void diceMovesEverySliderShowingTheTruncatedValue() {
        WindowHarness harness;
        harness.passSplash();
        // Slider values first (the six pinned ones draw nothing), then seven
        // mod flags, then the two regen switches.
        for (int index = 0; index < 43; ++index) {
            const int number = index + 1;
            if (number == 28 || number == 31 || number == 34 || number == 37 || number == 40 || number == 43) continue;
            harness.fakes.random.push(vantor::uitest::wordForSliderValue(index == 0 ? 1234.7 : 100.0 * number + 0.9));
        }
        for (int i = 0; i < 7; ++i) harness.fakes.random.push(vantor::uitest::wordForBoolean(false));
        harness.fakes.random.push(vantor::uitest::wordForBoolean(true));  // regen
        harness.fakes.random.push(vantor::uitest::wordForBoolean(false)); // regen 2 unchanged

        harness.selectTab(surface::kUtilityTabTag); // no page switch is watching
        QTest::mouseClick(harness.find<QPushButton>(QStringLiteral("diceButton")), Qt::LeftButton);
        harness.drain();

        const auto sent = harness.takeNrpns();
        QCOMPARE(sent.size(), 45u); // the two regen switches and the 43 sliders, nothing more
        QCOMPARE(sent[0], (NrpnMessage{0, 136, 136}));
        QCOMPARE(sent[1], (NrpnMessage{0, 139, 139}));
        QCOMPARE(sent[2], (NrpnMessage{0, 1, 1234}));
        QCOMPARE(slider(harness, 0)->value(), 1234);
        for (int index = 1; index < 43; ++index) {
            const int number = index + 1;
            QCOMPARE(sent[static_cast<std::size_t>(index) + 2].parameter, number);
            const bool pinned = number % 3 == 1 && number >= 28;
            const int shown = pinned ? 16383 : 100 * number;
            QCOMPARE(slider(harness, index)->value(), shown);
            QCOMPARE(sent[static_cast<std::size_t>(index) + 2].value, shown);
        }
        // The utility values are not the dice's.
        for (int position = 0; position < 4; ++position) {
            QCOMPARE(harness.find<QSlider>(QStringLiteral("utilitySlider.%1").arg(position))->value(), 0);
        }
    }

    void utilitySlidersSendOneHundredSevenToOneHundredTen() {
        WindowHarness harness;
        harness.passSplash();
        harness.selectTab(surface::kUtilityTabTag);
        const QStringList labels{"bpm", "algorithm", "swing", "preset index"};
        for (int position = 0; position < 4; ++position) {
            auto* utility = harness.find<QSlider>(QStringLiteral("utilitySlider.%1").arg(position));
            QVERIFY(utility->isVisible());
            QCOMPARE(utility->accessibleName(), labels[position]);
            QCOMPARE(utility->width(), 200);
            utility->setValue(16383);
            QCOMPARE(harness.takeNrpns(), (std::vector<NrpnMessage>{{0, 107 + position, 16383}}));
            utility->setValue(0);
            QCOMPARE(harness.takeNrpns(), (std::vector<NrpnMessage>{{0, 107 + position, 0}}));
        }
        // Far end with a real drag on "preset index".
        auto* presetIndex = harness.find<QSlider>(QStringLiteral("utilitySlider.3"));
        drag(presetIndex, presetIndex->width() + 20);
        QCOMPARE(harness.takeNrpns().back(), (NrpnMessage{0, 110, 16383}));
        harness.drain();
        QVERIFY(harness.takeNrpns().empty()); // never linked
    }

    void utilityCommandsSendTheirNumberWithValueZeroAndChangeNothing() {
        WindowHarness harness;
        harness.passSplash();
        harness.selectTab(surface::kUtilityTabTag);
        harness.content().editSlider(0, 5, 321);
        harness.takeNrpns();
        const QStringList labels{"save preset", "load preset", "dice modulators"};
        for (int position = 0; position < 3; ++position) {
            auto* command = harness.find<QPushButton>(QStringLiteral("utilityCommand.%1").arg(position));
            QCOMPARE(command->text(), labels[position]);
            QTest::mouseClick(command, Qt::LeftButton);
            QTest::mouseClick(command, Qt::LeftButton);
            harness.drain();
            const NrpnMessage expected{0, 111 + position, 0};
            QCOMPARE(harness.takeNrpns(), (std::vector<NrpnMessage>{expected, expected}));
        }
        QCOMPARE(harness.content().sliderValues()[5], 321.0);
        QCOMPARE(slider(harness, 5)->value(), 321);
        QVERIFY(harness.fakes.random.drawn() == 0); // "dice modulators" is not the dice
    }
};

QTEST_MAIN(SliderPanelTest)
#include "SliderPanelTest.moc"
