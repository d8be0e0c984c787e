#include "app/DarkLook.h"
#include "app/MainWindow.h"
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
    vantor::app::applyDarkLook(application);
    vantor::platform::QuitOnSignal quitOnSignal;

    // Opening the MIDI client and looking up the destination wait until the
    // control surface is built, after the splash.
    const auto midiService = vantor::platform::makeSystemMidiService();
    vantor::platform::StdoutConsole console;
    vantor::platform::GetrandomSource random;
    vantor::platform::QtMainQueue mainQueue;

    vantor::app::MainWindow window({*midiService, mainQueue, console, random});
    window.show();
    return QApplication::exec();
}
