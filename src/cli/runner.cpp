// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/runner.h"

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <istream>
#include <memory>
#include <ostream>
#include <sstream>
#include <stdexcept>

#include "cli/console_shell.h"
#include "cli/entry_line.h"
#include "cli/library_cli.h"
#include "cli/port_names.h"
#include "core/app/command_table.h"
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
#include "devices/devices.h"

namespace tolvex {

namespace {

constexpr char kRunHelp[] =
    "Usage: tolvex-cli run COMMAND [FILE...] [OPTIONS]\n"
    "       tolvex-cli run --script FILE|-  [--in PORT] [--out PORT]\n"
    "       tolvex-cli run --list\n"
    "Loads the files into the message list as Open Sysex does, then runs the command\n"
    "named by its caption or control name (case ignored), as its button would.\n"
    "Options:\n"
    "  --select LIST      entries selected before the command, 1-based (\"1,3-5\"; default: all loaded)\n"
    "  --set NAME=VALUE   a box, check box or drop-down of a window, by control name or caption;\n"
    "                     NAME[ROW]=VALUE for a row of a control array, a drop-down by entry number or text\n"
    "  --answer TEXT      answers to question boxes in order: yes, no, ok, cancel,\n"
    "                     or a button's own caption (\"1-32\")\n"
    "  --file PATH        answers to file dialogs in order (\"-\" saves to standard output)\n"
    "  --in PORT, --out PORT  MIDI ports for commands that talk to an instrument\n"
    "  --save-list FILE   afterwards, every entry of the list to one .syx file\n"
    "  --save-new FILE    afterwards, only the entries the command added\n"
    "                     (\"-\": standard output; after a failed command, or with\n"
    "                     nothing to save, FILE is left as it was and the exit is 1)\n"
    "  --list-entries     afterwards, the list as 'names' prints it\n"
    "Entries are numbered from 1 everywhere: --select, select, --list-entries, names.\n"
    "A script has one step a line: open FILE..., select LIST, set NAME=VALUE,\n"
    "answer TEXT, file PATH, do COMMAND, save-list FILE, save-new FILE, list-entries,\n"
    "library ARGS (as tolvex-cli library; add --received adds what arrived on --in);\n"
    "blank lines and lines starting with # are skipped.\n"
    "The log goes to standard output, boxes to standard error as \"TITLE: text\".\n"
    "Exits 1 when an Error or Warning box was shown or a file held no SysEx (the\n"
    "command is then not run), 2 for a usage error.\n"
    "tolvex-cli run COMMAND --help tells what one command reads, asks and writes.\n";

// A mistake in what the user asked for (exit 2), never a hang.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// What the run needs is not there (no MIDI system, no such port): exit 1.
struct RunFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string joined(const std::vector<std::string>& names)
{
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
    return out;
}

// Boxes go to standard error as in every command; questions take the --answer
// texts in order and file dialogs the --file paths.
class RunnerShell : public ConsoleShell {
public:
    using ConsoleShell::ConsoleShell;

    MsgResult messageBox(const std::string& title, const std::string& text, MsgIcon icon, MsgButtons buttons) override
    {
        ConsoleShell::messageBox(title, text, icon, buttons);
        return answer(title, text, icon, buttons, {});
    }
    // A box whose buttons carry their own captions takes those captions as
    // answers (case ignored), not the standard names.
    MsgResult captionedBox(const std::string& title, const std::string& text, MsgIcon icon, MsgButtons buttons,
                           const std::vector<std::string>& captions) override
    {
        ConsoleShell::captionedBox(title, text, icon, buttons, captions);
        return answer(title, text, icon, buttons, captions);
    }
    std::vector<std::string> openFileDialog(const FileDialogRequest& r) override { return {nextFile(r)}; }
    std::optional<std::string> saveFileDialog(const FileDialogRequest& r) override { return nextFile(r); }

