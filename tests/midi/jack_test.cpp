#include <fcntl.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <functional>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <thread>

#include "core/app/session.h"
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

bool haveJack()
{
    if (jackServerRunning()) return true;
    // scripts/test.sh starts a server and sets this, so CI cannot pass by skipping.
    const char* required = std::getenv("TOLVEX_REQUIRE_JACK");
    if (required != nullptr && std::string(required) == "1")
        ADD_FAILURE() << "no JACK server, although one is required";
    return false;
}

// An input on its own virtual port and an output connected to it by its JACK name.
struct JackPair {
    explicit JackPair(const std::string& name) : client(name)
    {
        in.SetProductName(kVirtualInName);
        in.SetSysexCeiling(64u << 20);
        in.SetCapacity(1u << 20);
        testing::collectEvents(in, events);
        in.OnLost = [this](TMidiInput&, const std::string& reason) { lost.push_back("in: " + reason); };
        out.OnLost = [this](TMidiOutput&, const std::string& reason) { lost.push_back("out: " + reason); };
        EXPECT_TRUE(in.Open()) << in.OpenError();
        in.Start();
        out.SetProductName(client + " In:" + kVirtualInName);
        EXPECT_TRUE(out.Open()) << out.OpenError();
    }
    // Runs the main thread until `done` or 20 s.
    template <class Done>
    void runUntil(Done done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            shell.runPosted();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    std::string client;
    testing::ScriptedShell shell;
    TMidiInput in{shell, makeRtMidiIn(MidiApi::Jack, client)};
    TMidiOutput out{shell, makeRtMidiOut(MidiApi::Jack, client)};
    std::vector<TMyMidiEvent> events;
    std::vector<std::string> lost;
};

TEST(Jack, MessagesOfAnyLengthAndBurstsArriveWholeAndInOrder)
{
    if (!haveJack()) GTEST_SKIP() << "no JACK server running";
    // Unique per process, since tests run in parallel against the same server.
    JackPair jack(format("tolvex-test-%d", static_cast<int>(getpid())));
    Session session(jack.shell);
    session.midiOutput = &jack.out;
    session.MIDI_Out_Present = true;

    // One message far beyond what a JACK period carries, then a burst far
    // beyond what one period carries.
    std::vector<Bytes> sent = {sysex((16u << 20) + 17, 3), sysex(10000, 1), sysex(300, 2), {0xC3, 0x05, 0x00}};
    for (int i = 0; i < 40; ++i) sent.push_back(sysex(6000, static_cast<std::uint8_t>(i)));
    for (int i = 0; i < 5000; ++i) sent.push_back({0xB0, 7, static_cast<std::uint8_t>(i & 0x7F)});
    EXPECT_TRUE(session.SX_Object.MidiSysex_bulk_out(sent[0]));
    for (std::size_t i = 1; i < sent.size(); ++i)
        sent[i][0] == 0xF0 ? jack.out.PutLong(sent[i]) : jack.out.PutShort(sent[i][0], sent[i][1], sent[i][2]);
    jack.runUntil([&] { return testing::messages(jack.events).size() >= sent.size(); });
    const auto received = testing::messages(jack.events);
    EXPECT_TRUE(received == sent) << received.size() << " messages: the traffic arrived damaged or incomplete";
    EXPECT_EQ(jack.in.DroppedEvents(), 0u);
    EXPECT_TRUE(jack.lost.empty());
}

TEST(Jack, LostConnectionAndStoppedServerAreReported)
{
    if (!haveJack()) GTEST_SKIP() << "no JACK server running";
    {
        // The receiver the output was connected to goes away.
        JackPair jack(format("tolvex-lost-%d", static_cast<int>(getpid())));
        jack.in.Close();
        jack.runUntil([&] { return !jack.lost.empty(); });
        EXPECT_EQ(jack.lost, std::vector<std::string>{"out: The connection to " + jack.client +
                                                      " In:" + kVirtualInName + " was lost"});
        EXPECT_EQ(jack.out.State(), mosClosed);
    }

    // A server of our own, so that stopping it disturbs nobody.
    // One name per build folder: a server that did not end cleanly leaves its
    // entry in JACK's registry of at most eight servers, and only the same name
    // reuses it; checkouts tested side by side do not meet.
    const std::string server =
        format("tolvex-test-stopped-%zu", std::hash<std::string>{}(std::filesystem::current_path().string()) % 100000);
    const pid_t jackd = fork();
    if (jackd == 0) {
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        execlp("jackd", "jackd", "-n", server.c_str(), "-d", "dummy", "-r", "48000", "-p", "256",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(jackd, 0);
    std::optional<std::string> saved;
    if (const char* old = std::getenv("JACK_DEFAULT_SERVER")) saved = old;
    setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
    for (int i = 0; i < 100 && !jackServerRunning(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    {
        JackPair jack("tolvex-stopped");
        kill(jackd, SIGTERM);
        jack.runUntil([&] { return jack.lost.size() >= 2; });
        std::sort(jack.lost.begin(), jack.lost.end());
        EXPECT_EQ(jack.lost,
                  (std::vector<std::string>{"in: The JACK server has stopped", "out: The JACK server has stopped"}));
        EXPECT_EQ(jack.in.State(), misClosed);
    }
    waitpid(jackd, nullptr, 0);
    saved ? setenv("JACK_DEFAULT_SERVER", saved->c_str(), 1) : unsetenv("JACK_DEFAULT_SERVER");
}

}  // namespace
}  // namespace tolvex
