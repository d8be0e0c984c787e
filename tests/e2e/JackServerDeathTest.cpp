#include "JackReceiver.h"
#include "JackServer.h"

#include "midi/MidiManager.h"
#include "platform/jack/JackMidiService.h"

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

namespace vantor::e2e {
namespace {

using midi::MidiManager;
using midi::SendResult;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct DeathCase {
    std::string name;
    int signal;
    friend std::ostream& operator<<(std::ostream& out, const DeathCase& c) { return out << c.name; }
};

class JackServerDeath : public ::testing::TestWithParam<DeathCase> {
protected:
    void SetUp() override { ASSERT_TRUE(server.waitUntilReady()) << "jackd did not start"; }

    JackServer server;
};

TEST_P(JackServerDeath, TheSenderKeepsRunningWhenTheServerDiesMidStream) {
    auto synth = std::make_unique<JackReceiver>("vantor*2", std::vector<std::string>{"in"});
    ASSERT_TRUE(synth->ok());
    auto service = std::make_unique<platform::JackMidiService>();
    MidiManager manager(*service);
    ASSERT_TRUE(manager.isConnected());
    const auto destination = *manager.connectedEndpoint();

    // The server dies while the main thread is sending as fast as it can.
    std::thread killer([&] {
        waitFor([&] { return synth->take().size() > 0; }, 20s);
        server.kill(GetParam().signal);
    });
    std::size_t sends = 0;
    std::size_t sentAfterShutdown = 0;
    const auto deadline = Clock::now() + 30s;
    while (Clock::now() < deadline && sentAfterShutdown < 1000) {
        const bool toldBefore = service->serverGone();
        manager.sendNRPN(sends % 16384, 1 + (sends % 43), 0, destination);
        ++sends;
        const auto result = manager.lastSendResult();
        EXPECT_TRUE(result == SendResult::Sent || result == SendResult::QueueFull ||
                    result == SendResult::ServiceGone || result == SendResult::DestinationGone)
            << "result " << static_cast<int>(result);
        if (toldBefore) {
            // Once JACK has told us, every send gives up at once.
            EXPECT_EQ(static_cast<int>(result), static_cast<int>(SendResult::ServiceGone));
            ++sentAfterShutdown;
        }
    }
    killer.join();
    EXPECT_TRUE(service->serverGone()) << "no shutdown notice within 30 s, after " << sends << " sends";
    EXPECT_FALSE(manager.isConnected()) << "the manager forgets a destination whose server is gone";

    // A fresh lookup finds nothing, and closing everything returns.
    EXPECT_EQ(service->destinationCount(), 0u);
    const auto closing = Clock::now();
    service.reset();
    synth.reset();
    EXPECT_LT(Clock::now() - closing, 20s);
}

INSTANTIATE_TEST_SUITE_P(Signals, JackServerDeath,
                         ::testing::Values(DeathCase{"terminated", SIGTERM}, DeathCase{"killed", SIGKILL}),
                         [](const auto& row) { return row.param.name; });

} // namespace
} // namespace vantor::e2e
