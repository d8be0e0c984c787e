#include "WindowHarness.h"

#include <QApplication>
#include <QTabBar>
#include <QTest>

#include <cmath>

namespace vantor::uitest {

WindowHarness::WindowHarness(Destination present) {
    if (present == Destination::Present) destination = fakes.midi.addDestination("vantor*2");
    window_ = std::make_unique<app::MainWindow>(fakes.seams());
    window_->show();
    QApplication::processEvents();
}

WindowHarness::~WindowHarness() = default;

void WindowHarness::advance(std::chrono::milliseconds by) {
    fakes.queue.advance(by);
    fakes.queue.runAll();
    QApplication::processEvents();
}

void WindowHarness::passSplash() { advance(app::MainWindow::kSplashTime); }

surface::ContentViewWidget& WindowHarness::view() {
    auto* view = window_->contentView();
    if (!view) qFatal("the control surface is not built yet");
    return *view;
}

QTabWidget& WindowHarness::tabView() { return *view().findChild<QTabWidget*>(QStringLiteral("tabView")); }

namespace {
int indexOfTag(int tag) {
    if (surface::isSliderTab(tag)) return tag;
    return tag == surface::kGestureTabTag ? static_cast<int>(surface::kTabsConfig.size())
                                          : static_cast<int>(surface::kTabsConfig.size()) + 1;
}
} // namespace

void WindowHarness::selectTab(int tag) {
    QTabBar* bar = tabView().tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(indexOfTag(tag)).center());
    QApplication::processEvents();
}

QWidget& WindowHarness::page(int tag) { return *tabView().widget(indexOfTag(tag)); }

std::vector<midi::NrpnMessage> WindowHarness::takeNrpns() {
    auto sent = fakes.midi.nrpns();
    fakes.midi.clearSends();
    return sent;
}

bool containsColour(const QImage& image, const QColor& colour, int tolerance) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) <= tolerance &&
                std::abs(pixel.green() - colour.green()) <= tolerance &&
                std::abs(pixel.blue() - colour.blue()) <= tolerance) {
                return true;
            }
        }
    }
    return false;
}

std::uint64_t wordForSliderValue(double value) {
    return static_cast<std::uint64_t>(std::ldexp(value / 16383.0, 53));
}

std::uint64_t wordForBoolean(bool on) { return on ? std::uint64_t{1} << 63 : 0; }

} // namespace vantor::uitest

namespace vantor::midi {
char* toString(const NrpnMessage& message) {
    return QTest::toString(QStringLiteral("NRPN(ch %1, parameter %2, value %3)")
                               .arg(message.channel)
                               .arg(message.parameter)
                               .arg(message.value));
}
} // namespace vantor::midi