    std::deque<std::string> answers;
    std::deque<std::string> files;
    bool warned = false;
    std::string lastWarning;

private:
    MsgResult answer(const std::string& title, const std::string& text, MsgIcon icon, MsgButtons buttons,
                     const std::vector<std::string>& captions)
    {
        if (title == "Error" || title == "Warning" || icon == MsgIcon::Error || icon == MsgIcon::Warning) {
            warned = true;
            lastWarning = text;
        }
        const bool question =
            buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel || icon == MsgIcon::Question;
        if (!question) return MsgResult::Ok;
        if (answers.empty())
            throw UsageError("the box \"" + text + "\" asks a question and no answer is left (--answer)");
        const std::string a = lowerCase(answers.front());
        answers.pop_front();
        std::vector<MsgResult> offered;
        switch (buttons) {
        case MsgButtons::Ok: offered = {MsgResult::Ok}; break;
        case MsgButtons::OkCancel: offered = {MsgResult::Ok, MsgResult::Cancel}; break;
        case MsgButtons::YesNo: offered = {MsgResult::Yes, MsgResult::No}; break;
        case MsgButtons::YesNoCancel: offered = {MsgResult::Yes, MsgResult::No, MsgResult::Cancel}; break;
        }
        if (!captions.empty()) {
            for (std::size_t i = 0; i < captions.size() && i < offered.size(); ++i)
                if (a == lowerCase(captions[i])) return offered[i];
        } else {
            const std::pair<const char*, MsgResult> known[] = {
                {"yes", MsgResult::Yes}, {"no", MsgResult::No}, {"ok", MsgResult::Ok}, {"cancel", MsgResult::Cancel}};
            for (const auto& [name, result] : known)
                if (a == name && std::find(offered.begin(), offered.end(), result) != offered.end()) return result;
        }
        throw UsageError("the answer '" + a + "' is no button of the box \"" + text + "\"");
    }

    std::string nextFile(const FileDialogRequest& r)
    {
        if (files.empty()) throw UsageError("the command asks for a file (" + r.title + ") and no --file is left");
        std::string f = files.front();
        files.pop_front();
        return f;
    }
};

struct Step {
    std::string verb;
    std::vector<std::string> args;
    int line = 0;  // 0: from the command line
};

class Runner {
public:
    // `dataToOut`: a step writes data to standard output, so the log goes to `err`.
    Runner(std::ostream& out, std::ostream& err, const DeviceFactory& makeDevices, const CommandTable& table,
           bool dataToOut = false)
        : out_(out), err_(err), log_(dataToOut ? err : out), makeDevices_(makeDevices), table_(table), shell_(err)
    {
        // The window's start: its tables, its settings and boxes as the user left them.
        const std::string progpath = programFolder();
        // The window's diagnostic file too, but only once there is a line for it.
        s_.paths.diagnosticsFolder = diagnosticsFolder(progpath);
        s_.paths.diagnosticsOnFirstLine = true;
        s_.log.debugFile.openOnFirstLine(s_.paths.diagnosticPath(DebugFile::kDefaultName));
        installDeviceFamilies(s_);
        startFamilyTables(s_, progpath);
        // The tables are read when first needed; a missing one is reported but
        // is no failure of the step that happened to need them.
        // Their start-up lines stay out of the output, as when they were read at start.
        s_.families.wrapDeferredLoads([this](const std::function<void()>& load) {
            const bool warned = shell_.warned;
            const std::string lastWarning = shell_.lastWarning;
            followLog(true);
            auto follow = std::move(s_.log.onChange);
            s_.log.onChange = nullptr;
            load();
            s_.log.onChange = std::move(follow);
            shown_ = s_.log.appended;
            shell_.warned = warned;
            shell_.lastWarning = lastWarning;
        });
        s_.midi.portsByOption = true;
        FormCreate(s_, progpath);
        shown_ = s_.log.appended;
        s_.log.onChange = [this] { followLog(false); };
    }

