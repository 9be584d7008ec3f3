// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/yamaha/yamaha_commands.h"

#include <filesystem>
#include <optional>

#include "core/app/command_table.h"
#include "core/app/controls.h"
#include "core/app/incoming.h"
#include "core/app/session.h"
#include "core/text/atomic_file.h"
#include "core/text/ini_file.h"
#include "devices/yamaha/yamaha_convert.h"
#include "devices/yamaha/yamaha_formats.h"
#include "devices/yamaha/yamaha_remote.h"
#include "devices/yamaha/yamaha_text.h"

namespace tolvex {

namespace {

constexpr char kCheckSumCheck[] = "CheckSumCheck";

// The first selected entry, or nothing after the "Nothing Selected" box.
std::optional<std::size_t> selectedEntry(Session& s)
{
    const auto selected = s.messages.selectedIndexes();
    if (selected.empty()) {
        s.shell.messageBox("Warning", "Nothing Selected", MsgIcon::Warning);
        return std::nullopt;
    }
    return selected.front();
}

// Runs an unpacker; its stop becomes its box and false.
template <class Unpack>
bool unpacked(Session& s, Unpack&& unpack)
{
    try {
        unpack();
        return true;
    } catch (const YamahaError& e) {
        s.shell.messageBox(e.title, e.what(), MsgIcon::Warning);
        return false;
    }
}

// Where the files of an entry go: its file name with only the extension of
// the last path element replaced, or "untitled" in the current folder.
class OutputFiles {
public:
    OutputFiles(Session& s, const TSXstorage& entry)
        : s_(s), base_(entry.filename.empty() ? "untitled" : entry.filename)
    {
    }

