#include "cli/cli.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <iostream>
#include <ostream>

#include <CLI/CLI.hpp>

#include "cli/console_shell.h"
#include "cli/runner.h"
#include "core/app/incoming.h"
#include "core/app/librarian.h"
#include "core/app/session.h"
#include "core/sysex/sx_naming.h"
#include "core/sysex/syx_file.h"
#include "core/text/ini_file.h"
#include "core/text/text_utils.h"
#include "core/text/version_info.h"
#include "devices/devices.h"
#include "devices/kronos/kronos_startup.h"
#include "midi/port_devices.h"
#include "midi/rtmidi_backend.h"

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
    "\n"
    "Run 'tolvex-cli COMMAND --help' for a command's options.\n";

constexpr char kNamesHelp[] =
    "Usage: tolvex-cli names [--filter7f] FILE...\n"
    "Prints one line per message: path, index from 0, length in bytes, name and\n"
    "supplementary text, separated by tabs. Kronos messages are named with the\n"
    "table files the window reads; what the naming notices (a Kronos parameter\n"
    "not in the tables) goes to standard error. --filter7f leaves out Kronos\n"
    "function 7F messages, as \"Filter Function 7F msgs\" does in the window.\n"
    "Exits 1 when a file was refused.\n";
constexpr char kPortsHelp[] =
    "Usage: tolvex-cli ports\n"
    "Prints the MIDI input ports (\"in:\") and output ports (\"out:\"), one per line.\n";
constexpr char kSendHelp[] =
    "Usage: tolvex-cli send --out PORT [--delay MS] FILE...\n"
    "Sends every message of the files in order to the output port (name matched\n"
    "whole, case ignored), waiting MS milliseconds between messages (default 0).\n"
    "A message without its end byte F7 is not sent. Exits 1 when a message was\n"
    "not sent or the port was lost.\n";
constexpr char kReceiveHelp[] =
    "Usage: tolvex-cli receive --in PORT [--count N] [--timeout S] [--save FILE.syx]\n"
    "Receives SysEx on the input port and prints each complete message as the\n"
    "Objects Window lists it. Stops after N messages, S seconds of silence\n"
    "(default 10), Ctrl+C or SIGTERM, then saves what it received when --save is\n"
    "given. With nothing received the file is left as it was and it exits 1.\n";

struct Options {
    std::vector<std::string> files;
    std::string port;
    int delay = 0;
    int count = -1;
    int timeout = 10;
    std::string save;
    bool filter7F = false;
};

// The listed name that matches `wanted` the way the settings file matches.
std::optional<std::string> findPort(const std::vector<std::string>& names, const std::string& wanted)
{
    for (const std::string& n : names)
        if (equalsIgnoringCase(n, wanted)) return n;
    return std::nullopt;
}

// The window's tables, for the names of Kronos messages, read when the first
// Kronos message needs them. A missing table is reported in its box but does
// not fail the command: the rest is named.
void startTables(Session& s, ConsoleShell& shell)
{
    KronosDeferStartup(s, programFolder(), false);
    wrapDeferredTableLoad([&shell](const std::function<void()>& load) {
        const bool failedBefore = shell.failed();
        load();
        if (!failedBefore) shell.clearFailed();
    });
}

int cmdNames(const Options& o, std::ostream& out, std::ostream& err)
{
    if (o.files.empty()) {
        err << kNamesHelp;
        return 2;
    }
    ConsoleShell shell(err);
    Session s(shell);
    startTables(s, shell);
    NamingOptions opts;
    opts.Filter7F = o.filter7F;
    opts.log = [&err](const std::string& line) { err << line << '\n'; };
    bool refused = false;
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
            lines += path;
            lines += '\t';
            lines += std::to_string(i);
            lines += '\t';
            lines += std::to_string(m.size());
            lines += '\t';
            lines += name;
            lines += '\t';
            lines += sup;
            lines += '\n';
            if (lines.size() >= 64 * 1024) flush();
        });
        flush();
        if (!ok) refused = true;
    }
    return refused || shell.failed() ? 1 : 0;
}