    void openPorts(const std::string& inPort, const std::string& outPort)
    {
        if (inPort.empty() && outPort.empty()) return;
        devices_ = makeDevices_ ? makeDevices_(shell_, "Tolvex CLI Run") : nullptr;
        if (!devices_) throw RunFailure(kNoMidiSystem);
        s_.midi.devices = devices_.get();
        auto find = [](const std::vector<std::string>& names, const std::string& wanted, const char* direction) {
            PortMatch match = matchPort(names, wanted);
            if (!match.candidates.empty()) throw RunFailure(severalPortsText(direction, wanted, match.candidates));
            if (match.port.empty()) throw RunFailure("No MIDI port named " + wanted);
            return match.port;
        };
        devices_->onInput = [this] {
            // What arrives is kept for a later "library add --received".
            const std::size_t before = s_.messages.count();
            MIDIInput1MidiInput(s_);
            for (std::size_t i = before; i < s_.messages.count(); ++i)
                received_.push_back(s_.messages.at(i).storage->sxdata);
        };
        devices_->onOverflow = [this] { MIDIInput1Overflow(s_); };
        devices_->onLost = [this](const std::string& reason) { MidiDeviceLost(s_, reason); };
        if (!inPort.empty()) {
            devices_->openInput(find(devices_->inputNames(), inPort, "input"), true);
            s_.midi.MIDI_In_Present = true;
        }
        if (!outPort.empty()) {
            devices_->openOutput(find(devices_->outputNames(), outPort, "output"));
            s_.midi.MIDI_Out_Present = true;
            s_.midi.midiOutput = devices_->output();
        }
    }

    // Runs the steps in order; stops at the first that fails. Names of
    // commands and fields are checked first, so a typing slip changes nothing.
    int run(const std::vector<Step>& steps)
    {
        for (const Step& st : steps) {
            try {
                static const char* const verbs[] = {"open", "select",    "set",      "answer",       "file",
                                                    "do",   "save-list", "save-new", "list-entries", "library"};
                if (std::find(std::begin(verbs), std::end(verbs), st.verb) == std::end(verbs))
                    throw UsageError("unknown step '" + st.verb + "'");
                if (st.verb == "do" && st.args.size() == 1) command(st.args[0]);
                if (st.verb == "set" && st.args.size() == 1) field(st.args[0]);
            } catch (const UsageError& e) {
                err_ << "tolvex-cli run: " << (st.line > 0 ? "line " + std::to_string(st.line) + ": " : "") << e.what()
                     << "\n";
                return 2;
            }
        }
        int status = 0;
        for (const Step& st : steps) {
            try {
                shell_.warned = false;
                step(st);
                if (shell_.warned) {
                    status = 1;
                    failed_ = true;
                    if (st.line > 0) {
                        err_ << "tolvex-cli run: line " << st.line << ": " << shell_.lastWarning << "\n";
                        break;
                    }
                    // The command does not run on part of the files: Save As would
                    // replace its file with less than the user gave it.
                    if (st.verb == "open") break;
                }
            } catch (const UsageError& e) {
                followLog(true);
                err_ << "tolvex-cli run: " << (st.line > 0 ? "line " + std::to_string(st.line) + ": " : "") << e.what()
                     << "\n";
                status = 2;
                break;
            } catch (const std::exception& e) {
                followLog(true);
                err_ << "Error: " << e.what() << "\n";
                err_ << "tolvex-cli run: " << (st.line > 0 ? "line " + std::to_string(st.line) + ": " : "") << e.what()
                     << "\n";
                status = 1;
                break;
            }
            followLog(true);
        }
        if (devices_) {
            // What is still going out leaves before the port closes.
            const std::int64_t start = shell_.nowMs();
            while (s_.midi.midiOutput && s_.midi.midiOutput->MidiOutBusy() && shell_.nowMs() - start < kBusyWaitMs)
                shell_.ProcessMessages();
            devices_->closeInput();
            devices_->closeOutput();
        }
        return status;
    }

    // The steps are done and the process ends: the list is not freed entry by entry.
    void abandonList() { s_.messages.abandon(); }

    // A name that matches no command or field, with the names close to it.
    [[noreturn]] void refuseUnknown(const char* what, const std::string& name) const
    {
        const auto close = table_.closeNames(name);
        throw UsageError(std::string("no ") + what + " named " + name +
                         (close.empty() ? "" : "; close names: " + joined(close)));
    }

