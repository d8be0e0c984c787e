// The real window and the real program over the system's MIDI services, against a private JACK server and
// vantor2-monitor, the stand-in destination that prints every NRPN it receives. The server dies last.
#include "JackTestBed.h"

#include "platform/midi/SystemMidiService.h"
#include "platform/qt/QtMainQueue.h"
#include "support/CoreFakes.h"
#include "surface/ContentView.h"
#include "ui/shell/MainWindow.h"
#include "ui/surface/ContentViewWidget.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

using namespace vantor;
using namespace vantor::e2e;

namespace {

bool programPortExists() { return jackPorts("^MidiClient[^:]*:OutPort$").value_or(0) > 0; }

// The window as the program builds it, over the system's MIDI services.
struct Window {
    explicit Window(RandomSource& random) : main(app::WindowSeams{*midi, queue, console, random}) { main.show(); }
    bool surfaceFoundTheMonitor() {
        return QTest::qWaitFor([&] { return main.contentView() != nullptr; }, 20000) &&
               main.findChild<QLabel*>("statusLine")->text() == QStringLiteral("vantor*2");
    }

    platform::QtMainQueue queue;
    std::unique_ptr<midi::MidiService> midi = platform::makeSystemMidiService(queue);
    testing::ConsoleRecorder console;
    app::MainWindow main;
};

} // namespace

class WindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(server_.waitUntilReady(), "jackd did not start");
        monitor_ = std::make_unique<ChildProcess>(std::vector<std::string>{VANTOR_MONITOR}, ChildProcess::Output::Pipe);
        QCOMPARE(nextLine(), std::string("listening: JACK vantor*2:in"));
    }

    // Which switch flips are announced is the surface's rule, tested without MIDI; here one roll that flips regen 2
    // on a slider page, where its announcement follows the roll.
    void diceSendsFortyFiveNrpnsAndOneMoreForASwitchItFlipsOnScreen() {
        testing::ScriptedRandom random; // 37 slider values, 7 mod flags, regen, then regen 2 (on)
        for (unsigned i = 1; i <= 45; ++i) random.push(0x0123456789abcdefULL * i >> 11);
        random.push(std::uint64_t{1} << 63);
        Window window(random);
        QVERIFY(window.surfaceFoundTheMonitor());
        auto& content = window.main.contentView()->content();
        // Half an NRPN first: the monitor warns once the roll's first comes, then decodes the roll.
        const std::vector<std::uint8_t> parameterOnly{0xB0, 99, 0, 0xB0, 98, 12};
        window.midi->send(content.midiManager().outPort(), *content.midiManager().connectedEndpoint(), parameterOnly);
        auto* tabs = window.main.findChild<QTabWidget*>("tabView")->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QTest::mouseClick(window.main.findChild<QPushButton*>("diceButton"), Qt::LeftButton);
        // The switches announce from the event loop; then "save preset" (111) closes the roll.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        content.pressUtilityCommand(0);
        QVERIFY(nextLine().starts_with("warning: "));
        std::vector<std::pair<int, int>> sent; // parameter, value
        static const QRegularExpression nrpn(QStringLiteral("^NRPN (\\d+)(?: \"[^\"]*\")? = (\\d+)$"));
        while (sent.empty() || sent.back().first != 111) {
            const std::string line = nextLine();
            const auto match = nrpn.match(QString::fromStdString(line));
            QVERIFY2(match.hasMatch(), line.c_str());
            sent.emplace_back(match.captured(1).toInt(), match.captured(2).toInt());
        }
        QCOMPARE(sent.size(), std::size_t{47});
        // Regen and regen 2 as they now stand, the 43 sliders as stored with the six depths at full scale.
        const int regen = content.modeFlag(modes::ModeSwitchId::Regen) ? 136 : 137;
        QCOMPARE(sent[0], std::make_pair(regen, regen));
        QCOMPARE(sent[1], std::make_pair(138, 138));
        for (int number = 1; number <= 43; ++number) {
            const int stored = int(content.sliderValues()[std::size_t(number) - 1]);
            QCOMPARE(sent[std::size_t(number) + 1], std::make_pair(number, stored));
            if (number >= 28 && number % 3 == 1) QCOMPARE(stored, 16383);
        }
        QCOMPARE(sent[45], std::make_pair(138, 138));
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
        testing::ScriptedRandom random;
        Window window(random);
        QVERIFY(window.surfaceFoundTheMonitor());
        server_.kill(SIGKILL);
        auto* status = window.main.findChild<QLabel*>("statusLine");
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("Not Connected"), 30000);
        QVERIFY(status->contentsRect().width() >= status->fontMetrics().horizontalAdvance(status->text()));
        auto* decayA = window.main.findChild<QSlider*>("slider.03");
        QTest::mouseClick(decayA, Qt::LeftButton, {}, QPoint(decayA->width() - 4, decayA->height() / 2));
        QCOMPARE(window.console.lines(), std::vector<std::string>{"No MIDI device connected."});
    }

private:
    // The monitor's next line, passing over the note a machine with ALSA adds.
    // The monitor's next line; the window's event loop runs meanwhile, as the
    // program's does, so that sends waiting for the wire's pace go out.
    std::string nextLine() {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            const auto line = monitor_->readLine(5ms);
            if (line && !line->starts_with("listening: ALSA ")) return *line;
        }
        return "<nothing within 20 s>";
    }

    JackServer server_;
    std::unique_ptr<ChildProcess> monitor_; // goes before the server
};

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
