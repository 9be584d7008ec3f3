// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/library_cli.h"

#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <ostream>
#include <stdexcept>
#include <utility>

#include "cli/cli.h"
#include "cli/console_shell.h"
#include "cli/entry_line.h"
#include "cli/runner.h"
#include "core/app/incoming.h"
#include "core/app/session.h"
#include "core/sysex/syx_file.h"
#include "core/text/atomic_file.h"
#include "core/text/ini_file.h"
#include "core/text/text_utils.h"
#include "devices/devices.h"
#include "library/patch_library.h"
#include "library/syx_folder.h"

namespace tolvex {

const char kLibraryHelp[] =
    "Usage: tolvex-cli library [--library FILE] add FILE|FOLDER...\n"
    "       tolvex-cli library [--library FILE] add --received --in PORT [--timeout S] [--count N]\n"
    "       tolvex-cli library [--library FILE] list [--search TEXT] [--maker M] [--kind K]\n"
    "       tolvex-cli library [--library FILE] export [--search TEXT] [--maker M] [--kind K] [--items N,...]\n"
    "                                            [--channel C] --out FILE.syx\n"
    "       tolvex-cli library [--library FILE] bank --family F --items N,... [--channel C] --out FILE.syx\n"
    "       tolvex-cli library [--library FILE] duplicates [--ignore-names]\n"
    "       tolvex-cli library [--library FILE] merge OTHER.sqlite\n"
    "The patch library keeps every message added and every patch inside a bank\n"
    "(DX7 voices, DX7II and TX802 performances, Triton Programs and Combinations,\n"
    "Wavestation patches and performances, Kronos Combis, Peavey SP objects) once\n"
    "(the same sound is the same parameters), with every file each came from. The\n"
    "library is FILE, by default library.sqlite beside the program, or in\n"
    "$XDG_DATA_HOME/tolvex/ for an installed program. A library the user may not\n"
    "write is read only: list and export work, changes are refused.\n"
    "  add         adds .syx files (those of a folder and its subfolders too),\n"
    "              or what arrives on the input port; a patch already kept gets\n"
    "              the file as a further source; raw DX7 cartridges, banks with\n"
    "              an odd byte count or a checksum byte with bit 7 set are read\n"
    "              too, each with a line \"Read: ...\"\n"
    "  list        one item a line, tab-separated: number (from 1), name, maker,\n"
    "              model, kind, bank, number in the bank, size, source file, date\n"
    "              added (UTC); control bytes as \\xHH\n"
    "  export      the items as a .syx file (patches as edit-buffer messages)\n"
    "  bank        a bank of the family (yamaha, triton, wavestation) from up to\n"
    "              a bank's count of patches of one kind; the rest is the init patch\n"
    "  duplicates  groups of one sound: item number, then its sources; with\n"
    "              --ignore-names also patches that differ only in their names\n"
    "  merge       adds the patches of another library (not its trash) with their\n"
    "              names, categories, favourites, source files and dates\n"
    "Exits 1 when something could not be read or written, 2 for a usage error.\n";

namespace {

// A command waits this long for a library another program is changing;
// its transactions are short, so only a program that hangs holding it makes
// the command fail.
constexpr int kCliBusyWaitMs = 60000;

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Args {
    std::string library, command, search, maker, kind, out, family, items, in;
    std::vector<std::string> files;
    bool received = false, ignoreNames = false;
    int channel = 0, timeout = 10, count = -1;
};

int number(const std::string& option, const std::string& text, int lo, int hi)
{
    int v = 0;
    if (!parseDecimal(text, v) || v < lo || v > hi)
        throw UsageError(option + " takes a number " + std::to_string(lo) + " to " + std::to_string(hi) + ", not " +
                         text);
    return v;
}

Args parseArgs(const std::vector<std::string>& args)
{
    Args a;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& w = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError("missing value for " + w);
            return args[++i];
        };
        const std::pair<const char*, std::string*> texts[] = {
            {"--library", &a.library}, {"--search", &a.search}, {"--maker", &a.maker}, {"--kind", &a.kind},
            {"--out", &a.out},         {"--family", &a.family}, {"--items", &a.items}, {"--in", &a.in}};
        const auto text = std::find_if(std::begin(texts), std::end(texts), [&](const auto& t) { return w == t.first; });
        if (text != std::end(texts))
            *text->second = value();
        else if (w == "--channel")
            a.channel = number(w, value(), 0, 15);
        else if (w == "--timeout")
            a.timeout = number(w, value(), 0, 1 << 20);
        else if (w == "--count")
            a.count = number(w, value(), 1, 1 << 30);
        else if (w == "--received")
            a.received = true;
        else if (w == "--ignore-names")
            a.ignoreNames = true;
        else if (w == "--help" || w == "-h")
            a.command = "help";
        else if (w.rfind("--", 0) == 0)
            throw UsageError("unknown option " + w);
        else if (a.command.empty())
            a.command = w;
        else
            a.files.push_back(w);
    }
    return a;
}

