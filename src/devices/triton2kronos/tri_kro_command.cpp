// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/triton2kronos/tri_kro_command.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>

#include "core/app/controls.h"
#include "core/app/device_commands.h"
#include "core/app/incoming.h"
#include "core/app/librarian.h"
#include "core/app/session.h"
#include "core/app/sysex_out.h"
#include "core/app/table_files.h"
#include "core/text/atomic_file.h"
#include "devices/common/korg_packing.h"
#include "devices/kronos/kronos_combi.h"
#include "devices/kronos/kronos_defs.h"
#include "devices/kronos/kronos_sysex.h"
#include "devices/kronos/kronos_timbre_copy.h"
#include "devices/triton/triton_alldata.h"
#include "devices/triton/triton_names.h"
#include "devices/triton/triton_sysex.h"
#include "devices/triton2kronos/tri_kro_tables.h"

namespace tolvex {

namespace {

constexpr std::size_t kCombiSize = sizeof(triton::Ttri_Combi);
constexpr int kBankKind = 1, kOneCombiKind = 2, kCurrentKind = 0x7F;
constexpr std::size_t kDumpDataOffset = 8;     // F0 42 3n 50 4D 00 kb nn
constexpr std::size_t kCurrentDataOffset = 6;  // F0 42 3n 50 49 00

// Reads a template of exactly out.size() bytes (a longer file gives its first
// bytes); false after its box when it is missing, unreadable or short.
bool readTemplate(Session& s, const char* name, std::span<std::uint8_t> out, const std::string& what)
{
    const auto path = findTableFile(name, tableFolders(s.paths.progpath));
    std::ifstream in;
    if (path) in.open(*path, std::ios::binary);
    if (!in.is_open()) {
        warn(s, "Cannot open file " + path.value_or(s.paths.progpath + name));
        return false;
    }
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    if (in.bad()) {
        warn(s, "Exception loading " + what + ": " + name);
        return false;
    }
    if (static_cast<std::size_t>(in.gcount()) != out.size()) {
        warn(s, "Error loading " + what + ": " + name);
        return false;
    }
    return true;
}

std::vector<std::string> readNameList(Session& s, const char* name)
{
    std::vector<std::string> lines;
    const auto path = findTableFile(name, tableFolders(s.paths.progpath));
    std::ifstream in;
    if (path) in.open(*path, std::ios::binary);
    if (!in.is_open()) {
        s.log.LogString(std::string("Error loading Triton Name List: ") + name);
        return lines;
    }
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
    }
    return lines;
}

// The program's own files go where its settings are: the program folder of a
// build, the user's folder when installed. A file that cannot be written is
// logged; the command goes on.
// The path as the log names it: whole, whatever the current folder.
std::string wholePath(const std::string& path)
{
    std::error_code ec;
    const auto whole = std::filesystem::absolute(path, ec);
    return ec ? path : whole.lexically_normal().string();
}

// A trace of the conversion's data, among the diagnostic files (never the settings folder).
void writeDebugFile(Session& s, const char* name, ByteView bytes)
{
    const std::string path = wholePath(s.paths.diagnosticPath(name));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    s.log.LogString((out ? "Wrote " : "Could not create ") + path);
}

// Appends a run to the conversion log. A log grown past kConvertLogCap keeps
// its newest lines (whole, up to half the cap) before the run, so it never
// grows without bound.
void appendConvertLog(Session& s, const std::string& run)
{
    constexpr std::uintmax_t kConvertLogCap = 1u << 20;
    const std::string path = wholePath(kTriKroConvertLogFile);
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    try {
        if (!ec && size + run.size() > kConvertLogCap) {
            std::ifstream in(path, std::ios::binary);
            std::string old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            std::size_t from = old.size() > kConvertLogCap / 2 ? old.size() - kConvertLogCap / 2 : 0;
            if (from > 0) from = std::min(old.size(), old.find('\n', from) + 1);
            writeFileReplacing(
                path, [&](std::ostream& f) { f << std::string_view(old).substr(from) << run; },
                "Cannot create file " + path, "Cannot write file " + path);
            s.log.LogString("Wrote " + path + " (its oldest runs left out)");
            return;
        }
    } catch (const TolvexError& e) {
        s.log.LogString(e.what());
        return;
    }
    std::ofstream log(path, std::ios::binary | std::ios::app);
    log << run;
    log.close();
    s.log.LogString((log ? "Wrote " : "Cannot write file ") + path);
}

// The Combination the message holds (of a bank: number `prog`), or nothing after its box.
std::optional<Bytes> pickCombi(Session& s, ByteView sx, bool& fromBank, int& prog)
{
    const auto notCombi = [&s] {
        warn(s, "Message is not Triton Combi Bank");
        return std::nullopt;
    };
    if (isTritonAllData(sx)) {
        // The 512 Combinations of INT-A..D, numbered on: INT-B 000 is 128.
        const int last = static_cast<int>(triton::kAllDataCombiBanks * triton::kRecordsPerBank) - 1;
        const std::optional<int> number = s.controls.number(ctl::KroProg, 0, last);
        if (!number) {
            warn(s, format("You must specify a valid number for the Combi in the text box \"Prog\" (0-%d: INT-A "
                           "000 to INT-D 127 of the All Data dump).",
                           last));
            return std::nullopt;
        }
        try {
            const Bytes combis = readTritonAllData(sx).combis;
            prog = *number;
            fromBank = true;
            const auto at = combis.begin() + static_cast<std::ptrdiff_t>(kCombiSize * static_cast<std::size_t>(prog));
            return Bytes(at, at + static_cast<std::ptrdiff_t>(kCombiSize));
        } catch (const TolvexError& e) {
            warn(s, e.what());
            return std::nullopt;
        }
    }
    if (sx.size() < 7) return notCombi();
    // The channel and the bank are ignored; a current Combination dump (49)
    // reads as a Combination dump (4D) of its own kind.
    std::array<std::uint8_t, 7> h{};
    std::copy_n(sx.begin(), 7, h.begin());
    h[2] &= 0xF0;
    h[6] = 0;
    h[4] |= 0x04;
    constexpr std::array<std::uint8_t, 7> kCombiDump{
        0xF0, 0x42 /* Korg */, 0x30, 0x50 /* Triton */, 0x4D /* Combination dump */, 0x00, 0x00};
    if (h != kCombiDump) return notCombi();
    const int kind = sx[4] == 0x49 /* current Combination dump */ ? kCurrentKind : sx[6] >> 4;
    std::size_t offset = kDumpDataOffset, size = kCombiSize;
    switch (kind) {
    case kBankKind: {
        const std::optional<int> number =
            s.controls.number(ctl::KroProg, 0, static_cast<int>(triton::kRecordsPerBank) - 1);
        if (!number) {
            warn(s, "You must specify a valid number for the Combi in the text box \"Prog\".");
            return std::nullopt;
        }
        prog = *number;
        size = kCombiSize * triton::kRecordsPerBank;
        fromBank = true;
        break;
    }
    case kOneCombiKind: break;
    case kCurrentKind: offset = kCurrentDataOffset; break;
    default:
        warn(s, format("Message unsupported type of Triton Combi Bank: function 0x%X kind: %d", sx[4], kind));
        return std::nullopt;
    }
    const std::size_t needed = offset + KorgPackedSize(size) + 1 /* F7 */;
    if (sx.size() < needed) {
        warn(s, format("Message too short: %zu bytes, %zu needed", sx.size(), needed));
        return std::nullopt;
    }
    const Bytes data = KorgSXtoDataConvert(sx, static_cast<int>(offset), static_cast<int>(size));
    const std::size_t at = fromBank ? kCombiSize * static_cast<std::size_t>(prog) : 0;
    return Bytes(data.begin() + static_cast<std::ptrdiff_t>(at),
                 data.begin() + static_cast<std::ptrdiff_t>(at + kCombiSize));
}

void writeReports(Session& s, const TriKroConvertOutput& out)
{
    try {
        writeFileReplacing(
            kTriKroParseFile, [&](std::ostream& f) { f << out.parse; },
            std::string("Cannot create file ") + kTriKroParseFile,
            std::string("Cannot write file ") + kTriKroParseFile);
        s.log.LogString(std::string("Wrote ") + kTriKroParseFile);
    } catch (const TolvexError& e) {
        s.log.LogString(e.what());
    }
    appendConvertLog(s, out.convertLog);
}

}  // namespace

