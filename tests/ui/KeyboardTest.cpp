// The surface played from the keyboard: Tab reaches every control of a page
// in reading order, a slider steps by 1, 1024 and to its ends and each step
// goes out like a drag, and every control tells a screen reader its label.

#include "WindowHarness.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QTest>

#include <algorithm>

using vantor::midi::NrpnMessage;
using vantor::uitest::WindowHarness;
namespace surface = vantor::surface;

namespace {

using Sent = std::vector<NrpnMessage>;

QSlider* slider(WindowHarness& harness, int index) {
    return harness.find<QSlider>(QStringLiteral("slider.%1").arg(index, 2, 10, QChar('0')));
}

// Past the splash with the window active, so keys go where focus is.
void showSurface(WindowHarness& harness) {
    harness.passSplash();
    harness.window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&harness.window()));
}

// A key as the user presses it: to whatever has the focus.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget();
    QVERIFY2(target, "nothing has the keyboard focus");
    QTest::keyClick(target, key, modifiers);
}

// The one on screen among the widgets named `name` (each slider page has
// its own copy of the mode switches).
QAbstractButton* shownButton(WindowHarness& harness, const QString& name) {
    for (auto* button : harness.view().findChildren<QAbstractButton*>(name)) {
        if (button->isVisible()) return button;
    }
    return nullptr;
}

QString describe(const QWidget* widget) {
    if (!widget) return QStringLiteral("(none)");
    return widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                          : widget->objectName();
}

// Controls Tab can reach inside `scope` now: shown, enabled, taking focus
// from Tab, and not passing it on to another widget.
std::vector<QWidget*> tabStops(QWidget* scope) {
    std::vector<QWidget*> stops;
    for (QWidget* widget : scope->findChildren<QWidget*>()) {
        if (widget->isVisible() && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus) &&
            !widget->focusProxy()) {
            stops.push_back(widget);
        }
    }
    return stops;
}

// Top to bottom, then left to right. Widgets whose vertical centres lie
// within a few pixels of each other share a line (a check box beside a
// slightly taller button).
std::vector<QWidget*> inReadingOrder(std::vector<QWidget*> widgets, const QWidget* window) {
    constexpr int kSameLine = 4;
    const auto centre = [window](const QWidget* widget) {
        return widget->mapTo(window, widget->rect().center());
    };
    std::stable_sort(widgets.begin(), widgets.end(),
                     [&](const QWidget* a, const QWidget* b) { return centre(a).y() < centre(b).y(); });
    for (auto line = widgets.begin(); line != widgets.end();) {
        const int top = centre(*line).y();
        auto next = std::find_if(line, widgets.end(),
                                 [&](const QWidget* widget) { return centre(widget).y() - top > kSameLine; });
        std::stable_sort(line, next, [&](const QWidget* a, const QWidget* b) { return centre(a).x() < centre(b).x(); });
        line = next;
    }
    return widgets;
}

QString accessibleName(QObject* object) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

// The text of the label a screen reader announces with `control`.
QString labelOf(QObject* control) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    if (!accessible) return {};
    const auto labels = accessible->relations(QAccessible::Label);
    return labels.isEmpty() ? QString() : labels.first().first->text(QAccessible::Name);
}

QString captionOf(QWidget* control) {
    for (QLabel* label : control->window()->findChildren<QLabel*>()) {
        if (label->buddy() == control) return label->text();
    }
    return {};
}

} // namespace

class KeyboardTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void arrowsPagesAndEndsStepTheSliderAndEveryStepSends() {
        WindowHarness harness;
        showSurface(harness);
        QSlider* decayA = slider(harness, 3); // NRPN 4
        decayA->setFocus();
        QCOMPARE(QApplication::focusWidget(), decayA);