std::string dateText(std::int64_t seconds)
{
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

// The item numbers of "3,5-7" as the library numbers them.
std::vector<std::int64_t> itemNumbers(const std::string& list)
{
    std::vector<std::int64_t> ids;
    std::string rest = list;
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        const std::string part = rest.substr(0, comma);
        rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
        const auto dash = part.find('-');
        int lo = 0, hi = 0;
        const bool ok = dash == std::string::npos
                            ? parseDecimal(part, lo) && (hi = lo, true)
                            : parseDecimal(part.substr(0, dash), lo) && parseDecimal(part.substr(dash + 1), hi);
        if (!ok || lo < 1 || hi < lo || hi - lo > 100000)
            throw UsageError("--items takes item numbers from 1 such as 3,5-7, not " + part);
        for (int i = lo; i <= hi; ++i) ids.push_back(i);
    }
    if (ids.empty()) throw UsageError("--items names no item");
    return ids;
}

void printReport(const AddReport& r, std::ostream& out, std::ostream& err)
{
    for (const std::string& p : r.problems) err << "Not read: " << p << '\n';
    for (const std::string& n : r.notes) out << "Read: " << n << '\n';
    out << "Added " << r.added << " new item(s) from " << r.messages << " message(s); " << r.duplicates
        << " already in the library\n";
}

// Receives on `port` and adds each complete message as it arrives.
int addReceived(PatchLibrary& lib, const Args& a, std::ostream& out, std::ostream& err,
                const DeviceFactory& makeDevices)
{
    ConsoleShell shell(err);
    Session s(shell);
    // Without a MIDI system there is nothing to receive from.
    CliPort found = findCliPort(makeDevices, shell, "Tolvex CLI Library", true, a.in, "library", err);
    if (found.port.empty()) return 1;
    std::unique_ptr<MidiDevices>& devices = found.devices;
    const std::string& port = found.port;
    AddReport report;
    std::int64_t last = shell.nowMs();
    int received = 0;
    s.messages.setListener([&](MessageList::Change change, std::size_t first, std::size_t count) {
        if (change != MessageList::Change::Appended) return;
        for (std::size_t i = first; i < first + count; ++i) {
            lib.addMessages({s.messages.at(i).storage->sxdata}, "", report);
            out << escapeField(s.messages.textAt(i)) << '\n';
            ++received;
        }
        out.flush();
    });
    s.midi.devices = devices.get();
    s.midi.MIDI_In_Present = true;
    bool lost = false;
    devices->onInput = [&] {
        last = shell.nowMs();
        MIDIInput1MidiInput(s);
    };
    devices->onLost = [&](const std::string&) { lost = true; };
    try {
        devices->openInput(port, true);
    } catch (const TolvexError& e) {
        err << "MIDI: " << e.what() << "\n";
        return 1;
    }
    while (!lost && cliStopSignal() == 0 && (a.count < 0 || received < a.count) &&
           shell.nowMs() - last < static_cast<std::int64_t>(a.timeout) * 1000)
        shell.ProcessMessages();
    devices->closeInput();
    printReport(report, out, err);
    if (cliStopSignal() != 0) return 128 + cliStopSignal();  // what arrived before the stop is kept
    return lost || !report.problems.empty() ? 1 : 0;
}

int addFiles(PatchLibrary& lib, const Args& a, std::ostream& out, std::ostream& err)
{
    AddReport report;
    // A folder stands for its .syx files and those of its subfolders.
    std::vector<std::string> files;
    for (const std::string& f : a.files) {
        std::error_code ec;
        if (!std::filesystem::is_directory(f, ec)) {
            files.push_back(f);
            continue;
        }
        const std::vector<std::string> found = syxFilesIn(f, report.problems);
        out << "Found " << found.size() << " .syx file(s) in " << f << '\n';
        if (found.empty()) report.problems.push_back(f + ": no .syx file in the folder");
        files.insert(files.end(), found.begin(), found.end());
    }
    out.flush();
    // A progress line only where someone watches it.
    const bool progress = files.size() > 20 && isatty(STDERR_FILENO) && &err == &std::cerr;
    lib.addFiles(
        files, report,
        [&](std::size_t done) {
            if (progress)
                err << "\rAdding: " << done << " of " << files.size() << " files, " << report.added << " new, "
                    << report.duplicates << " already kept" << std::flush;
        },
        [] { return cliStopSignal() != 0; });
    if (progress) err << '\n';
    printReport(report, out, err);
    if (report.stopped) {
        err << "Stopped: the first " << report.files << " of " << files.size()
            << " files are in the library, the rest were not added\n";
        return 128 + cliStopSignal();
    }
    return report.problems.empty() ? 0 : 1;
}

}  // namespace

int runLibraryCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      const DeviceFactory& makeDevices, const std::vector<Bytes>* received)
{
    Args a;
    try {
        a = parseArgs(args);
        if (a.command == "help") {
            out << kLibraryHelp;
            return 0;
        }
        static const char* const commands[] = {"add", "list", "export", "bank", "duplicates", "merge"};
        if (std::find(std::begin(commands), std::end(commands), a.command) == std::end(commands))
            throw UsageError(a.command.empty() ? "a command is needed (add, list, export, bank, duplicates, merge)"
                                               : "unknown command " + a.command);
        if (a.command == "merge" && a.files.size() != 1) throw UsageError("merge takes one library file");
        if (a.command == "add" && a.files.empty() == !a.received)
            throw UsageError("add takes files or --received, one of the two");
        if (a.command == "add" && a.received && !received && a.in.empty())
            throw UsageError("add --received needs the input port (--in PORT)");
        if (a.command != "add" && a.command != "merge" && !a.files.empty())
            throw UsageError("unexpected argument " + a.files.front());
        if ((a.command == "export" || a.command == "bank") && a.out.empty())
            throw UsageError(a.command + " needs --out FILE.syx");
        if (a.command == "bank" && (a.family.empty() || a.items.empty()))
            throw UsageError("bank needs --family F and --items N,...");
    } catch (const UsageError& e) {
        err << "tolvex-cli library: " << e.what() << "\n" << kLibraryHelp;
        return 2;
    }
    try {
        const std::string path = a.library.empty() ? defaultLibraryPath(programFolder()) : a.library;
        if (libraryNeedsUpdate(path))
            err << "Bringing the library " << path << " up to date (once; a large library takes a while)\n"
                << std::flush;
        PatchLibrary lib(path);
        // A message no family splits is named as the window names it.
        ConsoleShell namingShell(err);
        Session naming(namingShell);
        installDeviceFamilies(naming);
        lib.useNamers(&naming.families.namers);
        bool toldWaiting = false;
        lib.setBusyWait(kCliBusyWaitMs, [&] {
            if (!std::exchange(toldWaiting, true))
                err << "Waiting for the library: another program is changing it\n" << std::flush;
        });
        if (lib.readOnly() && a.command != "add")
            err << "The library " << lib.path() << " is read-only here: it can be listed and exported, not changed\n";
        if (a.command == "add") {
            if (!a.received) return addFiles(lib, a, out, err);
            if (!received) return addReceived(lib, a, out, err, makeDevices);
            AddReport report;
            lib.addMessages(*received, "", report);
            printReport(report, out, err);
            return report.problems.empty() ? 0 : 1;
        }
        const LibraryQuery query{a.search, a.maker, a.kind};
        if (a.command == "list") {
            const auto ids = lib.find(query);
            for (const LibraryItem& it : lib.items(ids))
                out << it.id << '\t' << escapeField(it.name) << '\t' << escapeField(it.maker) << '\t'
                    << escapeField(it.model) << '\t' << escapeField(it.kind) << '\t' << escapeField(it.bank) << '\t'
                    << (it.number < 0 ? std::string() : std::to_string(it.number)) << '\t' << it.size << '\t'
                    << escapeField(it.source) << '\t' << dateText(it.added) << '\n';
            return 0;
        }
        if (a.command == "merge") {
            const MergeReport m = lib.merge(a.files.front());
            out << "Merged " << m.items << " item(s): " << m.added << " new, " << m.already
                << " already in the library (" << m.sources << " further source file(s) for those)\n";
            return 0;
        }
        if (a.command == "duplicates") {
            int group = 0;
            for (const auto& g : lib.duplicates(a.ignoreNames)) {
                ++group;
                for (const LibraryItem& it : lib.items(g)) {
                    out << group << '\t' << it.id << '\t' << escapeField(it.name) << '\t' << escapeField(it.maker)
                        << '\t' << escapeField(it.model) << '\t' << escapeField(it.kind);
                    for (const std::string& src : lib.sources(it.id)) out << '\t' << escapeField(src);
                    out << '\n';
                }
            }
            return 0;
        }
        std::vector<Bytes> messages;
        if (a.command == "bank") {
            messages.push_back(lib.assembleBank(a.family, itemNumbers(a.items), a.channel));
        } else {
            const auto ids = a.items.empty() ? lib.find(query) : itemNumbers(a.items);
            for (std::int64_t id : ids) messages.push_back(lib.message(id, a.channel));
            if (messages.empty()) {
                err << "tolvex-cli library: no item matches; " << a.out << " was left as it was\n";
                return 1;
            }
        }
        std::vector<ByteView> views(messages.begin(), messages.end());
        writeSyxFile(a.out, views);
        (writesToStandardOutput(a.out) ? err : out)
            << "Wrote " << messages.size() << " message(s) to " << a.out << '\n';
        return 0;
    } catch (const UsageError& e) {
        err << "tolvex-cli library: " << e.what() << "\n";
        return 2;
    } catch (const TolvexError& e) {
        err << "tolvex-cli library: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace tolvex
