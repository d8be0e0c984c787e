// The gesture tab's camera panel: the session following the tab, the rows'
// menus and sliders, the preview picture, its dots and its notices.

#include "ui/WindowHarness.h"
#include "ui/camera/CameraPreview.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using namespace vantor::testing::window;
namespace surface = vantor::surface;
namespace testing = vantor::testing;
namespace camera = vantor::camera;
namespace app = vantor::app;
using vantor::camera::HandJoint;

namespace {

// One picture through the camera session and the analysis, with the detector's answer.
void deliver(WindowHarness& harness, std::optional<camera::HandObservation> hand) {
    hand ? harness.detector->pushHand(*hand) : harness.detector->pushNoHand();
    QVERIFY(harness.session->deliver());
    harness.drain();
}

} // namespace

class CameraPanelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
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
        auto* area = harness.find<camera::CameraPreview>(QStringLiteral("cameraArea"));
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
        const camera::VideoFrame frame{kWidth, kHeight, bgr};
        for (const QSize shown : {QSize(300, 200), QSize(600, 400)}) {
            const QImage picture = camera::toImage(frame, shown);
            QCOMPARE(picture.size(), shown);
            QVERIFY(!containsColour(picture, Qt::green));
            const int w = shown.width(), h = shown.height();
            QCOMPARE(picture.pixelColor(0, 0), QColor(Qt::blue));
            QCOMPARE(picture.pixelColor(w / 2 - 1, h / 2), QColor(Qt::blue));
            QCOMPARE(picture.pixelColor(w / 2, h / 2), QColor(Qt::red));
            QCOMPARE(picture.pixelColor(w - 1, h - 1), QColor(Qt::red));
        }
        QVERIFY(camera::toImage({}, QSize(300, 200)).isNull());
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
        auto* area = harness.find<camera::CameraPreview>(QStringLiteral("cameraArea"));
        QCOMPARE(area->findChild<QLabel*>(QStringLiteral("cameraNotice"))->text(), notice);
        // Drawn white across the middle of the area.
        const QRect middle(area->width() / 3, area->height() / 2 - 10, area->width() / 3, 20);
        QCOMPARE(containsColour(area->grab().toImage().copy(middle), Qt::white, 60), !notice.isEmpty());
    }
};

QTEST_MAIN(CameraPanelTest)
#include "CameraPanelTest.moc"
