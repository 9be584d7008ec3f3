// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <ostream>

#include <CLI/CLI.hpp>

#include "cli/console_shell.h"
#include "cli/entry_line.h"
#include "cli/library_cli.h"
#include "cli/port_names.h"
#include "cli/runner.h"
#include "core/app/dump_confirmation.h"
#include "core/app/incoming.h"
#include "core/app/librarian.h"
#include "core/app/main_window_model.h"
#include "core/app/session.h"
#include "core/app/sysex_out.h"
#include "core/app/table_files.h"
#include "core/sysex/sx_naming.h"
#include "core/sysex/syx_file.h"
#include "core/text/atomic_file.h"
#include "core/text/ini_file.h"
#include "core/text/text_utils.h"
#include "core/text/version_info.h"
#include "devices/devices.h"
#include "midi/midi_system.h"
#include "midi/port_devices.h"

namespace tolvex {

namespace {

std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

constexpr char kUsage[] =
    "Usage: tolvex-cli COMMAND [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  names FILE...                 name every message of .syx files\n"
    "  ports                         list MIDI input and output ports\n"
    "  send --out PORT FILE...       send every message of .syx files\n"
    "  receive --in PORT             receive SysEx and print each message\n"
    "  run COMMAND [FILE...]         run a command of the window (run --list names them)\n"
    "  library COMMAND ...           the patch library: add, list, export, bank, duplicates\n"
    "\n"
    "Run 'tolvex-cli COMMAND --help' for a command's options.\n"
    "\n"
    "Exit status, the same for every command: 0 done; 1 failed or nothing done\n"
    "(a file refused, a message not sent, nothing received, no MIDI system);\n"
    "2 usage error (an unknown command, option or port); 130 or 143 after\n"
    "Ctrl+C or SIGTERM.\n";

constexpr char kNamesHelp[] =
    "Usage: tolvex-cli names [--filter7f] FILE...\n"
    "Prints one line per message: path, number from 1, length in bytes, name and\n"
    "supplementary text, separated by tabs; a byte below 20 hex, 7F or a backslash\n"
    "in a field is written \\xHH. FILE - reads standard input. A message without\n"
    "its end byte F7 (cut short) says so in its last field. Kronos messages are\n"
    "named with the table files the window reads; what the naming notices (a\n"
    "Kronos parameter not in the tables) goes to standard error. --filter7f\n"
    "leaves out Kronos function 7F messages, as \"Filter Function 7F msgs\" does\n"
    "in the window.\n"
    "Exits 0 when every file was named whole, 1 when a file was refused or a\n"
    "message cut short, 2 for a usage error.\n";
constexpr char kPortsHelp[] =
    "Usage: tolvex-cli ports\n"
    "Prints the MIDI input ports (\"in:\") and output ports (\"out:\"), one per line.\n"
    "Which MIDI system was used (\"alsa\", \"jack\" or \"none\") goes to standard error first.\n"
    "Exits 0, or 1 when there is no MIDI system (ALSA sequencer or JACK server).\n";
constexpr char kSendHelp[] =
    "Usage: tolvex-cli send --out PORT [--delay MS] [--wait-ack --in PORT [--timeout S]] [--quiet] FILE...\n"
    "Sends every message of the files in order to the output port (its whole\n"
    "name, or its own name after \"client:\" when no other port has it; case\n"
    "ignored), waiting MS milliseconds between messages (default 0).\n"
    "With --wait-ack each Korg dump (Wavestation, Triton, Kronos, M1) waits for\n"
    "the instrument's answer on the input port: DATA LOAD COMPLETED sends the\n"
    "next message at once; an error answer, or none within S seconds (default\n"
    "the settings' LongTimeOut, 100), stops the send with the instrument's answer.\n"
    "Other messages are sent as without it.\n"
    "A message without its end byte F7 is not sent. Each message sent is named\n"
    "on standard output; on a terminal, \"Sent 3 of 40\" shows the progress on\n"
    "standard error. --quiet prints nothing but errors.\n"
    "Exits 0 when every message was sent (and every dump confirmed), 1 when one\n"
    "was not sent or not confirmed, the port was lost or there is no MIDI system,\n"
    "2 for a usage error or an unknown port.\n";
constexpr char kReceiveHelp[] =
    "Usage: tolvex-cli receive --in PORT [--count N] [--timeout S] [--save FILE.syx] [--quiet]\n"
    "Receives SysEx on the input port (named as for send) and prints each complete message, its name\n"
    "and detail separated by a tab (\\xHH as names writes them). Stops after N messages, S seconds of silence\n"
    "(default 10), Ctrl+C or SIGTERM, then saves what it received when --save is\n"
    "given. On a terminal the bytes of a dump under way show on standard error.\n"
    "--quiet prints nothing but errors.\n"
    "Exits 0 when something was received, 1 when nothing was (the --save file is\n"
    "then left as it was), the port was lost or there is no MIDI system, 2 for a\n"
    "usage error or an unknown port.\n";

struct Options {
    std::vector<std::string> files;
    std::string port;
    std::string inPort;  // send --wait-ack: where the instrument answers
    bool waitAck = false;
    int ackTimeout = -1;  // seconds; -1: the settings' LongTimeOut
    int delay = 0;
    int count = -1;
    int timeout = 10;
    std::string save;
    bool filter7F = false;
    bool quiet = false;
    bool progress = false;  // standard error is a terminal: progress lines, rewritten in place
};

// A line on standard error that is rewritten in place, at most ten times a second.
class ProgressLine {
public:
    ProgressLine(std::ostream& err, bool enabled, Shell& shell) : err_(err), enabled_(enabled), shell_(shell) {}
    ~ProgressLine() { clear(); }
    void show(const std::string& text, bool force = false)
    {
        if (!enabled_) return;
        const std::int64_t now = shell_.nowMs();
        if (!force && shown_ && now - lastMs_ < 100) return;
        lastMs_ = now;
        err_ << "\r\033[K" << text << std::flush;
        shown_ = true;
    }
    // Takes the line away before other output, so the two do not mix.
    void clear()
    {
        if (!shown_) return;
        err_ << "\r\033[K" << std::flush;
        shown_ = false;
    }

private:
    std::ostream& err_;
    bool enabled_;
    Shell& shell_;
    bool shown_ = false;
    std::int64_t lastMs_ = 0;
};

// The window's tables, for the names of Kronos messages, read when the first
// Kronos message needs them. A missing table is reported in its box but does
// not fail the command: the rest is named.
void startTables(Session& s, ConsoleShell& shell)
{
    installDeviceFamilies(s);
    startFamilyTables(s, programFolder(), false);
    s.families.wrapDeferredLoads([&s, &shell](const std::function<void()>& load) {
        const bool failedBefore = shell.failed();
        // The tables' start-up lines are the window's, not this command's output.
        auto follow = std::move(s.log.onChange);
        s.log.onChange = nullptr;
        load();
        s.log.onChange = std::move(follow);
        if (!failedBefore) shell.clearFailed();
    });
}

constexpr char kNoEndByte[] = "(incomplete: no end byte F7)";

int cmdNames(const Options& o, std::ostream& out, std::ostream& err)
{
    if (o.files.empty()) {
        err << kNamesHelp;
        return 2;
    }
    // A refused file's box names it ("PATH: reason"): said once, without the
    // box's title, and not again from the log.
    ConsoleShell shell(err, false);
    Session s(shell);
    startTables(s, shell);
    NamingOptions opts = namingOf(s);
    opts.Filter7F = o.filter7F;
    opts.log = [&err](const std::string& line) { err << line << '\n'; };
    bool failed = false;
    // Lines are gathered and written in large pieces; each message is named as
    // soon as it is read, so no file is ever held whole.
    std::string lines;
    const auto flush = [&] {
        out.write(lines.data(), static_cast<std::streamsize>(lines.size()));
        lines.clear();
    };
    for (const std::string& path : o.files) {
        std::size_t index = 0;
        const bool ok = ReadSXfile(s, path, [&](Bytes&& m) {
            std::string sup;
            bool ignore = false;
            const std::string name = SxParseName(m, sup, ignore, opts);
            const std::size_t i = index++;
            if (ignore) return;
            // Cut short by the next message or by the end of the file.
            if (m.empty() || m.back() != 0xF7) {
                sup += std::string(sup.empty() ? "" : " ") + kNoEndByte;
                failed = true;
            }
            lines += entryLine(path, i + 1, m.size(), name, sup);
            lines += '\n';
            if (lines.size() >= 64 * 1024) flush();
        });
        flush();
        if (!ok) failed = true;
    }
    return failed || shell.failed() ? 1 : 0;
}

int cmdPorts(std::ostream& out, std::ostream& err, const DeviceFactory& makeDevices)
{
    ConsoleShell shell(err);
    auto devices = makeDevices ? makeDevices(shell, "Tolvex CLI") : nullptr;
    if (!devices) {
        err << kNoMidiSystem << '\n';
        return 1;
    }
    if (const auto* ports = dynamic_cast<const PortDevices*>(devices.get()); ports && !ports->systemName().empty())
        err << "MIDI system: " << ports->systemName() << '\n';
    for (const std::string& n : devices->inputNames()) out << "in:" << n << '\n';
    for (const std::string& n : devices->outputNames()) out << "out:" << n << '\n';
    return 0;
}

// A received message as receive prints it: name, tab, detail, escaped as names escapes them.
std::string receivedLine(Session& s, std::size_t i)
{
    std::string detail;
    bool ignore = false;
    NamingOptions opts = namingOptions(s);
    opts.log = {};  // what the naming notices was logged when the message arrived
    const std::string name = SxParseName(s.messages.at(i).storage->sxdata, detail, ignore, opts);
    return escapeField(name) + '\t' + escapeField(detail);
}

// Mirrors the session's log to a stream as lines are added or rewritten.
// `errorsOnly`: only the lines that report a message not sent.
void mirrorLog(Session& s, std::ostream& out, ProgressLine& progress, bool errorsOnly)
{
    s.log.onChange = [&s, &out, &progress, errorsOnly, shown = std::uint64_t{0}]() mutable {
        if (s.log.appended == shown || s.log.lines().empty()) return;  // a rewrite, not a new line
        shown = s.log.appended;
        if (errorsOnly && s.log.lines().back().rfind("Not sent", 0) != 0) return;
        progress.clear();
        out << s.log.lines().back() << '\n';
        out.flush();
    };
}

// How long a send waits for each answer: the settings' LongTimeOut, as the window reads it.
std::int64_t settingsTimeoutMs()
{
    const IniFile ini(settingsFolder(programFolder()) + kSettingsFileName);
    int seconds = 100;
    if (!parseDecimal(ini.ReadString("Settings", "LongTimeOut", ""), seconds) || seconds < 1) seconds = 100;
    return static_cast<std::int64_t>(seconds) * 1000;
}

int stopStatus()
{
    return 128 + stopSignal.load();
}

int cmdSend(const Options& o, std::ostream& out, std::ostream& err, const DeviceFactory& makeDevices)
{
    if (o.port.empty() || o.files.empty()) {
        err << kSendHelp;
        return 2;
    }
    if (equalsIgnoringCase(o.port, kVirtualOutName)) {
        err << kVirtualOutName << " is this program's own virtual port: give the receiver's port (tolvex-cli ports)\n";
        return 2;
    }
    if (o.waitAck && o.inPort.empty()) {
        err << "tolvex-cli send: --wait-ack needs the input port the instrument answers on (--in PORT)\n";
        return 2;
    }
    if (!o.waitAck && (!o.inPort.empty() || o.ackTimeout >= 0)) {
        err << "tolvex-cli send: --in and --timeout go with --wait-ack\n";
        return 2;
    }
    ConsoleShell shell(err);
    Session s(shell);
    startTables(s, shell);
    ProgressLine progress(err, o.progress && !o.quiet, shell);
    mirrorLog(s, o.quiet ? err : out, progress, o.quiet);
    bool ok = true;
    std::vector<Bytes> messages;
    for (const std::string& path : o.files) {
        std::vector<Bytes> read = ReadSXfile(s, path);
        if (read.empty()) {
            ok = false;
            continue;
        }
        messages.insert(messages.end(), std::make_move_iterator(read.begin()), std::make_move_iterator(read.end()));
    }
    CliPort found = findCliPort(makeDevices, shell, "Tolvex CLI Send", false, o.port, "send", err);
    if (!found.devices) return 1;
    if (found.port.empty()) return 2;
    std::unique_ptr<MidiDevices>& devices = found.devices;
    std::string inPort;
    if (o.waitAck) {
        const PortMatch match = matchPort(devices->inputNames(), o.inPort);
        if (!match.candidates.empty()) {
            err << "tolvex-cli send: " << severalPortsText("input", o.inPort, match.candidates) << "\n";
            return 2;
        }
        if (match.port.empty()) {
            err << "tolvex-cli send: no MIDI input port named " << o.inPort << "\n";
            return 2;
        }
        inPort = match.port;
    }
    bool lost = false;
    devices->onLost = [&](const std::string& reason) {
        lost = true;
        MidiDeviceLost(s, reason);
    };
    try {
        if (o.waitAck) {
            devices->onInput = [&] { MIDIInput1MidiInput(s); };
            devices->onOverflow = [&] { MIDIInput1Overflow(s); };
            devices->openInput(inPort, true);
            s.midi.MIDI_In_Present = true;
        }
        devices->openOutput(found.port);
    } catch (const TolvexError& e) {
        shell.messageBox("MIDI", e.what(), MsgIcon::Error, MsgButtons::Ok);
        return 1;
    }
    // The dumps that wait for their instrument's answer, counted for "dump 3 of 8".
    std::vector<std::optional<DumpConfirmation>> confirmations(messages.size());
    int dumpsTotal = 0;
    if (o.waitAck) {
        for (std::size_t i = 0; i < messages.size(); ++i)
            if ((confirmations[i] = dumpConfirmation(s.families, messages[i]))) ++dumpsTotal;
    }
    const std::int64_t ackTimeoutMs =
        o.ackTimeout > 0 ? static_cast<std::int64_t>(o.ackTimeout) * 1000 : settingsTimeoutMs();
    int dumpNumber = 0;
    bool confirmed = false;  // the message before was a dump its instrument confirmed
    s.midi.devices = devices.get();
    s.midi.MIDI_Out_Present = true;
    s.midi.midiOutput = devices->output();
    // Messages are queued as fast as the output takes them, so the back-end
    // fills each period (or the cable) with as many as fit. With --delay a
    // message waits until the one before it is out, then the pause. A long
    // message keeps the output busy while it goes out at the port's pace; no
    // port is slower than MIDI's 3125 bytes a second.
    auto* ports = dynamic_cast<PortDevices*>(devices.get());
    const auto messagesOut = [&]() -> std::uint64_t {
        return ports != nullptr ? ports->outputDevice().LongMessagesOut() : 0;
    };
    const std::uint64_t outBefore = messagesOut();
    const auto waitWhileBusy = [&](std::size_t backlog) {
        const std::int64_t limit = kBusyWaitMs + static_cast<std::int64_t>(backlog) * 1000 / 3125;
        const std::int64_t start = shell.nowMs();
        while (!lost && stopSignal.load() == 0 && s.midi.midiOutput && s.midi.midiOutput->MidiOutBusy() &&
               shell.nowMs() - start < limit)
            shell.ProcessMessages();
    };
    int queued = 0;
    std::size_t backlog = 0;  // bytes queued since the output was last seen idle
    std::int64_t looked = shell.nowMs();
    for (std::size_t i = 0; i < messages.size() && !lost && stopSignal.load() == 0; ++i) {
        const Bytes& m = messages[i];
        if (i > 0 && o.delay > 0 && !confirmed) {
            waitWhileBusy(backlog);
            backlog = 0;
            if (lost || stopSignal.load() != 0) break;
            shell.pause(o.delay);
        }
        std::string sup;
        bool ignore = false;
        const std::string name = SxParseName(m, sup, ignore, namingOf(s));
        if (m.empty() || m.back() != 0xF7) {
            // A receiver would take the next message's bytes as the rest of this one.
            s.log.LogString("Not sent (no end byte F7): " + name);
            ok = false;
            continue;
        }
        if (ports != nullptr && ports->outputDevice().PortLost()) shell.ProcessMessages();  // says so
        if (lost || s.midi.midiOutput == nullptr) break;
        s.log.LogString("Sending: " + name);
        confirmed = false;
        std::optional<ConfirmationWait> answer;
        if (confirmations[i]) answer.emplace(s, *confirmations[i]);
        try {
            s.midi.midiOutput->PutLong(m);
            ++queued;
            backlog += m.size();
            progress.show("Sent " + std::to_string(queued) + " of " + std::to_string(messages.size()),
                          i + 1 == messages.size());
        } catch (const TolvexError& e) {
            shell.messageBox("MIDI Out Error", e.what(), MsgIcon::Error, MsgButtons::Ok);
            ok = false;
            break;
        }
        if (answer) {
            // The instrument answers once the whole dump is in: its time starts when the dump has left.
            ++dumpNumber;
            waitWhileBusy(backlog);
            backlog = 0;
            if (lost || stopSignal.load() != 0) break;
            const DumpAnswer got = answer->await(ackTimeoutMs, [&] { return lost || stopSignal.load() != 0; });
            if (got.kind == DumpAnswer::Kind::Loaded) {
                confirmed = true;
                continue;
            }
            if (got.kind == DumpAnswer::Kind::NoAnswer || got.kind == DumpAnswer::Kind::Refused) {
                progress.clear();
                shell.messageBox("Error",
                                 unconfirmedText(s, *confirmations[i], dumpNumber, dumpsTotal, name, got, ackTimeoutMs),
                                 MsgIcon::Error, MsgButtons::Ok);
                if (i + 1 < messages.size())
                    (o.quiet ? err : out) << "Sent " << queued << " of " << messages.size() << " messages\n";
                ok = false;
            }
            break;
        }
        // A loss reported meanwhile stops the send.
        if (shell.nowMs() - looked >= 20) {
            shell.ProcessMessages();
            looked = shell.nowMs();
        }
    }
    // Let the last message leave before the port closes; after Ctrl+C or
    // SIGTERM (also while waiting here) the one under way is cut off between
    // two pieces (a receiver drops it as unfinished) and those behind it are
    // not sent, so closing does not wait for them.
    waitWhileBusy(backlog);
    const bool stopped = stopSignal.load() != 0;
    shell.ProcessMessages();  // the messages out so far are told before counting them
    const std::uint64_t outBeforeCancel = messagesOut();
    if (stopped && s.midi.midiOutput) s.midi.midiOutput->CancelLong();
    shell.ProcessMessages();  // a loss reported meanwhile
    // Closing lets the queue drain; the late periods of all of it are known then.
    MidiOutPort* const output = s.midi.midiOutput;
    devices->closeOutput();
    if (o.waitAck) devices->closeInput();
    const std::uint64_t late = output != nullptr ? output->LatePeriods() : 0;
    shell.ProcessMessages();
    progress.clear();
    if (lost || stopped) {
        // Only messages that left whole count: the one the loss cut off did not arrive.
        // (Cancelled ones are told as done too: after a stop, those out before it count.)
        const std::uint64_t done = stopped ? outBeforeCancel : messagesOut();
        const std::uint64_t left = ports != nullptr ? done - outBefore : static_cast<std::uint64_t>(queued);
        (o.quiet ? err : out) << "Sent " << std::min<std::uint64_t>(left, static_cast<std::uint64_t>(queued)) << " of "
                              << messages.size() << " messages\n";
        return stopped ? stopStatus() : 1;
    }
    // Never a clean send when the receiver may have got messages twice or not at all.
    if (late > 0) err << lateSendLine(late) << '\n';
    return ok && late == 0 && !shell.failed() ? 0 : 1;
}

int cmdReceive(const Options& o, std::ostream& out, std::ostream& err, const DeviceFactory& makeDevices)
{
    if (o.port.empty()) {
        err << kReceiveHelp;
        return 2;
    }
    ConsoleShell shell(err);
    Session s(shell);
    startTables(s, shell);
    CliPort found = findCliPort(makeDevices, shell, "Tolvex CLI Receive", true, o.port, "receive", err);
    if (!found.devices) return 1;
    if (found.port.empty()) return 2;
    std::unique_ptr<MidiDevices>& devices = found.devices;
    // With --count N only the first N messages count: one pass may store more.
    const std::size_t wanted = o.count < 0 ? SIZE_MAX : static_cast<std::size_t>(o.count);
    // --timeout counts a silence of SysEx: notes, clock or Active Sensing going
    // on meanwhile do not hold the receive open.
    std::int64_t lastActivity = shell.nowMs();
    ProgressLine progress(err, o.progress && !o.quiet, shell);
    bool senderGone = false;  // the sender left between two messages
    // With --save - the messages go to standard output: their lines to standard error.
    std::ostream& lines = !o.save.empty() && writesToStandardOutput(o.save) ? err : out;
    s.messages.setListener([&](MessageList::Change change, std::size_t first, std::size_t count) {
        if (change != MessageList::Change::Appended || o.quiet) return;
        progress.clear();
        for (std::size_t i = first; i < first + count && i < wanted; ++i) lines << receivedLine(s, i) << '\n';
        lines.flush();
    });
    // The log's progress line of a dump arriving in several buffers ("Partial
    // Sysex buffer 3, total bytes: 8192") gives the bytes of the dump under way.
    s.log.onChange = [&] {
        if (s.log.lines().empty()) return;
        const std::string& line = s.log.lines().back();
        const auto at = line.find("total bytes: ");
        if (line.rfind("Partial Sysex", 0) == 0 && at != std::string::npos)
            progress.show("Receiving a dump: " + line.substr(at + 13) + " bytes");
    };
    s.midi.devices = devices.get();
    s.midi.MIDI_In_Present = true;
    bool lost = false;
    devices->onInput = [&] { MIDIInput1MidiInput(s); };
    devices->onOverflow = [&] { MIDIInput1Overflow(s); };
    devices->onLost = [&](const std::string& reason) {
        lost = true;
        // A sender that leaves after its last complete message took nothing
        // with it (what arrived before has been handed out by now). A server
        // that stopped is a loss of the device all the same.
        const bool midMessage = devices->unfinishedInput() > 0 || s.midi.SX_Object.partial;
        const bool senderLeft = reason.rfind("The connection to ", 0) == 0;
        if (senderLeft && !midMessage && s.messages.count() > 0) {
            senderGone = true;
            err << "Receiving ended after message " << s.messages.count() << ": " << reason << '\n';
            return;
        }
        MidiDeviceLost(s, reason);
    };
    try {
        devices->openInput(found.port, true);
    } catch (const TolvexError& e) {
        shell.messageBox("MIDI", e.what(), MsgIcon::Error, MsgButtons::Ok);
        return 1;
    }
    // SysEx bytes arriving count as activity, so a long dump at cable speed is
    // not cut off. Devices that cannot tell SysEx from other bytes count every byte.
    auto* ports = dynamic_cast<PortDevices*>(devices.get());
    const auto activity = [&]() -> std::uint64_t {
        return ports != nullptr ? ports->input().SysexBytesReceived() : s.messages.count();
    };
    std::uint64_t bytesSeen = activity();
    std::size_t messagesSeen = 0;
    while (!lost && stopSignal.load() == 0 && s.messages.count() < wanted) {
        if (activity() != bytesSeen || s.messages.count() != messagesSeen) {
            bytesSeen = activity();
            messagesSeen = s.messages.count();
            lastActivity = shell.nowMs();
        }
        if (shell.nowMs() - lastActivity >= static_cast<std::int64_t>(o.timeout) * 1000) break;
        shell.ProcessMessages();
    }
    if (!lost) shell.ProcessMessages();  // what arrived before a stop request counts as received
    devices->closeInput();
    InputStopped(s);
    progress.clear();
    bool incomplete = false;
    for (const auto& line : s.log.lines()) {
        const bool unfinished = line.rfind("Incomplete SysEx message discarded", 0) == 0;
        incomplete = incomplete || unfinished;
        if (unfinished || line.rfind("MIDI input overflow", 0) == 0 || line.rfind("MIDI data lost", 0) == 0 ||
            line.rfind("MIDI may be damaged", 0) == 0 || line.rfind("Several senders", 0) == 0 ||
            line.rfind("Mixed SysEx", 0) == 0 || line.ends_with("; it may be damaged"))
            err << line << '\n';
    }
    bool doubted = false;
    const std::size_t kept = std::min(s.messages.count(), wanted);
    for (std::size_t i = 0; i < kept; ++i) doubted = doubted || s.messages.at(i).storage->doubt != 0;
    bool saved = true;
    if (kept == 0) {
        // Nothing done; with --save, an empty file would only destroy what the name held before.
        err << "No SysEx received\n";
        saved = false;
    } else if (!o.save.empty()) {
        std::vector<ByteView> data;
        for (std::size_t i = 0; i < kept; ++i) data.emplace_back(s.messages.at(i).storage->sxdata);
        try {
            writeSyxFile(o.save, data);
        } catch (const TolvexError& e) {
            shell.messageBox("Error", e.what(), MsgIcon::Error, MsgButtons::Ok);
        }
    }
    if (stopSignal.load() != 0) return stopStatus();
    const bool damaged = s.midi.overflowDrops > 0 || s.midi.midiDataLost > 0 || incomplete || doubted;
    return !saved || (lost && !senderGone) || shell.failed() || damaged ? 1 : 0;
}

}  // namespace

void requestCliStop(int signalNumber) noexcept
{
    stopSignal.store(signalNumber);
}

int cliStopSignal() noexcept
{
    return stopSignal.load();
}

CliPort findCliPort(const DeviceFactory& makeDevices, Shell& shell, const std::string& clientName, bool input,
                    const std::string& wanted, const std::string& command, std::ostream& err)
{
    CliPort found;
    found.devices = makeDevices ? makeDevices(shell, clientName) : nullptr;
    if (!found.devices) {
        err << kNoMidiSystem << '\n';
        return found;
    }
    const PortMatch match = matchPort(input ? found.devices->inputNames() : found.devices->outputNames(), wanted);
    found.port = match.port;
    const char* direction = input ? "input" : "output";
    if (!match.candidates.empty())
        err << "tolvex-cli " << command << ": " << severalPortsText(direction, wanted, match.candidates) << "\n";
    else if (found.port.empty())
        err << "tolvex-cli " << command << ": no MIDI " << direction << " port named " << wanted << "\n";
    return found;
}

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const DeviceFactory& makeDevices,
           bool errIsTerminal, bool processEnds)
{
    stopSignal.store(0);
    CLI::App app("Tolvex, the MIDI SysEx librarian, without a window", "tolvex-cli");
    app.set_version_flag("--version", "tolvex-cli " + programVersionRecord().at("FileVersion"));
    app.set_help_flag();  // each command has its own --help text
    bool help = false;
    app.add_flag("-h,--help", help);
    app.require_subcommand(0, 1);
    Options o;
    o.progress = errIsTerminal;
    auto command = [&](const char* name, const char* description) {
        CLI::App* c = app.add_subcommand(name, description);
        c->set_help_flag();
        c->add_flag("-h,--help", help);
        return c;
    };
    const CLI::Range whole(0, 1 << 30);
    CLI::App* names = command("names", "name every message of .syx files");
    names->add_flag("--filter7f", o.filter7F);
    names->add_option("files", o.files);
    command("ports", "list MIDI input and output ports");
    CLI::App* send = command("send", "send every message of .syx files");
    send->add_option("--out", o.port);
    send->add_option("--delay", o.delay)->check(whole);
    send->add_flag("--wait-ack", o.waitAck);
    send->add_option("--in", o.inPort);
    send->add_option("--timeout", o.ackTimeout)->check(CLI::Range(1, 1 << 20));
    send->add_flag("-q,--quiet", o.quiet);
    send->add_option("files", o.files);
    CLI::App* receive = command("receive", "receive SysEx and print each message");
    receive->add_option("--in", o.port);
    receive->add_option("--count", o.count)->check(whole);
    receive->add_option("--timeout", o.timeout)->check(whole);
    receive->add_option("--save", o.save);
    receive->add_flag("-q,--quiet", o.quiet);
    CLI::App* run = app.add_subcommand("run", "run a command of the window");
    run->set_help_flag();
    run->prefix_command();  // its own options (--help too), in their order, go to the runner
    CLI::App* library = app.add_subcommand("library", "the patch library");
    library->set_help_flag();
    library->prefix_command();

    if (!args.empty() && args[0].rfind("-", 0) != 0 &&
        app.get_subcommands([&](CLI::App* c) { return c->get_name() == args[0]; }).empty()) {
        err << "tolvex-cli: unknown command " << args[0] << "\n" << kUsage;
        return 2;
    }
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::Success& e) {
        out << e.what() << "\n";  // --version
        return 0;
    } catch (const CLI::ParseError& e) {
        const CLI::App* failed = names->parsed()     ? names
                                 : send->parsed()    ? send
                                 : receive->parsed() ? receive
                                                     : nullptr;
        err << "tolvex-cli" << (failed ? " " + failed->get_name() : std::string()) << ": " << e.what() << "\n";
        return 2;
    }
    if (run->parsed()) return runCommands(run->remaining(), std::cin, out, err, makeDevices, nullptr, processEnds);
    if (library->parsed()) return runLibraryCommand(library->remaining(), out, err, makeDevices);
    const std::pair<CLI::App*, const char*> helps[] = {
        {names, kNamesHelp}, {app.get_subcommand("ports"), kPortsHelp}, {send, kSendHelp}, {receive, kReceiveHelp}};
    for (const auto& [c, text] : helps)
        if (c->parsed() && help) return out << text, 0;
    if (names->parsed()) return cmdNames(o, out, err);
    if (app.get_subcommand("ports")->parsed()) return cmdPorts(out, err, makeDevices);
    if (send->parsed()) return cmdSend(o, out, err, makeDevices);
    if (receive->parsed()) return cmdReceive(o, out, err, makeDevices);
    (help ? out : err) << kUsage;
    return help ? 0 : 2;
}

std::string programFolder()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("./") : exe.parent_path().string() + "/";
}

DeviceFactory systemDeviceFactory()
{
    return [](Shell& shell, const std::string& clientName) -> std::unique_ptr<MidiDevices> {
        MidiSystem system = openMidiSystemFromEnvironment({}, clientName);
        if (system.api == MidiApi::None) return nullptr;  // no MIDI system
        return std::make_unique<PortDevices>(shell, std::move(system.backends.in), std::move(system.backends.out),
                                             std::string(midiApiName(system.api)));
    };
}

}  // namespace tolvex
