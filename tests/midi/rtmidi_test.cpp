#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "core/session.h"
#include "midi/midi_input.h"
#include "midi/midi_output.h"
#include "midi/rtmidi_backend.h"
#include "midi_test_util.h"
#include "support/scripted_shell.h"

namespace tolvex {
namespace {

using testing::collectEvents;
using testing::ScriptedShell;
using testing::sysex;

// scripts/test.sh starts a JACK server and sets this, so CI cannot pass by skipping.
bool jackRequired()
{
    const char* v = std::getenv("TOLVEX_REQUIRE_JACK");
    return v != nullptr && std::string(v) == "1";
}

// Restores an environment variable when the test ends (tests may share a process).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value, 1);
    }
    ~ScopedEnv()
    {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(RtMidi, NoMidiSystemMeansNoDevicesAndNoNoise)
{
    // A server name nobody runs: the same as a machine without JACK.
    ScopedEnv server("JACK_DEFAULT_SERVER", format("tolvex-absent-%d", static_cast<int>(getpid())).c_str());
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(chooseMidiApi("jack"), MidiApi::None);
    EXPECT_EQ(chooseMidiApi("none"), MidiApi::None);
    if (!alsaSequencerAvailable()) {
        EXPECT_EQ(chooseMidiApi(""), MidiApi::None);
        EXPECT_EQ(chooseMidiApi("alsa"), MidiApi::None);
    }
    ScriptedShell shell;
    for (MidiApi api : {MidiApi::None, MidiApi::Jack}) {
        TMidiInput in(shell, makeRtMidiIn(api));
        TMidiOutput out(shell, makeRtMidiOut(api));
        EXPECT_EQ(in.Numdevs(), 0);
        EXPECT_EQ(out.Numdevs(), 0);
        EXPECT_FALSE(in.Open());
        EXPECT_FALSE(out.Open());
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(RtMidi, SysexAndProgramChangeTravelOverJackPorts)
{
    if (!jackServerRunning()) {
        if (jackRequired()) FAIL() << "no JACK server, although scripts/test.sh started one";
        GTEST_SKIP() << "no JACK server running";
    }
    // Unique per process, since tests run in parallel against the same server.
    const std::string client = format("tolvex-test-%d", static_cast<int>(getpid()));
    ScriptedShell shell;
    TMidiInput in(shell, makeRtMidiIn(MidiApi::Jack, client));
    ASSERT_GT(in.Numdevs(), 0);
    EXPECT_EQ(in.DeviceNames().back(), kVirtualInName);
    in.SetProductName(kVirtualInName);
    in.SetSysexBufferCount(512);  // room for the bursts below while the test thread sleeps
    in.SetCapacity(8192);
    std::vector<TMyMidiEvent> events;
    collectEvents(in, events);
    ASSERT_TRUE(in.Open()) << in.OpenError();
    in.Start();

    // The output connects to the input's virtual port by its JACK name.
    TMidiOutput out(shell, makeRtMidiOut(MidiApi::Jack, client));
    EXPECT_EQ(out.DeviceNames().back(), kVirtualOutName);
    out.SetProductName(client + " In:" + kVirtualInName);
    ASSERT_TRUE(out.Open()) << out.OpenError();
    Session session(shell);
    session.midiOutput = &out;
    session.MIDI_Out_Present = true;

    const Bytes big = sysex(10000, 1), small = sysex(300, 2);
    EXPECT_TRUE(session.SX_Object.MidiSysex_bulk_out(big));
    EXPECT_TRUE(session.SX_Object.MidiSysex_bulk_out(small));
    out.PutShort(0xC3, 0x05, 0);
    EXPECT_THROW(out.PutLong(sysex(20000)), EmidioutputError);  // more than JACK carries: said, not lost

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (events.size() < 5 && std::chrono::steady_clock::now() < deadline) {
        shell.runPosted();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(events.size(), 5u);
    const std::size_t lengths[] = {4096, 4096, 1808, 300, 0};
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(events[i].SysexLength(), lengths[i]) << i;
    Bytes joined;
    for (std::size_t i = 0; i < 3; ++i) joined.insert(joined.end(), events[i].Sysex.begin(), events[i].Sysex.end());
    EXPECT_EQ(joined, big);
    EXPECT_EQ(events[3].Sysex, small);
    EXPECT_EQ(events[4].MidiMessage, 0xC3);
    EXPECT_EQ(events[4].Data1, 0x05);
    EXPECT_EQ(in.DroppedEvents(), 0u);

    // A burst far beyond what one JACK period carries arrives whole: RtMidi
    // alone would lose part of it without a word.
    events.clear();
    constexpr int kLong = 40, kShort = 5000;
    for (int i = 0; i < kLong; ++i) out.PutLong(sysex(6000, static_cast<std::uint8_t>(i)));
    for (int i = 0; i < kShort; ++i) out.PutShort(0xB0, 7, static_cast<std::uint8_t>(i & 0x7F));
    const std::size_t expected = 2 * kLong + kShort;
    while (events.size() < expected && std::chrono::steady_clock::now() < deadline) {
        shell.runPosted();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(events.size(), expected);
    EXPECT_EQ(in.DroppedEvents(), 0u);
    EXPECT_TRUE(out.Close());
    in.Close();
}

}  // namespace
}  // namespace tolvex
