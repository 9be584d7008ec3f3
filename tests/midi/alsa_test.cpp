// SPDX-License-Identifier: GPL-3.0-or-later
// The ALSA back-end against a fake sequencer; the real one carries the
// command line's send and receive (cli/send_receive.sh alsa).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "midi/alsa_backend.h"
#include "midi/midi_input.h"
#include "midi/midi_output.h"
#include "midi/midi_system.h"
#include "midi_test_util.h"
#include "support/fake_alsa_seq.h"
#include "support/scripted_shell.h"

namespace tolvex {
namespace {

using testing::FakeAlsaSeq;
using testing::sysex;

const SeqPortInfo kSynth{{20, 0}, "Synth", "Port 1", false, true, false};
const SeqPortInfo kKeys{{24, 0}, "Keys", "Out", true, false, false};

// Both devices over one fake client with a synth (a destination) and a
// keyboard (a source) beside it.
struct FakeRig {
    explicit FakeRig(bool cable = false)
    {
        SeqPortInfo synth = kSynth;
        synth.hardware = cable;
        state->addPort(synth, false);
        state->addPort(kKeys, false);
        auto pair = makeAlsaBackends(std::make_unique<FakeAlsaSeq>(state));
        in = std::make_unique<TMidiInput>(shell, std::move(pair.in));
        out = std::make_unique<TMidiOutput>(shell, std::move(pair.out));
        in->SetSysexCeiling(40u << 20);
        in->SetCapacity(1u << 16);
        testing::collectEvents(*in, events);
        in->OnLost = [this](TMidiInput&, const std::string& r) { lost.push_back("in: " + r); };
        out->OnLost = [this](TMidiOutput&, const std::string& r) { lost.push_back("out: " + r); };
    }
    std::vector<FakeAlsaSeq::Sent> sent()
    {
        const std::lock_guard<std::mutex> lock(state->mutex);
        return state->sent;
    }