    // What `run NAME --help` prints: for each command the name means, what it
    // reads (with the fields' texts as they are now), asks, writes and how it exits.
    int help(const std::string& name)
    {
        const auto found = table_.findAll(name);
        if (found.empty()) refuseUnknown("command", name);
        for (const Command* c : found) {
            out_ << plainCaption(c->caption) << " (control " << c->control << "), " << c->window
                 << (c->place.empty() ? "" : ", " + c->place) << "\n";
            if (!c->hint.empty()) out_ << "  " << c->hint << "\n";
            const CommandUse* use = table_.useOf(c->control);
            if (!c->run) {
                out_ << "  Not available: this control has no command.\n\n";
                continue;
            }
            if (!use) {
                out_ << "  Not described.\n\n";
                continue;
            }
            out_ << "Reads:\n";
            if (!use->selection.empty())
                out_ << "  " << use->selection << " (--select LIST; default: every entry loaded)\n";
            for (const std::string& control : use->fields) out_ << "  " << fieldNow(control) << "\n";
            for (const std::string& r : use->reads) out_ << "  " << r << "\n";
            if (use->selection.empty() && use->fields.empty() && use->reads.empty()) out_ << "  nothing\n";
            if (!use->asks.empty()) {
                out_ << "Asks (--answer TEXT, in this order):\n";
                for (const Question& q : use->asks) {
                    out_ << "  \"" << q.text << "\"\n";
                    for (const std::string& a : q.answers) out_ << "    " << a << "\n";
                }
            }
            out_ << "Writes:\n";
            for (const std::string& w : use->writes) out_ << "  " << w << "\n";
            out_ << "Exit status:\n  0  done without an Error or Warning box\n";
            out_ << "  1  an Error or Warning box";
            for (std::size_t i = 0; i < use->refuses.size(); ++i) out_ << (i ? "; " : ": ") << use->refuses[i];
            out_ << "\n  2  a usage error (an unknown name or value"
                 << (use->asks.empty() ? "" : ", a question with no --answer left") << ")\n\n";
        }
        return 0;
    }

private:
    // A field as the help shows it: control, caption and its text now.
    std::string fieldNow(const std::string& control) const
    {
        const auto fields = table_.findFields(control);
        if (fields.empty()) return control;
        const Field& f = *fields.front();
        std::string text = f.control + (f.caption.empty() ? "" : " (\"" + f.caption + "\")");
        if (f.count > 0) return text + ", rows 1-" + std::to_string(f.count) + " (--set " + f.control + "[ROW]=VALUE)";
        if (f.check)
            return text + ", check box, now " + (s_.controls.checked.get(f.control) ? "1" : "0") + " (--set " +
                   f.control + "=1|0)";
        return text + ", now \"" + s_.controls.text.get(f.control) + "\" (--set " + f.control + "=VALUE)";
    }

