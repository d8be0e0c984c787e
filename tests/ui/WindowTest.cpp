// The main window over fakes of the seams, played as a user would: the
// splash, the status header, the About window and ending in any state; what
// each control of the surface sends and shows; the camera panel.

#include "camera/CameraManager.h"
#include "midi/NrpnDecoder.h"
#include "support/CoreFakes.h"
#include "support/CameraFakes.h"
#include "support/MidiFakes.h"
#include "surface/ContentView.h"
#include "ui/camera/CameraPreview.h"
#include "ui/modes/RegenButtonView.h"
#include "ui/shell/MainWindow.h"
#include "ui/surface/ContentViewWidget.h"
#include "ui/surface/LinkButtonView.h"

#include <QAccessible>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStyleOptionSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolTip>

#include <cmath>
#include <functional>

using namespace std::chrono_literals;
using vantor::app::MainWindow;
using vantor::camera::HandJoint;
using vantor::midi::NrpnMessage;
using Sent = std::vector<NrpnMessage>;
namespace surface = vantor::surface;
namespace testing = vantor::testing;
constexpr int kGestureTab = surface::kGestureTabTag;
constexpr int kUtilityTab = surface::kUtilityTabTag;

namespace vantor::midi {
char* toString(const NrpnMessage& message) { // for QCOMPARE
    return QTest::toString(QStringLiteral("NRPN(parameter %1, value %2)").arg(message.parameter).arg(message.value));
}
} // namespace vantor::midi

namespace {

struct Setup {
    bool destination = true; // "vantor*2" is there from the start
    bool camera = true;
    bool handModels = true;
    bool pastSplash = true; // on the surface, its one lookup done
};

// The real main window over fakes, shown past its splash unless a test asks
// to stay on it. The main queue runs only when a test drains it; its clock
// moves only when a test advances it.
class WindowHarness {
public:
    explicit WindowHarness(Setup setup = {}) {
        if (setup.destination) midi.addDestination("vantor*2");
        auto makeCamera = [this, setup] {
            auto scriptedSession = std::make_unique<testing::ScriptedCaptureSession>(setup.camera);
            auto scriptedDetector = std::make_unique<testing::ScriptedHandPoseDetector>();
            scriptedDetector->setCanFindHands(setup.handModels);
            session = scriptedSession.get();
            detector = scriptedDetector.get();
            return std::make_unique<vantor::camera::CameraManager>(std::move(scriptedSession),
                                                                   std::move(scriptedDetector), queue, console);
        };
        window_ = std::make_unique<MainWindow>(vantor::app::WindowSeams{midi, queue, console, random, makeCamera});
        window_->show();
        QApplication::processEvents();
        if (setup.pastSplash) advance(MainWindow::kSplashTime);
    }

    // Moves the queue's clock, runs every ready task and lets Qt handle what they caused.
    void advance(std::chrono::milliseconds by) {
        queue.advance(by);
        queue.runAll();
        QApplication::processEvents();
    }
    void drain() { advance(0ms); }
    void destroyWindow() { window_.reset(); }

    MainWindow& window() { return *window_; }
    surface::ContentViewWidget& view() { return *window_->contentView(); }
    surface::ContentView& content() { return view().content(); }
    vantor::camera::CameraManager& cameraManager() { return *view().cameraManager(); }
    QWidget& page(int tag) { return *tabs().widget(surface::isSliderTab(tag) ? tag : tag - 1); }
    void selectTab(int tag) { // a click on the tab bar
        QTabBar* bar = tabs().tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tabs().indexOf(&page(tag))).center());
    }
    template <typename T>
    T* find(const QString& name) {
        return window_->findChild<T*>(name);
    }
    QSlider* slider(int index) { return find<QSlider>(QStringLiteral("slider.%1").arg(index, 2, 10, QChar('0'))); }
    // Sent since the last call, once the sends waiting for the wire have left
    // (the clock turned 200 ms, time for 52 NRPNs).
    Sent takeNrpns() {
        for (int ms = 0; ms < 200; ++ms) advance(1ms);
        auto sent = midi.nrpns();
        midi.clearSends();
        return sent;
    }

    // Declared before the window so that they outlive it.
    testing::RecordingMidiService midi;
    testing::ManualMainQueue queue;
    testing::ConsoleRecorder console;
    testing::ScriptedRandom random;
    testing::ScriptedCaptureSession* session = nullptr;    // owned by the camera manager
    testing::ScriptedHandPoseDetector* detector = nullptr; // likewise

