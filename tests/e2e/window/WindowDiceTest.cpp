// The real window with the real MIDI backends, against a private JACK
// server and the stand-in destination vantor2-monitor, which prints every
// NRPN it receives; last, the server dies under the window.

#include "ChildProcess.h"
#include "JackServer.h"

#include "ui/shell/MainWindow.h"
#include "platform/midi/SystemMidiService.h"
#include "platform/qt/QtMainQueue.h"
#include "platform/system/GetrandomSource.h"
#include "support/ConsoleRecorder.h"
#include "support/ScriptedRandom.h"
#include "surface/ContentView.h"
#include "ui/surface/ContentViewWidget.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <csignal>
#include <cmath>
#include <memory>

using namespace std::chrono_literals;
using vantor::e2e::ChildProcess;
using vantor::modes::ModeSwitchId;
namespace surface = vantor::surface;

namespace {

struct Received {
    int parameter;
    int value;
};

// The mod buttons have no numbers: each roll names all seven instead.
std::vector<std::string> modButtonLines(int rolls) {
    std::vector<std::string> lines;
    for (int roll = 0; roll < rolls; ++roll) {
        for (int button = 1; button <= 7; ++button) {
            lines.push_back("NRPN numbers not defined for tab " + std::to_string(button));
        }
    }
    return lines;
}

constexpr int kMarkerParameter = 111; // "save preset", sent after everything else has run

// How wide the text drawn on `label` is: the columns holding a pixel unlike
// the background at its left edge.
int inkWidth(QLabel* label) {
    const QImage shot = label->grab().toImage();
    const QColor background = shot.pixelColor(0, shot.height() / 2);
    int first = -1;
    int last = -1;
    for (int x = 0; x < shot.width(); ++x) {
        for (int y = 0; y < shot.height(); ++y) {
            const QColor pixel = shot.pixelColor(x, y);
            if (std::abs(pixel.lightness() - background.lightness()) > 60) {
                if (first < 0) first = x;
                last = x;
                break;
            }
        }
    }
    return first < 0 ? 0 : last - first + 1;
}

// Whether `label` shows its text on screen: ink as wide as the text is.
bool drawsItsText(QLabel* label) {
    const int expected = QFontMetrics(label->font()).horizontalAdvance(label->text());
    const int drawn = inkWidth(label);
    if (std::abs(drawn - expected) <= 4) return true;
    qWarning("\"%s\" is %d px wide on screen, %d px in its font", qPrintable(label->text()), drawn, expected);
    return false;
}

// Words for a dice roll: 37 slider values, 7 mod flags, regen, regen 2.
void scriptRoll(vantor::testing::ScriptedRandom& random, bool regen2) {
    for (int i = 0; i < 37 + 7 + 1; ++i) random.push(0x0123456789abcdefULL * static_cast<unsigned>(i + 1) >> 11);
    random.push(regen2 ? std::uint64_t{1} << 63 : 0);
}

} // namespace

class WindowDiceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        server_ = std::make_unique<vantor::e2e::JackServer>();
        QVERIFY2(server_->waitUntilReady(), "jackd did not start");
        monitor_ = std::make_unique<ChildProcess>(std::vector<std::string>{VANTOR_MONITOR}, ChildProcess::Output::Pipe);
        QVERIFY(monitor_->started());
        const auto first = monitor_->readLine(20s);
        QVERIFY2(first && first->starts_with("listening:"), first ? first->c_str() : "no line from the monitor");
    }

    void cleanupTestCase() {
        monitor_.reset(); // stops the monitor, then the server goes
        server_.reset();
    }

    // On the utility tab no page switch is on screen: exactly 45 NRPNs,
    // whatever the roll did to the regen 2 flag.
    void diceOnTheUtilityTabSendsFortyFive() {
        vantor::platform::GetrandomSource random;
        Window window(random);
        QVERIFY(window.build());
        window.selectTab(surface::kUtilityTabTag);
        QTest::mouseClick(window.find<QPushButton>("diceButton"), Qt::LeftButton);
        window.sendMarker();
        const auto received = readThroughMarker();
        QCOMPARE(received.size(), 45u + 1u);
        checkRoll(received, window.content());
        QCOMPARE(window.console.lines(), modButtonLines(1));
    }

    // On a slider page the algorithm-mode switch is on screen and announces
    // a change of its flag once more, after the roll.
    void diceOnASliderPageAnnouncesAFlippedAlgorithmMode() {
        vantor::testing::ScriptedRandom random;
        scriptRoll(random, true);  // regen 2 flips on
        scriptRoll(random, true);  // ... and stays on
        Window window(random);
        QVERIFY(window.build());
        window.selectTab(1);

        QTest::mouseClick(window.find<QPushButton>("diceButton"), Qt::LeftButton);
        window.sendMarker();
        auto received = readThroughMarker();
        QCOMPARE(received.size(), 45u + 1u + 1u);
        checkRoll(received, window.content());
        QCOMPARE(received[45].parameter, 138);
        QCOMPARE(received[45].value, 138);

        QTest::mouseClick(window.find<QPushButton>("diceButton"), Qt::LeftButton);
        window.sendMarker();
        received = readThroughMarker();
        QCOMPARE(received.size(), 45u + 1u);
        checkRoll(received, window.content());
        QCOMPARE(window.console.lines(), modButtonLines(2));
    }

    // Last: the server goes for good. JACK's notice alone turns the status
    // line, before anything is sent; the next move takes the not-connected path.
    void killedServerShowsNotConnectedAndTheNextMovePrints() {
        vantor::platform::GetrandomSource random;
        Window window(random);
        QVERIFY(window.build());
        auto* status = window.find<QLabel>("statusLine");
        QVERIFY(drawsItsText(status));

        server_->kill(SIGKILL);
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("Not Connected"), 30000);
        QVERIFY(drawsItsText(status));
        QVERIFY(window.console.lines().empty());

        auto* decayA = window.find<QSlider>("slider.03");
        const QPoint middle = decayA->rect().center();
        QTest::mouseClick(decayA, Qt::LeftButton, {}, QPoint(decayA->width() - 4, middle.y()));
        QVERIFY(!window.console.lines().empty());
        QCOMPARE(window.console.lines().back(), std::string("No MIDI device connected."));
    }

