// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <functional>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>
#include <utility>

#include "core/app/session.h"
#include "core/app/sysex_out.h"
#include "midi/jack_backend.h"
#include "midi/midi_output.h"
#include "midi/midi_system.h"
#include "midi/port_devices.h"
#include "midi_test_util.h"
#include "support/scripted_shell.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::haveJack;
using testing::sysex;

TEST(MidiSystem, NoMidiSystemMeansNoDevicesAndNoNoise)
{
    // A server name nobody runs: the same as a machine without JACK. Put back
    // afterwards, since the JACK test may run in the same process.
    const testing::ScopedEnv absent("JACK_DEFAULT_SERVER", format("tolvex-absent-%d", static_cast<int>(getpid())));

    ::testing::internal::CaptureStderr();
    testing::ScriptedShell shell;
    for (const char* requested : {"none", "jack"}) {
        MidiSystem system = openMidiSystem(requested);
        EXPECT_EQ(system.api, MidiApi::None) << requested;
        TMidiInput in(shell, std::move(system.backends.in));
        TMidiOutput out(shell, std::move(system.backends.out));
        EXPECT_EQ(in.Numdevs() + out.Numdevs(), 0);
        EXPECT_FALSE(in.Open() || out.Open());
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
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
    void settle() { testing::runFor(shell, std::chrono::milliseconds(300)); }

    std::string client;
    testing::ScriptedShell shell;
    MidiSystem system = openMidiSystem("jack", client);
    TMidiInput in{shell, std::move(system.backends.in)};
    TMidiOutput out{shell, std::move(system.backends.out)};
    std::vector<TMyMidiEvent> events;
    std::vector<std::string> lost;
};

// An independent JACK client recording the SysEx a port sends: what the
// server delivered, to tell its own damage from ours. Started connected.
class Recorder {
public:
    Recorder(const std::string& name, const std::string& from, std::size_t messages, const std::string& file)
        : file_(file)
    {
#ifdef TOLVEX_JACK_PEER
        const std::string command = format("'%s' record '%s' '%s' %zu --from '%s' --timeout 120", TOLVEX_JACK_PEER,
                                           name.c_str(), file.c_str(), messages, from.c_str());
        pipe_ = popen(command.c_str(), "r");
        char line[64] = {};
        ready_ = pipe_ != nullptr && std::fgets(line, sizeof line, pipe_) != nullptr && std::string(line) == "ready\n";
#endif
    }
    ~Recorder()
    {
        if (pipe_ != nullptr) pclose(pipe_);
    }
    bool ready() const
    {
        return ready_;
    }
    // The SysEx bytes it recorded, once it has all (or gave up).
    Bytes bytes()
    {
        if (pipe_ != nullptr) pclose(std::exchange(pipe_, nullptr));
        std::ifstream in(file_, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::string file_;
    FILE* pipe_ = nullptr;
    bool ready_ = false;
};

TEST(Jack, MessagesOfAnyLengthAndBurstsArriveWholeAndInOrder)
{
    if (!haveJack()) GTEST_SKIP() << "no JACK server running";
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // A sanitized build runs several times slower: it sends a quarter of the long message.
    constexpr std::size_t kLong = (4u << 20) + 17;
#else
    constexpr std::size_t kLong = (16u << 20) + 17;
#endif
    constexpr int kAttempts = 3;
    // One message far beyond what a JACK period carries, then a burst far
    // beyond what one period carries.
    std::vector<Bytes> sent = {sysex(kLong, 3), sysex(10000, 1), sysex(300, 2), {0xC3, 0x05, 0x00}};
    for (int i = 0; i < 40; ++i) sent.push_back(sysex(6000, static_cast<std::uint8_t>(i)));
    for (int i = 0; i < 5000; ++i) sent.push_back({0xB0, 7, static_cast<std::uint8_t>(i & 0x7F)});
    Bytes sentSysex;
    std::size_t sysexCount = 0;
    for (const Bytes& m : sent)
        if (m[0] == 0xF0) sentSysex.insert(sentSysex.end(), m.begin(), m.end()), ++sysexCount;
    const testing::TempDir dir;
    // What arrives must be what the server delivered to an independent
    // recorder on the same port. Only when the server itself damaged the
    // traffic (the recorder's copy differs from what was sent) is it sent again.
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        // Unique per process and attempt, since tests run in parallel against the same server.
        JackPair jack(format("tolvex-test-%d-%d", static_cast<int>(getpid()), attempt));
        Recorder recorder(jack.client + " rec", jack.client + " Out:" + kVirtualOutName, sysexCount,
                          dir.file("recorded.syx"));
        ASSERT_TRUE(recorder.ready()) << "the recorder did not start";
        Session session(jack.shell);
        session.midi.midiOutput = &jack.out;
        session.midi.MIDI_Out_Present = true;
        EXPECT_TRUE(MidiSysex_bulk_out(session, sent[0]));
        for (std::size_t i = 1; i < sent.size(); ++i)
            sent[i][0] == 0xF0 ? jack.out.PutLong(sent[i]) : jack.out.PutShort(sent[i][0], sent[i][1], sent[i][2]);
        testing::runUntil(jack.shell, [&] { return testing::messages(jack.events).size() >= sent.size(); });
        const auto received = testing::messages(jack.events);
        EXPECT_EQ(jack.in.DroppedEvents(), 0u);
        EXPECT_TRUE(jack.lost.empty());
        const Bytes delivered = recorder.bytes();
        if (received == sent) return;
        Bytes receivedSysex;
        for (const Bytes& m : received)
            if (m[0] == 0xF0) receivedSysex.insert(receivedSysex.end(), m.begin(), m.end());
        // A client the server ran late (ours, said by a doubt mark or the
        // output's late periods) may see other bytes than the recorder: that
        // attempt proves nothing either way and the traffic is sent again.
        const auto marks = testing::doubts(jack.events);
        const bool late = jack.out.LatePeriods() > 0 ||
                          std::any_of(marks.begin(), marks.end(), [](std::uint8_t d) { return d != 0; });
        if (late && receivedSysex != delivered && attempt < kAttempts) continue;
        ASSERT_EQ(receivedSysex.size(), delivered.size())
            << "the input's SysEx differs from what the server delivered to the recorder (attempt " << attempt << ")";
        ASSERT_TRUE(receivedSysex == delivered)
            << "the input's SysEx differs from what the server delivered to the recorder (attempt " << attempt << ")";
        ASSERT_TRUE(delivered != sentSysex && attempt < kAttempts)
            << received.size() << " messages arrived as the server delivered them, yet not as sent";
    }
}

TEST(Jack, AStoppedServerIsReportedAndThePortsOpenAgainWhenItReturns)
{
    if (!haveJack()) GTEST_SKIP() << "no JACK server running";
    // A server of our own, so that stopping it disturbs nobody.
    // One name per build folder: a server that did not end cleanly leaves its
    // entry in JACK's registry of at most eight servers, and only the same name
    // reuses it; checkouts tested side by side do not meet.
    const std::string server =
        format("tolvex-test-stopped-%zu", std::hash<std::string>{}(std::filesystem::current_path().string()) % 100000);
    const auto startServer = [&] {
        const pid_t pid = fork();
        if (pid == 0) {
            const int quiet = open("/dev/null", O_WRONLY);
            dup2(quiet, STDOUT_FILENO);
            dup2(quiet, STDERR_FILENO);
            execlp("jackd", "jackd", "-n", server.c_str(), "-d", "dummy", "-r", "48000", "-p", "256",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 100 && !jackServerRunning(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return pid;
    };
    const testing::ScopedEnv serverName("JACK_DEFAULT_SERVER", server);
    pid_t jackd = startServer();
    ASSERT_GT(jackd, 0);
    {
        JackPair jack("tolvex-stopped");
        kill(jackd, SIGTERM);
        testing::runUntil(jack.shell, [&] { return jack.lost.size() >= 2; });
        std::sort(jack.lost.begin(), jack.lost.end());
        EXPECT_EQ(jack.lost,
                  (std::vector<std::string>{"in: The JACK server has stopped", "out: The JACK server has stopped"}));
        EXPECT_EQ(jack.in.State(), misClosed);
        waitpid(jackd, nullptr, 0);

        // The server comes back: choosing the ports again works with the same devices.
        jackd = startServer();
        jack.lost.clear();
        EXPECT_TRUE(jack.in.Open()) << jack.in.OpenError();
        jack.in.Start();
        EXPECT_TRUE(jack.out.Open()) << jack.out.OpenError();
        const Bytes m = sysex(5000, 9);
        jack.out.PutLong(m);
        testing::runUntil(jack.shell, [&] { return !testing::messages(jack.events).empty(); });
        jack.settle();
        EXPECT_EQ(testing::messages(jack.events), std::vector<Bytes>{m});
        EXPECT_TRUE(jack.lost.empty()) << jack.lost.front();
        jack.in.Close();
        jack.out.Close();
    }
    kill(jackd, SIGTERM);
    waitpid(jackd, nullptr, 0);
}

// A peer that runs no process callback of its own (a patchbay, a paused
// program) is connected to like any other: no loss until it really goes, and
// then each connection to it is reported lost and the output closed.
TEST(Jack, APeerWithoutProcessCallbackIsNoLossUntilItGoes)
{
    if (!haveJack()) GTEST_SKIP() << "no JACK server running";
    const std::string peerName = format("tolvex-quiet-%d", static_cast<int>(getpid()));
    jack_client_t* peer = openQuietJackClient(peerName);
    ASSERT_NE(peer, nullptr);
    ASSERT_NE(jack_port_register(peer, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0), nullptr);
    ASSERT_NE(jack_port_register(peer, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0), nullptr);
    ASSERT_EQ(jack_activate(peer), 0);

    JackPair jack(format("tolvex-peer-%d", static_cast<int>(getpid())));
    jack.in.Close();
    jack.out.Close();
    jack.in.SetProductName(peerName + ":out");
    jack.out.SetProductName(peerName + ":in");
    ASSERT_TRUE(jack.in.Open()) << jack.in.OpenError();
    jack.in.Start();
    ASSERT_TRUE(jack.out.Open()) << jack.out.OpenError();
    jack.out.PutLong(sysex(3000, 1));
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    testing::runUntil(jack.shell, [&] { return std::chrono::steady_clock::now() >= end || !jack.lost.empty(); });
    EXPECT_TRUE(jack.lost.empty()) << jack.lost.front();

    jack_client_close(peer);
    testing::runUntil(jack.shell, [&] { return jack.lost.size() >= 2; });
    std::sort(jack.lost.begin(), jack.lost.end());
    EXPECT_EQ(jack.lost, (std::vector<std::string>{"in: The connection to " + peerName + ":out was lost",
                                                   "out: The connection to " + peerName + ":in was lost"}));
    EXPECT_EQ(jack.out.State(), mosClosed);
}

// What the window does at start: count the ports, fill both selectors, ask
// the input's speed, open both devices. One client lists, two carry MIDI.
TEST(Jack, StartingTheDevicesOpensOneClientForListsAndOnePerOpenPort)
{
    if (!haveJack()) GTEST_SKIP() << "no JACK server running";
    testing::ScriptedShell shell;
    const std::uint64_t before = jackClientsOpened();
    {
        auto devices = makeSystemMidiDevices(shell, "jack", format("tolvex-start-%d", static_cast<int>(getpid())));
        EXPECT_EQ(devices->systemName(), "jack");
        for (int i = 0; i < 3; ++i) EXPECT_FALSE(devices->inputNames().empty() || devices->outputNames().empty());
        devices->openInput(kVirtualInName, true);
        devices->openOutput(devices->outputNames().front());
        EXPECT_TRUE(devices->inputOpen() && devices->outputOpen());
    }
    EXPECT_EQ(jackClientsOpened() - before, 3u);
}

// Four senders at full speed into one input: JACK loses events and the pieces
// of their messages mix. Every loss is counted, the mixing is told, and no
// message with a hole is kept without its mark.
TEST(Jack, SeveralSendersAtFullSpeedAreCountedAndNothingHoledIsKept)
{
    if (!haveJack()) GTEST_SKIP() << "no JACK server running";
    JackPair jack(format("tolvex-senders-%d", static_cast<int>(getpid())));
    std::vector<std::unique_ptr<TMidiOutput>> senders;
    std::vector<MidiSystem> systems;
    std::vector<Bytes> sent;
    for (int i = 0; i < 4; ++i) {
        systems.push_back(openMidiSystem("jack", format("tolvex-sender%d-%d", i, static_cast<int>(getpid()))));
        senders.push_back(std::make_unique<TMidiOutput>(jack.shell, std::move(systems.back().backends.out)));
        senders.back()->SetProductName(jack.client + " In:" + kVirtualInName);
        ASSERT_TRUE(senders.back()->Open()) << senders.back()->OpenError();
    }
    for (int k = 0; k < 30; ++k)
        for (std::size_t i = 0; i < senders.size(); ++i) {
            sent.push_back(sysex(40000, static_cast<std::uint8_t>(k * 4 + i)));
            senders[i]->PutLong(sent.back());
        }
    for (auto& s : senders) s->Close();  // waits until all is out
    jack.settle();
    EXPECT_TRUE(jack.in.SeveralSenders());
    EXPECT_GT(jack.in.LostEvents() + jack.in.GapDiscards() + jack.in.MixedMessages(), 0u);
    // What the server dropped while mixing is counted, and a whole message it
    // touched is kept marked, never unmarked.
    const auto received = testing::messages(jack.events);
    const auto doubts = testing::doubts(jack.events);
    for (std::size_t i = 0; i < received.size(); ++i) {
        const Bytes& m = received[i];
        if (m.back() == 0xF7 && std::find(sent.begin(), sent.end(), m) == sent.end() && jack.in.MixedMessages() == 0 &&
            doubts[i] == 0)
            ADD_FAILURE() << "a message of " << m.size() << " bytes matches none sent, unmarked, and no mixing counted";
    }
}

}  // namespace
}  // namespace tolvex
