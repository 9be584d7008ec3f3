#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "core/session.h"
#include "midi/midi_output.h"
#include "midi/rtmidi_backend.h"
#include "midi_test_util.h"
#include "support/scripted_shell.h"

namespace tolvex {
namespace {

using testing::sysex;

TEST(RtMidi, NoMidiSystemMeansNoDevicesAndNoNoise)
{
    // A server name nobody runs: the same as a machine without JACK. Put back
    // afterwards, since the JACK test may run in the same process.
    std::optional<std::string> saved;
    if (const char* old = std::getenv("JACK_DEFAULT_SERVER")) saved = old;
    setenv("JACK_DEFAULT_SERVER", format("tolvex-absent-%d", static_cast<int>(getpid())).c_str(), 1);

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(chooseMidiApi("jack"), MidiApi::None);
    testing::ScriptedShell shell;
    for (MidiApi api : {MidiApi::None, MidiApi::Jack}) {
        TMidiInput in(shell, makeRtMidiIn(api));
        TMidiOutput out(shell, makeRtMidiOut(api));
        EXPECT_EQ(in.Numdevs() + out.Numdevs(), 0);
        EXPECT_FALSE(in.Open() || out.Open());
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    saved ? setenv("JACK_DEFAULT_SERVER", saved->c_str(), 1) : unsetenv("JACK_DEFAULT_SERVER");
}

TEST(RtMidi, SysexAndProgramChangeTravelOverJackPorts)
{
    if (!jackServerRunning()) {
        // scripts/test.sh starts a server and sets this, so CI cannot pass by skipping.
        const char* required = std::getenv("TOLVEX_REQUIRE_JACK");
        if (required != nullptr && std::string(required) == "1") FAIL() << "no JACK server, although one is required";
        GTEST_SKIP() << "no JACK server running";
    }
    // Unique per process, since tests run in parallel against the same server.
    const std::string client = format("tolvex-test-%d", static_cast<int>(getpid()));
    testing::ScriptedShell shell;
    TMidiInput in(shell, makeRtMidiIn(MidiApi::Jack, client));
    in.SetProductName(kVirtualInName);
    in.SetSysexBufferCount(512);  // room for the bursts below while the test thread sleeps
    in.SetCapacity(8192);
    std::vector<TMyMidiEvent> events;
    testing::collectEvents(in, events);
    ASSERT_TRUE(in.Open()) << in.OpenError();
    in.Start();

    // The output connects to the input's virtual port by its JACK name.
    TMidiOutput out(shell, makeRtMidiOut(MidiApi::Jack, client));
    out.SetProductName(client + " In:" + kVirtualInName);
    ASSERT_TRUE(out.Open()) << out.OpenError();
    Session session(shell);
    session.midiOutput = &out;
    session.MIDI_Out_Present = true;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    const auto waitFor = [&](std::size_t count) {
        while (events.size() < count && std::chrono::steady_clock::now() < deadline) {
            shell.runPosted();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
    const Bytes big = sysex(10000, 1), small = sysex(300, 2);
    EXPECT_TRUE(session.SX_Object.MidiSysex_bulk_out(big));
    EXPECT_TRUE(session.SX_Object.MidiSysex_bulk_out(small));
    out.PutShort(0xC3, 0x05, 0);
    EXPECT_THROW(out.PutLong(sysex(20000)), EmidioutputError);  // more than JACK carries: said, not lost
    waitFor(5);
    EXPECT_EQ(testing::lengths(events), (std::vector<std::size_t>{4096, 4096, 1808, 300, 0}));
    EXPECT_EQ(testing::messages(events), (std::vector<Bytes>{big, small, {0xC3, 0x05, 0x00}}));

    // A burst far beyond what one JACK period carries arrives whole: RtMidi
    // alone would lose part of it without a word.
    events.clear();
    std::vector<Bytes> burst;
    for (int i = 0; i < 40; ++i) burst.push_back(sysex(6000, static_cast<std::uint8_t>(i)));
    for (int i = 0; i < 5000; ++i) burst.push_back({0xB0, 7, static_cast<std::uint8_t>(i & 0x7F)});
    for (const Bytes& m : burst) m[0] == 0xF0 ? out.PutLong(m) : out.PutShort(m[0], m[1], m[2]);
    waitFor(2 * 40 + 5000);
    EXPECT_TRUE(testing::messages(events) == burst)
        << events.size() << " events: the burst arrived damaged or incomplete";
    EXPECT_EQ(in.DroppedEvents(), 0u);
}

}  // namespace
}  // namespace tolvex
