// The real program, started as the user starts it: it ends cleanly on a
// quit signal in every state, during the splash and with the surface up.

#include "ChildProcess.h"
#include "JackServer.h"

#include "platform/jack/JackHandles.h"

#include <QTest>

#include <csignal>
#include <sys/wait.h>

using namespace std::chrono_literals;
using vantor::e2e::ChildProcess;

namespace {

// Whether the program's JACK client has registered its output port, which
// it does when the control surface is built.
bool programPortExists() {
    vantor::platform::silenceJackLibrary();
    jack_status_t status{};
    const vantor::platform::JackClientHandle probe(jack_client_open("quit-probe", JackNoStartServer, &status));
    if (!probe) return false;
    const vantor::platform::JackNameList ports(
        jack_get_ports(probe.get(), "^MidiClient[^:]*:OutPort$", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput));
    return ports && ports.get()[0] != nullptr;
}

bool endedNormally(ChildProcess& program) {
    const auto status = program.wait(20s);
    if (!status) {
        qWarning("the program did not end");
        return false;
    }
    if (!WIFEXITED(*status)) {
        qWarning("the program ended by signal %d", WIFSIGNALED(*status) ? WTERMSIG(*status) : -1);
        return false;
    }
    return WEXITSTATUS(*status) == 0;
}

} // namespace

class ProgramQuitTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        server_ = std::make_unique<vantor::e2e::JackServer>();
        QVERIFY2(server_->waitUntilReady(), "jackd did not start");
    }

    void cleanupTestCase() { server_.reset(); }

    void quitsDuringTheSplash() {
        ChildProcess program({VANTOR_PROGRAM}, ChildProcess::Output::Pipe);
        QVERIFY(program.started());
        // The splash lasts 1.5 s from the window's first showing, which comes
        // after the quit handlers are in place: a program that catches the
        // signal is still on its splash.
        QVERIFY(QTest::qWaitFor([&] { return program.catches(SIGTERM); }, 30000));
        program.signal(SIGTERM);
        QVERIFY(endedNormally(program));
        QVERIFY(!programPortExists()); // it never got as far as MIDI
    }

    void quitsWithTheSurfaceUpAndLeavesTheGraph() {
        ChildProcess program({VANTOR_PROGRAM}, ChildProcess::Output::Pipe);
        QVERIFY(program.started());
        QVERIFY(QTest::qWaitFor(programPortExists, 30000));
        program.signal(SIGINT);
        QVERIFY(endedNormally(program));
        QVERIFY(!programPortExists());
        QVERIFY(!program.readLine(100ms)); // nothing was sent, so nothing was printed
    }

private:
    std::unique_ptr<vantor::e2e::JackServer> server_;
};

QTEST_GUILESS_MAIN(ProgramQuitTest)
#include "ProgramQuitTest.moc"
