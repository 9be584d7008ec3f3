// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/yamaha/yamaha_commands.h"

#include <filesystem>
#include <optional>

#include "core/app/controls.h"
#include "core/app/device_commands.h"
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

// The first selected entry once `unpack` has read its bytes into the tables;
// null after the box of no selection or of the unpacker's stop.
template <class Unpack>
const TSXstorage* unpackSelected(Session& s, Unpack&& unpack)
{
    const auto entry = firstSelected(s, kNothingSelected);
    if (!entry) return nullptr;
    const TSXstorage& m = *s.messages.at(*entry).storage;
    return unpacked(s, [&] { unpack(m.sxdata); }) ? &m : nullptr;
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
        writeReportFile(s_, path.replace_extension(extension).string(), content);
    }
    // The table as .bin, then the report's .txt, .csv and .lst, and its .map when withMap.
    template <class Table>
    void writeReport(const Table& table, const YamahaReport& report, bool withMap) const
    {
        writeTable(table);
        write(".txt", report.txt);
        write(".csv", report.csv);
        write(".lst", report.lst);
        if (withMap) write(".map", report.map);
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
    YamahaTables& t = s.families.records<YamahaTables>();
    if (unpackSelected(s, [&](const Bytes& sx) { ExtractDXTX_VMEM(sx, t.DXTX_VMEM); })) mapVoices(t, first);
}

DebugLog debugFileOf(Session& s)
{
    return [&s](const std::string& line) { s.log.debuglog(line); };
}

}  // namespace

void Yam_Conv_VMEM(Session& s)
{
    YamahaTables& t = s.families.records<YamahaTables>();
    const TSXstorage* m = unpackSelected(s, [&](const Bytes& sx) { ExtractDXTX_VMEM(sx, t.DXTX_VMEM); });
    if (!m) return;
    const OutputFiles files(s, *m);
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
    YamahaTables& t = s.families.records<YamahaTables>();
    const TSXstorage* m = unpackSelected(s, [&](const Bytes& sx) { ExtractDX7iiPerfBank(sx, t.DX7iiPackedPerf); });
    if (!m) return;
    OutputFiles(s, *m).writeReport(t.DX7iiPackedPerf, dx7iiBankReport(t), true);
}

void Yam_ConvDX7peb(Session& s)
{
    YamahaTables& t = s.families.records<YamahaTables>();
    const TSXstorage* m = unpackSelected(s, [&](const Bytes& sx) { ExtractDX7iiPerfEditBuf(sx, t.DX7iiPerfEditBuf); });
    if (!m) return;
    const OutputFiles files(s, *m);
    files.writeTable(std::array<DX7iiPerformance, 1>{t.DX7iiPerfEditBuf});
    files.write(".txt", dx7iiEditBufText(t));
}

void Yam_ConvTX802pb(Session& s)
{
    YamahaTables& t = s.families.records<YamahaTables>();
    const TSXstorage* m =
        unpackSelected(s, [&](const Bytes& sx) { ExtractTX802PMEM(sx, t.TX802PMEM, debugFileOf(s)); });
    if (!m) return;
    for (const TX802Performance& p : t.TX802PMEM) warnDoubleQuote(s, p.data() + kPmemName);
    OutputFiles(s, *m).writeReport(t.TX802PMEM, tx802BankReport(t), true);
}

void Yam_ConvTX802p(Session& s)
{
    YamahaTables& t = s.families.records<YamahaTables>();
    const TSXstorage* m =
        unpackSelected(s, [&](const Bytes& sx) { ExtractTX802PCED(sx, t.TX802PCED, debugFileOf(s)); });
    if (!m) return;
    warnDoubleQuote(s, t.TX802PCED.data() + kPcedName);
    OutputFiles(s, *m).writeReport(std::array<TX802Pced, 1>{t.TX802PCED}, tx802PerfReport(t), false);
}

std::optional<int> dxChannel(Session& s, int highest)
{
    if (s.controls.text.get(ctl::Channel) == "Chan") {
        s.controls.text.set(ctl::Channel, "0");
        return 0;
    }
    return checkedChannel(s, highest, kChannelText);
}

void Yam_DX7pb_to_TX802pb(Session& s)
{
    const auto entry = firstSelected(s, kNothingSelected);
    if (!entry) return;
    // The receive channel has five bits below the offset's three: 0-15 only.
    const auto chan = dxChannel(s, 15);
    if (!chan) return;
    std::array<DX7iiPerformance, 32> source{};
    if (!unpacked(s, [&] { ExtractDX7iiPerfBank(s.messages.at(*entry).storage->sxdata, source); })) return;
    const MsgResult range = s.shell.captionedBox("Tolvex", "Select Target Bank range for TX802", MsgIcon::Question,
                                                 MsgButtons::YesNoCancel, {"1-32", "33-64", "Cancel"});
    if (range != MsgResult::Yes && range != MsgResult::No) return;
    YamahaTables& t = s.families.records<YamahaTables>();
    t.DX7iiPackedPerf = source;
    Yam_DX7pb_to_TX802PMEM(source, range == MsgResult::Yes ? 0 : 32, *chan, t.TX802PMEM);
    s.messages.append("TX802 Perf converted from DX7", TX802PMEMtoSysex(*chan, t.TX802PMEM),
                      "DX7_to_TX802_perf_convert");
}

void Yam_DX7p_to_TX802p(Session& s)
{
    const auto entry = firstSelected(s, kNothingSelected);
    if (!entry) return;
    const auto chan = dxChannel(s, 15);
    if (!chan) return;
    YamahaTables& t = s.families.records<YamahaTables>();
    if (!unpacked(s, [&] { ExtractDX7iiPerfEditBuf(s.messages.at(*entry).storage->sxdata, t.DX7iiPerfEditBuf); }))
        return;
    t.TX802PCED = Yam_DX7p_to_TX802PCED(t.DX7iiPerfEditBuf, *chan);
    s.messages.append("TX802 Perf Edit Buf converted from DX7", TX802PCEDtoSysex(*chan, t.TX802PCED),
                      "DX7_to_TX802_single_perf_convert");
}

void CheckSumCheckClick(Session& s)
{
    if (!requireOutput(s)) return;
    for (std::size_t i : s.messages.selectedIndexes()) {
        std::string detail;
        const bool ok = DX7VerifyCheckSum(s.messages.at(i).storage->sxdata, detail);
        s.controls.textColor.set(kCheckSumCheck, ok ? "green" : "red");
        s.log.LogString("Checking: " + s.messages.textAt(i) +
                        (ok ? std::string(": Checksum Correct") : ": Checksum Invalid " + detail));
    }
}

void CheckSumFixClick(Session& s)
{
    const std::vector<std::size_t> selected = s.messages.selectedIndexes();
    if (selected.empty()) return warn(s, kNothingSelected);
    for (const std::size_t i : selected) {
        const std::string line = "Fixing: " + s.messages.textAt(i) + ": ";
        const TSXstorage& entry = *s.messages.at(i).storage;
        try {
            ChecksumRepair repair = DX7FixCheckSum(entry.sxdata);
            if (repair.changes.empty()) {
                s.log.LogString(line + "Checksum already correct");
                continue;
            }
            std::string changes;
            for (const std::string& c : repair.changes) changes += (changes.empty() ? "" : ", ") + c;
            s.log.LogString(line + changes);
            s.messages.append("Fixed: " + s.messages.textAt(i), std::move(repair.fixed), entry.filename.str());
        } catch (const YamahaError& e) {
            s.log.LogString(line + "Not fixed: " + e.what());
        }
    }
}

}  // namespace tolvex