        struct Step {
            Qt::Key key;
            int value;
        };
        const Step steps[] = {
            {Qt::Key_Right, 1},     {Qt::Key_Up, 2},        {Qt::Key_Left, 1},       {Qt::Key_Down, 0},
            {Qt::Key_PageUp, 1024}, {Qt::Key_PageUp, 2048}, {Qt::Key_Right, 2049},   {Qt::Key_PageDown, 1025},
            {Qt::Key_End, 16383},   {Qt::Key_Left, 16382},  {Qt::Key_PageUp, 16383}, {Qt::Key_Home, 0},
        };
        for (const Step& step : steps) {
            press(step.key);
            QCOMPARE(harness.takeNrpns(), (Sent{{0, 4, step.value}}));
            QCOMPARE(harness.content().sliderValues()[3], static_cast<double>(step.value));
        }
        // At an end a further step changes nothing and sends nothing.
        press(Qt::Key_PageDown);
        press(Qt::Key_Left);
        QVERIFY(harness.takeNrpns().empty());
    }

    void keyboardEditIsCopiedToLinkedGroupsLikeADrag() {
        WindowHarness harness;
        showSurface(harness);
        harness.content().toggleLink(0);
        harness.content().toggleLink(1);
        slider(harness, 1)->setFocus();
        press(Qt::Key_End);
        QCOMPARE(harness.takeNrpns(), (Sent{{0, 2, 16383}}));
        harness.drain();
        QCOMPARE(harness.takeNrpns(), (Sent{{0, 8, 16383}}));
        QCOMPARE(slider(harness, 7)->value(), 16383);
    }

    void utilitySlidersStepTheSameWay() {
        WindowHarness harness;
        showSurface(harness);
        harness.selectTab(surface::kUtilityTabTag);
        auto* swing = harness.find<QSlider>(QStringLiteral("utilitySlider.2")); // NRPN 109
        swing->setFocus();
        press(Qt::Key_PageUp);
        press(Qt::Key_Right);
        press(Qt::Key_End);
        press(Qt::Key_PageDown);
        press(Qt::Key_Home);
        const Sent expected{{0, 109, 1024}, {0, 109, 1025}, {0, 109, 16383}, {0, 109, 15359}, {0, 109, 0}};
        QCOMPARE(harness.takeNrpns(), expected);
    }

    void ctrlTabTurnsThePageFromWithinItAndSendsNothing() {
        WindowHarness harness;
        showSurface(harness);
        slider(harness, 0)->setFocus();
        press(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(harness.content().selectedTab(), 1);
        press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(harness.content().selectedTab(), 0);
        QVERIFY(harness.takeNrpns().empty());
    }

    void spaceOnASwitchOrButtonActsLikeAClick_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("pulse switch") << "modeSwitch.filter";
        QTest::newRow("equation button") << "modeSwitch.regen";
        QTest::newRow("voice switch in the header") << "modeSwitch.voice";
    }

    void spaceOnASwitchOrButtonActsLikeAClick() {
        QFETCH(QString, name);
        WindowHarness clicked;
        showSurface(clicked);
        QAbstractButton* button = shownButton(clicked, name);
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
        clicked.drain();
        const Sent byMouse = clicked.takeNrpns();
        QVERIFY(!byMouse.empty());

        WindowHarness typed;
        showSurface(typed);
        shownButton(typed, name)->setFocus();
        press(Qt::Key_Space);
        typed.drain();
        QCOMPARE(typed.takeNrpns(), byMouse);
    }

    void tabVisitsTheControlsOfAPageInReadingOrder_data() {
        QTest::addColumn<int>("tag");
        for (int tab = 0; tab < static_cast<int>(surface::kTabsConfig.size()); ++tab) {
            QTest::newRow(qPrintable(QStringLiteral("slider page %1").arg(tab))) << tab;
        }
        QTest::newRow("gesture") << surface::kGestureTabTag;
        QTest::newRow("utility") << surface::kUtilityTabTag;
    }

    void tabVisitsTheControlsOfAPageInReadingOrder() {
        QFETCH(int, tag);
        WindowHarness harness;
        showSurface(harness);
        harness.selectTab(tag);

        // The header (when shown), the tab bar and the page, as one reads them.
        const std::vector<QWidget*> expected = inReadingOrder(tabStops(&harness.view()), &harness.window());
        QVERIFY(expected.size() > 3);
        // Every slider, switch, button and picker on screen is among them.
        const auto reachable = [&expected](QWidget* widget) {
            return std::find(expected.begin(), expected.end(), widget) != expected.end();
        };
        QVERIFY(reachable(harness.tabView().tabBar()));
        for (QWidget* widget : harness.view().findChildren<QWidget*>()) {
            const bool control = (qobject_cast<QAbstractSlider*>(widget) && !qobject_cast<QScrollBar*>(widget)) ||
                                 qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget);
            if (control && widget->isVisible()) QVERIFY2(reachable(widget), qPrintable(describe(widget)));
        }

        expected.front()->setFocus();
        QStringList visited{describe(QApplication::focusWidget())};
        for (std::size_t step = 1; step <= expected.size(); ++step) {
            press(Qt::Key_Tab);
            visited << describe(QApplication::focusWidget());
        }
        QStringList wanted;
        for (const QWidget* widget : expected) wanted << describe(widget);
        wanted << describe(expected.front()); // and round again
        QCOMPARE(visited, wanted);

        // Shift+Tab walks back.
        press(Qt::Key_Backtab);
        QCOMPARE(describe(QApplication::focusWidget()), describe(expected.back()));
    }

    void everyControlNamesItselfWithItsLabel() {
        WindowHarness harness;
        showSurface(harness);
        int checked = 0;
        const std::vector<int> tags{0, 1, 2, 3, 4, surface::kGestureTabTag, surface::kUtilityTabTag};
        for (const int tag : tags) {
            harness.selectTab(tag);
            for (QWidget* control : tabStops(&harness.view())) {
                const QString name = accessibleName(control);
                QVERIFY2(!name.isEmpty(), qPrintable(describe(control) + QStringLiteral(" has no accessible name")));
                if (auto* button = qobject_cast<QAbstractButton*>(control)) {
                    QCOMPARE(name, button->text());
                } else if (qobject_cast<QSlider*>(control)) {
                    // Named by the caption above it, where there is one.
                    const QString caption = captionOf(control);
                    if (!caption.isEmpty()) QCOMPARE(name, caption);
                } else if (qobject_cast<QComboBox*>(control)) {
                    // On Linux a menu is announced by its choice; its label
                    // comes as the "labelled by" relation.
                    QCOMPARE(labelOf(control), captionOf(control));
                    QVERIFY(!labelOf(control).isEmpty());
                }
                ++checked;
            }
        }
        QVERIFY(checked > 60);

        // The tab bar names each page as its tab does.
        QTabBar* bar = harness.tabView().tabBar();
        QAccessibleInterface* tabs = QAccessible::queryAccessibleInterface(bar);
        QVERIFY(tabs);
        QVERIFY(tabs->childCount() >= bar->count()); // then its scroll buttons
        for (int index = 0; index < bar->count(); ++index) {
            QCOMPARE(tabs->child(index)->text(QAccessible::Name), bar->tabText(index));
        }
    }
};

QTEST_MAIN(KeyboardTest)
#include "KeyboardTest.moc"