private:
    // One program's worth of window over the system's MIDI service.
    struct Window {
        explicit Window(vantor::RandomSource& random)
            : midi(vantor::platform::makeSystemMidiService(queue)),
              window(std::make_unique<vantor::app::MainWindow>(
                  vantor::app::WindowSeams{*midi, queue, console, random})) {}
        ~Window() { window.reset(); }

        bool build() {
            window->show();
            // The surface, and so the lookup, comes after the splash.
            if (!QTest::qWaitFor([&] { return window->contentView() != nullptr; }, 20000)) return false;
            auto* status = find<QLabel>("statusLine");
            if (status->text() != QStringLiteral("vantor*2")) {
                qWarning("status line reads %s", qPrintable(status->text()));
                return false;
            }
            return true;
        }

        template <typename T>
        T* find(const char* name) {
            return window->findChild<T*>(QString::fromLatin1(name));
        }

        surface::ContentView& content() { return window->contentView()->content(); }

        void selectTab(int tag) {
            auto* tabs = find<QTabWidget>("tabView");
            int index = tag;
            if (tag == surface::kGestureTabTag) index = 5;
            if (tag == surface::kUtilityTabTag) index = 6;
            QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(index).center());
            QCoreApplication::processEvents();
        }

        // Runs what the roll queued (the watchers' announcements), then sends
        // a marker that closes this roll's messages.
        void sendMarker() {
            QCoreApplication::processEvents();
            QCoreApplication::processEvents();
            content().pressUtilityCommand(0);
        }

        vantor::platform::QtMainQueue queue;
        std::unique_ptr<vantor::midi::MidiService> midi;
        vantor::testing::ConsoleRecorder console;
        std::unique_ptr<vantor::app::MainWindow> window;
    };

    std::vector<Received> readThroughMarker() {
        static const QRegularExpression nrpnLine(QStringLiteral("^NRPN (\\d+)(?: \"[^\"]*\")? = (\\d+)$"));
        std::vector<Received> received;
        while (received.empty() || received.back().parameter != kMarkerParameter) {
            const auto line = monitor_->readLine(20s);
            if (!line) {
                qWarning("the monitor fell silent after %zu messages", received.size());
                return received;
            }
            const auto match = nrpnLine.match(QString::fromStdString(*line));
            if (!match.hasMatch()) {
                qWarning("monitor: %s", line->c_str());
                continue;
            }
            received.push_back({match.captured(1).toInt(), match.captured(2).toInt()});
        }
        return received;
    }

    // The first 45: regen and regen 2 as the flags now stand, then the 43
    // sliders as stored, truncated, the six depth sliders at full scale.
    static void checkRoll(const std::vector<Received>& received, surface::ContentView& content) {
        QVERIFY(received.size() >= 45u);
        const int regen = content.modeFlag(ModeSwitchId::Regen) ? 136 : 137;
        const int regen2 = content.modeFlag(ModeSwitchId::Regen2) ? 138 : 139;
        QCOMPARE(received[0].parameter, regen);
        QCOMPARE(received[0].value, regen);
        QCOMPARE(received[1].parameter, regen2);
        QCOMPARE(received[1].value, regen2);
        for (int index = 0; index < 43; ++index) {
            const Received& slider = received[static_cast<std::size_t>(index) + 2];
            const int number = index + 1;
            QCOMPARE(slider.parameter, number);
            const double stored = content.sliderValues()[static_cast<std::size_t>(index)];
            QCOMPARE(slider.value, static_cast<int>(std::trunc(stored)));
            if (number == 28 || number == 31 || number == 34 || number == 37 || number == 40 || number == 43) {
                QCOMPARE(slider.value, 16383);
            }
        }
        QCOMPARE(received.back().parameter, kMarkerParameter);
    }

    std::unique_ptr<vantor::e2e::JackServer> server_;
    std::unique_ptr<ChildProcess> monitor_;
};

QTEST_MAIN(WindowDiceTest)
#include "WindowDiceTest.moc"
