// What each control of the surface sends and shows, played as a user would:
// with the mouse, the keyboard and an assistive tool.

#include "ui/WindowHarness.h"
#include "ui/modes/RegenButtonView.h"
#include "ui/surface/LinkButtonView.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QStyleOptionSlider>
#include <QToolTip>

#include <functional>

using namespace vantor::testing::window;
namespace surface = vantor::surface;
namespace testing = vantor::testing;
namespace camera = vantor::camera;
namespace app = vantor::app;

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

class SurfaceViewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void mouseDragSendsEveryPositionAndTheTipShowsTheNumberSent() {
        WindowHarness harness;
        QSlider* decayA = harness.slider(3); // NRPN 4
        const QPoint start = handleCentre(decayA);
        QTest::mousePress(decayA, Qt::LeftButton, {}, start);
        for (const int x : {decayA->width() / 4, decayA->width() / 2, decayA->width() + 50}) {
            QTest::mouseMove(decayA, QPoint(x, start.y()));
            const Sent sent = harness.takeNrpns();
            QVERIFY(!sent.empty());
            QCOMPARE(sent.back(), (NrpnMessage{0, 4, decayA->value()}));
            QCOMPARE(shownTip(), QString::number(decayA->value()));
        }
        QCOMPARE(decayA->value(), 16383);
        QTest::mouseRelease(decayA, Qt::LeftButton, {}, QPoint(decayA->width() + 50, start.y()));
        QVERIFY(shownTip().isEmpty());
    }

    void groupBarsLinkInTheirColourAndEveryKeyboardStepIsCopiedOnceToTheLinkedGroup() {
        WindowHarness harness;
        const QColor linked = surface::LinkButtonView::kLinkedColour;
        auto* bar = harness.find<QPushButton>(QStringLiteral("linkButton.0"));
        const auto shows = [bar](const char* text, const QColor& colour, const QColor& absent) {
            QImage image(bar->size(), QImage::Format_ARGB32);
            image.fill(Qt::black); // so that light pixels are the bar's own
            bar->render(&image);
            return bar->text() == QLatin1String(text) && containsColour(image, colour, 30) &&
                   !containsColour(image, absent, 30);
        };
        QVERIFY(shows("Group", Qt::white, linked));
        QTest::mouseClick(bar, Qt::LeftButton);
        QVERIFY(shows("Ungroup", linked, Qt::white));
        harness.selectTab(TabTag(1));
        QTest::mouseClick(harness.find<QPushButton>(QStringLiteral("linkButton.1")), Qt::LeftButton);
        harness.selectTab(TabTag(0));
        harness.drain();
        QVERIFY(harness.takeNrpns().empty());

        QSlider* source = harness.slider(1); // NRPN 2; its linked copy is slider 7, NRPN 8
        const std::pair<Qt::Key, int> steps[] = {{Qt::Key_Up, 1},        {Qt::Key_PageUp, 1025}, {Qt::Key_Left, 1024},
                                                 {Qt::Key_PageDown, 0}, {Qt::Key_End, 16383},   {Qt::Key_Home, 0}};
        for (const auto& [key, value] : steps) {
            QTest::keyClick(source, key);
            QCOMPARE(shownTip(), QString::number(value));
            QCOMPARE(harness.takeNrpns(), (Sent{{0, 2, value}, {0, 8, value}})); // the slider it moves sends nothing again
            QCOMPARE(harness.slider(7)->value(), value);
        }
        QTest::mouseClick(bar, Qt::LeftButton);
        QVERIFY(shows("Group", Qt::white, linked));
    }

    void everyModeSwitchFlipsItsLabelOnEveryPageAndEachChangeSendsOnce() {
        struct Switch { QString key, offLabel, onLabel; int onNumber, offNumber; };
        const Switch switches[] = {{"voice", "Voice allocation A", "Voice allocation B", 130, 131},
                                   {"drum", "drum assign off", "drum assign on", 132, 133},
                                   {"filter", "pulse disabled", "pulse enabled", 135, 134}, // on: the higher number
                                   {"regen2", "algorithm mode A", "algorithm mode B", 138, 139},
                                   {"midimode", "channel assign off", " channel assign on", 140, 141},
                                   {"complexity", "complexity off", " complexity on", 104, 105}};
        // Every way of turning a switch takes the same path; an assistive tool's emits no click.
        const std::function<void(QCheckBox*)> ways[] = {
            [](QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2)); },
            [](QCheckBox* box) { QTest::keyClick(box, Qt::Key_Space); },
            [](QCheckBox* box) { // what an assistive tool's "Toggle" does
                QAccessibleActionInterface* actions = QAccessible::queryAccessibleInterface(box)->actionInterface();
                actions->doAction(QAccessibleActionInterface::toggleAction());
            },
        };
        WindowHarness harness;
        std::size_t turns = 0;
        for (const Switch& expected : switches) {
            // The header's switch, or the copy on the page shown.
            const auto shown = [&] {
                const QString name = QStringLiteral("modeSwitch.") + expected.key;
                auto* onPage = harness.page(harness.content().selectedTab()).findChild<QCheckBox*>(name);
                return onPage ? onPage : harness.find<QCheckBox>(name);
            };
            const auto click = [&] {
                ways[turns++ % std::size(ways)](shown());
                harness.drain();
            };
            harness.selectTab(TabTag(2));
            QCOMPARE(shown()->text(), expected.offLabel);
            click();
            // One message although every slider page has a copy of the page switches.
            QCOMPARE(harness.takeNrpns(), (Sent{{0, expected.onNumber, expected.onNumber}}));
            harness.selectTab(TabTag(4));
            QCOMPARE(shown()->text(), expected.onLabel);
            click();
            QCOMPARE(shown()->text(), expected.offLabel);
            QCOMPARE(harness.takeNrpns(), (Sent{{0, expected.offNumber, expected.offNumber}}));
        }
    }

    void ctrlTabTurnsThePageRoundTheEndsEvenFromACameraMenuThatWasOpenedAndClosed() {
        WindowHarness harness;
        harness.window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&harness.window()));
        harness.selectTab(kGestureTab);
        auto* picker = harness.find<QComboBox>(QStringLiteral("cameraRow.0.picker"));
        picker->setFocus();
        picker->showPopup();
        QTRY_VERIFY(picker->view()->isVisible());
        QTest::keyClick(picker->view(), Qt::Key_Escape);
        QTRY_VERIFY(!picker->view()->isVisible());
        QCOMPARE(QApplication::focusWidget(), picker);
        const auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers) {
            QTest::keyClick(QApplication::focusWidget(), key, Qt::ControlModifier | modifiers);
        };
        press(Qt::Key_Tab, {});
        QCOMPARE(harness.content().selectedTab(), kUtilityTab);
        press(Qt::Key_Tab, {}); // round the end
        QCOMPARE(harness.content().selectedTab(), TabTag(0));
        press(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(harness.content().selectedTab(), kUtilityTab);
    }

    void regenButtonKeepsItsLabelAndItsYellowHighlightEndsPointThreeSecondsAfterTheFirstOfTwoPresses() {
        WindowHarness harness;
        auto* regen = harness.page(TabTag(0)).findChild<vantor::modes::RegenButtonView*>(QStringLiteral("modeSwitch.regen"));
        const QPoint inside(regen->width() / 4, regen->height() / 2);
        const auto lit = [&] { return regen->grab().toImage().pixelColor(inside) == QColor(Qt::yellow); };
        QVERIFY(!lit());
        QCOMPARE(regen->text(), QStringLiteral("equation ??")); // on and off alike
        QTest::mouseClick(regen, Qt::LeftButton);
        QVERIFY(lit());
        QCOMPARE(regen->text(), QStringLiteral("equation ??"));
        QCOMPARE(harness.takeNrpns(), (Sent{{0, 136, 136}})); // sent by the press itself
        harness.advance(200ms);
        QTest::mouseClick(regen, Qt::LeftButton);
        QCOMPARE(harness.takeNrpns(), (Sent{{0, 137, 137}}));
        harness.advance(99ms);
        QVERIFY(lit());
        harness.advance(1ms);
        QVERIFY(!lit());
        QVERIFY(harness.takeNrpns().empty());
    }

    void utilitySlidersSendOneHundredSevenToOneHundredTenAndItsButtonsTheNextThree() {
        WindowHarness harness;
        harness.selectTab(kUtilityTab);
        for (int position = 0; position < 4; ++position) {
            harness.find<QSlider>(QStringLiteral("utilitySlider.%1").arg(position))->setValue(16383);
            harness.drain(); // never linked: nothing follows
            QCOMPARE(harness.takeNrpns(), (Sent{{0, 107 + position, 16383}}));
        }
        for (int position = 0; position < 3; ++position) {
            const QString command = QStringLiteral("utilityCommand.%1").arg(position);
            QTest::mouseClick(harness.find<QPushButton>(command), Qt::LeftButton);
            harness.drain();
            QCOMPARE(harness.takeNrpns(), (Sent{{0, 111 + position, 0}}));
        }
        QCOMPARE(harness.random.drawn(), 0u); // "dice modulators" is not the dice
    }

    // Their names, as a screen reader hears them, are the accessibility test's.
    void tabVisitsEveryControlOfEveryPageInReadingOrder() {
        WindowHarness harness;
        harness.window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&harness.window()));
        for (const TabTag tag : {TabTag(0), TabTag(1), TabTag(2), TabTag(3), TabTag(4), kGestureTab, kUtilityTab}) {
            harness.selectTab(tag);
            const std::vector<QWidget*> stops = tabStopsInReadingOrder(&harness.view());
            for (QWidget* widget : harness.view().findChildren<QWidget*>()) {
                const bool control = qobject_cast<QSlider*>(widget) || qobject_cast<QAbstractButton*>(widget) ||
                                     qobject_cast<QComboBox*>(widget);
                const bool reachable = !widget->isVisible() || std::ranges::count(stops, widget);
                QVERIFY2(!control || reachable, qPrintable(widget->objectName()));
            }
            stops.front()->setFocus();
            for (QWidget* stop : stops) {
                QVERIFY2(QApplication::focusWidget() == stop, qPrintable(stop->objectName() + " is not next"));
                QTest::keyClick(stop, Qt::Key_Tab);
            }
            QCOMPARE(QApplication::focusWidget(), stops.front()); // and round again
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
            QCOMPARE(QApplication::focusWidget(), stops.back());
        }
    }
};

QTEST_MAIN(SurfaceViewTest)
#include "SurfaceViewTest.moc"
