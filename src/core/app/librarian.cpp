// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/librarian.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "core/app/controls.h"
#include "core/app/device_commands.h"
#include "core/app/dump_confirmation.h"
#include "core/app/incoming.h"
#include "core/app/midi_port.h"
#include "core/app/sysex_out.h"
#include "core/app/window_session.h"
#include "core/sysex/sx_naming.h"
#include "core/sysex/syx_file.h"
#include "core/text/atomic_file.h"
#include "core/text/text_utils.h"

namespace tolvex {

namespace {

constexpr char kSyxOpenFilter[] = "Sysex files (*.syx)|*.SYX|All files (*.*)|*.*";
constexpr char kSyxSaveFilter[] = "Sysex files|*.syx";

// A running send holds copies of its messages, but removing entries under it
// would still surprise the user; they wait for it or cancel it.
bool refuseWhileSending(Session& s)
{
    if (!s.midi.SendRunning) return false;
    s.shell.messageBox("Warning", "Wait for the send to finish or press Cancel", MsgIcon::Warning);
    return true;
}

// One message of a send, copied when the send starts.
struct OutgoingMessage {
    std::string text;
    Bytes sxdata;
    // With "Wait for the instrument": how its instrument confirms it, when it does.
    std::optional<DumpConfirmation> confirmation = std::nullopt;
};

bool isHexWord(const std::string& w)
{
    for (char c : w)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
    return true;
}

// Reads and checks a file, showing the boxes of a refused one.
bool readChecked(Session& s, const std::string& source, SyxSplitter::Sink sink, SyxParse& parsed)
{
    s.shell.setBusyCursor(true);
    // The box and the log line name the file: of several files opened at once
    // the user sees which one was refused.
    const auto refuse = [&](const std::string& title, const std::string& text, MsgIcon icon, MsgButtons buttons) {
        s.log.LogString(source + ": " + text);
        s.shell.messageBox(title, source + ": " + text, icon, buttons);
        return false;
    };
    try {
        if (isStandardStream(source)) {
            SyxSplitter splitter(sink);
            std::vector<char> chunk(64 * 1024);
            while (std::cin.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || std::cin.gcount() > 0)
                splitter.feed(ByteView(reinterpret_cast<const std::uint8_t*>(chunk.data()),
                                       static_cast<std::size_t>(std::cin.gcount())));
            parsed = splitter.finish();
        } else {
            std::error_code ec;
            if (std::filesystem::is_directory(source, ec)) throw TolvexError("Cannot open file " + source);
            parsed = readSyxFile(source, std::move(sink));
        }
    } catch (const TolvexError& e) {
        const std::string text =
            isStandardStream(source) ? std::string(e.what()) : e.what() + (": " + openFailureReason(source));
        s.shell.setBusyCursor(false);
        s.shell.messageBox("Error", text, MsgIcon::Error);
        return false;
    }
    s.shell.setBusyCursor(false);
    switch (parsed.status) {
    case SyxParse::Status::TooManyLeadingBytes:
        return refuse("Error", "File Contains > 100 bytes of non-sysex - not loaded", MsgIcon::Warning, MsgButtons::Ok);
    case SyxParse::Status::NoMessages:
        return refuse("MIDI", "No Sysex Messages In File", MsgIcon::None, MsgButtons::OkCancel);
    case SyxParse::Status::Ok: break;
    }
    return true;
}

}  // namespace

std::vector<Bytes> ReadSXfile(Session& s, const std::string& source, int* withoutEndByte)
{
    SyxParse parsed;
    if (!readChecked(s, source, {}, parsed)) return {};
    if (withoutEndByte) *withoutEndByte = parsed.withoutEndByte;
    return std::move(parsed.messages);
}

bool ReadSXfile(Session& s, const std::string& source, const std::function<void(Bytes&&)>& sink)
{
    SyxParse parsed;
    return readChecked(s, source, sink, parsed);
}

bool OpenSysexFile(Session& s, const std::string& path)
{
    // Each message is named and appended as soon as it is read: the file's
    // messages are never held twice.
    const NamingOptions opts = namingOptions(s);
    std::size_t loaded = 0;
    SyxParse parsed;
    const bool ok = readChecked(
        s, path,
        [&](Bytes&& m) {
            std::string sup;
            bool ignore = false;
            const std::string name = SxParseName(m, sup, ignore, opts, nullptr);
            s.messages.append(name, std::move(m), path);
            ++loaded;
        },
        parsed);
    s.log.LogString(format("Loading: %d message(s)", static_cast<int>(loaded)));
    if (!ok) return false;
    if (parsed.withoutEndByte > 0)
        s.log.LogString(format("Warning: %d message(s) without end byte (F7)", parsed.withoutEndByte));
    if (parsed.realTimeBytes > 0)
        s.log.LogString(format("%d real-time byte(s) (F8-FF) inside messages left out", parsed.realTimeBytes));
    s.paths.lastpath = folderOf(path);
    NoteLastFile(s, path);
    return true;
}

void Open1sxClick(Session& s)
{
    FileDialogRequest req{"Open Sysex", kSyxOpenFilter, s.paths.lastpath, "syx", true};
    for (const std::string& path : s.shell.openFileDialog(req)) OpenSysexFile(s, path);
}

void SaveAs1Click(Session& s)
{
    const auto selected = s.messages.selectedIndexes();
    if (selected.empty()) return warn(s, kNoMessagesSelected);
    const auto path = s.shell.saveFileDialog({"Save As", kSyxSaveFilter, s.paths.lastpath, "syx", false});
    if (!path) return;
    std::vector<ByteView> data;
    for (std::size_t i : selected) data.emplace_back(s.messages.at(i).storage->sxdata);
    try {
        writeSyxFile(*path, data);
    } catch (const TolvexError& e) {
        s.shell.messageBox("Error", e.what(), MsgIcon::Error);
        return;
    }
    const SharedText written(*path);  // one copy of the path for all the entries written
    for (std::size_t i : selected) {
        s.log.LogString("Writing: " + s.messages.textAt(i));
        s.messages.storageAt(i).filename = written;
        s.messages.storageAt(i).unsaved = false;
    }
    if (isStandardStream(*path)) return;
    s.log.LogString("Wrote " + *path);
    if (openDescriptorOf(*path)) return;  // /dev/stdout is no folder to open files from
    s.paths.lastpath = folderOf(*path);
    NoteLastFile(s, *path);
}

void ListBox1Click(Session& s)
{
    const long cur = s.messages.current();
    if (cur < 0 || static_cast<std::size_t>(cur) >= s.messages.count()) return;
    s.controls.text.set(ctl::Label_nbytes,
                        format("%2d bytes in buffer",
                               static_cast<int>(s.messages.at(static_cast<std::size_t>(cur)).storage->sxdata.size())));
}

void ViewSelectedClick(Session& s)
{
    for (std::size_t i : s.messages.selectedIndexes())
        s.log.LogString("Sysex: " + shortSysexText(s.messages.at(i).storage->sxdata));
}

void Button_sendClick(Session& s)
{
    if (s.midi.SendRunning || !requireOutput(s)) return;
    // The send works on copies taken now: waits inside it handle events, and
    // what the user does to the list meanwhile must not change what is sent.
    std::vector<OutgoingMessage> batch;
    const bool waitForInstrument = s.controls.checked.get(ctl::WaitAck);
    int dumpsTotal = 0;  // of the messages that wait for their instrument's answer
    for (std::size_t i : s.messages.selectedIndexes()) {
        const Bytes& data = s.messages.at(i).storage->sxdata;
        if (data.empty()) continue;  // nothing to send
        batch.push_back({s.messages.textAt(i), data});
        if (waitForInstrument) batch.back().confirmation = dumpConfirmation(s.families, data);
        if (batch.back().confirmation) ++dumpsTotal;
    }
    if (batch.empty()) return;
    // Without an input no answer could come: every dump would wait its whole time-out.
    if (dumpsTotal > 0 && !ConfirmationInputReady(s)) return warn(s, missingPortText(s, true));
    const int total = static_cast<int>(batch.size());
    struct Running {
        Session& s;
        explicit Running(Session& session) : s(session) { s.midi.SendRunning = true; }
        ~Running()
        {
            s.midi.SendRunning = false;
            if (s.operation.CancelVisible) OfferCancel(s, false);
        }
    } running(s);
    const int progress = total > 1 ? s.log.LogString(format("Sending %d of %d", 0, total)) : -1;
    // A dump that takes long on a cable can be cancelled too.
    const bool hasLongDump =
        std::any_of(batch.begin(), batch.end(), [](const auto& m) { return m.sxdata.size() >= 65536; });
    if (total > 1 || hasLongDump || dumpsTotal > 0) OfferCancel(s, true);
    s.operation.CancelState = false;
    const std::uint64_t lateBefore = MidiOutputReady(s) ? s.midi.midiOutput->LatePeriods() : 0;
    int sent = 0;
    int attempted = 0;
    // A long dump takes minutes on a cable: while the output says how much of
    // it is still queued, a line shows the bytes gone out.
    std::size_t longSize = 0;  // of the long dump going out; 0 for a short message
    bool reported = false;
    int bytesLine = -1;
    std::int64_t shownAt = 0;
    const auto showBytes = [&](bool last) {
        if (longSize == 0 || !MidiOutputReady(s)) return;
        const std::uint64_t queued = std::min<std::uint64_t>(s.midi.midiOutput->QueuedBytes(), longSize);
        reported = reported || queued > 0;
        const std::int64_t now = s.shell.nowMs();
        if (!reported || (!last && bytesLine >= 0 && now - shownAt < 250)) return;
        shownAt = now;
        const std::string text = format("Sent %llu of %llu bytes", static_cast<unsigned long long>(longSize - queued),
                                        static_cast<unsigned long long>(longSize));
        if (bytesLine < 0) {
            bytesLine = s.log.LogString(text);
        } else {
            s.log.replace(bytesLine, text);
        }
    };
    // The output streams a long message on its own thread; meanwhile the
    // window handles events, and Cancel stops the message between two pieces.
    const auto waitForOutput = [&] {
        while (MidiOutputReady(s) && s.midi.midiOutput->MidiOutBusy()) {
            if (CancelButton(s)) {
                s.midi.midiOutput->CancelLong();
                return false;
            }
            showBytes(false);
            s.shell.ProcessMessages();
        }
        showBytes(true);
        return true;
    };
    int dumpNumber = 0;
    bool confirmed = false;  // the message before was a dump its instrument confirmed
    for (const OutgoingMessage& m : batch) {
        if (attempted > 0) {
            if (!waitForOutput()) {
                s.log.LogString(format("Sending cancelled after %d of %d", std::max(0, sent - 1), total));
                break;
            }
            // A confirmed dump was loaded: no pause guessed for the instrument is needed.
            if (s.midi.SendDelayMs > 0 && !confirmed) s.shell.pause(s.midi.SendDelayMs);
            if (CancelButton(s)) {
                s.log.LogString(format("Sending cancelled after %d of %d", sent, total));
                break;
            }
        }
        ++attempted;
        // A stored dump cut short would be joined by the receiver to whatever comes next.
        if (m.sxdata.front() == 0xF0 && m.sxdata.back() != 0xF7) {
            s.log.LogString("Not sent (no end byte F7): " + m.text);
            continue;
        }
        if (!MidiOutputReady(s)) {
            s.log.LogString(format("Sent %d of %d messages", sent, total));
            break;
        }
        s.log.LogString("Sending: " + m.text);
        longSize = m.sxdata.size() >= 65536 ? m.sxdata.size() : 0;
        reported = false;
        bytesLine = -1;
        confirmed = false;
        std::optional<ConfirmationWait> answer;
        if (m.confirmation) answer.emplace(s, *m.confirmation);
        if (!MidiSysex_bulk_out(s, m.sxdata)) {
            s.log.LogString(format("Sent %d of %d messages", sent, total));
            break;
        }
        ++sent;
        if (progress >= 0) s.log.replace(progress, format("Sending %d of %d", sent, total));
        if (!answer) continue;
        // The instrument answers once the whole dump is in: its time starts when the dump has left.
        ++dumpNumber;
        if (!waitForOutput()) {
            s.log.LogString(format("Sending cancelled after %d of %d", sent - 1, total));
            return;
        }
        const std::int64_t timeoutMs = confirmationTimeoutMs(s);
        const DumpAnswer got = answer->await(timeoutMs, [&s] { return CancelButton(s); });
        if (got.kind == DumpAnswer::Kind::Loaded) {
            confirmed = true;
            continue;
        }
        if (got.kind == DumpAnswer::Kind::Cancelled) {
            s.log.LogString(format("Sending cancelled after %d of %d", sent, total));
        } else if (got.kind == DumpAnswer::Kind::InputLost) {
            s.log.LogString(format("Sent %d of %d messages", sent, total));
        } else {
            const std::string text =
                unconfirmedText(s, *m.confirmation, dumpNumber, dumpsTotal, m.text, got, timeoutMs);
            s.log.LogString(text);
            s.log.LogString(format("Sent %d of %d messages", sent, total));
            s.shell.messageBox("Error", text, MsgIcon::Error);
        }
        return;
    }
    // The last dump may still be going out: a long one stays cancellable. Once
    // all is out, a send the service ran late in is not called clean.
    if (sent > 0 && !waitForOutput()) {
        s.log.LogString(format("Sending cancelled after %d of %d", sent - 1, total));
        return;
    }
    // The output is idle once the last done notice came; its queue may still hold
    // short messages, whose periods count too.
    while (MidiOutputReady(s) && s.midi.midiOutput->QueuedBytes() > 0 && !CancelButton(s)) s.shell.ProcessMessages();
    if (MidiOutputReady(s) && s.midi.midiOutput->LatePeriods() > lateBefore) {
        s.log.LogString(lateSendLine(s.midi.midiOutput->LatePeriods() - lateBefore));
    }
}

void ButtonClearSelClick(Session& s)
{
    if (refuseWhileSending(s)) return;
    for (std::size_t i : s.messages.selectedIndexes()) s.log.LogString("Freeing: " + s.messages.textAt(i));
    s.messages.removeSelected();
}

void Button_clearClick(Session& s)
{
    if (refuseWhileSending(s)) return;
    s.log.LogString(format("Freeing %d objects", static_cast<int>(s.messages.count())));
    s.messages.clear();
}

void ProgChange(Session& s, int prgnum, int chan)
{
    if (!MidiOutputReady(s)) return;
    try {
        s.midi.midiOutput->PutShort(static_cast<std::uint8_t>(0xC0 | (chan & 0x0F)),
                                    static_cast<std::uint8_t>(prgnum & 0x7F), 0);
    } catch (const TolvexError& e) {
        s.shell.messageBox("MIDI Out Error", e.what(), MsgIcon::Error);
    }
}

void SendProgChangeClick(Session& s)
{
    if (!requireOutput(s)) return;
    // A value out of range is refused, not folded into one the user did not ask for.
    const auto program = s.controls.number(ctl::ProgChange);
    if (!program) return refuse(s, "You must specify a valid number for the program.");
    if (*program < 0 || *program > 127) return refuse(s, "Prog must be 0-127");
    const auto channel = checkedChannel(s, 15, "Chan must be 0-15");
    if (!channel) return;
    s.log.LogString(format("Sending program change %d on channel %d", *program, *channel));
    ProgChange(s, *program, *channel);
}

void ReqSysexClick(Session& s)
{
    if (!requireOutput(s)) return;
    std::string line = s.controls.text.get(ctl::SXreqString);
    std::replace(line.begin(), line.end(), '\t', ' ');  // a tab separates bytes like a blank
    Bytes bytes;
    std::string word;
    for (;;) {
        parse(line, word, ' ');
        if (word.empty()) break;
        if (!isHexWord(word)) {
            s.shell.messageBox("Error", "Invalid hex byte: " + word, MsgIcon::Error);
            return;
        }
        try {
            bytes.push_back(static_cast<std::uint8_t>(HexStringToInt(word) & 0xFF));
        } catch (const TolvexError& e) {
            s.shell.messageBox("Error", e.what(), MsgIcon::Error);
            return;
        }
    }
    if (bytes.empty()) {
        s.shell.messageBox("Error", "No hex bytes to send", MsgIcon::Error);
        return;
    }
    if (bytes.front() != 0xF0) bytes.insert(bytes.begin(), 0xF0);
    if (bytes.back() != 0xF7) bytes.push_back(0xF7);
    s.log.LogString("Sending: " + hexLine(bytes));
    MidiSysex_bulk_out(s, bytes);
}

void ListBoxToClipboard(Session& s, int size, bool all)
{
    std::string text;
    int count = 0;
    const auto& lines = s.log.lines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!all && static_cast<int>(i) != s.log.selected) continue;
        const std::string line = lines[i].substr(0, 255);
        count += static_cast<int>(line.size()) + 3;
        if (count >= size) break;
        text += line + "\r\n";
    }
    s.shell.setClipboardText(text);
}

void lstLogContextPopup(Session& s)
{
    ListBoxToClipboard(s, 32000, false);
}

void lstLogDblClick(Session& s)
{
    ListBoxToClipboard(s, 32000, true);
}

void SXreqStringContextPopup(Session& s, const std::string& selectedText)
{
    s.shell.setClipboardText(selectedText);
}

void SetPostProcess(Session& s, const std::string& task, std::int32_t param)
{
    s.operation.PendingPostProcess = true;
    s.log.LogString("Setting Post Process " + task);
    s.operation.PostProcessTask = task;
    s.operation.PostProcessParam = param;
}

void DoPostProcess(Session& s)
{
    s.log.LogString("Starting Post Process");
    const auto it = s.operation.postProcessTasks.find(s.operation.PostProcessTask);
    s.operation.PendingPostProcess = false;
    if (it != s.operation.postProcessTasks.end()) {
        s.log.LogString("Running Post Process Task" + s.operation.PostProcessTask);
        it->second(s, s.operation.PostProcessParam);
    }
}

}  // namespace tolvex