    void step(const Step& st)
    {
        const auto need = [&](std::size_t n) {
            if (st.args.size() != n) throw UsageError(st.verb + " takes " + std::to_string(n) + " argument(s)");
        };
        if (st.verb == "open") {
            if (st.args.empty()) throw UsageError("open needs a file");
            const std::size_t before = s_.messages.count();
            // A file that gives no message fails the step, as it fails names:
            // a script must not go on as if it had been loaded.
            for (const std::string& path : st.args)
                if (!OpenSysexFile(s_, path)) {
                    shell_.warned = true;
                    shell_.lastWarning = path + " was not loaded";
                }
            std::vector<bool> loaded(s_.messages.count());
            for (std::size_t i = before; i < loaded.size(); ++i) loaded[i] = true;
            s_.messages.setSelection(loaded);
        } else if (st.verb == "select") {
            need(1);
            std::vector<bool> chosen(s_.messages.count());
            try {
                for (std::size_t i : parseSelection(st.args[0], chosen.size())) chosen[i] = true;
            } catch (const TolvexError& e) {
                throw UsageError(e.what());
            }
            s_.messages.setSelection(chosen);
        } else if (st.verb == "set") {
            need(1);
            set(st.args[0]);
        } else if (st.verb == "answer") {
            need(1);
            shell_.answers.push_back(st.args[0]);
        } else if (st.verb == "file") {
            need(1);
            shell_.files.push_back(st.args[0]);
        } else if (st.verb == "do") {
            need(1);
            doCommand(st.args[0]);
        } else if (st.verb == "save-list" || st.verb == "save-new") {
            need(1);
            save(st.args[0], st.verb == "save-list" ? 0 : addedFrom_, st.verb == "save-list");
        } else if (st.verb == "library") {
            followLog(true);
            const int status = runLibraryCommand(st.args, out_, err_, makeDevices_, &received_);
            if (status == 2) throw UsageError("library " + joined(st.args) + ": usage error");
            if (status != 0)
                shell_.messageBox("Error", "library " + joined(st.args) + " failed", MsgIcon::Error, MsgButtons::Ok);
        } else if (st.verb == "list-entries") {
            need(0);
            followLog(true);
            for (std::size_t i = 0; i < s_.messages.count(); ++i) {
                const TSXstorage& m = *s_.messages.at(i).storage;
                std::string sup;
                bool ignore = false;
                const std::string name = SxParseName(m.sxdata, sup, ignore, namingOf(s_));
                out_ << entryLine(m.filename, i + 1, m.sxdata.size(), name, sup) << '\n';
            }
        } else {
            throw UsageError("unknown step '" + st.verb + "'");
        }
    }

    // Saves the entries from `from` on. A file the user already has is never
    // emptied or replaced by nothing: not after a failed step, not when there
    // is nothing to write ("-" is standard output).
    void save(const std::string& path, std::size_t from, bool whole)
    {
        if (failed_) {
            err_ << path << " not written: the command failed\n";
            return;
        }
        if (from >= s_.messages.count()) {
            const std::string text =
                std::string("Nothing to save: ") + (whole ? "the list is empty" : "no entry was added");
            err_ << text << "\n";
            shell_.warned = true;
            shell_.lastWarning = text;
            return;
        }
        std::vector<ByteView> data;
        for (std::size_t i = from; i < s_.messages.count(); ++i) data.emplace_back(s_.messages.at(i).storage->sxdata);
        followLog(true);  // the log before the bytes when both go to standard output
        try {
            writeSyxFile(path, data);
            if (!isStandardStream(path)) s_.log.LogString("Wrote " + path);
        } catch (const TolvexError& e) {
            shell_.messageBox("Error", e.what(), MsgIcon::Error, MsgButtons::Ok);
        }
    }

    // The field an assignment names and the session key of its control:
    // "NAME=VALUE", or "NAME[ROW]=VALUE" for a row of a control array.
    std::pair<const Field*, std::string> field(const std::string& assignment) const
    {
        const auto eq = assignment.find('=');
        if (eq == std::string::npos || eq == 0) throw UsageError("set needs NAME=VALUE, not " + assignment);
        std::string name = assignment.substr(0, eq);
        const auto open = name.find('[');
        int row = 0;
        if (open != std::string::npos) {
            if (name.back() != ']' || !parseDecimal(name.substr(open + 1, name.size() - open - 2), row))
                throw UsageError("a row is NAME[NUMBER], not " + name);
            name.erase(open);
        }
        const auto fields = table_.findFields(name);
        if (fields.empty()) refuseUnknown("field", name);
        if (fields.size() > 1) {
            std::vector<std::string> controls;
            for (const Field* f : fields) controls.push_back(f->control);
            throw UsageError(name + " names several fields; use one of: " + joined(controls));
        }
        const Field& f = *fields.front();
        if (f.count == 0) {
            if (open != std::string::npos) throw UsageError(f.control + " is a single control, not an array");
            return {&f, f.control};
        }
        const std::string rows = "[1] to " + f.control + "[" + std::to_string(f.count) + "]";
        if (open == std::string::npos)
            throw UsageError(f.control + " is an array of controls: give a row, " + f.control + rows);
        if (row < 1 || row > f.count)
            throw UsageError(f.control + " has no row " + std::to_string(row) + ": its rows are " + f.control + rows);
        return {&f, f.control + "[" + std::to_string(row) + "]"};
    }

