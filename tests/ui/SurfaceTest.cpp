// The control surface played by mouse and keyboard: what each control sends,
// what the core's own writes (link copies, the dice) show without sending
// again, the mode switches, the regen and Group colours, Tab order and names.

#include "WindowHarness.h"

#include "ui/modes/RegenButtonView.h"
#include "ui/surface/LinkButtonView.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QToolTip>

#include <cmath>

using namespace std::chrono_literals;
using vantor::uitest::Sent;
using vantor::uitest::WindowHarness;
namespace surface = vantor::surface;

namespace {

QPoint handleCentre(QSlider* slider) {
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider).center();
}

// The value tip on screen; empty when none is shown.
QString shownTip() { return QToolTip::isVisible() ? QToolTip::text() : QString(); }

QString describe(const QWidget* widget) { return widget->objectName() + QLatin1Char(' ') + widget->metaObject()->className(); }

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
        QSlider* decayA = harness.slider(3); // NRPN 4
        const QPoint start = handleCentre(decayA);
        QTest::mousePress(decayA, Qt::LeftButton, {}, start);
        for (const int x : {decayA->width() / 4, decayA->width() / 2, decayA->width() + 50}) {
            QTest::mouseMove(decayA, QPoint(x, start.y()));
            const Sent sent = harness.takeNrpns();
            QVERIFY(!sent.empty());
            QCOMPARE(sent.back(), (vantor::midi::NrpnMessage{0, 4, decayA->value()}));
            QCOMPARE(shownTip(), QString::number(decayA->value()));
        }
        QCOMPARE(decayA->value(), 16383);
        QTest::mouseRelease(decayA, Qt::LeftButton, {}, QPoint(decayA->width() + 50, start.y()));
        QVERIFY(shownTip().isEmpty());
    }

    void keyboardStepsSendAndAreCopiedOnceToTheLinkedGroup() {
        WindowHarness harness;
        harness.passSplash();
        harness.content().toggleLink(0);
        harness.content().toggleLink(1);
        QSlider* source = harness.slider(1); // NRPN 2; its linked copy is slider 7, NRPN 8
        const std::pair<Qt::Key, int> steps[] = {{Qt::Key_Right, 1},  {Qt::Key_Up, 2},       {Qt::Key_PageUp, 1026},
                                                 {Qt::Key_Left, 1025}, {Qt::Key_PageDown, 1}, {Qt::Key_Down, 0},
                                                 {Qt::Key_End, 16383}, {Qt::Key_Home, 0}};
        for (const auto& [key, value] : steps) {
            QTest::keyClick(source, key);
            QCOMPARE(harness.takeNrpns(), (Sent{{0, 2, value}}));
            QCOMPARE(shownTip(), QString::number(value));
            harness.drain();
            QCOMPARE(harness.takeNrpns(), (Sent{{0, 8, value}})); // the slider it moves sends nothing again
            QCOMPARE(harness.slider(7)->value(), value);
        }
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
            QCOMPARE(harness.slider(number - 1)->value(), shown);
            QCOMPARE(sent[std::size_t(number) + 1], (vantor::midi::NrpnMessage{0, number, shown}));
        }
    }

    void everyModeSwitchFlipsItsLabelOnEveryPageAndEachChangeSendsOnce() {
        struct Switch { QString key, offLabel, onLabel; int onNumber, offNumber; };
        const Switch switches[] = {{"voice", "Voice allocation A", "Voice allocation B", 130, 131},
                                   {"drum", "drum assign off", "drum assign on", 132, 133},
                                   {"filter", "pulse disabled", "pulse enabled", 135, 134}, // on: the higher number
                                   {"regen2", "algorithm mode A", "algorithm mode B", 138, 139},
                                   {"midimode", "channel assign off", " channel assign on", 140, 141},
                                   {"complexity", "complexity off", " complexity on", 104, 105}};
        WindowHarness harness;
        harness.passSplash();
        for (const Switch& expected : switches) {
            // The header's switch, or the copy on the page shown.
            const auto shown = [&] {
                const QString name = QStringLiteral("modeSwitch.") + expected.key;
                auto* onPage = harness.page(harness.content().selectedTab()).findChild<QCheckBox*>(name);
                return onPage ? onPage : harness.find<QCheckBox>(name);
            };
            const auto click = [&] {
                QTest::mouseClick(shown(), Qt::LeftButton, {}, QPoint(8, shown()->height() / 2));
                harness.drain();
            };
            harness.selectTab(2);
            QCOMPARE(shown()->text(), expected.offLabel);
            click();
            // One message although every slider page has a copy of the page switches.
            QCOMPARE(harness.takeNrpns(), (Sent{{0, expected.onNumber, expected.onNumber}}));
            harness.selectTab(4);
            QCOMPARE(shown()->text(), expected.onLabel);
            click();
            QCOMPARE(shown()->text(), expected.offLabel);
            QCOMPARE(harness.takeNrpns(), (Sent{{0, expected.offNumber, expected.offNumber}}));
        }
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
        QVERIFY(harness.takeNrpns().empty());
    }

    void groupBarReadsUngroupInTheLinkedColourAndSendsNothing() {
        WindowHarness harness;
        harness.passSplash();
        auto* bar = harness.find<surface::LinkButtonView>(QStringLiteral("linkButton.0"));
        const QColor linked = surface::LinkButtonView::kLinkedColour;
        const auto shows = [&](const char* text, const QColor& colour, const QColor& absent) {
            QImage image(bar->size(), QImage::Format_ARGB32);
            image.fill(Qt::black); // so that light pixels are the bar's own
            bar->render(&image);
            return bar->text() == QLatin1String(text) && vantor::uitest::containsColour(image, colour, 30) &&
                   !vantor::uitest::containsColour(image, absent, 30);
        };
        QVERIFY(shows("Group", Qt::white, linked));
        QTest::mouseClick(bar, Qt::LeftButton);
        QVERIFY(shows("Ungroup", linked, Qt::white));
        QCOMPARE(harness.content().linkedTabs(), (std::array<bool, 6>{true, false, false, false, false, false}));
        QTest::mouseClick(bar, Qt::LeftButton);
        QVERIFY(shows("Group", Qt::white, linked));
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
            QTest::mouseClick(harness.find<QPushButton>(QStringLiteral("utilityCommand.%1").arg(position)), Qt::LeftButton);
            harness.drain();
            QCOMPARE(harness.takeNrpns(), (Sent{{0, 111 + position, 0}}));
        }
        QCOMPARE(harness.random.drawn(), 0u); // "dice modulators" is not the dice
    }

    void tabVisitsEveryControlOfEveryPageInReadingOrderAndEachHasItsName() {
        WindowHarness harness;
        harness.passSplash();
        harness.window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&harness.window()));
        for (const int tag : {0, 1, 2, 3, 4, surface::kGestureTabTag, surface::kUtilityTabTag}) {
            harness.selectTab(tag);
            const std::vector<QWidget*> stops = tabStopsInReadingOrder(&harness.view());
            for (QWidget* widget : harness.view().findChildren<QWidget*>()) {
                const bool control = (qobject_cast<QAbstractSlider*>(widget) && !qobject_cast<QScrollBar*>(widget)) ||
                                     qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget);
                if (control && widget->isVisible()) QVERIFY2(std::ranges::count(stops, widget), qPrintable(describe(widget)));
            }
            stops.front()->setFocus();
            for (QWidget* stop : stops) {
                const QString name = QAccessible::queryAccessibleInterface(stop)->text(QAccessible::Name);
                QVERIFY2(!name.isEmpty(), qPrintable(describe(stop)));
                if (auto* button = qobject_cast<QAbstractButton*>(stop)) QCOMPARE(name, button->text());
                for (QLabel* caption : harness.window().findChildren<QLabel*>()) {
                    if (caption->buddy() == stop && qobject_cast<QSlider*>(stop)) QCOMPARE(name, caption->text());
                }
                QVERIFY2(QApplication::focusWidget() == stop, qPrintable(describe(stop) + " is not next"));
                QTest::keyClick(stop, Qt::Key_Tab);
            }
            QCOMPARE(QApplication::focusWidget(), stops.front()); // and round again
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
            QCOMPARE(QApplication::focusWidget(), stops.back());
        }
    }
};

QTEST_MAIN(SurfaceTest)
#include "SurfaceTest.moc"