void ConvTriCombiBankClick(Session& s, const TriKroTables& tri, const KronosDefs& kro)
{
    TriKroConvertRecords& r = s.families.records<TriKroConvertRecords>();
    const auto selected = s.messages.selectedIndexes();
    const std::optional<int> gchan = s.controls.number(ctl::Tri_Gchan, 0, 255);
    if (!gchan) {
        warn(s, "You must specify a valid number for the Triton Studio GChan.");
        return;
    }
    r.TriGlobalChannel = *gchan;
    if (selected.empty()) {
        warn(s, kNoMessagesSelected);
        return;
    }
    // A Combi built on half a template must never be appended or sent.
    if (!readTemplate(s, kKroInitCombiFile, r.Kro_Combi_default, "Kronos Init Combi")) return;
    if (!readTemplate(s, kKroDefaultEfxDataFile, *r.Kro_Default_EFX_Data, "Kronos Init EFX Data")) return;
    r.Kro_Combi = r.Kro_Combi_default;
    const std::vector<std::string> progNames = readNameList(s, kTriProgNameList);

    const ByteView sx = s.messages.at(selected.front()).storage->sxdata;
    bool fromBank = false;
    int prog = 0;
    const std::optional<Bytes> picked = pickCombi(s, sx, fromBank, prog);
    if (!picked) return;
    triton::Ttri_Combi& tri_Combi = s.families.records<triton::TritonRecords>().tri_Combi;
    triton::recordFromBytes(tri_Combi, *picked);
    writeDebugFile(s, kTriDebugDataFile, *picked);

    const TriKroConvertInput in{tri_Combi,
                                r.Kro_Combi_default,
                                *r.Kro_Default_EFX_Data,
                                tri,
                                kro,
                                progNames,
                                s.controls.checked.get(ctl::PassPrgBank),  // as checked now, not as at start
                                s.controls.text.get(ctl::KroProg)};
    const TriKroConvertOutput out = Convert_Combi_Triton2Kronos(in);
    r.Kro_Combi = out.Kro_Combi;
    for (const std::string& line : out.mainLog) s.log.LogString(line);
    writeReports(s, out);
    writeDebugFile(s, kKroDebugDataFile, r.Kro_Combi);
    for (const std::string& text : out.warnings) warn(s, text);

    Bytes message = KroCurrentCombiMessage(r.Kro_Combi);
    std::string label = kTriKroConvertedLabel;
    if (fromBank) {  // the box's text as typed ("05")
        label += ' ';
        label += s.controls.text.get(ctl::KroProg);
    }
    s.messages.append(label, message, "Tri2Kro-Convert");
    if (s.controls.checked.get(ctl::AutoSendCB) && requireOutput(s)) MidiSysex_bulk_out(s, message);
}

void ConvTriCombiBankClick(Session& s)
{
    ConvTriCombiBankClick(s, triKroTables(s), kronosDefs(s));
}

}  // namespace tolvex