    void set(const std::string& assignment)
    {
        const auto [f, key] = field(assignment);
        const std::string value = assignment.substr(assignment.find('=') + 1);
        if (!f->items.empty()) {
            s_.controls.chosen.set(key, entry(*f, value));
            return;
        }
        if (!f->check) {
            s_.controls.text.set(key, value);
            return;
        }
        const std::string v = lowerCase(value);
        if (v == "1" || v == "true" || v == "yes" || v == "on")
            s_.controls.checked.set(key, true);
        else if (v == "0" || v == "false" || v == "no" || v == "off")
            s_.controls.checked.set(key, false);
        else
            throw UsageError(f->control + " is a check box: give 1 or 0, not " + value);
    }

    // A drop-down's entry, 1-based, by its number or its text (case and runs of blanks ignored).
    static int entry(const Field& f, const std::string& value)
    {
        const int n = static_cast<int>(f.items.size());
        int number = 0;
        if (parseDecimal(value, number) && number >= 1 && number <= n) return number;
        const auto words = [](const std::string& text) {
            std::string out;
            std::istringstream in(text);
            for (std::string w; in >> w;) {
                if (!out.empty()) out += ' ';
                out += lowerCase(w);
            }
            return out;
        };
        for (int i = 0; i < n; ++i)
            if (words(f.items[static_cast<std::size_t>(i)]) == words(value)) return i + 1;
        throw UsageError(f.control + " is a drop-down: give an entry 1 to " + std::to_string(n) + " or its text (\"" +
                         f.items.front() + "\" ...), not " + value);
    }

    const Command& command(const std::string& name) const
    {
        const auto found = table_.findAll(name);
        if (found.empty()) refuseUnknown("command", name);
        if (found.size() > 1) {
            std::vector<std::string> controls;
            for (const Command* c : found) controls.push_back(c->control + " (" + c->place + ")");
            throw UsageError(name + " is the caption of several commands; use one of: " + joined(controls));
        }
        const Command& c = *found.front();
        if (!c.run)
            throw UsageError(c.control + " (\"" + plainCaption(c.caption) + "\")" +
                             (c.noAction ? " has no action" : " is not available yet"));
        return c;
    }

    void doCommand(const std::string& name)
    {
        const Command& c = command(name);
        addedFrom_ = s_.messages.count();
        try {
            if (c.showWindow) c.showWindow(s_);
            c.run(s_);
            awaitPostProcess();
        } catch (const TolvexError& e) {
            shell_.messageBox("Error", e.what(), MsgIcon::Error, MsgButtons::Ok);
        }
    }

    // A command that armed a post-process (Triton "ParsEfx") is done once the
    // answer it asked for has arrived and the post-process has run, as the
    // window would show it; a run does not end before that, or kPostProcessWaitMs.
    void awaitPostProcess()
    {
        const std::int64_t start = shell_.nowMs();
        while (s_.operation.PendingPostProcess && devices_ && s_.midi.MIDI_In_Present &&
               shell_.nowMs() - start < kPostProcessWaitMs)
            shell_.ProcessMessages();
        if (s_.operation.PendingPostProcess) {
            s_.operation.PendingPostProcess = false;
            shell_.messageBox("Warning",
                              format("No answer within %d s: post-process %s not run", kPostProcessWaitMs / 1000,
                                     s_.operation.PostProcessTask.c_str()),
                              MsgIcon::Warning, MsgButtons::Ok);
        }
    }
    static constexpr int kPostProcessWaitMs = 5000;

