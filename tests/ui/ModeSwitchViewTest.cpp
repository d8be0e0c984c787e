// The mode switches on screen, the regen button's highlight and the
// "Group"/"Ungroup" bars.

#include "WindowHarness.h"

#include "ui/modes/ModeToggleView.h"
#include "ui/modes/RegenButtonView.h"
#include "ui/surface/LinkButtonView.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

using namespace std::chrono_literals;
using vantor::midi::NrpnMessage;
using vantor::uitest::Destination;
using vantor::uitest::WindowHarness;
namespace surface = vantor::surface;


namespace {

// The switch as the user sees it now: the header's, or the copy on the
// selected slider page.
QCheckBox* toggle(WindowHarness& harness, const QString& key) {
    const QString name = QStringLiteral("modeSwitch.") + key;
    const int tab = harness.content().selectedTab();
    if (surface::isSliderTab(tab)) {
        if (auto* onPage = harness.find<QCheckBox>(name, &harness.page(tab))) return onPage;
    }
    return harness.find<QCheckBox>(name);
}

// The widget as drawn over black, so light pixels are its own.
QImage onBlack(QWidget* widget) {
    QImage image(widget->size(), QImage::Format_ARGB32);
    image.fill(Qt::black);
    widget->render(&image);
    return image;
}

void click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

} // namespace

class ModeSwitchViewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void switchLabelsAndNumbers_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("offLabel");
        QTest::addColumn<QString>("onLabel");
        QTest::addColumn<int>("onNumber");
        QTest::addColumn<int>("offNumber");
        QTest::newRow("voice") << "voice" << "Voice allocation A" << "Voice allocation B" << 130 << 131;
        QTest::newRow("drum") << "drum" << "drum assign off" << "drum assign on" << 132 << 133;
        QTest::newRow("pulse: on is the higher number") << "filter" << "pulse disabled" << "pulse enabled" << 135
                                                       << 134;
        QTest::newRow("algorithm mode") << "regen2" << "algorithm mode A" << "algorithm mode B" << 138 << 139;
        QTest::newRow("channel assign: on label has a leading space")
            << "midimode" << "channel assign off" << " channel assign on" << 140 << 141;
        QTest::newRow("complexity: on label has a leading space")
            << "complexity" << "complexity off" << " complexity on" << 104 << 105;
    }
    void switchLabelsAndNumbers() {
        QFETCH(QString, key);
        QFETCH(QString, offLabel);
        QFETCH(QString, onLabel);
        QFETCH(int, onNumber);
        QFETCH(int, offNumber);
        WindowHarness harness;
        harness.passSplash();
        harness.selectTab(2);
        QCheckBox* box = toggle(harness, key);
        QVERIFY(box->isVisible());
        QCOMPARE(box->text(), offLabel);
        QVERIFY(!box->isChecked());

        click(box);
        QCOMPARE(box->text(), onLabel);
        QVERIFY(box->isChecked());
        QVERIFY(harness.takeNrpns().empty()); // the watcher speaks after the event
        harness.drain();
        // One message although every slider page has a copy of the page switches.
        QCOMPARE(harness.takeNrpns(), (std::vector<NrpnMessage>{{0, onNumber, onNumber}}));

        click(box);
        harness.drain();
        QCOMPARE(box->text(), offLabel);
        QCOMPARE(harness.takeNrpns(), (std::vector<NrpnMessage>{{0, offNumber, offNumber}}));
    }

    void everyPageCopyShowsTheSameFlag() {
        WindowHarness harness;
        harness.passSplash();
        click(toggle(harness, QStringLiteral("midimode")));
        harness.drain();
        harness.selectTab(4);
        QCheckBox* copy = toggle(harness, QStringLiteral("midimode"));
        QVERIFY(copy->isChecked());
        QCOMPARE(copy->text(), QStringLiteral(" channel assign on"));
        QVERIFY(harness.takeNrpns().size() == 1);
    }

    void withoutDestinationTheLabelStillFollows() {
        WindowHarness harness(Destination::Absent);
        harness.passSplash();
        QCheckBox* complexity = toggle(harness, QStringLiteral("complexity"));
        click(complexity);
        harness.drain();
        QCOMPARE(complexity->text(), QStringLiteral(" complexity on"));
        QCOMPARE(harness.fakes.console.lines(), std::vector<std::string>{"MIDI endpoint not connected."});
    }

    void regenHighlightEndsPointThreeSecondsAfterTheFirstOfTwoPresses() {
        WindowHarness harness;
        harness.passSplash();
        auto* regen = harness.page(0).findChild<vantor::modes::RegenButtonView*>(QStringLiteral("modeSwitch.regen"));
        QCOMPARE(regen->text(), QStringLiteral("equation ??"));
        const QPoint inside(regen->width() / 4, regen->height() / 2);
        auto lit = [&] { return regen->grab().toImage().pixelColor(inside) == QColor(Qt::yellow); };
        QVERIFY(!lit());

        QTest::mouseClick(regen, Qt::LeftButton);
        QVERIFY(regen->isHighlighted());
        QVERIFY(lit());
        QCOMPARE(harness.takeNrpns(), (std::vector<NrpnMessage>{{0, 136, 136}})); // sent by the press itself
        harness.advance(200ms);
        QTest::mouseClick(regen, Qt::LeftButton);
        QCOMPARE(harness.takeNrpns(), (std::vector<NrpnMessage>{{0, 137, 137}}));
        harness.advance(99ms);
        QVERIFY(lit());
        harness.advance(1ms); // 0.3 s after the first press
        QVERIFY(!regen->isHighlighted());
        QVERIFY(!lit());
        QCOMPARE(regen->text(), QStringLiteral("equation ??"));
        harness.advance(1s);
        QVERIFY(!lit());
        QVERIFY(harness.takeNrpns().empty());
    }

    void groupBarTogglesLabelAndColourAndSendsNothing() {
        WindowHarness harness;
        harness.passSplash();
        auto* bar = harness.find<vantor::surface::LinkButtonView>(QStringLiteral("linkButton.0"));
        QCOMPARE(bar->text(), QStringLiteral("Group"));
        QCOMPARE(bar->palette().color(QPalette::ButtonText), QColor(Qt::white));
        QVERIFY(vantor::uitest::containsColour(onBlack(bar), Qt::white, 30));

        QTest::mouseClick(bar, Qt::LeftButton);
        harness.drain();
        QCOMPARE(bar->text(), QStringLiteral("Ungroup"));
        QCOMPARE(bar->palette().color(QPalette::ButtonText), vantor::surface::LinkButtonView::kLinkedColour);
        const QImage ungrouped = onBlack(bar);
        QVERIFY(vantor::uitest::containsColour(ungrouped, vantor::surface::LinkButtonView::kLinkedColour, 30));
        QVERIFY(!vantor::uitest::containsColour(ungrouped, Qt::white, 30));
        QVERIFY(harness.content().linkedTabs()[0]);
        for (std::size_t group = 1; group < 6; ++group) QVERIFY(!harness.content().linkedTabs()[group]);

        QTest::mouseClick(bar, Qt::LeftButton);
        harness.drain();
        QCOMPARE(bar->text(), QStringLiteral("Group"));
        QVERIFY(!vantor::uitest::containsColour(onBlack(bar), vantor::surface::LinkButtonView::kLinkedColour, 30));
        QVERIFY(!harness.content().linkedTabs()[0]);
        QVERIFY(harness.takeNrpns().empty());
        QVERIFY(harness.fakes.console.lines().empty());
    }

    void pageTwoBarFlagsGroupTwo() {
        WindowHarness harness;
        harness.passSplash();
        harness.selectTab(2);
        QTest::mouseClick(harness.find<QPushButton>(QStringLiteral("linkButton.2")), Qt::LeftButton);
        QCOMPARE(harness.content().linkedTabs(), (std::array<bool, 6>{false, false, true, false, false, false}));
    }

    void diceFlippingAlgorithmModeOnASliderPageSendsItTwice() {
        WindowHarness harness;
        harness.passSplash();
        for (int i = 0; i < 37 + 7; ++i) harness.fakes.random.push(0);
        harness.fakes.random.push(vantor::uitest::wordForBoolean(false)); // regen stays off
        harness.fakes.random.push(vantor::uitest::wordForBoolean(true));  // regen 2 flips on
        QTest::mouseClick(harness.find<QPushButton>(QStringLiteral("diceButton")), Qt::LeftButton);
        harness.drain();
        const auto sent = harness.takeNrpns();
        QCOMPARE(sent.size(), 46u);
        QCOMPARE(sent[1], (NrpnMessage{0, 138, 138}));
        QCOMPARE(sent.back(), (NrpnMessage{0, 138, 138}));
        QCOMPARE(toggle(harness, QStringLiteral("regen2"))->text(), QStringLiteral("algorithm mode B"));
    }
};

QTEST_MAIN(ModeSwitchViewTest)
#include "ModeSwitchViewTest.moc"
