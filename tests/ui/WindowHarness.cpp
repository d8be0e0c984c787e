#include "WindowHarness.h"

#include <QTabBar>

namespace vantor::uitest {

WindowHarness::WindowHarness(Setup setup) {
    if (setup.destination) destination = midi.addDestination("vantor*2");
    auto makeCamera = [this, setup] {
        auto scriptedSession = std::make_unique<testing::ScriptedCaptureSession>(setup.camera);
        auto scriptedDetector = std::make_unique<testing::ScriptedHandPoseDetector>();
        scriptedDetector->setCanFindHands(setup.handModels);
        session = scriptedSession.get();
        detector = scriptedDetector.get();
        return std::make_unique<camera::CameraManager>(std::move(scriptedSession), std::move(scriptedDetector), queue,
                                                       console);
    };
    window_ = std::make_unique<app::MainWindow>(app::WindowSeams{midi, queue, console, random, makeCamera});
    window_->show();
    QApplication::processEvents();
}

void WindowHarness::advance(std::chrono::milliseconds by) {
    queue.advance(by);
    queue.runAll();
    QApplication::processEvents();
}

void WindowHarness::selectTab(int tag) {
    QTabBar* bar = tabView().tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tabView().indexOf(&page(tag))).center());
    QApplication::processEvents();
}

Sent WindowHarness::takeNrpns() {
    auto sent = midi.nrpns();
    midi.clearSends();
    return sent;
}

bool containsColour(const QImage& image, const QColor& colour, int tolerance) {
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

} // namespace vantor::uitest

namespace vantor::midi {
char* toString(const NrpnMessage& message) {
    return QTest::toString(QStringLiteral("NRPN(parameter %1, value %2)").arg(message.parameter).arg(message.value));
}
} // namespace vantor::midi