    // Prints each log line once, in its final form: a line waits until a newer
    // one follows it (progress lines are rewritten while they are the newest)
    // or, with `all`, until the step ends.
    void followLog(bool all)
    {
        const LogList& log = s_.log;
        const std::uint64_t first = log.appended - static_cast<std::uint64_t>(log.count());
        const std::uint64_t end = all ? log.appended : (log.appended > 0 ? log.appended - 1 : 0);
        for (std::uint64_t k = std::max(shown_, first); k < end; ++k)
            log_ << log.line(static_cast<int>(k - first)) << '\n';
        if (end > shown_) shown_ = end;
        // A step that logs a million lines ("Freeing: ...") is not held up by a
        // flush per line; one who watches still sees the lines within a tenth of a second.
        const std::int64_t now = shell_.nowMs();
        if (all || now - flushedAt_ >= 100) {
            log_.flush();
            flushedAt_ = now;
        }
    }

    std::ostream& out_;
    std::ostream& err_;
    std::ostream& log_;  // out_, or err_ when data goes to standard output
    const DeviceFactory& makeDevices_;
    const CommandTable& table_;
    RunnerShell shell_;
    Session s_{shell_};
    std::unique_ptr<MidiDevices> devices_;
    std::size_t addedFrom_ = 0;
    std::uint64_t shown_ = 0;
    std::vector<Bytes> received_;  // every message received while the script runs
    bool failed_ = false;          // a step showed an Error or Warning box: nothing is saved after it
    std::int64_t flushedAt_ = 0;
};

// Whether a step puts data on standard output ("-", /dev/stdout): a file
// dialog's answer, a save of the list, a library export or bank.
bool writesData(const Step& st)
{
    if (st.verb == "file" || st.verb == "save-list" || st.verb == "save-new")
        return !st.args.empty() && writesToStandardOutput(st.args[0]);
    if (st.verb == "library")
        for (std::size_t i = 0; i + 1 < st.args.size(); ++i)
            if (st.args[i] == "--out" && writesToStandardOutput(st.args[i + 1])) return true;
    return false;
}

std::vector<Step> readScript(std::istream& in)
{
    std::vector<Step> steps;
    std::string text;
    int line = 0;
    while (std::getline(in, text)) {
        ++line;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        const auto start = text.find_first_not_of(" \t");
        if (start == std::string::npos || text[start] == '#') continue;
        std::vector<std::string> words;
        try {
            words = splitWords(text);
        } catch (const TolvexError& e) {
            throw UsageError("line " + std::to_string(line) + ": " + e.what());
        }
        Step st{words.front(), {words.begin() + 1, words.end()}, line};
        steps.push_back(std::move(st));
    }
    return steps;
}

void listCommands(std::ostream& out, const CommandTable& table)
{
    out << "window\tpage or menu\tcaption\tcontrol\n";
    for (const Command& c : table.all())
        out << c.window << '\t' << (c.place.empty() ? "-" : c.place) << '\t' << plainCaption(c.caption) << '\t'
            << c.control
            << (c.run        ? ""
                : c.noAction ? "\t(no action)"
                             : "\t(not built yet)")
            << '\n';
    out << "\nfields (--set NAME=VALUE):\n";
    for (const Field& f : table.fields())
        out << f.window << '\t' << (f.caption.empty() ? "-" : f.caption) << '\t' << f.control
            << (f.count > 0 ? "[1-" + std::to_string(f.count) + "]" : "")
            << (!f.items.empty() ? "\tdrop-down"
                : f.check        ? "\tcheck box"
                                 : "\tbox")
            << '\n';
}

}  // namespace

std::vector<std::string> splitWords(const std::string& line)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            else if (c == '\\' && quote == '"' && i + 1 < line.size())
                word += line[++i];
            else
                word += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
        } else if (c == '\\' && i + 1 < line.size()) {
            word += line[++i];
            inWord = true;
        } else if (c == ' ' || c == '\t') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quote) throw TolvexError(std::string("unclosed ") + quote);
    if (inWord) words.push_back(word);
    return words;
}

