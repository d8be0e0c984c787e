// The camera panel: every change of a row's value goes out once, scaled to
// 14 bits and clamped, to the parameter the row's menu shows; the camera
// area runs the session while it is on screen and draws the newest picture
// with the tracked joints over it.

#include "WindowHarness.h"

#include "ui/camera/CameraControlView.h"
#include "camera/CameraManager.h"
#include "ui/camera/CameraPreview.h"
#include "camera/WorkerCaptureSession.h"
#include "support/HandFrames.h"
#include "support/ScriptedCaptureSession.h"
#include "support/ScriptedFrameSource.h"
#include "support/ScriptedHandPoseDetector.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>

#include <limits>
#include <memory>
#include <thread>

using vantor::camera::CameraControlView;
using vantor::camera::CameraManager;
using vantor::camera::CameraPreview;
using vantor::camera::HandJoint;
using vantor::camera::JointPoint;
using vantor::camera::VideoFrame;
using vantor::midi::NrpnMessage;
using vantor::uitest::Destination;
using vantor::uitest::WindowHarness;
namespace testing = vantor::testing;

namespace {

using Sent = std::vector<NrpnMessage>;

// A picture `width` x `height` whose columns are `inner` except the outer
// `margin` columns on either side, which are `outer`.
VideoFrame stripedFrame(int width, int height, int margin, QColor outer, QColor inner) {
    auto pixels = std::make_shared<std::vector<std::uint8_t>>();
    pixels->reserve(static_cast<std::size_t>(width * height * 3));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QColor colour = (x < margin || x >= width - margin) ? outer : inner;
            pixels->push_back(static_cast<std::uint8_t>(colour.blue()));
            pixels->push_back(static_cast<std::uint8_t>(colour.green()));
            pixels->push_back(static_cast<std::uint8_t>(colour.red()));
        }
    }
    return {width, height, std::move(pixels)};
}

// numberedFrame(n) carries the low three bytes of n in the first pixel.
int pictureNumber(const QImage& picture) {
    if (picture.isNull()) return -1;
    const QRgb first = picture.pixel(0, 0);
    return qBlue(first) | qGreen(first) << 8 | qRed(first) << 16;
}

// Finds no hand, taking a millisecond per picture like a (very fast) real
// detector, so that a free-running worker does not flood the main queue.
class SlowNoHandDetector final : public vantor::camera::HandPoseDetector {
public:
    std::optional<std::vector<vantor::camera::HandObservation>> detect(const VideoFrame&) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return std::vector<vantor::camera::HandObservation>{};
    }
};

bool near(QRgb pixel, QColor colour, int tolerance = 40) {
    return std::abs(qRed(pixel) - colour.red()) <= tolerance && std::abs(qGreen(pixel) - colour.green()) <= tolerance &&
           std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
}

// The camera core over scripted seams, and the panel on an 800 x 500 tab view
// beside a second page, as in the window. Members are declared in the order
// the program builds them, so the panel goes before the manager and the
// manager before the queue.
struct Panel {
    explicit Panel(Destination destination = Destination::Present, bool build = true, bool hasCamera = true,
                   bool canFindHands = true) {
        if (destination == Destination::Present) midi.addDestination("vantor*2");
        content = std::make_unique<vantor::surface::ContentView>(midi, queue, console, random);
        auto scriptedSession = std::make_unique<testing::ScriptedCaptureSession>(hasCamera);
        auto scriptedDetector = std::make_unique<testing::ScriptedHandPoseDetector>();
        scriptedDetector->setCanFindHands(canFindHands);
        session = scriptedSession.get();
        detector = scriptedDetector.get();
        manager = std::make_unique<CameraManager>(std::move(scriptedSession), std::move(scriptedDetector), queue,
                                                  console);
        if (build) buildView();
    }

    void buildView() {
        tabs = std::make_unique<QTabWidget>();
        tabs->setFixedSize(800, 500);
        tabs->addTab(new QWidget, QStringLiteral("W/X"));
        auto* page = new QWidget;
        view = new CameraControlView(*manager, *content, console, page);
        auto* layout = new QVBoxLayout(page);
        layout->addWidget(view);
        tabs->addTab(page, QStringLiteral("gesture"));
        tabs->setCurrentIndex(1);
        tabs->show();
        QApplication::processEvents();
    }