int cmdPorts(std::ostream& out, std::ostream& err, const DeviceFactory& makeDevices)
{
    ConsoleShell shell(err);
    auto devices = makeDevices(shell, "Tolvex CLI");
    for (const std::string& n : devices->inputNames()) out << "in:" << n << '\n';
    for (const std::string& n : devices->outputNames()) out << "out:" << n << '\n';
    return 0;
}

// Mirrors the session's log to a stream as lines are added or rewritten.
void mirrorLog(Session& s, std::ostream& out)
{
    s.log.onChange = [&s, &out, shown = std::uint64_t{0}]() mutable {
        if (s.log.appended == shown || s.log.lines().empty()) return;  // a rewrite, not a new line
        shown = s.log.appended;
        out << s.log.lines().back() << '\n';
        out.flush();
    };
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
    ConsoleShell shell(err);
    Session s(shell);
    startTables(s, shell);
    mirrorLog(s, out);
    bool ok = true;
    std::vector<Bytes> messages;
    for (const std::string& path : o.files) {
        if (!ReadSXfile(s, path)) {
            ok = false;
            continue;
        }
        messages.insert(messages.end(), s.SX_List.begin(), s.SX_List.end());
    }
    auto devices = makeDevices(shell, "Tolvex CLI Send");
    const auto port = findPort(devices->outputNames(), o.port);
    if (!port) {
        err << "tolvex-cli send: no MIDI output port named " << o.port << "\n";
        return 1;
    }
    bool lost = false;
    devices->onLost = [&](const std::string& reason) {
        lost = true;
        MidiDeviceLost(s, reason);
    };
    try {
        devices->openOutput(*port);
    } catch (const TolvexError& e) {
        shell.messageBox("MIDI", e.what(), MsgIcon::Error, MsgButtons::Ok);
        return 1;
    }
    s.devices = devices.get();
    s.MIDI_Out_Present = true;
    s.midiOutput = devices->output();
    // A long message keeps the output busy while it goes out at the port's
    // pace; no port is slower than MIDI's 3125 bytes a second.
    const auto waitWhileBusy = [&](std::size_t previous) {
        const std::int64_t limit = TSXobject::kBusyWaitMs + static_cast<std::int64_t>(previous) * 1000 / 3125;
        const std::int64_t start = shell.nowMs();
        while (!lost && stopSignal.load() == 0 && s.midiOutput && s.midiOutput->MidiOutBusy() &&
               shell.nowMs() - start < limit)
            shell.ProcessMessages();
    };
    int sent = 0;
    std::size_t previous = 0;
    for (std::size_t i = 0; i < messages.size() && !lost && stopSignal.load() == 0; ++i) {
        const Bytes& m = messages[i];
        if (i > 0 && o.delay > 0) shell.pause(o.delay);
        waitWhileBusy(previous);
        if (lost || stopSignal.load() != 0) break;
        std::string sup;
        bool ignore = false;
        const std::string name = SxParseName(m, sup, ignore);
        if (m.empty() || m.back() != 0xF7) {
            // A receiver would take the next message's bytes as the rest of this one.
            s.LogString("Not sent (no end byte F7): " + name);
            ok = false;
            continue;
        }
        s.LogString("Sending: " + name);
        if (s.SX_Object.MidiSysex_bulk_out(m)) {
            ++sent;
            previous = m.size();
        } else {
            ok = false;
        }
    }
    // Let the last message leave before the port closes.
    waitWhileBusy(previous);
    shell.ProcessMessages();  // a loss reported meanwhile
    devices->closeOutput();
    if (lost) {
        out << "Sent " << sent << " of " << messages.size() << " messages\n";
        return 1;
    }
    if (stopSignal.load() != 0) return stopStatus();
    return ok && !shell.failed() ? 0 : 1;
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
    auto devices = makeDevices(shell, "Tolvex CLI Receive");
    const auto port = findPort(devices->inputNames(), o.port);
    if (!port) {
        err << "tolvex-cli receive: no MIDI input port named " << o.port << "\n";
        return 1;
    }
    std::int64_t lastActivity = shell.nowMs();
    s.messages.setListener([&](MessageList::Change change, std::size_t first, std::size_t count) {
        if (change != MessageList::Change::Appended) return;
        for (std::size_t i = first; i < first + count; ++i) out << s.messages.textAt(i) << '\n';
        out.flush();
    });
    s.devices = devices.get();
    s.MIDI_In_Present = true;
    bool lost = false;
    devices->onInput = [&] {
        lastActivity = shell.nowMs();
        MIDIInput1MidiInput(s);
    };
    devices->onOverflow = [&] { MIDIInput1Overflow(s); };
    devices->onLost = [&](const std::string& reason) {
        lost = true;
        MidiDeviceLost(s, reason);
    };
    try {
        devices->openInput(*port, true);
    } catch (const TolvexError& e) {
        shell.messageBox("MIDI", e.what(), MsgIcon::Error, MsgButtons::Ok);
        return 1;
    }
    while (!lost && stopSignal.load() == 0 && (o.count < 0 || static_cast<int>(s.messages.count()) < o.count)) {
        if (shell.nowMs() - lastActivity >= static_cast<std::int64_t>(o.timeout) * 1000) break;
        shell.ProcessMessages();
    }
    if (!lost) shell.ProcessMessages();  // what arrived before a stop request counts as received
    devices->closeInput();
    for (const auto& line : s.log.lines())
        if (line.rfind("MIDI input overflow", 0) == 0) err << line << '\n';
    bool saved = true;
    if (!o.save.empty() && s.messages.count() == 0) {
        // An empty file would only destroy what the name held before.
        err << "No SysEx received\n";
        saved = false;
    } else if (!o.save.empty()) {
        std::vector<ByteView> data;
        for (std::size_t i = 0; i < s.messages.count(); ++i) data.emplace_back(s.messages.at(i).storage->sxdata);
        try {
            writeSyxFile(o.save, data);
        } catch (const TolvexError& e) {
            shell.messageBox("Error", e.what(), MsgIcon::Error, MsgButtons::Ok);
        }
    }
    if (stopSignal.load() != 0) return stopStatus();
    return !saved || lost || shell.failed() || s.overflowDrops > 0 ? 1 : 0;
}

}  // namespace

void requestCliStop(int signalNumber) noexcept
{
    stopSignal.store(signalNumber);
}

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const DeviceFactory& makeDevices)
{
    stopSignal.store(0);
    registerDeviceFamilies();
    CLI::App app("Tolvex, the MIDI SysEx librarian, without a window", "tolvex-cli");
    app.set_version_flag("--version", "tolvex-cli " + programVersionRecord().at("FileVersion"));
    app.set_help_flag();  // each command has its own --help text
    bool help = false;
    app.add_flag("-h,--help", help);
    app.require_subcommand(0, 1);
    Options o;
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
    send->add_option("files", o.files);
    CLI::App* receive = command("receive", "receive SysEx and print each message");
    receive->add_option("--in", o.port);
    receive->add_option("--count", o.count)->check(whole);
    receive->add_option("--timeout", o.timeout)->check(whole);
    receive->add_option("--save", o.save);
    CLI::App* run = app.add_subcommand("run", "run a command of the window");
    run->set_help_flag();
    run->prefix_command();  // its own options (--help too), in their order, go to the runner

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
    if (run->parsed()) return runCommands(run->remaining(), std::cin, out, err, makeDevices);
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
        return makeSystemMidiDevices(shell, {}, clientName);
    };
}

}  // namespace tolvex
