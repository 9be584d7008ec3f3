// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <iostream>
#include <sstream>
#include <thread>

#include "cli/entry_line.h"
#include "cli/library_cli.h"
#include "cli/port_names.h"
#include "support/run_tool.h"
#include "support/simulated_korg.h"

namespace tolvex {
namespace {

using testing::TempDir;
using CliRun = testing::RunResult;
using testing::runCliTool;

const std::string kFixtures = TOLVEX_FIXTURES_DIR;

// One line per message or library item whatever a name holds: a damaged name
// or path with a line feed or a tab cannot break the columns.
TEST(Cli, NamesEscapesControlBytesAndReadsStandardInput)
{
    const struct {
        const char* text;
        const char* escaped;
    } fields[] = {{"tab\there", "tab\\x09here"},
                  {"back\\slash", "back\\x5Cslash"},
                  {"del\x7F", "del\\x7F"},
                  {"caf\xC3\xA9", "caf\xC3\xA9"}};
    for (const auto& f : fields) EXPECT_EQ(escapeField(f.text), f.escaped) << f.text;

    TempDir dir;
    const std::string message("\xF0\x7E\x00\x06\x01\xF7", 6);
    const std::string damaged = dir.write("bank\nB.syx", message);
    const CliRun r = runCliTool({"names", damaged});
    EXPECT_EQ(
        r.out,
        dir.str() +
            "bank\\x0AB.syx\t1\t6\tUniversal Sysex Non Realtime (ch 00) - General Information : Identity Request\t\n");

    std::istringstream piped(message + message);
    std::streambuf* const original = std::cin.rdbuf(piped.rdbuf());
    const CliRun fromStdin = runCliTool({"names", "-"});
    std::cin.rdbuf(original);
    EXPECT_EQ(fromStdin.status, 0) << fromStdin.err;
    EXPECT_EQ(fromStdin.out,
              "-\t1\t6\tUniversal Sysex Non Realtime (ch 00) - General Information : Identity Request\t\n"
              "-\t2\t6\tUniversal Sysex Non Realtime (ch 00) - General Information : Identity Request\t\n");
}

// Sends and receives ended early (refused, cut short, lost, stopped) and
// receives that end on their own: what was said, heard and saved. (Whole
// dumps sent and received over real ports: send_receive.sh.)
TEST(Cli, SendAndReceiveOverTheLoopback)
{
    TempDir dir;
    MidiLoopback bus({"Synth A", "Synth B"});
    const DeviceFactory loopback = testing::loopbackDevices(bus);
    std::vector<Bytes> heard;
    int loseAfter = 0;  // the receiver on Synth A goes away after this many messages
    bus.attach("Synth A", [&](ByteView m) {
        heard.emplace_back(m.begin(), m.end());
        if (static_cast<int>(heard.size()) == loseAfter) bus.lose("Synth A", "Synth A went away");
    });
    const Bytes one{0xF0, 0x7D, 0x01, 0xF7}, two{0xF0, 0x7D, 0x02, 0xF7};
    const std::string changes = kFixtures + "/yamaha/dx7-parameter-changes.syx";  // 24 messages
    const std::vector<Bytes> sent = testing::messagesInFile(changes);
    const std::string saved = dir.file("saved.syx");  // holds `one` before each case

    const struct {
        const char* name;
        std::vector<std::string> args;
        int loseAfter;
        std::function<void()> receiver;  // plays into Synth B once the receiver listens
        int status;
        std::vector<std::string> said;  // in this order, in standard output and error together
        std::vector<Bytes> heard;
        Bytes saved;  // what the saved file holds afterwards
    } cases[] = {
        {"message without F7",
         {"send", "--out", "Synth A", changes, kFixtures + "/yamaha/dx7-bank-truncated-no-f7.syx"},
         0,
         nullptr,
         1,
         {"Sending: ", "Not sent (no end byte F7): "},
         sent,
         one},
        {"receiver gone during send",
         {"send", "--out", "Synth A", changes},
         3,
         nullptr,
         1,
         {"MIDI device lost: Synth A went away\n", "Sent 3 of 24 messages\n"},
         {sent[0], sent[1], sent[2]},
         one},
        {"nothing received: the file is left",
         {"receive", "--in", "Synth B", "--timeout", "0", "--save", saved},
         0,
         nullptr,
         1,
         {"No SysEx received\n"},
         {},
         one},
        {"stopped by SIGTERM",
         {"receive", "--in", "Synth B", "--timeout", "60", "--save", saved},
         0,
         [&] {
             bus.inject("Synth B", one);
             bus.inject("Synth B", two);
             requestCliStop(SIGTERM);
         },
         143,
         {},
         {},
         Bytes{0xF0, 0x7D, 0x01, 0xF7, 0xF0, 0x7D, 0x02, 0xF7}},
        {"more than --count at once",
         {"receive", "--in", "Synth B", "--count", "1", "--timeout", "5", "--save", saved},
         0,
         [&] {
             bus.inject("Synth B", Bytes{0xF0, 0x7D, 0x02, 0xF7, 0xF0, 0x7D, 0x01, 0xF7});
         },
         0,
         {},
         {},
         two},
        {"slow dump longer than the time-out",
         {"receive", "--in", "Synth B", "--count", "1", "--timeout", "1", "--save", saved},
         0,
         [&] {
             // Bytes keep arriving, more slowly than the time-out but never silent for it.
             for (const Bytes& piece : {Bytes{0xF0, 0x7D}, Bytes{0x01}, Bytes{0x02}, Bytes{0xF7}}) {
                 bus.inject("Synth B", piece);
                 std::this_thread::sleep_for(std::chrono::milliseconds(600));
             }
         },
         0,
         {},
         {},
         Bytes{0xF0, 0x7D, 0x01, 0x02, 0xF7}},
        {"message unfinished at the time-out",
         {"receive", "--in", "Synth B", "--timeout", "1", "--save", saved},
         0,
         [&] {
             bus.inject("Synth B", two);
             bus.inject("Synth B", Bytes{0xF0, 0x7D, 0x05});
         },
         1,
         {"Incomplete SysEx message discarded (3 bytes)\n"},
         {},
         two},
        {"port lost during receive",
         {"receive", "--in", "Synth B", "--timeout", "60", "--save", saved},
         0,
         [&] {
             bus.inject("Synth B", two);
             bus.lose("Synth B", "the server has stopped");
         },
         1,
         {"MIDI device lost: the server has stopped\n"},
         {},
         two},
    };
    for (const auto& c : cases) {
        heard.clear();
        loseAfter = c.loseAfter;
        dir.write("saved.syx", one);
        std::thread player([&] {
            if (!c.receiver) return;
            while (!bus.inputOpen("Synth B")) std::this_thread::yield();
            c.receiver();
        });
        const CliRun r = runCliTool(c.args, loopback);
        player.join();
        EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
        const std::string said = r.out + r.err;
        std::size_t at = 0;
        for (const std::string& text : c.said) {
            at = said.find(text, at);
            EXPECT_NE(at, std::string::npos) << c.name << ": no '" << text << "' in order in:\n" << said;
        }
        EXPECT_EQ(heard, c.heard) << c.name;
        EXPECT_EQ(dir.read("saved.syx"), std::string(c.saved.begin(), c.saved.end())) << c.name;
    }

    // --save - puts the messages on standard output alone: their lines go to standard error.
    std::ostringstream captured;
    std::streambuf* const original = std::cout.rdbuf(captured.rdbuf());
    std::thread player([&] {
        while (!bus.inputOpen("Synth B")) std::this_thread::yield();
        bus.inject("Synth B", two);
    });
    const CliRun r = runCliTool({"receive", "--in", "Synth B", "--count", "1", "--save", "-"}, loopback);
    player.join();
    std::cout.rdbuf(original);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(captured.str(), std::string(two.begin(), two.end()));
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Non-Commercial\t\n");
}

// --timeout is a silence of SysEx: Active Sensing and notes do not keep a
// receive open, SysEx bytes of a slow dump do.
TEST(Cli, ReceiveTimesOutOnSysexSilenceWhateverElseArrives)
{
    MidiLoopback bus({"Synth"});
    const DeviceFactory counting = [&bus](Shell& shell, const std::string&) -> std::unique_ptr<MidiDevices> {
        return std::make_unique<PortDevices>(shell, bus.makeInput(), bus.makeOutput());
    };
    const Bytes sensing{0xFE}, note{0x90, 0x3C, 0x40};
    const struct {
        const char* name;
        std::vector<Bytes> pieces;  // one every 300 ms, while the receive listens
        int status;                 // 0: the dump was received
    } cases[] = {
        {"Active Sensing", std::vector<Bytes>(20, sensing), 1},
        {"notes", std::vector<Bytes>(20, note), 1},
        {"a slow dump among them",
         {Bytes{0xF0, 0x7D}, sensing, Bytes{0x01}, sensing, Bytes{0x02}, sensing, Bytes{0xF7}},
         0},
    };
    for (const auto& c : cases) {
        std::thread player([&] {
            while (!bus.inputOpen("Synth")) std::this_thread::yield();
            for (const Bytes& piece : c.pieces) {
                if (!bus.inputOpen("Synth")) break;
                bus.inject("Synth", piece);
                std::this_thread::sleep_for(std::chrono::milliseconds(c.status == 0 ? 300 : 150));
            }
        });
        const auto start = std::chrono::steady_clock::now();
        const CliRun r = runCliTool({"receive", "--in", "Synth", "--count", "1", "--timeout", "1"}, counting);
        const auto took = std::chrono::steady_clock::now() - start;
        player.join();
        EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
        EXPECT_EQ(r.out.empty(), c.status != 0) << c.name << ": " << r.out;
        if (c.status != 0) {
            EXPECT_LT(took, std::chrono::milliseconds(2500)) << c.name;
        }
    }
}

// One set of exit statuses for every command: 0 done, 1 failed or nothing
// done, 2 usage; and what --quiet and a terminal change in the output.
TEST(Cli, ExitStatusesAndOutputAreTheSameForEveryCommand)
{
    TempDir dir;
    MidiLoopback bus({"Synth A", "Synth B"});
    const DeviceFactory loopback = testing::loopbackDevices(bus);
    const DeviceFactory noMidiSystem = [](Shell&, const std::string&) -> std::unique_ptr<MidiDevices> {
        return nullptr;
    };
    const std::string two = dir.write("two.syx", Bytes{0xF0, 0x7D, 0x01, 0xF7, 0xF0, 0x7D, 0x02, 0xF7});
    const std::string text = dir.write("text.syx", std::string(120, 'x'));
    const std::string empty = dir.write("empty.syx", std::string());
    // Cut by the next message's F0, whole, and unterminated at the end of the file.
    const std::string cut = dir.write("cut.syx", Bytes{0xF0, 0x7D, 0x01, 0xF0, 0x7D, 0x02, 0xF7, 0xF0, 0x7D, 0x03});
    const std::string name = "Non-Commercial";
    const std::string triton = kFixtures + "/korg/triton-one-program.syx";
    const std::string refused = "File Contains > 100 bytes of non-sysex - not loaded\n";
    const std::string noSystem = "No MIDI system found (neither ALSA nor JACK)\n";
    const struct {
        const char* name;
        std::vector<std::string> args;
        int status;
        std::string out;                         // exactly, unless "*"
        std::string err;                         // exactly, or a part of it after "*"
        const DeviceFactory* devices = nullptr;  // the loopback when null
        bool terminal = false;
    } cases[] = {
        {"unknown command", {"nmaes", two}, 2, "", "*tolvex-cli: unknown command nmaes\n"},
        {"unknown option", {"names", "--bogus", two}, 2, "", "*not expected: --bogus\n"},
        {"names with a file refused",
         {"names", text, triton},
         1,
         triton + "\t1\t627\tKorg Triton: One Program Dump\t\n",
         text + ": " + refused},
        {"names of an empty file", {"names", empty}, 1, "", empty + ": No Sysex Messages In File\n"},
        {"names of a missing file", {"names", dir.file("gone.syx")}, 1, "", "*gone.syx: No such file\n"},
        {"names of cut messages",
         {"names", cut},
         1,
         cut + "\t1\t3\t" + name + "\t(incomplete: no end byte F7)\n" + cut + "\t2\t4\t" + name + "\t\n" + cut +
             "\t3\t3\t" + name + "\t(incomplete: no end byte F7)\n",
         ""},
        {"ports without a MIDI system", {"ports"}, 1, "", noSystem, &noMidiSystem},
        {"ports", {"ports"}, 0, "in:Synth A\nin:Synth B\nout:Synth A\nout:Synth B\n", ""},
        {"send to its own port", {"send", "--out", "tolvex OUT", two}, 2, "", "*own virtual port"},
        {"send to an unknown port", {"send", "--out", "Synth C", two}, 2, "", "*no MIDI output port named Synth C\n"},
        {"send, quiet", {"send", "--quiet", "--out", "Synth A", two}, 0, "", "", &loopback, true},
        {"send, not on a terminal", {"send", "--out", "Synth A", two}, 0, "*", ""},
        {"send on a terminal", {"send", "--out", "Synth A", two}, 0, "*", "*Sent 2 of 2", &loopback, true},
    };
    for (const auto& c : cases) {
        const CliRun r = runCliTool(c.args, c.devices ? *c.devices : loopback, c.terminal);
        EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
        if (c.out != "*") {
            EXPECT_EQ(r.out, c.out) << c.name;
        }
        if (c.err.rfind("*", 0) == 0) {
            EXPECT_NE(r.err.find(c.err.substr(1)), std::string::npos) << c.name << ": " << r.err;
        } else {
            EXPECT_EQ(r.err, c.err) << c.name;
        }
    }
}

// A port is found by its whole name, or by its own name after "client:" when
// no other port has it ("Tolvex In" for the window's "Tolvex In:Tolvex In");
// an own name several ports share lists them and finds none.
TEST(Cli, PortsAreFoundByWholeNameOrByAnOwnNameNoOtherPortHas)
{
    const std::vector<std::string> ports{"Kronos:MIDI 1", "Window:Tolvex In", "Tolvex In", "Other:Tolvex Out",
                                         "Third:Tolvex Out"};
    const struct {
        const char* wanted;
        const char* port;
        std::vector<std::string> candidates;
    } cases[] = {
        {"Window:Tolvex In", "Window:Tolvex In", {}},
        {"tolvex in", "Tolvex In", {}},  // the whole name wins over Window's own name
        {"midi 1", "Kronos:MIDI 1", {}},
        {"Tolvex Out", "", {"Other:Tolvex Out", "Third:Tolvex Out"}},
        {"MIDI", "", {}},
        {"Kronos", "", {}},
    };
    for (const auto& c : cases) {
        const PortMatch m = matchPort(ports, c.wanted);
        EXPECT_EQ(m.port, c.port) << c.wanted;
        EXPECT_EQ(m.candidates, c.candidates) << c.wanted;
    }

    // The same for send, receive and run, which refuse a name that fits several.
    TempDir dir;
    MidiLoopback bus({"Window:Tolvex In", "Other:Tolvex In", "Kronos:MIDI 1"});
    const DeviceFactory loopback = testing::loopbackDevices(bus);
    const std::string one = dir.write("one.syx", Bytes{0xF0, 0x7D, 0x01, 0xF7});
    const std::string several =
        "MIDI output port name Tolvex In fits several ports: Window:Tolvex In, Other:Tolvex In; give the whole name\n";
    EXPECT_EQ(runCliTool({"send", "--out", "MIDI 1", one}, loopback).status, 0);
    const CliRun send = runCliTool({"send", "--out", "Tolvex In", one}, loopback);
    EXPECT_EQ(send.status, 2);
    EXPECT_EQ(send.err, "tolvex-cli send: " + several);
    const CliRun run = testing::runTool({"View Selected", one, "--out", "Tolvex In"}, "", loopback);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, several);
}

// send --wait-ack on the loopback, the instrument answering at once: a usage
// error without the input, exit 1 and the instrument's answer where it stops.
TEST(Cli, SendWaitsForTheInstrument)
{
    TempDir dir;
    MidiLoopback bus({"Synth A"});
    const DeviceFactory loopback = testing::loopbackDevices(bus);
    const std::string program = kFixtures + "/korg/triton-one-program.syx";
    const Bytes dump = testing::messagesInFile(program).at(0);
    std::string three;
    for (int i = 0; i < 3; ++i) three += testing::readFile(program);
    const std::string file = dir.write("three.syx", three);
    using Reply = testing::SimulatedKorg::Reply;
    const struct {
        const char* name;
        std::vector<std::string> options;
        std::vector<Reply> replies;
        int status;
        std::size_t heard;
        std::string said;  // at the end of standard error
    } cases[] = {
        // clang-format off
        {"no input port", {"--wait-ack"}, {}, 2, 0,
         "tolvex-cli send: --wait-ack needs the input port the instrument answers on (--in PORT)\n"},
        {"input without --wait-ack", {"--in", "Synth A"}, {}, 2, 0,
         "tolvex-cli send: --in and --timeout go with --wait-ack\n"},
        {"all loaded", {"--wait-ack", "--in", "Synth A"}, {}, 0, 3, ""},
        {"error answer", {"--wait-ack", "--in", "Synth A"}, {Reply::Completed, Reply::Error}, 1, 2,
         "Error: The Triton did not confirm dump 2 of 3 (One Program Dump): it answered DATA LOAD ERROR (NAC)\n"},
        {"no answer", {"--wait-ack", "--in", "Synth A", "--timeout", "1"}, {Reply::Silent}, 1, 1,
         "Error: The Triton did not confirm dump 1 of 3 (One Program Dump): no answer in 1 s\n"},
        // clang-format on
    };
    for (const auto& c : cases) {
        testing::SimulatedKorg synth(bus, nullptr, "Synth A", 0x50);
        synth.replies = c.replies;
        std::vector<std::string> args{"send", "--out", "Synth A"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(file);
        const CliRun r = runCliTool(args, loopback);
        EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
        EXPECT_TRUE(r.err.ends_with(c.said)) << c.name << ": " << r.err;
        EXPECT_EQ(synth.heard(), std::vector<Bytes>(c.heard, dump)) << c.name;
    }
}

}  // namespace
}  // namespace tolvex