    std::shared_ptr<FakeAlsaSeq::State> state = std::make_shared<FakeAlsaSeq::State>();
    testing::ScriptedShell shell;
    std::unique_ptr<TMidiInput> in;
    std::unique_ptr<TMidiOutput> out;
    std::vector<TMyMidiEvent> events;
    std::vector<std::string> lost;
};

TEST(AlsaFake, MessagesOfAnySizeLeaveInBoundedPiecesInOrderAtThePortsPace)
{
    struct Case {
        const char* name;
        bool cable;
        int fullEvery;   // the output pool is full after every this many events...
        int fullFor;     // ...for this many tries
        int readsPerMs;  // a receiving program's pace (cells a millisecond), -1: none
    } cases[] = {
        {"program port", false, 0, 0, -1},
        {"full pool", false, 7, 3, -1},
        {"MIDI cable", true, 0, 0, -1},
        {"program reading slower than the pace", false, 0, 0, 40},
    };
    for (const Case& c : cases) {
        FakeRig rig(c.cable);
        rig.state->fullEvery = c.fullEvery;
        rig.state->fullFor = c.fullFor;
        if (c.readsPerMs >= 0) {
            rig.state->receiverFree = kSeqPoolCells;
            rig.state->readsPerMs = c.readsPerMs;
        }
        rig.out->SetProductName("Synth:Port 1");
        ASSERT_TRUE(rig.out->Open()) << rig.out->OpenError();
        const std::vector<Bytes> messages = {sysex((16u << 20) + 17, 1), {0xC3, 0x05}, sysex(300, 2), {0x90, 60, 100}};
        for (const Bytes& m : messages)
            m[0] == 0xF0 ? rig.out->PutLong(m) : rig.out->PutShort(m[0], m[1], m.size() > 2 ? m[2] : 0);
        rig.out->Close();  // waits until everything is out

        std::vector<Bytes> received;
        double handed = 0;
        const double rate = c.cable ? kAlsaCableBytesPerSecond : kAlsaProgramBytesPerSecond;
        for (const auto& piece : rig.sent()) {
            EXPECT_LE(piece.bytes.size(), kAlsaSysexPiece) << c.name;
            EXPECT_EQ(piece.sysex, piece.bytes[0] != 0xC3 && piece.bytes[0] != 0x90) << c.name;
            // Never ahead of the pace by more than a quarter second and one piece.
            handed += static_cast<double>(piece.bytes.size());
            EXPECT_LE(handed, rate * (static_cast<double>(piece.atNs) / 1e9 + 0.25) + kAlsaSysexPiece) << c.name;
            const bool continues = !received.empty() && received.back()[0] == 0xF0 && received.back().back() != 0xF7;
            if (!continues) received.emplace_back();
            received.back().insert(received.back().end(), piece.bytes.begin(), piece.bytes.end());
        }
        EXPECT_TRUE(received == messages) << c.name << ": " << received.size() << " messages arrived";
        EXPECT_TRUE(rig.lost.empty()) << c.name << ": " << rig.lost.front();
        EXPECT_EQ(rig.state->overflows, 0) << c.name;  // the receiver's queue was never thrown away
        if (c.cable) {
            EXPECT_GE(rig.state->nowNs, static_cast<std::int64_t>(((16u << 20) / 3125.0 - 1) * 1e9));
        }
    }
}

TEST(AlsaFake, CancelStopsALongMessageBetweenPiecesAndDropsTheQueue)
{
    const struct {
        const char* name;
        bool cable;
        bool waitsForRoom;  // the sixth piece waits for a receiving program's room, not the cable
    } cases[] = {{"waiting for the cable", true, false}, {"waiting for a program's room", false, true}};
    for (const auto& c : cases) {
        FakeRig rig(c.cable);
        rig.out->SetProductName("Synth:Port 1");
        ASSERT_TRUE(rig.out->Open()) << rig.out->OpenError();
        {
            const std::lock_guard<std::mutex> lock(rig.state->mutex);
            rig.state->hold = true;
            if (c.waitsForRoom) {
                rig.state->receiverFree = 5 * seqCells(kAlsaSysexPiece, true) + 64;
                rig.state->holdWhenFree = 64;  // five pieces out, none fits
            } else {
                rig.state->holdAt = 5;
            }
        }
        const Bytes first = sysex(100000, 1);
        rig.out->PutLong(first);
        rig.out->PutLong(sysex(3000, 2));
        // The user cancels while the sixth piece waits.
        std::thread user([&] { rig.out->CancelLong(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        {
            const std::lock_guard<std::mutex> lock(rig.state->mutex);
            rig.state->hold = false;
            rig.state->changed.notify_all();
        }
        user.join();
        testing::runUntil(rig.shell, [&] { return !rig.out->MidiOutBusy(); });
        EXPECT_FALSE(rig.out->MidiOutBusy()) << c.name;
        // At most the piece that was waiting went out after the cancel, and nothing of the second message.
        const auto sent = rig.sent();
        EXPECT_LE(sent.size(), 6u) << c.name;
        for (std::size_t i = 0; i < sent.size(); ++i)
            EXPECT_EQ(sent[i].bytes, Bytes(first.begin() + 256 * i, first.begin() + 256 * (i + 1))) << c.name << i;
        {
            const std::lock_guard<std::mutex> lock(rig.state->mutex);
            if (c.waitsForRoom) rig.state->receiverFree = kSeqPoolCells;
        }
        const Bytes after = sysex(700, 3);
        rig.out->PutLong(after);
        rig.out->Close();
        EXPECT_EQ(rig.sent().back().bytes, Bytes(after.begin() + 512, after.end())) << c.name;
        EXPECT_TRUE(rig.lost.empty()) << c.name;
    }
}

TEST(AlsaFake, SysexInPiecesIsJoinedAndAMessageWithAHoleIsDroppedWholeAndCounted)
{
    FakeRig rig;
    rig.in->SetProductName("Keys:Out");
    ASSERT_TRUE(rig.in->Open()) << rig.in->OpenError();
    rig.in->Start();
    const int port = rig.state->ours.back().first;
    const auto deliver = [&](const Bytes& m, std::size_t from, std::size_t to) {
        for (std::size_t at = from; at < to; at += 256)
            rig.state->deliver(kKeys.addr, port, ByteView(m).subspan(at, std::min<std::size_t>(256, to - at)));
    };
    const Bytes big = sysex((16u << 20) + 5, 3);
    const Bytes holed = sysex(5000, 4);
    const Bytes after = sysex(700, 5);
    deliver(big, 0, 1000);
    rig.state->deliver(kKeys.addr, port, Bytes{0xF8});  // a clock tick between two pieces
    deliver(big, 1000, big.size());
    deliver(holed, 0, 2048);
    rig.state->queue({}, -ENOSPC);  // the sequencer dropped events meant for us
    deliver(holed, 2048, holed.size());
    deliver(after, 0, after.size());
    testing::runUntil(rig.shell, [&] { return testing::messages(rig.events).size() >= 2; });
    testing::runUntil(rig.shell, [&] { return rig.in->GapDiscards() > 0; });
    EXPECT_TRUE(testing::messages(rig.events) == (std::vector<Bytes>{big, after}));
    EXPECT_EQ(rig.in->GapDiscards(), 1u);
    EXPECT_EQ(rig.in->Overruns(), 1u);
    EXPECT_EQ(rig.in->DroppedEvents(), 0u);
}

TEST(AlsaFake, AChosenPortThatVanishesOrRefusesIsReportedOnce)
{
    struct Case {
        const char* name;
        bool input;
        std::function<void(FakeRig&, int ourPort)> fault;
        const char* expected;
    } cases[] = {
        {"destination port exits", false, [](FakeRig& r, int) { r.state->removePort(kSynth.addr); },
         "out: The connection to Synth:Port 1 was lost"},
        {"destination client exits", false,
         [](FakeRig& r, int) {
             r.state->queue({SeqEventKind::ClientExit, {20, -1}, {}, {}});
         },
         "out: The connection to Synth:Port 1 was lost"},
        {"our output connection removed", false,
         [](FakeRig& r, int port) {
             r.state->queue({SeqEventKind::Unsubscribed, {FakeAlsaSeq::kSelf, port}, kSynth.addr, {}});
         },
         "out: The connection to Synth:Port 1 was lost"},
        {"our input connection removed", true,
         [](FakeRig& r, int port) {
             r.state->queue({SeqEventKind::Unsubscribed, kKeys.addr, {FakeAlsaSeq::kSelf, port}, {}});
         },
         "in: The connection to Keys:Out was lost"},
        {"refused event", false,
         [](FakeRig& r, int) {
             r.state->refuseAt = 2;
             r.out->PutLong(sysex(2000));
         },
         "out: The ALSA sequencer refused a MIDI event (Invalid argument)"},
        {"receiving program stops reading", false,
         [](FakeRig& r, int) {
             {
                 const std::lock_guard<std::mutex> lock(r.state->mutex);
                 r.state->receiverFree = 3 * seqCells(kAlsaSysexPiece, true) + 64;
             }
             r.out->PutLong(sysex(2000));
         },
         "out: The receiver at Synth:Port 1 is not reading: 768 of 2000 bytes sent"},
    };
    for (const Case& c : cases) {
        FakeRig rig;
        if (c.input) {
            rig.in->SetProductName("Keys:Out");
            ASSERT_TRUE(rig.in->Open()) << rig.in->OpenError();
            rig.in->Start();
        } else {
            rig.out->SetProductName("Synth:Port 1");
            ASSERT_TRUE(rig.out->Open()) << rig.out->OpenError();
        }
        // An unrelated port leaving is no loss.
        rig.state->removePort({99, 0});
        c.fault(rig, rig.state->ours.back().first);
        testing::runUntil(rig.shell, [&] { return !rig.lost.empty(); });
        rig.state->removePort(c.input ? kKeys.addr : kSynth.addr);  // a second report would be wrong
        testing::runFor(rig.shell, std::chrono::milliseconds(100));
        EXPECT_EQ(rig.lost, std::vector<std::string>{c.expected}) << c.name;
        EXPECT_FALSE(c.input ? rig.in->State() == misOpen : rig.out->State() == mosOpen) << c.name;
    }
}

TEST(AlsaFake, PortListsFollowTheAnnouncements)
{
    FakeRig rig;
    EXPECT_EQ(rig.in->DeviceNames(), (std::vector<std::string>{"Keys:Out", kVirtualInName}));
    EXPECT_EQ(rig.out->DeviceNames(), (std::vector<std::string>{"Synth:Port 1", kVirtualOutName}));
    rig.state->addPort({{30, 0}, "Synth", "Port 1", false, true, true}, true);
    testing::runUntil(rig.shell, [&] { return rig.out->DeviceNames().size() == 3; });
    // Two alike interfaces are told apart by their addresses.
    EXPECT_EQ(rig.out->DeviceNames(),
              (std::vector<std::string>{"Synth:Port 1 20:0", "Synth:Port 1 30:0", kVirtualOutName}));
}

// The back-end against the real sequencer, where there is one (scripts/test-alsa.sh
// runs it there): 16 MiB and a burst between two clients of our own, then the
// receiver goes away.
TEST(AlsaSequencer, SendReceiveBurstAndVanishOverTheRealSequencer)
{
    if (!std::filesystem::exists("/dev/snd/seq"))
        GTEST_SKIP() << "no ALSA sequencer here (/dev/snd/seq): the ALSA integration tests were skipped";
    MidiSystem a = openMidiSystem("alsa", "tolvex-test-a");
    MidiSystem b = openMidiSystem("alsa", "tolvex-test-b");
    if (a.api != MidiApi::Alsa || b.api != MidiApi::Alsa)
        GTEST_SKIP() << "the ALSA sequencer cannot be opened: the ALSA integration tests were skipped";
    testing::ScriptedShell shell;
    TMidiInput in(shell, std::move(b.backends.in));
    TMidiOutput out(shell, std::move(a.backends.out));
    std::vector<TMyMidiEvent> events;
    std::vector<std::string> lost;
    testing::collectEvents(in, events);
    out.OnLost = [&](TMidiOutput&, const std::string& r) { lost.push_back(r); };
    in.SetProductName(kVirtualInName);
    in.SetSysexCeiling(40u << 20);
    in.SetCapacity(1u << 20);
    ASSERT_TRUE(in.Open()) << in.OpenError();
    in.Start();
    out.SetProductName("tolvex-test-b:Tolvex In");
    ASSERT_TRUE(out.Open()) << out.OpenError();
    std::vector<Bytes> sent = {sysex((16u << 20) + 17, 3), sysex(29828, 1)};
    for (int i = 0; i < 2000; ++i) sent.push_back({0xB0, 7, static_cast<std::uint8_t>(i & 0x7F)});
    for (const Bytes& m : sent) m[0] == 0xF0 ? out.PutLong(m) : out.PutShort(m[0], m[1], m[2]);
    testing::runUntil(shell, [&] { return testing::messages(events).size() >= sent.size(); });
    EXPECT_TRUE(testing::messages(events) == sent) << testing::messages(events).size() << " messages arrived";
    EXPECT_EQ(in.DroppedEvents() + in.GapDiscards(), 0u);
    in.Close();  // the receiver goes away
    testing::runUntil(shell, [&] { return !lost.empty(); });
    EXPECT_EQ(lost, std::vector<std::string>{"The connection to tolvex-test-b:Tolvex In was lost"});
}

// A port another program has just created can be chosen at once, before our
// reader thread has heard it announced (a script, or a window opened right
// after a synth's program starts).
TEST(AlsaSequencer, APortIsChoosableTheMomentItExists)
{
    if (!std::filesystem::exists("/dev/snd/seq")) GTEST_SKIP() << "no ALSA sequencer here (/dev/snd/seq)";
    MidiSystem a = openMidiSystem("alsa", "tolvex-test-sender");
    ASSERT_EQ(a.api, MidiApi::Alsa);
    testing::ScriptedShell shell;
    TMidiOutput out(shell, std::move(a.backends.out));
    for (int i = 0; i < 10; ++i) {
        const std::string client = "tolvex-test-new-" + std::to_string(i);
        MidiSystem b = openMidiSystem("alsa", client);
        ASSERT_EQ(b.api, MidiApi::Alsa);
        TMidiInput in(shell, std::move(b.backends.in));
        in.SetProductName(kVirtualInName);
        ASSERT_TRUE(in.Open()) << in.OpenError();
        ASSERT_NO_THROW(out.SetProductName(client + ":Tolvex In")) << i;
        ASSERT_TRUE(out.Open()) << out.OpenError();
        out.Close();
    }
}

}  // namespace
}  // namespace tolvex
