// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <iostream>
#include <numeric>
#include <sstream>
#include <thread>

#include "cli/entry_line.h"
#include "midi/loopback.h"
#include "midi/port_devices.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::TempDir;

struct CliRun {
    int status;
    std::string out, err;
};

CliRun cli(const std::vector<std::string>& args, const DeviceFactory& devices = {}, bool terminal = false)
{
    std::ostringstream out, err;
    const int status = runCli(args, out, err, devices, terminal);
    return {status, out.str(), err.str()};
}

const std::string kFixtures = TOLVEX_FIXTURES_DIR;

// One line per message whatever a name holds: a damaged name or path with a
// line feed or a tab cannot break the columns.
TEST(Cli, NamesEscapesControlBytesAndReadsStandardInput)
{
    const struct {
        const char* text;
        const char* escaped;
    } fields[] = {{"plain name", "plain name"},      {"two\nlines", "two\\x0Alines"}, {"tab\there", "tab\\x09here"},
                  {"back\\slash", "back\\x5Cslash"}, {"del\x7F", "del\\x7F"},         {"caf\xC3\xA9", "caf\xC3\xA9"}};
    for (const auto& f : fields) EXPECT_EQ(escapeField(f.text), f.escaped) << f.text;

    TempDir dir;
    const std::string message("\xF0\x7E\x00\x06\x01\xF7", 6);
    const std::string damaged = dir.write("bank\nB.syx", message);
    const CliRun r = cli({"names", damaged});
    EXPECT_EQ(
        r.out,
        dir.str() +
            "bank\\x0AB.syx\t1\t6\tUniversal Sysex Non Realtime (ch 00) - General Information : Identity Request\t\n");

    std::istringstream piped(message + message);
    std::streambuf* const original = std::cin.rdbuf(piped.rdbuf());
    const CliRun fromStdin = cli({"names", "-"});
    std::cin.rdbuf(original);
    EXPECT_EQ(fromStdin.status, 0) << fromStdin.err;
    EXPECT_EQ(fromStdin.out,
              "-\t1\t6\tUniversal Sysex Non Realtime (ch 00) - General Information : Identity Request\t\n"
              "-\t2\t6\tUniversal Sysex Non Realtime (ch 00) - General Information : Identity Request\t\n");
}

// Kronos messages named with the tables shipped beside the program (each name
// is in the contract tests): a parameter found under another function is
// reported, and --filter7f leaves out the two KARMA control (7F) messages, as
// the window drops them.
TEST(Cli, NamesKronosMessagesFilteringKarmaControl)
{
    const std::string syx = kFixtures + "/kronos/kronos-messages.syx";
    const CliRun all = cli({"names", syx});
    EXPECT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(all.err, "  5023000000000000: Unknown Param: Fn6E Ty023 So000 Su000 Pi000 Ix000\n");
    const CliRun filtered = cli({"names", "--filter7f", syx});
    std::vector<std::string> lines;
    std::istringstream in(all.out);
    for (std::string line; std::getline(in, line);)
        if (line.find("Karma Control") == std::string::npos) lines.push_back(line + '\n');
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(filtered.out, std::accumulate(lines.begin(), lines.end(), std::string()));
}

