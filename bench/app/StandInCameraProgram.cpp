// vantor2 as src/app/main.cpp builds it, but with a stand-in camera: a black
// 640 x 480 picture every 33 ms, as a webcam delivers them, analysed by the
// real hand detector. Once the control surface is up it makes one move (as
// a user would, which connects its JACK port to the destination), opens the
// gesture tab, so the camera session runs, and prints "camera running" when
// the tenth picture has been read, or the number given as its one argument
// (1: the hand models are still being read). bench_app_startup quits it to
// time quitting with the camera running, which the real program cannot show
// on a machine without a camera.

#include "ui/shell/DarkLook.h"
#include "ui/shell/MainWindow.h"
#include "ui/surface/ContentViewWidget.h"
#include "camera/FrameSource.h"
#include "camera/WorkerCaptureSession.h"
#include "platform/handtracking/loader/HandTrackingLoader.h"
#include "platform/midi/SystemMidiService.h"
#include "platform/qt/QtMainQueue.h"
#include "platform/qt/QuitOnSignal.h"
#include "platform/system/GetrandomSource.h"
#include "platform/system/StdoutConsole.h"
#include "surface/ContentView.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stop_token>
#include <vector>

namespace {

using namespace std::chrono_literals;

class BlackPictures final : public vantor::camera::FrameSource {
public:
    explicit BlackPictures(std::atomic<int>& reads) : reads_(reads) {}

    bool hasInput() const override { return true; }
    vantor::camera::SourceStatus open() override {
        next_ = std::chrono::steady_clock::now();
        return vantor::camera::SourceStatus::Ready;
    }
    // Like a camera: the next picture is ready a frame period after the last,
    // and a stop ends the wait early.
    vantor::camera::FrameRead read(std::stop_token stop) override {
        next_ += 33ms;
        std::mutex mutex;
        std::condition_variable_any wakeUp;
        std::unique_lock lock(mutex);
        wakeUp.wait_until(lock, stop, next_, [] { return false; });
        if (stop.stop_requested()) return {};
        ++reads_;
        return {vantor::camera::SourceStatus::Ready, {kWidth, kHeight, picture_}};
    }
    void close() override {}

private:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;
    std::atomic<int>& reads_;
    std::chrono::steady_clock::time_point next_;
    std::shared_ptr<const std::vector<std::uint8_t>> picture_ =
        std::make_shared<const std::vector<std::uint8_t>>(static_cast<std::size_t>(kWidth * kHeight * 3), 0);
};

} // namespace

int main(int argc, char** argv) {
    const int readyAfter = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    vantor::app::applyDarkLook(application);
    vantor::platform::QuitOnSignal quitOnSignal;

    vantor::platform::QtMainQueue mainQueue;
    const auto midiService = vantor::platform::makeSystemMidiService(mainQueue);
    vantor::platform::StdoutConsole console;
    vantor::platform::GetrandomSource random;

    std::atomic<int> reads{0};
    const auto makeCameraManager = [&mainQueue, &console, &reads] {
        return vantor::handtracking::makeHandTrackingCameraManager(
            std::make_unique<vantor::camera::WorkerCaptureSession>(std::make_unique<BlackPictures>(reads)), mainQueue,
            console);
    };
    vantor::app::MainWindow window({*midiService, mainQueue, console, random, makeCameraManager});
    window.show();

    QTimer watch;
    bool moved = false;
    QObject::connect(&watch, &QTimer::timeout, &window, [&] {
        auto* surface = window.contentView();
        if (!surface) return;
        if (!moved) {
            // A user's first move: it connects our port to the destination.
            surface->content().editSlider(vantor::surface::TabTag(0), *vantor::surface::SliderIndex::of(0), 0.0);
            moved = true;
        }
        surface->content().setSelectedTab(vantor::surface::kGestureTabTag);
        if (reads.load() < readyAfter) return;
        watch.stop();
        std::printf("camera running\n");
        std::fflush(stdout);
    });
    watch.start(10ms);
    return QApplication::exec();
}