    // One picture through the session and the analysis, its result published.
    void deliverHand(const vantor::camera::HandObservation& hand, const VideoFrame& frame = testing::numberedFrame(0)) {
        detector->pushHand(hand);
        QVERIFY(session->deliver(frame));
        queue.runAll();
    }
    void deliverNoHand() {
        detector->pushNoHand();
        QVERIFY(session->deliver());
        queue.runAll();
    }

    Sent takeNrpns() {
        auto sent = midi.nrpns();
        midi.clearSends();
        return sent;
    }

    template <typename T>
    T* find(const QString& name) {
        return view->findChild<T*>(name);
    }
    QSlider* slider(int row) { return find<QSlider>(QStringLiteral("cameraRow.%1.slider").arg(row)); }
    QComboBox* picker(int row) { return find<QComboBox>(QStringLiteral("cameraRow.%1.picker").arg(row)); }
    CameraPreview* area() { return find<CameraPreview>(QStringLiteral("cameraArea")); }
    QPushButton* toggle() { return find<QPushButton>(QStringLiteral("cameraToggle")); }

    testing::RecordingMidiService midi;
    testing::ManualMainQueue queue;
    testing::ConsoleRecorder console;
    testing::ScriptedRandom random;
    std::unique_ptr<vantor::surface::ContentView> content;
    testing::ScriptedCaptureSession* session = nullptr;   // owned by the manager
    testing::ScriptedHandPoseDetector* detector = nullptr; // owned by the manager
    std::unique_ptr<CameraManager> manager;
    std::unique_ptr<QTabWidget> tabs;
    CameraControlView* view = nullptr; // owned by the tab view
};

} // namespace

class CameraPanelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rowValueIsSentTruncatedAndClamped_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("sent");
        QTest::newRow("full scale") << 1.0 << 16383;
        QTest::newRow("half truncates 8191.5") << 0.5 << 8191;
        QTest::newRow("quarter truncates 4095.75") << 0.25 << 4095;
        QTest::newRow("pinch 1.2 clamps instead of wrapping to 3275") << 1.2 << 16383;
        QTest::newRow("widest pinch") << 1.4142 << 16383;
        QTest::newRow("huge") << 1e300 << 16383;
        QTest::newRow("below zero") << -0.1 << 0;
    }
    void rowValueIsSentTruncatedAndClamped() {
        QFETCH(double, value);
        QFETCH(int, sent);
        Panel panel;
        panel.manager->setSliderValue(3, value); // the pinch row, parameter 8
        QCOMPARE(panel.takeNrpns(), (Sent{{0, 8, sent}}));
    }

    void trackedPinchAboveOneStaysAtFullScale() {
        Panel panel;
        // Thumb and index tips 1.2 apart: the smoothed pinch passes 1.0 on
        // the ninth frame and keeps rising toward 1.2.
        const auto hand = testing::handWith({{HandJoint::ThumbTip, {0.0, 0.0, 0.9f}},
                                             {HandJoint::IndexTip, {0.72, 0.96, 0.9f}},
                                             {HandJoint::MiddleTip, {0.5, 0.5, 0.9f}}});
        std::vector<int> pinch;
        for (int frame = 0; frame < 15; ++frame) {
            panel.deliverHand(hand);
            for (const NrpnMessage& message : panel.takeNrpns()) {
                if (message.parameter == 8) pinch.push_back(message.value);
            }
        }
        QCOMPARE(pinch.size(), 15u); // one send per frame: the value changed every time
        QCOMPARE(pinch.front(), 3931); // 0.24 x 16383
        for (std::size_t i = 1; i < pinch.size(); ++i) QVERIFY2(pinch[i] >= pinch[i - 1], "the pinch never falls back");
        QCOMPARE(pinch[7], 16361);     // 0.9987
        for (std::size_t i = 8; i < pinch.size(); ++i) QCOMPARE(pinch[i], 16383);
        QVERIFY(panel.manager->sliderValues()[3] > 1.15);
        QCOMPARE(panel.slider(3)->value(), panel.slider(3)->maximum());
    }

    void handLeavingSendsZeroOnceForEveryRowThatWasNotZero() {
        Panel panel;
        // Thumb at the bottom edge: row 0 stays 0 and never sends.
        panel.deliverHand(testing::makeHand({.thumbY = 0.0, .indexY = 0.6, .middleY = 0.8, .pinch = 0.6}));
        const Sent first = panel.takeNrpns();
        QCOMPARE(first.size(), 4u);
        QCOMPARE(first[0], (NrpnMessage{0, 4, 1965})); // 0.12 x 16383 = 1965.96
        QCOMPARE(first[1], (NrpnMessage{0, 6, 2621}));

        panel.deliverNoHand();
        QCOMPARE(panel.takeNrpns(), (Sent{{0, 4, 0}, {0, 6, 0}, {0, 8, 0}, {0, 10, 0}}));
        panel.deliverNoHand();
        panel.deliverNoHand();
        QCOMPARE(panel.takeNrpns(), Sent{});
        for (int row = 0; row < 5; ++row) QCOMPARE(panel.slider(row)->value(), 0);
    }

    void pickerChangeSendsNothingUntilTheValueNextChanges() {
        Panel panel;
        panel.manager->setSliderValue(0, 0.5);
        panel.takeNrpns();

        QComboBox* picker = panel.picker(0);
        picker->setFocus();
        QTest::keyClick(picker, Qt::Key_Down); // "pm frequency A", parameter 3
        QCOMPARE(picker->currentData().toInt(), 3);
        picker->setCurrentIndex(11);
        QCOMPARE(panel.view->nrpnAssignments()[0], 12);
        QCOMPARE(panel.takeNrpns(), Sent{});

        // Row 1 now shares parameter 12; each row sends on its own changes.
        panel.picker(1)->setCurrentIndex(11);
        panel.manager->setSliderValue(0, 0.25);
        panel.manager->setSliderValue(1, 1.0);
        QCOMPARE(panel.takeNrpns(), (Sent{{0, 12, 4095}, {0, 12, 16383}}));
    }

    void draggingWithTheCameraOffStillSendsOncePerChange() {
        Panel panel;
        QTest::mouseClick(panel.toggle(), Qt::LeftButton);
        QVERIFY(!panel.content->isCameraEnabled());

        QSlider* slider = panel.slider(2);
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_End);
        QCOMPARE(panel.takeNrpns(), (Sent{{0, 6, 16383}}));

        // Each position stands for a value that sends that very number.
        for (int position = 0; position < 16383; ++position) slider->setValue(position);
        const Sent sent = panel.takeNrpns();
        QCOMPARE(sent.size(), 16383u);
        for (int position = 0; position < 16383; ++position) QCOMPARE(sent[static_cast<std::size_t>(position)].value, position);
        slider->setValue(16382);
        QCOMPARE(panel.takeNrpns(), Sent{});
        // The drag changed only the published value, not the smoothing memory.
        QCOMPARE(panel.manager->lastValues()[2], 0.0);
    }

    void nonFiniteValueIsNeverSent() {
        for (const Destination destination : {Destination::Present, Destination::Absent}) {
            Panel panel(destination);
            panel.view->sendCameraValue(std::numeric_limits<double>::quiet_NaN(), 5);
            panel.view->sendCameraValue(std::numeric_limits<double>::infinity(), 5);
            QVERIFY(panel.midi.sends().empty());
            QVERIFY(panel.console.lines().empty());
        }
    }

    void nothingIsSentWhenThePanelIsFirstShown() {
        Panel panel(Destination::Present, false);
        panel.manager->setSliderValue(0, 0.7);
        panel.takeNrpns();
        panel.buildView();
        QCOMPARE(panel.takeNrpns(), Sent{});
        QCOMPARE(panel.slider(0)->value(), 11468); // shown, though, as it would be sent (0.7 x 16383)
        QVERIFY(panel.console.lines().empty());
    }

    void everyMenuListsTheCatalogueAndRowsStartOnEvenParameters() {
        Panel panel;
        const QStringList firstTitles{"pm modulation frequency A", "decay A", "pm mod frequency B", "decay B",
                                      "pm modulation frequency C"};
        for (int row = 0; row < 5; ++row) {
            QComboBox* picker = panel.picker(row);
            QVERIFY(picker);
            QCOMPARE(picker->count(), 43);
            QCOMPARE(picker->itemText(0), QStringLiteral("pm modulation depth A"));
            QCOMPARE(picker->itemData(0).toInt(), 1);
            QCOMPARE(picker->itemText(42), QStringLiteral("mod F depth"));
            QCOMPARE(picker->itemData(42).toInt(), 43);
            QCOMPARE(picker->currentData().toInt(), 2 * (row + 1));
            QCOMPARE(picker->currentText(), firstTitles[row]);
            QCOMPARE(picker->width(), 200);
        }
        QVERIFY(!panel.slider(5));
    }

    void buttonFlipsTheTitleHidesTheAreaAndStopsTheSession() {
        Panel panel;
        QCOMPARE(panel.toggle()->text(), QStringLiteral("Disable Camera"));
        QVERIFY(panel.area()->isVisible());
        QCOMPARE(panel.area()->size(), QSize(300, 200));
        QVERIFY(panel.session->isRunning());

        QTest::mouseClick(panel.toggle(), Qt::LeftButton);
        QCOMPARE(panel.toggle()->text(), QStringLiteral("Enable Camera"));
        QVERIFY(!panel.area()->isVisible());
        QVERIFY(!panel.session->isRunning());
        QVERIFY(!panel.content->isCameraEnabled());

        QTest::mouseClick(panel.toggle(), Qt::LeftButton);
        QCOMPARE(panel.toggle()->text(), QStringLiteral("Disable Camera"));
        QVERIFY(panel.area()->isVisible());
        QVERIFY(panel.session->isRunning());

        // Switched elsewhere (another view of the same flag): the panel follows.
        panel.content->setCameraEnabled(false);
        QCOMPARE(panel.toggle()->text(), QStringLiteral("Enable Camera"));
        QVERIFY(!panel.session->isRunning());
    }

    void sessionRunsOnlyWhileTheAreaIsOnScreen() {
        Panel panel(Destination::Present, false);
        QCOMPARE(panel.session->startCount(), 0u); // building the manager never starts it
        panel.buildView();
        QVERIFY(panel.session->isRunning());

        panel.tabs->setCurrentIndex(0);
        QVERIFY(!panel.session->isRunning());
        panel.tabs->setCurrentIndex(1);
        QVERIFY(panel.session->isRunning());
        panel.tabs->hide();
        QVERIFY(!panel.session->isRunning());
        panel.tabs->show();
        QVERIFY(panel.session->isRunning());

        // Disabled: coming back to the tab leaves the camera off.
        QTest::mouseClick(panel.toggle(), Qt::LeftButton);
        panel.tabs->setCurrentIndex(0);
        panel.tabs->setCurrentIndex(1);
        QVERIFY(!panel.session->isRunning());
    }

    void noDestinationPrintsOneLinePerChangeAndSendsNothing() {
        Panel panel(Destination::Absent);
        panel.deliverHand(testing::makeHand({.thumbY = 0.5, .indexY = 0.5, .middleY = 0.5, .pinch = 0.1}));
        panel.manager->setSliderValue(0, 0.9);
        panel.manager->setSliderValue(0, 0.9);
        QCOMPARE(panel.console.lines(), std::vector<std::string>(6, "MIDI destination endpoint not connected."));
        QVERIFY(panel.midi.sends().empty());
    }

    void areaDrawsThePictureFilledWithBorderAndJoints() {
        Panel panel;
        // 3:1 into 3:2: the height fills the area and the outer 150 columns
        // on either side are cropped, so no green reaches the screen.
        const QColor green(0, 200, 0);
        const QColor blue(0, 0, 220);
        panel.deliverHand(testing::handWith({{HandJoint::Wrist, {0.5, 0.75, 0.9f}},
                                             {HandJoint::ThumbTip, {0.2, 0.5, 0.9f}},
                                             {HandJoint::IndexTip, {0.8, 0.5, 0.9f}},
                                             {HandJoint::MiddleTip, {0.5, 0.1, 0.9f}}}),
                          stripedFrame(600, 200, 150, green, blue));
        QTRY_VERIFY(!panel.area()->picture().isNull());
        QCOMPARE(panel.manager->handTrackingPoints().size(), 4u);

        const QImage shot = panel.area()->grab().toImage();
        QCOMPARE(shot.size(), QSize(300, 200));
        QVERIFY(!vantor::uitest::containsColour(shot, green));
        QVERIFY(near(shot.pixel(20, 20), blue));
        QVERIFY(near(shot.pixel(280, 180), blue));
        // Border: the outer 2 px, gray.
        for (const QPoint p : {QPoint(0, 100), QPoint(1, 100), QPoint(299, 100), QPoint(150, 0), QPoint(150, 198)}) {
            QVERIFY2(near(shot.pixel(p), Qt::gray, 20), qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
        }
        QVERIFY(near(shot.pixel(2, 100), blue));
        // Joints, y flipped: the wrist (0.5, 0.75) sits high, the middle tip (0.5, 0.1) low.
        for (const QPoint p : {QPoint(150, 50), QPoint(60, 100), QPoint(240, 100), QPoint(150, 180)}) {
            QVERIFY2(near(shot.pixel(p), Qt::red), qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
        }
        QVERIFY(near(shot.pixel(150, 100), blue));
        QVERIFY(near(shot.pixel(150, 58), blue)); // dots are 10 px across
        QVERIFY(near(shot.pixel(150, 20), blue));
    }

    void areaSaysWhatThePictureCannot_data() {
        QTest::addColumn<bool>("hasCamera");
        QTest::addColumn<bool>("canFindHands");
        QTest::addColumn<bool>("pulledOut");
        QTest::addColumn<QString>("notice");
        QTest::newRow("camera and hand models") << true << true << false << QString();
        QTest::newRow("no camera") << false << true << false << QStringLiteral("No camera found");
        QTest::newRow("no hand models: over the picture")
            << true << false << false << QStringLiteral("Hand tracking unavailable");
        QTest::newRow("camera pulled out: on black") << true << true << true << QStringLiteral("Camera disconnected");
    }
    void areaSaysWhatThePictureCannot() {
        QFETCH(bool, hasCamera);
        QFETCH(bool, canFindHands);
        QFETCH(bool, pulledOut);
        QFETCH(QString, notice);
        Panel panel(Destination::Present, true, hasCamera, canFindHands);
        const QColor blue(0, 0, 220);
        if (hasCamera) {
            QVERIFY(panel.session->deliver(stripedFrame(300, 200, 0, blue, blue)));
            QTRY_VERIFY(!panel.area()->picture().isNull());
        }
        if (pulledOut) {
            panel.session->loseCamera();
            panel.queue.runAll();
            QTRY_VERIFY(panel.area()->picture().isNull());
        }
        const bool pictureShown = hasCamera && !pulledOut;
        auto* label = panel.area()->findChild<QLabel*>(QStringLiteral("cameraNotice"));
        QCOMPARE(label->text(), notice);
        QCOMPARE(label->isVisible(), !notice.isEmpty());

        // Drawn white in the middle of the area, the picture (or black) around it.
        const QImage shot = panel.area()->grab().toImage();
        const QRect plate = label->geometry();
        if (!notice.isEmpty()) {
            QVERIFY(std::abs(plate.center().x() - 150) <= 1 && std::abs(plate.center().y() - 100) <= 1);
            QVERIFY(vantor::uitest::containsColour(shot.copy(plate), Qt::white, 60));
        }
        QCOMPARE(vantor::uitest::containsColour(shot.copy(QRect(100, 90, 100, 20)), Qt::white, 60), !notice.isEmpty());
        QVERIFY(near(shot.pixel(20, 20), pictureShown ? blue : QColor(Qt::black)));

        QTest::mouseClick(panel.toggle(), Qt::LeftButton); // switched off: no area, no notice
        QVERIFY(!label->isVisible());
    }

    void onePictureInFlightAndNoStalePictureAfterAHide() {
        Panel panel;
        for (std::uint32_t n = 1; n <= 3; ++n) QVERIFY(panel.session->deliver(testing::numberedFrame(n)));
        QApplication::processEvents();
        QCOMPARE(pictureNumber(panel.area()->picture()), 1); // 2 and 3 came while 1 was on its way
        QVERIFY(panel.session->deliver(testing::numberedFrame(4)));
        QApplication::processEvents();
        QCOMPARE(pictureNumber(panel.area()->picture()), 4);

        // Picture 5 is on its way when the tab is switched away and back.
        QVERIFY(panel.session->deliver(testing::numberedFrame(5)));
        panel.tabs->setCurrentIndex(0);
        panel.tabs->setCurrentIndex(1);
        QApplication::processEvents();
        QVERIFY(panel.area()->picture().isNull());
        QVERIFY(panel.session->deliver(testing::numberedFrame(6)));
        QApplication::processEvents();
        QCOMPARE(pictureNumber(panel.area()->picture()), 6);
    }

    void aCameraThatGoesAwayLeavesNoPicture() {
        Panel panel;
        QVERIFY(panel.session->deliver(testing::numberedFrame(1)));
        QApplication::processEvents();
        QCOMPARE(pictureNumber(panel.area()->picture()), 1);
        QVERIFY(panel.session->deliver(testing::numberedFrame(2))); // still on its way
        panel.session->loseCamera();
        QApplication::processEvents();
        QVERIFY(panel.area()->picture().isNull());
    }

    void panelGoneWhilePicturesFlowIsNeverCalledAgain() {
        Panel panel;
        QVERIFY(panel.session->deliver(testing::numberedFrame(1))); // still in the event queue
        delete panel.view; // from a window that stays open
        QVERIFY(!panel.session->isRunning());
        QApplication::processEvents();
        // Had the panel left its handler behind, this would call into freed memory.
        panel.session->startRunning();
        QVERIFY(panel.session->deliver(testing::numberedFrame(2)));
        panel.deliverNoHand();
    }

    void gestureTabOfTheWindowRunsTheCameraWhileSelected() {
        WindowHarness harness;
        harness.passSplash();
        CameraManager* manager = harness.view().cameraManager();
        QVERIFY(manager);
        QVERIFY(!manager->session().isRunning()); // built, not started
        harness.selectTab(vantor::surface::kGestureTabTag);
        QTRY_VERIFY(manager->session().isRunning());
        QVERIFY(harness.find<CameraControlView>(QStringLiteral("cameraControlView"), harness.view().gesturePage()));

        harness.find<QSlider>(QStringLiteral("cameraRow.1.slider"))->setValue(16383);
        QCOMPARE(harness.takeNrpns(), (Sent{{0, 4, 16383}}));

        harness.selectTab(vantor::surface::kUtilityTabTag);
        QVERIFY(!manager->session().isRunning());
    }

    void workerPicturesDoNotQueueUpBehindABusyInterface() {
        testing::RecordingMidiService midi;
        testing::ManualMainQueue queue;
        testing::ConsoleRecorder console;
        testing::ScriptedRandom random;
        vantor::surface::ContentView content(midi, queue, console, random);
        auto source = std::make_unique<testing::ScriptedFrameSource>(std::nullopt);
        auto* frames = source.get();
        CameraManager manager(std::make_unique<vantor::camera::WorkerCaptureSession>(std::move(source)),
                              std::make_unique<SlowNoHandDetector>(), queue, console);
        {
            CameraControlView view(manager, content, console);
            view.show();
            QVERIFY(manager.session().isRunning());
            // The interface is busy while the worker delivers 50 pictures.
            QVERIFY(testing::waitUntil([&] { return frames->framesRead() > 50; }));
            QApplication::processEvents();
            auto* area = view.findChild<CameraPreview*>(QStringLiteral("cameraArea"));
            const int shown = pictureNumber(area->picture());
            QVERIFY2(shown >= 0 && shown < 10, "the first picture waited, later ones were dropped");
            QTRY_VERIFY(pictureNumber(area->picture()) > 50);
            queue.runAll();
        }
        QVERIFY(!manager.session().isRunning());
        QVERIFY(!frames->isOpen());
    }
};

QTEST_MAIN(CameraPanelTest)
#include "CameraPanelTest.moc"