// Sends and receives, whole and ended early (refused, cut short, lost,
// stopped): what was said, heard and saved.
TEST(Cli, SendAndReceiveOverTheLoopback)
{
    TempDir dir;
    MidiLoopback bus({"Synth A", "Synth B"});
    const DeviceFactory loopback = [&](Shell& shell, const std::string&) -> std::unique_ptr<MidiDevices> {
        return std::make_unique<PortDevices>(shell, bus.makeInput(), bus.makeOutput());
    };
    std::vector<Bytes> heard;
    int loseAfter = 0;  // the receiver on Synth A goes away after this many messages
    bus.attach("Synth A", [&](ByteView m) {
        heard.emplace_back(m.begin(), m.end());
        if (static_cast<int>(heard.size()) == loseAfter) bus.lose("Synth A", "Synth A went away");
    });
    const auto numbered = [](int i) { return Bytes{0xF0, 0x7D, static_cast<std::uint8_t>(i), 0xF7}; };
    const Bytes zero = numbered(0), one = numbered(1), two = numbered(2);
    const std::string cut =
        dir.write("cut.syx", Bytes{0xF0, 0x7D, 0x01, 0xF7, 0xF0, 0x7D, 0x02, 0xF7, 0xF0, 0x7D, 0x03});
    Bytes fiveBytes;
    for (int i = 0; i < 5; ++i) fiveBytes.insert(fiveBytes.end(), {0xF0, 0x7D, static_cast<std::uint8_t>(i), 0xF7});
    const std::string five = dir.write("five.syx", fiveBytes);
    const std::string kept = dir.write("kept.syx", one);
    const std::string saved = dir.file("saved.syx");
    const std::string romFile = kFixtures + "/yamaha/dx7-rom1a.syx";
    const Bytes rom = testing::messagesOf(romFile).at(0);
    const std::string romName = "Yamaha Bulk Dump: Packed 32 Voice";
    Bytes romTwice = rom;
    romTwice.insert(romTwice.end(), rom.begin(), rom.end());

    const struct {
        const char* name;
        std::vector<std::string> args;
        int loseAfter;
        std::function<void()> receiver;  // plays into Synth B once the receiver listens
        int status;
        std::vector<std::string> said;  // in this order, in standard output and error together
        std::vector<Bytes> heard;
        std::string savedFile;
        Bytes saved;
    } cases[] = {
        {"two dumps sent",
         {"send", "--out", "synth a", "--delay", "5", romFile, romFile},
         0,
         nullptr,
         0,
         {"Sending: " + romName + "\nSending: " + romName + "\n"},
         {rom, rom},
         "",
         {}},
        {"received up to the count",
         {"receive", "--in", "SYNTH B", "--count", "2", "--timeout", "5", "--save", saved},
         0,
         [&] {
             bus.inject("Synth B", rom);
             bus.inject("Synth B", rom);
         },
         0,
         {romName + "\tByte Count 1000H, 4096 (d)\n" + romName + "\tByte Count 1000H, 4096 (d)\n"},
         {},
         saved,
         romTwice},
        {"own port",
         {"send", "--out", "tolvex OUT", kept},
         0,
         nullptr,
         2,
         {"Tolvex Out is this program's own virtual port: give the receiver's port (tolvex-cli ports)\n"},
         {},
         "",
         {}},
        {"message without F7",
         {"send", "--out", "Synth A", cut},
         0,
         nullptr,
         1,
         {"Sending: ", "Sending: ", "Not sent (no end byte F7): "},
         {one, two},
         "",
         {}},
        {"receiver gone during send",
         {"send", "--out", "Synth A", five},
         3,
         nullptr,
         1,
         {"MIDI device lost: Synth A went away\n", "Sent 3 of 5 messages\n"},
         {zero, one, two},
         "",
         {}},
        {"nothing received",
         {"receive", "--in", "Synth B", "--timeout", "0", "--save", kept},
         0,
         nullptr,
         1,
         {"No SysEx received\n"},
         {},
         kept,
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
         saved,
         Bytes{0xF0, 0x7D, 0x01, 0xF7, 0xF0, 0x7D, 0x02, 0xF7}},
        {"more than --count at once",
         {"receive", "--in", "Synth B", "--count", "1", "--timeout", "5", "--save", saved},
         0,
         [&] {
             bus.inject("Synth B", Bytes{0xF0, 0x7D, 0x01, 0xF7, 0xF0, 0x7D, 0x02, 0xF7});
         },
         0,
         {},
         {},
         saved,
         one},
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
         saved,
         Bytes{0xF0, 0x7D, 0x01, 0x02, 0xF7}},
        {"message unfinished at the time-out",
         {"receive", "--in", "Synth B", "--timeout", "1", "--save", saved},
         0,
         [&] {
             bus.inject("Synth B", one);
             bus.inject("Synth B", Bytes{0xF0, 0x7D, 0x05});
         },
         1,
         {"Incomplete SysEx message discarded (3 bytes)\n"},
         {},
         saved,
         one},
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
         saved,
         two},
    };
    for (const auto& c : cases) {
        heard.clear();
        loseAfter = c.loseAfter;
        std::thread player([&] {
            if (!c.receiver) return;
            while (!bus.inputOpen("Synth B")) std::this_thread::yield();
            c.receiver();
        });
        const CliRun r = cli(c.args, loopback);
        player.join();
        EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
        const std::string said = r.out + r.err;
        std::size_t at = 0;
        for (const std::string& text : c.said) {
            at = said.find(text, at);
            EXPECT_NE(at, std::string::npos) << c.name << ": no '" << text << "' in order in:\n" << said;
        }
        EXPECT_EQ(heard, c.heard) << c.name;
        if (!c.savedFile.empty()) {
            const std::string file = dir.read(c.savedFile.substr(c.savedFile.rfind('/') + 1));
            EXPECT_EQ(file, std::string(c.saved.begin(), c.saved.end())) << c.name;
        }
    }
}

