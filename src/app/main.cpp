#include "ui/shell/DarkLook.h"
#include "ui/shell/MainWindow.h"
#include "platform/camera/DefaultCamera.h"
#include "platform/handtracking/loader/HandTrackingLoader.h"
#include "platform/midi/SystemMidiService.h"
#include "platform/qt/QtMainQueue.h"
#include "platform/qt/QuitOnSignal.h"
#include "platform/system/GetrandomSource.h"
#include "platform/system/StdoutConsole.h"

#include <QApplication>

int main(int, char** argv) {
    // The program takes no arguments: Qt sees only the program's name, so
    // no option can change what it does.
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vantor2.Vantor2"));
    vantor::app::applyDarkLook(application);
    vantor::platform::QuitOnSignal quitOnSignal;

    vantor::platform::QtMainQueue mainQueue;
    // Opening the MIDI client and looking up the destination wait until the
    // control surface is built, after the splash. The service tells of a
    // JACK server that shut down through the queue, so it goes first.
    const auto midiService = vantor::platform::makeSystemMidiService(mainQueue);
    vantor::platform::StdoutConsole console;
    vantor::platform::GetrandomSource random;

    // Built after the splash, with the control surface. The hand tracker and
    // its models are loaded when the camera delivers its first picture;
    // without their files (a broken installation) hand tracking is off, said
    // once on standard error and in the camera panel. The window, and with
    // it the manager and its worker, goes before the queue and the
    // application.
    const auto makeCameraManager = [&mainQueue, &console] {
        return vantor::handtracking::makeHandTrackingCameraManager(vantor::platform::makeDefaultCaptureSession(),
                                                                   mainQueue, console);
    };
    vantor::app::MainWindow window({*midiService, mainQueue, console, random, makeCameraManager});
    window.show();
    return QApplication::exec();
}