private:
    QTabWidget& tabs() { return *window_->findChild<QTabWidget*>(QStringLiteral("tabView")); }
    std::unique_ptr<MainWindow> window_;
};

// Whether a pixel of `image` lies within `tolerance` of `colour` on every channel.
bool containsColour(const QImage& image, const QColor& colour, int tolerance = 40) {
    const auto near = [tolerance](int a, int b) { return std::abs(a - b) <= tolerance; };
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor p = image.pixelColor(x, y);
            if (near(p.red(), colour.red()) && near(p.green(), colour.green()) && near(p.blue(), colour.blue())) {
                return true;
            }
        }
    }
    return false;
}

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

// One picture through the camera session and the analysis, with the detector's answer.
void deliver(WindowHarness& harness, std::optional<vantor::camera::HandObservation> hand) {
    hand ? harness.detector->pushHand(*hand) : harness.detector->pushNoHand();
    QVERIFY(harness.session->deliver());
    harness.drain();
}

} // namespace

class WindowTest : public QObject {
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
        QPointer<vantor::app::AboutWindow> first = harness.window().aboutWindow();
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
        harness.selectTab(1);
        QTest::mouseClick(harness.find<QPushButton>(QStringLiteral("linkButton.1")), Qt::LeftButton);
        harness.selectTab(0);
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
        QCOMPARE(harness.content().selectedTab(), 0);
        press(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(harness.content().selectedTab(), kUtilityTab);
    }