// One set of exit statuses for every command: 0 done, 1 failed or nothing
// done, 2 usage; and what --quiet and a terminal change in the output.
TEST(Cli, ExitStatusesAndOutputAreTheSameForEveryCommand)
{
    TempDir dir;
    MidiLoopback bus({"Synth A", "Synth B"});
    const DeviceFactory loopback = [&](Shell& shell, const std::string&) -> std::unique_ptr<MidiDevices> {
        return std::make_unique<PortDevices>(shell, bus.makeInput(), bus.makeOutput());
    };
    const DeviceFactory noMidiSystem = [](Shell&, const std::string&) -> std::unique_ptr<MidiDevices> {
        return nullptr;
    };
    const std::string two = dir.write("two.syx", Bytes{0xF0, 0x7D, 0x01, 0xF7, 0xF0, 0x7D, 0x02, 0xF7});
    const std::string junk = dir.write("junk.syx", Bytes{0x01, 0x02});
    const std::string text = dir.write("text.syx", std::string(120, 'x'));
    const std::string triton = kFixtures + "/korg/triton-one-program.syx";
    const std::string rom = kFixtures + "/yamaha/dx7-rom1a.syx";
    const std::string refused = "File Contains > 100 bytes of non-sysex - not loaded\n";
    const std::string noSystem = "No MIDI system found (ALSA sequencer or JACK server)\n";
    const struct {
        const char* name;
        std::vector<std::string> args;
        const DeviceFactory* devices;
        bool terminal;
        int status;
        std::string out;  // exactly, unless "*"
        std::string err;  // exactly, unless "*"
    } cases[] = {
        {"unknown command", {"nmaes", two}, &loopback, false, 2, "", "*tolvex-cli: unknown command nmaes\n"},
        {"unknown option",
         {"names", "--bogus", two},
         &loopback,
         false,
         2,
         "",
         "*tolvex-cli names: The following argument was not expected: --bogus\n"},
        {"names without files", {"names"}, &loopback, false, 2, "", "*Usage: tolvex-cli names [--filter7f] FILE...\n"},
        {"names of a refused file", {"names", junk}, &loopback, false, 1, "", "*"},
        {"names done", {"names", two}, &loopback, false, 0, "*", ""},
        {"names of a bank",
         {"names", rom},
         nullptr,
         false,
         0,
         rom + "\t1\t4104\tYamaha Bulk Dump: Packed 32 Voice\tByte Count 1000H, 4096 (d)\n",
         ""},
        {"names with a file refused",
         {"names", text, triton},
         nullptr,
         false,
         1,
         triton + "\t1\t627\tKorg Triton: One Program Dump\t\n",
         text + ": " + refused + "Error: " + refused},
        {"names of a folder",
         {"names", dir.str()},
         nullptr,
         false,
         1,
         "",
         "Error: Cannot open file " + dir.str() + ": Is a folder\n"},
        {"names of an empty file",
         {"names", dir.write("empty.syx", "")},
         nullptr,
         false,
         1,
         "",
         dir.file("empty.syx") + ": No Sysex Messages In File\nMIDI: No Sysex Messages In File\n"},
        {"ports without a MIDI system", {"ports"}, &noMidiSystem, false, 1, "", noSystem},
        {"send without a MIDI system", {"send", "--out", "Synth A", two}, &noMidiSystem, false, 1, "", noSystem},
        {"receive without a MIDI system", {"receive", "--in", "Synth B"}, &noMidiSystem, false, 1, "", noSystem},
        {"library receive without a MIDI system",
         {"library", "--library", dir.str() + "library.db", "add", "--received", "--in", "Synth B"},
         &noMidiSystem,
         false,
         1,
         "",
         noSystem},
        {"ports", {"ports"}, &loopback, false, 0, "in:Synth A\nin:Synth B\nout:Synth A\nout:Synth B\n", ""},
        {"send to an unknown port",
         {"send", "--out", "Synth C", two},
         &loopback,
         false,
         2,
         "",
         "tolvex-cli send: no MIDI output port named Synth C\n"},
        {"receive from an unknown port",
         {"receive", "--in", "Synth C"},
         &loopback,
         false,
         2,
         "",
         "tolvex-cli receive: no MIDI input port named Synth C\n"},
        {"receive with nothing received",
         {"receive", "--in", "Synth B", "--timeout", "0"},
         &loopback,
         false,
         1,
         "",
         "No SysEx received\n"},
        {"send, quiet", {"send", "--quiet", "--out", "Synth A", two}, &loopback, true, 0, "", ""},
        {"send, not on a terminal", {"send", "--out", "Synth A", two}, &loopback, false, 0, "*", ""},
        {"send on a terminal", {"send", "--out", "Synth A", two}, &loopback, true, 0, "*", "*Sent 2 of 2"},
    };
    for (const auto& c : cases) {
        const CliRun r = cli(c.args, c.devices ? *c.devices : DeviceFactory{}, c.terminal);
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
    for (const char* cmd : {"names", "ports", "send", "receive", "run"}) {
        const CliRun help = cli({cmd, "--help"});
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind(std::string("Usage: tolvex-cli ") + cmd, 0), 0u);
    }
}

}  // namespace
}  // namespace tolvex
