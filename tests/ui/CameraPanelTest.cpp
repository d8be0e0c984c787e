// The camera panel in the gesture tab: every change of a row's value goes out
// once, scaled to 14 bits and clamped, to the parameter the row's menu shows;
// the camera runs while its area is on screen, and the area draws the joints
// and says what the picture cannot.

#include "WindowHarness.h"

#include "support/HandFrames.h"
#include "ui/camera/CameraPreview.h"

#include <QComboBox>

#include <limits>

using vantor::camera::HandJoint;
using vantor::uitest::Sent;
using vantor::uitest::WindowHarness;
constexpr int kGestureTab = vantor::surface::kGestureTabTag;

namespace {

// One picture through the session and the analysis, with the detector's answer.
void deliver(WindowHarness& harness, std::optional<vantor::camera::HandObservation> hand) {
    hand ? harness.detector->pushHand(*hand) : harness.detector->pushNoHand();
    QVERIFY(harness.session->deliver());
    harness.drain();
}

} // namespace

class CameraPanelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rowValueIsSentTruncatedAndClamped() {
        const std::pair<double, Sent> changes[] = {
            {1.0, {{0, 8, 16383}}},
            {0.5, {{0, 8, 8191}}},  // 8191.5
            {0.25, {{0, 8, 4095}}}, // 4095.75
            {1.2, {{0, 8, 16383}}}, // a wide pinch, not wrapped to 3275
            {-0.1, {{0, 8, 0}}},
            {std::numeric_limits<double>::quiet_NaN(), {}},
        };
        WindowHarness harness;
        harness.passSplash();
        for (const auto& [value, sent] : changes) {
            harness.cameraManager().setSliderValue(3, value); // the pinch row, parameter 8
            QCOMPARE(harness.takeNrpns(), sent);
        }
        QVERIFY(harness.console.lines().empty());
    }

    void handLeavingSendsZeroOnceForEveryRowThatWasNotZero() {
        WindowHarness harness;
        harness.passSplash();
        harness.selectTab(kGestureTab);
        // The thumb at the bottom edge: row 0 stays 0.
        deliver(harness, vantor::testing::makeHand({.thumbY = 0.0, .indexY = 0.6, .middleY = 0.8, .pinch = 0.6}));
        QCOMPARE(harness.takeNrpns().size(), 4u);
        for (int frame = 0; frame < 3; ++frame) deliver(harness, std::nullopt);
        QCOMPARE(harness.takeNrpns(), (Sent{{0, 4, 0}, {0, 6, 0}, {0, 8, 0}, {0, 10, 0}}));
    }

    void pickerChangeSendsNothingAndTwoRowsOnOneParameterBothSend() {
        WindowHarness harness;
        harness.passSplash();
        harness.cameraManager().setSliderValue(0, 0.5);
        harness.takeNrpns();
        for (int row : {0, 1}) {
            harness.find<QComboBox>(QStringLiteral("cameraRow.%1.picker").arg(row))->setCurrentIndex(11); // NRPN 12
        }
        QVERIFY(harness.takeNrpns().empty());
        harness.cameraManager().setSliderValue(0, 0.25);
        harness.cameraManager().setSliderValue(1, 1.0);
        QCOMPARE(harness.takeNrpns(), (Sent{{0, 12, 4095}, {0, 12, 16383}}));
    }

    void cameraRunsWhileItsTabIsShownAndRowSlidersSendEachPositionWithItOff() {
        WindowHarness harness;
        harness.passSplash();
        QVERIFY(!harness.session->isRunning()); // built, not started
        harness.selectTab(kGestureTab);
        QVERIFY(harness.session->isRunning());
        harness.selectTab(vantor::surface::kUtilityTabTag);
        QVERIFY(!harness.session->isRunning());
        harness.selectTab(kGestureTab);
        QVERIFY(harness.session->isRunning());

        auto* toggle = harness.find<QPushButton>(QStringLiteral("cameraToggle"));
        QCOMPARE(toggle->text(), QStringLiteral("Disable Camera"));
        QTest::mouseClick(toggle, Qt::LeftButton);
        QCOMPARE(toggle->text(), QStringLiteral("Enable Camera"));
        QVERIFY(!harness.session->isRunning());

        auto* middle = harness.find<QSlider>(QStringLiteral("cameraRow.2.slider")); // NRPN 6
        for (int position = 1; position <= 16383; ++position) middle->setValue(position);
        const Sent sent = harness.takeNrpns();
        QCOMPARE(sent.size(), 16383u);
        for (int position = 1; position <= 16383; ++position) QCOMPARE(sent[position - 1], (vantor::midi::NrpnMessage{0, 6, position}));
    }

    void withoutDestinationEveryChangePrintsOneLineAndNothingIsSent() {
        WindowHarness harness({.destination = false});
        harness.passSplash();
        harness.cameraManager().setSliderValue(0, 0.9);
        harness.cameraManager().setSliderValue(0, 0.9);
        harness.cameraManager().setSliderValue(1, 0.5);
        QCOMPARE(harness.console.lines(), std::vector<std::string>(2, "MIDI destination endpoint not connected."));
        QVERIFY(harness.midi.sends().empty());
    }

    void areaDrawsEveryJointAsARedDotWithYUp() {
        WindowHarness harness;
        harness.passSplash();
        harness.selectTab(kGestureTab);
        const std::pair<HandJoint, QPointF> joints[] = {{HandJoint::Wrist, {0.5, 0.75}},
                                                        {HandJoint::ThumbTip, {0.2, 0.5}},
                                                        {HandJoint::IndexTip, {0.8, 0.5}},
                                                        {HandJoint::MiddleTip, {0.5, 0.1}}};
        vantor::camera::HandObservation hand;
        for (const auto& [joint, at] : joints) hand.joints[std::size_t(joint)] = {at.x(), at.y(), 0.9f};
        deliver(harness, hand);
        auto* area = harness.find<vantor::camera::CameraPreview>(QStringLiteral("cameraArea"));
        const QImage shot = area->grab().toImage();
        const auto dotAt = [&](double x, double y) {
            const QPoint centre(int(x * area->width()), int(y * area->height()));
            return vantor::uitest::containsColour(shot.copy(QRect(centre - QPoint(1, 1), QSize(3, 3))), Qt::red);
        };
        for (const auto& [joint, at] : joints) {
            QVERIFY(dotAt(at.x(), 1 - at.y()));
            if (at.y() != 0.5) QVERIFY(!dotAt(at.x(), at.y())); // not upside down
        }
    }

    void areaSaysWhatThePictureCannot_data() {
        QTest::addColumn<vantor::uitest::Setup>("setup");
        QTest::addColumn<bool>("pulledOut");
        QTest::addColumn<QString>("notice");
        QTest::newRow("camera and hand models: nothing") << vantor::uitest::Setup{} << false << QString();
        QTest::newRow("no camera") << vantor::uitest::Setup{.camera = false} << false << "No camera found";
        QTest::newRow("no hand models") << vantor::uitest::Setup{.handModels = false} << false << "Hand tracking unavailable";
        QTest::newRow("camera pulled out") << vantor::uitest::Setup{} << true << "Camera disconnected";
    }
    void areaSaysWhatThePictureCannot() {
        QFETCH(vantor::uitest::Setup, setup);
        QFETCH(bool, pulledOut);
        QFETCH(QString, notice);
        WindowHarness harness(setup);
        harness.passSplash();
        harness.selectTab(kGestureTab);
        if (pulledOut) harness.session->loseCamera();
        harness.drain();
        auto* area = harness.find<vantor::camera::CameraPreview>(QStringLiteral("cameraArea"));
        QCOMPARE(area->findChild<QLabel*>(QStringLiteral("cameraNotice"))->text(), notice);
        // Drawn white across the middle of the area.
        const QRect middle(area->width() / 3, area->height() / 2 - 10, area->width() / 3, 20);
        QCOMPARE(vantor::uitest::containsColour(area->grab().toImage().copy(middle), Qt::white, 60), !notice.isEmpty());
    }
};

QTEST_MAIN(CameraPanelTest)
#include "CameraPanelTest.moc"