std::vector<std::size_t> parseSelection(const std::string& list, std::size_t count)
{
    // Marks in list order, so any number of parts costs one pass over the text
    // and one over the entries.
    std::vector<bool> marked(count);
    bool any = false;
    std::size_t start = 0;
    while (start < list.size()) {
        auto comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        const std::string part = list.substr(start, comma - start);
        start = comma + 1;
        const auto dash = part.find('-');
        int lo = 0, hi = 0;
        const bool ok = dash == std::string::npos
                            ? parseDecimal(part, lo) && (hi = lo, true)
                            : parseDecimal(part.substr(0, dash), lo) && parseDecimal(part.substr(dash + 1), hi);
        if (!ok || lo < 1 || hi < lo || static_cast<std::size_t>(hi) > count)
            throw TolvexError("no entries " + part + " among " + std::to_string(count) + " (select counts from 1)");
        for (int i = lo; i <= hi; ++i) marked[static_cast<std::size_t>(i - 1)] = true;
        any = true;
    }
    if (!any) throw TolvexError("an empty selection");
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < count; ++i)
        if (marked[i]) out.push_back(i);
    return out;
}

int runCommands(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
                const DeviceFactory& makeDevices, const CommandTable* table, bool processEnds)
{
    CommandTable programTable;
    if (!table) {
        programTable = makeCommandTable();
        registerDeviceFamilies(programTable);
    }
    const CommandTable& commands = table ? *table : programTable;
    std::string command, script, inPort, outPort;
    std::vector<std::string> files;
    std::vector<Step> before, after;
    bool list = false, help = false;
    try {
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            auto value = [&]() -> const std::string& {
                if (i + 1 >= args.size()) throw UsageError("missing value for " + a);
                return args[++i];
            };
            if (a == "--help" || a == "-h") {
                help = true;
            } else if (a == "--list") {
                list = true;
            } else if (a == "--script") {
                script = value();
            } else if (a == "--select") {
                before.push_back({"select", {value()}, 0});
            } else if (a == "--set") {
                before.push_back({"set", {value()}, 0});
            } else if (a == "--answer") {
                before.push_back({"answer", {value()}, 0});
            } else if (a == "--file") {
                before.push_back({"file", {value()}, 0});
            } else if (a == "--in") {
                inPort = value();
            } else if (a == "--out") {
                outPort = value();
            } else if (a == "--save-list" || a == "--save-new") {
                after.push_back({a.substr(2), {value()}, 0});
            } else if (a == "--list-entries") {
                after.push_back({"list-entries", {}, 0});
            } else if (a.rfind("--", 0) == 0) {
                throw UsageError("unknown option " + a);
            } else if (command.empty() && script.empty()) {
                command = a;
            } else {
                files.push_back(a);
            }
        }
        if (help && (command.empty() || !script.empty())) {
            out << kRunHelp;
            return 0;
        }
        if (list) {
            listCommands(out, commands);
            return 0;
        }
        if (help) return Runner(out, err, makeDevices, commands).help(command);
        std::vector<Step> steps;
        if (!script.empty()) {
            if (!command.empty() || !files.empty()) throw UsageError("--script takes no command or files");
            if (script == "-") {
                steps = readScript(in);
            } else {
                std::ifstream f(script);
                if (!f) throw UsageError("cannot open script " + script);
                steps = readScript(f);
            }
        } else {
            if (command.empty()) {
                err << kRunHelp;
                return 2;
            }
            if (!files.empty()) steps.push_back({"open", files, 0});
            steps.insert(steps.end(), before.begin(), before.end());
            steps.push_back({"do", {command}, 0});
            steps.insert(steps.end(), after.begin(), after.end());
        }
        const bool dataToOut = std::any_of(steps.begin(), steps.end(), writesData);
        Runner runner(out, err, makeDevices, commands, dataToOut);
        runner.openPorts(inPort, outPort);
        const int status = runner.run(steps);
        if (processEnds) runner.abandonList();
        return status;
    } catch (const UsageError& e) {
        err << "tolvex-cli run: " << e.what() << "\n";
        return 2;
    } catch (const RunFailure& e) {
        err << e.what() << "\n";
        return 1;
    } catch (const TolvexError& e) {
        err << "MIDI: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace tolvex