    void write(const char* extension, const std::string& content) const
    {
        std::filesystem::path path(base_);
        const std::string name = path.replace_extension(extension).string();
        writeFileReplacing(
            name, [&](std::ostream& out) { out.write(content.data(), static_cast<std::streamsize>(content.size())); },
            "Cannot create file " + name, "Cannot write file " + name);
        s_.LogString("Wrote " + name);
    }
    template <class Table>
    void writeTable(const Table& table) const
    {
        std::string bytes;
        for (const auto& record : table)
            for (const std::uint8_t b : record) bytes.push_back(static_cast<char>(b));
        write(".bin", bytes);
    }

private:
    Session& s_;
    std::string base_;
};

// Shown once per performance whose name would hold a double quote inside the CSV's quotes.
void warnDoubleQuote(Session& s, const std::uint8_t* name)
{
    if (hasDoubleQuote(std::string(reinterpret_cast<const char*>(name), kNameLength)))
        s.shell.messageBox("Warning", "Warning - embedded double-quote in name", MsgIcon::Warning);
}

void mapVoicesOfSelected(Session& s, int first)
{
    const auto entry = selectedEntry(s);
    if (!entry) return;
    YamahaTables& t = s.records<YamahaTables>();
    if (!unpacked(s, [&] { ExtractDXTX_VMEM(s.messages.at(*entry).storage->sxdata, t.DXTX_VMEM); })) return;
    mapVoices(t, first);
}

DebugLog debugFileOf(Session& s)
{
    return [&s](const std::string& line) { s.debuglog(line); };
}

}  // namespace

void Yam_Conv_VMEM(Session& s)
{
    const auto entry = selectedEntry(s);
    if (!entry) return;
    YamahaTables& t = s.records<YamahaTables>();
    const TSXstorage& m = *s.messages.at(*entry).storage;
    if (!unpacked(s, [&] { ExtractDXTX_VMEM(m.sxdata, t.DXTX_VMEM); })) return;
    const OutputFiles files(s, m);
    files.writeTable(t.DXTX_VMEM);
    files.write(".txt", vmemText(t));
}

void Yam_Map1_32(Session& s)
{
    mapVoicesOfSelected(s, 0);
}

void Yam_Map32_64(Session& s)
{
    mapVoicesOfSelected(s, 32);
}

void Yam_ConvDX7p(Session& s)
{
    const auto entry = selectedEntry(s);
    if (!entry) return;
    YamahaTables& t = s.records<YamahaTables>();
    const TSXstorage& m = *s.messages.at(*entry).storage;
    if (!unpacked(s, [&] { ExtractDX7iiPerfBank(m.sxdata, t.DX7iiPackedPerf); })) return;
    const YamahaReport report = dx7iiBankReport(t);
    const OutputFiles files(s, m);
    files.writeTable(t.DX7iiPackedPerf);
    files.write(".txt", report.txt);
    files.write(".csv", report.csv);
    files.write(".lst", report.lst);
    files.write(".map", report.map);
}

void Yam_ConvDX7peb(Session& s)
{
    const auto entry = selectedEntry(s);
    if (!entry) return;
    YamahaTables& t = s.records<YamahaTables>();
    const TSXstorage& m = *s.messages.at(*entry).storage;
    if (!unpacked(s, [&] { ExtractDX7iiPerfEditBuf(m.sxdata, t.DX7iiPerfEditBuf); })) return;
    const OutputFiles files(s, m);
    files.writeTable(std::array<DX7iiPerformance, 1>{t.DX7iiPerfEditBuf});
    files.write(".txt", dx7iiEditBufText(t));
}

void Yam_ConvTX802pb(Session& s)
{
    const auto entry = selectedEntry(s);
    if (!entry) return;
    YamahaTables& t = s.records<YamahaTables>();
    const TSXstorage& m = *s.messages.at(*entry).storage;
    if (!unpacked(s, [&] { ExtractTX802PMEM(m.sxdata, t.TX802PMEM, debugFileOf(s)); })) return;
    for (const TX802Performance& p : t.TX802PMEM) warnDoubleQuote(s, p.data() + kPmemName);
    const YamahaReport report = tx802BankReport(t);
    const OutputFiles files(s, m);
    files.writeTable(t.TX802PMEM);
    files.write(".txt", report.txt);
    files.write(".csv", report.csv);
    files.write(".lst", report.lst);
    files.write(".map", report.map);
}

void Yam_ConvTX802p(Session& s)
{
    const auto entry = selectedEntry(s);
    if (!entry) return;
    YamahaTables& t = s.records<YamahaTables>();
    const TSXstorage& m = *s.messages.at(*entry).storage;
    if (!unpacked(s, [&] { ExtractTX802PCED(m.sxdata, t.TX802PCED, debugFileOf(s)); })) return;
    warnDoubleQuote(s, t.TX802PCED.data() + kPcedName);
    const YamahaReport report = tx802PerfReport(t);
    const OutputFiles files(s, m);
    files.writeTable(std::array<TX802Pced, 1>{t.TX802PCED});
    files.write(".txt", report.txt);
    files.write(".csv", report.csv);
    files.write(".lst", report.lst);
}

std::optional<int> dxChannel(Session& s, int highest)
{
    const std::string text = s.text.get(ctl::Channel);
    int chan = 0;
    if (text == "Chan") {
        s.text.set(ctl::Channel, "0");
    } else if (!parseDecimal(text, chan) || chan < 0 || chan > highest) {
        s.shell.messageBox("Error", "You must specify a valid number for the Channel.", MsgIcon::Warning);
        return std::nullopt;
    }
    return chan;
}

void Yam_DX7pb_to_TX802pb(Session& s)
{
    const auto entry = selectedEntry(s);
    if (!entry) return;
    // The receive channel has five bits below the offset's three: 0-15 only.
    const auto chan = dxChannel(s, 15);
    if (!chan) return;
    std::array<DX7iiPerformance, 32> source{};
    if (!unpacked(s, [&] { ExtractDX7iiPerfBank(s.messages.at(*entry).storage->sxdata, source); })) return;
    const MsgResult range = s.shell.captionedBox("Tolvex", "Select Target Bank range for TX802", MsgIcon::Question,
                                                 MsgButtons::YesNoCancel, {"1-32", "33-64", "Cancel"});
    if (range != MsgResult::Yes && range != MsgResult::No) return;
    YamahaTables& t = s.records<YamahaTables>();
    t.DX7iiPackedPerf = source;
    Yam_DX7pb_to_TX802PMEM(source, range == MsgResult::Yes ? 0 : 32, *chan, t.TX802PMEM);
    s.SX_stor = &s.messages.append("TX802 Perf converted from DX7", TX802PMEMtoSysex(*chan, t.TX802PMEM),
                                   "DX7_to_TX802_perf_convert");
}

void Yam_DX7p_to_TX802p(Session& s)
{
    const auto entry = selectedEntry(s);
    if (!entry) return;
    const auto chan = dxChannel(s, 15);
    if (!chan) return;
    YamahaTables& t = s.records<YamahaTables>();
    if (!unpacked(s, [&] { ExtractDX7iiPerfEditBuf(s.messages.at(*entry).storage->sxdata, t.DX7iiPerfEditBuf); }))
        return;
    t.TX802PCED = Yam_DX7p_to_TX802PCED(t.DX7iiPerfEditBuf, *chan);
    s.SX_stor = &s.messages.append("TX802 Perf Edit Buf converted from DX7", TX802PCEDtoSysex(*chan, t.TX802PCED),
                                   "DX7_to_TX802_single_perf_convert");
}

void CheckSumCheckClick(Session& s)
{
    if (!MidiOutputReady(s)) {
        s.shell.messageBox("Warning", "MIDI Interface Not Installed", MsgIcon::Warning);
        return;
    }
    for (std::size_t i : s.messages.selectedIndexes()) {
        std::string detail;
        const bool ok = DX7VerifyCheckSum(s.messages.at(i).storage->sxdata, detail);
        s.textColor.set(kCheckSumCheck, ok ? "green" : "red");
        s.LogString("Checking: " + s.messages.textAt(i) +
                    (ok ? std::string(": Checksum Correct") : ": Checksum Invalid " + detail));
    }
}

void registerYamaha(CommandTable& table)
{
    table.bind("Conv_VMEM", Yam_Conv_VMEM);
    table.bind("DX7peb", Yam_ConvDX7peb);
    table.bind("ConvDX7p", Yam_ConvDX7p);
    table.bind("Map1_32", Yam_Map1_32);
    table.bind("Map32_64", Yam_Map32_64);
    table.bind("ConvTX802perfBank", Yam_ConvTX802pb);
    table.bind("ConvTX802Perf", Yam_ConvTX802p);
    table.bind(kCheckSumCheck, CheckSumCheckClick);
    table.bind("dx7pb_to_tx802pb", Yam_DX7pb_to_TX802pb);
    table.bind("DX7p_to_TX802p", Yam_DX7p_to_TX802p);
    table.bind("RdDX7CRT", RdDX7CRTClick);
    table.bind("RdTX802ROM", RdTX802ROMClick);
}

}  // namespace tolvex