    void regenButtonKeepsItsLabelAndItsYellowHighlightEndsPointThreeSecondsAfterTheFirstOfTwoPresses() {
        WindowHarness harness;
        auto* regen = harness.page(0).findChild<vantor::modes::RegenButtonView*>(QStringLiteral("modeSwitch.regen"));
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
        for (const int tag : {0, 1, 2, 3, 4, kGestureTab, kUtilityTab}) {
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

    void cameraRunsWhileItsTabIsShownAndARowSendsToThePickedParameterWithItOff() {
        WindowHarness harness;
        QVERIFY(!harness.session->isRunning()); // built, not started
        harness.selectTab(kGestureTab);
        QVERIFY(harness.session->isRunning());
        harness.selectTab(kUtilityTab);
        QVERIFY(!harness.session->isRunning());
        harness.selectTab(kGestureTab);
        QVERIFY(harness.session->isRunning());

        auto* toggle = harness.find<QPushButton>(QStringLiteral("cameraToggle"));
        QCOMPARE(toggle->text(), QStringLiteral("Disable Camera"));
        QTest::mouseClick(toggle, Qt::LeftButton);
        QCOMPARE(toggle->text(), QStringLiteral("Enable Camera"));
        QVERIFY(!harness.session->isRunning());

        auto* middle = harness.find<QSlider>(QStringLiteral("cameraRow.2.slider")); // NRPN 6
        middle->setValue(3);
        QCOMPARE(harness.takeNrpns(), (Sent{{0, 6, 3}}));
        harness.find<QComboBox>(QStringLiteral("cameraRow.2.picker"))->setCurrentIndex(11); // NRPN 12
        QVERIFY(harness.takeNrpns().empty());
        middle->setValue(16383);
        QCOMPARE(harness.takeNrpns(), (Sent{{0, 12, 16383}}));
        // A value set elsewhere moves the slider without dragging it back.
        harness.cameraManager().setSliderValue(2, 0.5);
        QCOMPARE(middle->value(), 8191);
        QCOMPARE(harness.takeNrpns(), (Sent{{0, 12, 8191}}));
    }

    void areaDrawsEveryJointAsARedDotWithYUp() {
        WindowHarness harness;
        harness.selectTab(kGestureTab);
        deliver(harness, testing::handWith({{HandJoint::Wrist, {0.5, 0.75, 0.9f}},
                                            {HandJoint::ThumbTip, {0.2, 0.5, 0.9f}},
                                            {HandJoint::IndexTip, {0.8, 0.5, 0.9f}},
                                            {HandJoint::MiddleTip, {0.5, 0.1, 0.9f}}}));
        auto* area = harness.find<vantor::camera::CameraPreview>(QStringLiteral("cameraArea"));
        const QImage shot = area->grab().toImage();
        const auto dotAt = [&](double x, double y) {
            const QPoint centre(int(x * area->width()), int(y * area->height()));
            return containsColour(shot.copy(QRect(centre - QPoint(1, 1), QSize(3, 3))), Qt::red);
        };
        // At (x·W, (1−y)·H): the wrist high, the middle tip low, and not the other way round.
        QVERIFY(dotAt(0.5, 0.25) && dotAt(0.2, 0.5) && dotAt(0.8, 0.5) && dotAt(0.5, 0.9));
        QVERIFY(!dotAt(0.5, 0.75) && !dotAt(0.5, 0.1));
    }

    // A 4:3 camera picture in the 3:2 area: the full width, the middle of the
    // height, made on the worker at the size the screen shows.
    void previewPictureIsTheMiddleOfTheFrameAtTheShownSize() {
        constexpr int kWidth = 640, kHeight = 480, kTopBand = 20; // the crop takes 26.7 rows off each end
        auto bgr = std::make_shared<std::vector<std::uint8_t>>(std::size_t{kWidth * kHeight * 3});
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const QColor colour = y < kTopBand ? Qt::green : x < kWidth / 2 ? Qt::blue : Qt::red;
                std::uint8_t* pixel = bgr->data() + 3 * (y * kWidth + x);
                pixel[0] = std::uint8_t(colour.blue()), pixel[1] = std::uint8_t(colour.green()),
                pixel[2] = std::uint8_t(colour.red());
            }
        }
        const vantor::camera::VideoFrame frame{kWidth, kHeight, bgr};
        for (const QSize shown : {QSize(300, 200), QSize(600, 400)}) {
            const QImage picture = vantor::camera::toImage(frame, shown);
            QCOMPARE(picture.size(), shown);
            QVERIFY(!containsColour(picture, Qt::green));
            const int w = shown.width(), h = shown.height();
            QCOMPARE(picture.pixelColor(0, 0), QColor(Qt::blue));
            QCOMPARE(picture.pixelColor(w / 2 - 1, h / 2), QColor(Qt::blue));
            QCOMPARE(picture.pixelColor(w / 2, h / 2), QColor(Qt::red));
            QCOMPARE(picture.pixelColor(w - 1, h - 1), QColor(Qt::red));
        }
        QVERIFY(vantor::camera::toImage({}, QSize(300, 200)).isNull());
    }

    void areaSaysWhatThePictureCannot_data() {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<bool>("pulledOut");
        QTest::addColumn<QString>("notice");
        QTest::newRow("camera and hand models: nothing") << Setup{} << false << QString();
        QTest::newRow("no camera") << Setup{.camera = false} << false << "No camera found";
        QTest::newRow("neither camera nor hand models")
            << Setup{.camera = false, .handModels = false} << false << "No camera found";
        QTest::newRow("no hand models") << Setup{.handModels = false} << false << "Hand tracking unavailable";
        QTest::newRow("camera pulled out") << Setup{} << true << "Camera disconnected";
    }
    void areaSaysWhatThePictureCannot() {
        QFETCH(Setup, setup);
        QFETCH(bool, pulledOut);
        QFETCH(QString, notice);
        WindowHarness harness(setup);
        harness.selectTab(kGestureTab);
        if (pulledOut) harness.session->loseCamera();
        harness.drain();
        auto* area = harness.find<vantor::camera::CameraPreview>(QStringLiteral("cameraArea"));
        QCOMPARE(area->findChild<QLabel*>(QStringLiteral("cameraNotice"))->text(), notice);
        // Drawn white across the middle of the area.
        const QRect middle(area->width() / 3, area->height() / 2 - 10, area->width() / 3, 20);
        QCOMPARE(containsColour(area->grab().toImage().copy(middle), Qt::white, 60), !notice.isEmpty());
    }
};

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
