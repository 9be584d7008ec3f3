// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/wavestation/wavestation_commands.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <type_traits>

#include "core/app/device_commands.h"
#include "core/app/request_response.h"
#include "core/app/session.h"
#include "core/text/atomic_file.h"
#include "devices/wavestation/wavestation_sysex.h"

namespace tolvex {

namespace {

constexpr char kHeaderMismatch[] = "Sysex header does not match currently supported format";
constexpr char kDebugFormatFile[] = "debug_format.bin";
constexpr char kPatchMappingFile[] = "WS_SR_Global_Patch.txt";
constexpr char kPerfMappingFile[] = "WS_SR_Global_Perf.txt";

// What a message too short for its data holds, kept for a look at why.
void saveShortData(Session& s, ByteView sx, const WSSRFormat& f)
{
    // WSSR_format leaves room for one data byte, the checksum and F7.
    const std::size_t n = (sx.size() - f.start - 2) / 2;
    // A trace for diagnosis: the command goes on without it.
    const std::string trace = s.paths.diagnosticPath(kDebugFormatFile);
    try {
        writeReportFile(s, trace, WSSR_unnibble(sx, f.start, n));
    } catch (const TolvexError&) {
        s.log.LogString("Could not create " + trace);
    }
    const std::size_t after = f.start + 2 * n;
    s.log.debuglog(format("From Sysex message of length %zu Writing %zu bytes to debug_format.bin", sx.size(), n));
    s.log.debuglog(format("Next two characters Sysex file (cksum and F7): %x %x", sx[after], sx[after + 1]));
    s.log.debuglog(format("Size of TWSSR_patch %zu", sizeof(TWSSR_patch)));
    s.log.debuglog(format("Size of TWSSR_INDIV %zu", sizeof(TWSSR_indiv)));
}

// The name lines of a bank (CR LF), each name also stored at [bank][index]
// of `table` when the bank has a place there.
template <class Record, std::size_t N>
std::string bankNames(const std::array<Record, N>& records, std::array<std::uint8_t, 16> Record::*name,
                      std::uint8_t bank, WSSRNameTable& table)
{
    std::string text;
    for (std::size_t i = 0; i < N; ++i) {
        const std::string n = WSSR_nameText(records[i].*name);
        if (bank < kWSSR_Banks) table[bank][i] = n;
        text += n + "\r\n";
    }
    return text;
}

template <class Records>
void fill(Records& records, const Bytes& data)
{
    static_assert(std::is_trivially_copyable_v<Records>);
    std::memcpy(&records, data.data(), std::min(sizeof records, data.size()));
}

}  // namespace

bool Extract_WSSR(Session& s, ByteView sx)
{
    WSSRRecords& r = s.families.records<WSSRRecords>();
    s.log.debuglog(format("Length of Sysex String: %zx", sx.size()));
    r.WSSR_curr_bank_num = 0;
    r.WSSR_curr_patch_perf_num = 0;
    r.WSSR_curr_message_type = sx.size() > 4 ? sx[4] : 0;
    const std::optional<WSSRFormat> f = WSSR_format(sx);
    if (!f) {
        s.shell.messageBox("Error", kHeaderMismatch, MsgIcon::Error);
        return false;
    }
    r.WSSR_curr_bank_num = f->bank;
    r.WSSR_curr_patch_perf_num = f->number;
    std::int32_t offset = static_cast<std::int32_t>(f->start) + 1;
    Bytes data;
    if (!SX_extract_bulk(s, NibbleOrder::LowFirst, offset, static_cast<std::int32_t>(f->size), sx, data)) {
        saveShortData(s, sx, *f);
        return false;
    }
    r.WSSR_generic_data = std::move(data);
    // The bulk extraction leaves the last byte out of the data, so the checksum is there;
    // a missing byte after it counts as not F7.
    const std::size_t after = f->start + 2 * f->size;
    r.WSSR_curr_patch_checksum = after < sx.size() ? sx[after] : 0;
    s.log.debuglog(format("Chksum in SR Sysex file: %x, calculated cksum: %x", r.WSSR_curr_patch_checksum,
                          WSSR_checksum(sx.subspan(f->start, 2 * f->size))));
    if (after + 1 >= sx.size() || sx[after + 1] != 0xF7) s.log.debuglog("Next Character in SX file is not F7");
    return true;
}

void Extract_WS_proc(Session& s)
{
    const auto selected = firstSelected(s, kNothingSelected);
    if (!selected) return;
    const TSXstorage& entry = *s.messages.at(*selected).storage;
    if (!Extract_WSSR(s, entry.sxdata)) return;
    WSSRRecords& r = s.families.records<WSSRRecords>();
    std::filesystem::path bin(entry.filename.empty() ? "untitled" : entry.filename.str());
    writeReportFile(s, bin.replace_extension(".bin").string(), r.WSSR_generic_data);

    const std::uint8_t bank = r.WSSR_curr_bank_num;
    switch (r.WSSR_curr_message_type) {
    case kWSSR_PatchBank:
        fill(r.WSSR_35patch, r.WSSR_generic_data);
        writeReportFile(s, "WS_SR_Patchs_bank" + std::to_string(bank) + ".txt",
                        bankNames(r.WSSR_35patch, &TWSSR_patch::Name, bank, r.WSSR_global_patch_name_table));
        break;
    case kWSSR_PerformanceBank:
        fill(r.WSSR_50performance, r.WSSR_generic_data);
        writeReportFile(
            s, "WS_SR_Perfs_bank" + std::to_string(bank) + ".txt",
            bankNames(r.WSSR_50performance, &TWSSR_performance::PERF_NAME, bank, r.WSSR_global_perf_name_table));
        break;
    case 0x5D:
    case 0x5F:
    case kWSSR_PerfMapDump:
        fill(r.WSSR_PerfMap, r.WSSR_generic_data);
        writeReportFile(s, "WS_SR_Perfmap.txt", WSSR_perfMapText(r.WSSR_PerfMap, r.WSSR_global_perf_name_table));
        break;
    default:
        s.shell.messageBox("ExtractWSClick", "Text File Parsing and output not yet implemented for this format",
                           MsgIcon::Information);
    }
}

void WS_LoadMappingButton(Session& s)
{
    WSSRRecords& r = s.families.records<WSSRRecords>();
    const std::pair<const char*, WSSRNameTable*> files[] = {{kPatchMappingFile, &r.WSSR_global_patch_name_table},
                                                            {kPerfMappingFile, &r.WSSR_global_perf_name_table}};
    for (const auto& [name, table] : files) {
        std::ifstream in(name, std::ios::binary);
        if (!in) {
            s.shell.messageBox("Error", std::string("Could not open file ") + name + ": " + openFailureReason(name),
                               MsgIcon::Error);
            return;
        }
        const std::string content(std::istreambuf_iterator<char>(in), {});
        try {
            WSSR_readMapping(content, name, *table);
        } catch (const WavestationError& e) {
            s.shell.messageBox(e.title, e.what(), MsgIcon::Warning, MsgButtons::OkCancel);
            return;
        }
    }
}

}  // namespace tolvex
