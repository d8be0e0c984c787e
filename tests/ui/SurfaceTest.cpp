// The control surface played by mouse and keyboard: what each control sends,
// what the core's own writes (link copies, the dice) show without sending
// again, the mode switches, the regen and Group colours, Tab order and names.

#include "WindowHarness.h"

#include "ui/modes/RegenButtonView.h"
#include "ui/surface/LinkButtonView.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QToolTip>

#include <algorithm>
#include <cmath>

using namespace std::chrono_literals;
using vantor::midi::NrpnMessage;
using vantor::uitest::WindowHarness;
namespace surface = vantor::surface;
using Sent = std::vector<NrpnMessage>;

namespace {

QSlider* slider(WindowHarness& harness, int index) {
    return harness.find<QSlider>(QStringLiteral("slider.%1").arg(index, 2, 10, QChar('0')));
}

QPoint handleCentre(QSlider* slider) {
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider).center();
}

// The text of the tool tip shown beside the slider's handle; empty when none is shown.
QString tipBeside(QSlider* slider) {
    for (QWidget* tip : QApplication::topLevelWidgets()) {
        if (!tip->inherits("QTipLabel") || !tip->isVisible()) continue;
        const int handle = slider->mapToGlobal(handleCentre(slider)).x();
        const bool beside = tip->geometry().left() <= handle + 8 && tip->geometry().right() >= handle - 8;
        return beside ? QToolTip::text() : QStringLiteral("a tip away from the handle");
    }
    return {};
}

// The mode switch on screen: the header's, or the copy on the selected slider page.
QCheckBox* modeSwitch(WindowHarness& harness, const QString& key) {
    const QString name = QStringLiteral("modeSwitch.") + key;
    auto* onPage = harness.page(harness.content().selectedTab()).findChild<QCheckBox*>(name);
    return onPage ? onPage : harness.find<QCheckBox>(name);
}

// The widget drawn over black, so that light pixels are its own.
QImage onBlack(QWidget* widget) {
    QImage image(widget->size(), QImage::Format_ARGB32);
    image.fill(Qt::black);
    widget->render(&image);
    return image;
}

QString describe(const QWidget* widget) {
    if (!widget) return QStringLiteral("(none)");
    return widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                          : widget->objectName();
}

// The controls Tab can reach in `scope`, top to bottom, then left to right
// (centres within 4 px share a line: a check box beside a taller button).
std::vector<QWidget*> tabStopsInReadingOrder(QWidget* scope) {
    std::vector<QWidget*> stops;
    for (QWidget* widget : scope->findChildren<QWidget*>()) {
        if (widget->isVisible() && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus) &&
            !widget->focusProxy()) {
            stops.push_back(widget);
        }
    }
    const auto centre = [scope](const QWidget* widget) { return widget->mapTo(scope, widget->rect().center()); };
    std::ranges::stable_sort(stops, {}, [&](const QWidget* widget) { return centre(widget).y(); });
    for (auto line = stops.begin(); line != stops.end();) {
        const int top = centre(*line).y();
        const auto next = std::find_if(line, stops.end(), [&](const QWidget* w) { return centre(w).y() - top > 4; });
        std::stable_sort(line, next, [&](const QWidget* a, const QWidget* b) { return centre(a).x() < centre(b).x(); });
        line = next;
    }
    return stops;
}

} // namespace

class SurfaceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void mouseDragSendsEveryPositionAndTheTipShowsTheNumberSent() {
        WindowHarness harness;
        harness.passSplash();
        QSlider* decayA = slider(harness, 3); // NRPN 4
        const QPoint start = handleCentre(decayA);
        QTest::mousePress(decayA, Qt::LeftButton, {}, start);
        for (const int x : {decayA->width() / 4, decayA->width() / 2, decayA->width() + 50}) {
            QTest::mouseMove(decayA, QPoint(x, start.y()));
            const Sent sent = harness.takeNrpns();
            QVERIFY(!sent.empty());
            QCOMPARE(sent.back(), (NrpnMessage{0, 4, decayA->value()}));
            QCOMPARE(tipBeside(decayA), QString::number(decayA->value()));
        }
        QCOMPARE(decayA->value(), 16383);
        QCOMPARE(harness.content().sliderValues()[3], 16383.0);
        QTest::mouseRelease(decayA, Qt::LeftButton, {}, QPoint(decayA->width() + 50, start.y()));
        QVERIFY(tipBeside(decayA).isEmpty());
    }

    void keyboardStepsSendAndAreCopiedOnceToTheLinkedGroup() {
        WindowHarness harness;
        harness.passSplash();
        harness.content().toggleLink(0);
        harness.content().toggleLink(1);
        QSlider* source = slider(harness, 1); // NRPN 2; its linked copy is slider 7, NRPN 8
        source->setFocus();
        const std::pair<Qt::Key, int> steps[] = {{Qt::Key_Right, 1},  {Qt::Key_Up, 2},       {Qt::Key_PageUp, 1026},
                                                 {Qt::Key_Left, 1025}, {Qt::Key_PageDown, 1}, {Qt::Key_Down, 0},
                                                 {Qt::Key_End, 16383}, {Qt::Key_Home, 0}};
        for (const auto& [key, value] : steps) {
            QTest::keyClick(source, key);
            QCOMPARE(harness.takeNrpns(), (Sent{{0, 2, value}}));
            QCOMPARE(tipBeside(source), QString::number(value));
            harness.drain();
            QCOMPARE(harness.takeNrpns(), (Sent{{0, 8, value}})); // the slider it moves sends nothing again
            QCOMPARE(slider(harness, 7)->value(), value);
        }
        QTest::keyClick(source, Qt::Key_PageDown); // at an end: nothing changes, nothing goes out
        harness.drain();
        QVERIFY(harness.takeNrpns().empty());
    }

    void diceRollSendsFortyFiveNrpnsAndEverySliderShowsTheValueSent() {
        WindowHarness harness;
        harness.passSplash();
        const auto pinned = [](int number) { return number >= 28 && number % 3 == 1; }; // draw nothing
        for (int number = 1; number <= 43; ++number) {
            if (!pinned(number)) harness.random.push(std::uint64_t(std::ldexp((100.0 * number + 0.9) / 16383.0, 53)));
        }
        QTest::mouseClick(harness.find<QPushButton>(QStringLiteral("diceButton")), Qt::LeftButton);
        harness.drain();
        const Sent sent = harness.takeNrpns();
        QCOMPARE(sent.size(), 45u); // the two regen switches, then the 43 sliders
        for (int number = 1; number <= 43; ++number) {
            const int shown = pinned(number) ? 16383 : 100 * number; // truncated
            QCOMPARE(slider(harness, number - 1)->value(), shown);
            QCOMPARE(sent[std::size_t(number) + 1], (NrpnMessage{0, number, shown}));
        }
    }

    void modeSwitchFlipsItsLabelOnEveryPageAndEachChangeSendsOnce_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("offLabel");
        QTest::addColumn<QString>("onLabel");
        QTest::addColumn<int>("onNumber");
        QTest::addColumn<int>("offNumber");
        QTest::newRow("voice") << "voice" << "Voice allocation A" << "Voice allocation B" << 130 << 131;
        QTest::newRow("drum") << "drum" << "drum assign off" << "drum assign on" << 132 << 133;
        QTest::newRow("pulse: on is the higher number") << "filter" << "pulse disabled" << "pulse enabled" << 135 << 134;
        QTest::newRow("algorithm mode") << "regen2" << "algorithm mode A" << "algorithm mode B" << 138 << 139;
        QTest::newRow("channel assign: on label has a leading space")
            << "midimode" << "channel assign off" << " channel assign on" << 140 << 141;
        QTest::newRow("complexity: on label has a leading space")
            << "complexity" << "complexity off" << " complexity on" << 104 << 105;
    }
    void modeSwitchFlipsItsLabelOnEveryPageAndEachChangeSendsOnce() {
        QFETCH(QString, key);
        QFETCH(QString, offLabel);
        QFETCH(QString, onLabel);
        QFETCH(int, onNumber);
        QFETCH(int, offNumber);
        WindowHarness harness;
        harness.passSplash();
        const auto click = [&] {
            QCheckBox* box = modeSwitch(harness, key);
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
            harness.drain();
        };
        harness.selectTab(2);
        QCOMPARE(modeSwitch(harness, key)->text(), offLabel);
        click();
        // One message although every slider page has a copy of the page switches.
        QCOMPARE(harness.takeNrpns(), (Sent{{0, onNumber, onNumber}}));
        harness.selectTab(4);
        QCOMPARE(modeSwitch(harness, key)->text(), onLabel);
        QVERIFY(modeSwitch(harness, key)->isChecked());
        click();
        QCOMPARE(modeSwitch(harness, key)->text(), offLabel);
        QCOMPARE(harness.takeNrpns(), (Sent{{0, offNumber, offNumber}}));
    }

    void regenHighlightIsYellowAndEndsPointThreeSecondsAfterTheFirstOfTwoPresses() {
        WindowHarness harness;
        harness.passSplash();
        auto* regen = harness.page(0).findChild<vantor::modes::RegenButtonView*>(QStringLiteral("modeSwitch.regen"));
        const QPoint inside(regen->width() / 4, regen->height() / 2);
        const auto lit = [&] { return regen->grab().toImage().pixelColor(inside) == QColor(Qt::yellow); };
        QVERIFY(!lit());
        QTest::mouseClick(regen, Qt::LeftButton);
        QVERIFY(lit());
        QCOMPARE(harness.takeNrpns(), (Sent{{0, 136, 136}})); // sent by the press itself
        harness.advance(200ms);
        QTest::mouseClick(regen, Qt::LeftButton);
        QCOMPARE(harness.takeNrpns(), (Sent{{0, 137, 137}}));
        harness.advance(99ms);
        QVERIFY(lit());
        harness.advance(1ms);
        QVERIFY(!lit());
        QCOMPARE(regen->text(), QStringLiteral("equation ??"));
        harness.advance(1s);
        QVERIFY(!lit());
        QVERIFY(harness.takeNrpns().empty());
    }

    void groupBarReadsUngroupInTheLinkedColourAndSendsNothing() {
        WindowHarness harness;
        harness.passSplash();
        auto* bar = harness.find<surface::LinkButtonView>(QStringLiteral("linkButton.0"));
        const QColor linked = surface::LinkButtonView::kLinkedColour;
        const auto shows = [&](const QString& text, const QColor& colour, const QColor& absent) {
            const QImage image = onBlack(bar);
            return bar->text() == text && vantor::uitest::containsColour(image, colour, 30) &&
                   !vantor::uitest::containsColour(image, absent, 30);
        };
        QVERIFY(shows(QStringLiteral("Group"), Qt::white, linked));
        QTest::mouseClick(bar, Qt::LeftButton);
        QVERIFY(shows(QStringLiteral("Ungroup"), linked, Qt::white));
        QCOMPARE(harness.content().linkedTabs(), (std::array<bool, 6>{true, false, false, false, false, false}));
        QTest::mouseClick(bar, Qt::LeftButton);
        QVERIFY(shows(QStringLiteral("Group"), Qt::white, linked));
        QVERIFY(!harness.content().linkedTabs()[0]);
        harness.drain();
        QVERIFY(harness.takeNrpns().empty());
    }

    void utilitySlidersSendOneHundredSevenToOneHundredTenAndItsButtonsTheNextThree() {
        WindowHarness harness;
        harness.passSplash();
        harness.selectTab(surface::kUtilityTabTag);
        for (int position = 0; position < 4; ++position) {
            harness.find<QSlider>(QStringLiteral("utilitySlider.%1").arg(position))->setValue(16383);
            harness.drain(); // never linked: nothing follows
            QCOMPARE(harness.takeNrpns(), (Sent{{0, 107 + position, 16383}}));
        }
        for (int position = 0; position < 3; ++position) {
            const auto name = QStringLiteral("utilityCommand.%1").arg(position);
            QTest::mouseClick(harness.find<QPushButton>(name), Qt::LeftButton);
            harness.drain();
            QCOMPARE(harness.takeNrpns(), (Sent{{0, 111 + position, 0}}));
        }
        QCOMPARE(harness.random.drawn(), 0u); // "dice modulators" is not the dice
        QCOMPARE(slider(harness, 0)->value(), 0);
    }

    void tabVisitsEveryControlInReadingOrderAndEachHasItsName_data() {
        QTest::addColumn<int>("tag");
        for (int tab = 0; tab < 5; ++tab) QTest::newRow(qPrintable(QStringLiteral("slider page %1").arg(tab))) << tab;
        QTest::newRow("gesture") << surface::kGestureTabTag;
        QTest::newRow("utility") << surface::kUtilityTabTag;
    }
    void tabVisitsEveryControlInReadingOrderAndEachHasItsName() {
        QFETCH(int, tag);
        WindowHarness harness;
        harness.passSplash();
        harness.window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&harness.window()));
        harness.selectTab(tag);
        const std::vector<QWidget*> stops = tabStopsInReadingOrder(&harness.view());
        for (QWidget* widget : harness.view().findChildren<QWidget*>()) {
            const bool control = (qobject_cast<QAbstractSlider*>(widget) && !qobject_cast<QScrollBar*>(widget)) ||
                                 qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget);
            if (control && widget->isVisible()) QVERIFY2(std::ranges::count(stops, widget), qPrintable(describe(widget)));
        }
        for (QWidget* stop : stops) {
            const QString name = QAccessible::queryAccessibleInterface(stop)->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty(), qPrintable(describe(stop)));
            if (auto* button = qobject_cast<QAbstractButton*>(stop)) QCOMPARE(name, button->text());
            for (QLabel* caption : harness.window().findChildren<QLabel*>()) {
                if (caption->buddy() == stop && qobject_cast<QSlider*>(stop)) QCOMPARE(name, caption->text());
            }
        }
        QStringList visited;
        QStringList wanted;
        stops.front()->setFocus();
        for (QWidget* stop : stops) {
            wanted << describe(stop);
            visited << describe(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(visited, wanted);
        QCOMPARE(QApplication::focusWidget(), stops.front()); // and round again
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), stops.back());
    }
};

QTEST_MAIN(SurfaceTest)
#include "SurfaceTest.moc"
