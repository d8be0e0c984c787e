// The real window and the real program over the system's MIDI services, against a private JACK server and
// vantor2-monitor, the stand-in destination that prints every NRPN it receives. The server dies last.
#include "JackTestBed.h"

#include "platform/midi/SystemMidiService.h"
#include "platform/qt/QtMainQueue.h"
#include "support/CoreFakes.h"
#include "ui/shell/MainWindow.h"
#include "ui/surface/ContentViewWidget.h"

#include <QLabel>
#include <QSlider>
#include <QTest>

using namespace vantor;
using namespace vantor::e2e;

namespace {

bool programPortExists() { return jackPorts("^MidiClient[^:]*:OutPort$").value_or(0) > 0; }

} // namespace

class WindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(server_.waitUntilReady(), "jackd did not start");
        monitor_ = std::make_unique<ChildProcess>(std::vector<std::string>{VANTOR_MONITOR}, ChildProcess::Output::Pipe);
        QVERIFY(monitor_->waitForLine("^listening: JACK vantor\\*2:in$", 20s));
    }

    void quitsCleanlyOnASignalAndLeavesNoJackPort_data() {
        QTest::addColumn<bool>("surfaceUp");
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM during the splash") << false << SIGTERM;
        QTest::newRow("SIGINT with the surface up") << true << SIGINT;
    }

    void quitsCleanlyOnASignalAndLeavesNoJackPort() {
        QFETCH(bool, surfaceUp);
        QFETCH(int, signal);
        ChildProcess program({VANTOR_PROGRAM}, ChildProcess::Output::Pipe);
        // The quit handlers come before the splash (1.5 s), the JACK port with the surface.
        QVERIFY(QTest::qWaitFor([&] { return surfaceUp ? programPortExists() : program.catches(signal); }, 30000));
        program.signal(signal);
        const auto status = program.wait(20s);
        QVERIFY(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
        QVERIFY(!programPortExists());
    }

    // Last: JACK's notice alone turns the header, before anything is sent.
    void killedServerShowsNotConnectedAndTheNextSliderMoveSaysSo() {
        // The window as the program builds it, over the system's MIDI services.
        platform::QtMainQueue queue;
        const auto midi = platform::makeSystemMidiService(queue);
        testing::ConsoleRecorder console;
        testing::ScriptedRandom random;
        app::MainWindow main(app::WindowSeams{*midi, queue, console, random});
        main.show();
        QVERIFY(QTest::qWaitFor([&] { return main.contentView() != nullptr; }, 20000));
        auto* status = main.findChild<QLabel*>("statusLine");
        QCOMPARE(status->text(), QStringLiteral("vantor*2"));
        server_.kill(SIGKILL);
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("Not Connected"), 30000);
        QVERIFY(status->contentsRect().width() >= status->fontMetrics().horizontalAdvance(status->text()));
        auto* decayA = main.findChild<QSlider*>("slider.03");
        QTest::mouseClick(decayA, Qt::LeftButton, {}, QPoint(decayA->width() - 4, decayA->height() / 2));
        QCOMPARE(console.lines(), std::vector<std::string>{"No MIDI device connected."});
    }

private:
    JackServer server_;
    std::unique_ptr<ChildProcess> monitor_; // goes before the server
};

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
