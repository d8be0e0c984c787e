#include "midi/MidiManager.h"
#include "platform/midi/SystemMidiService.h"
#include "support/ManualMainQueue.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace vantor::platform {
namespace {

// The real services on a machine with no JACK server under the name used
// (and, where /dev/snd is absent, no ALSA sequencer): the program finds no
// destination, prints nothing and does not crash.
TEST(MissingServices, NoServerMeansNoDestinationsAndNotAWord) {
    if (std::filesystem::exists("/dev/snd/seq")) GTEST_SKIP() << "this machine has an ALSA sequencer";
    setenv("JACK_DEFAULT_SERVER", ("vantor-unit-nobody-" + std::to_string(getpid())).c_str(), 1);

    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    std::size_t count = 0;
    bool connected = true;
    midi::SendResult result = midi::SendResult::Sent;
    {
        testing::ManualMainQueue queue;
        const auto service = makeSystemMidiService(queue);
        midi::MidiManager manager(*service);
        connected = manager.isConnected();
        count = service->destinationCount();
        manager.sendNRPN(1, 1, 0, 1);
        result = manager.lastSendResult();
    }
    const std::string out = ::testing::internal::GetCapturedStdout();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(connected);
    EXPECT_EQ(count, 0u);
    EXPECT_NE(result, midi::SendResult::Sent);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "");
}

} // namespace
} // namespace vantor::platform
