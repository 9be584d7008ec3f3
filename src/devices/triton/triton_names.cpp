// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/triton/triton_names.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "core/app/device_commands.h"
#include "core/app/session.h"
#include "core/app/table_files.h"
#include "core/text/atomic_file.h"
#include "devices/common/korg_packing.h"
#include "devices/triton/triton_records.h"

namespace tolvex {

namespace {

using triton::kBanks;
using triton::kRecordsPerBank;

// The packed data of an all-banks dump starts after the 8-byte header
// F0 42 3n 50 FUNC xx kind|bank 00.
constexpr std::size_t kDataOffset = 8;

struct ListTool {
    std::array<std::uint8_t, 7> header;
    std::size_t recordSize;
    const char* notThisKind;
    const char* loadedLine;  // nullptr: none
    const char* writingLine;
    const char* report;
    const char* conversionList;
    const char* what;
};

constexpr ListTool kPrograms{{0xF0, 0x42 /* Korg */, 0x30, 0x50 /* Triton */, 0x4C /* Program dump */, 0x02, 0x30},
                             sizeof(triton::Ttri_ProgramPCM),
                             "Message is not Triton Program",
                             "Loaded Triton Programs",
                             "Writing program names to \"TriProgNamesList.txt\" in current folder",
                             kTriProgNamesReport,
                             kTriProgNameList,
                             "program"};
constexpr ListTool kCombis{{0xF0, 0x42 /* Korg */, 0x30, 0x50 /* Triton */, 0x4D /* Combination dump */, 0x00, 0x30},
                           sizeof(triton::Ttri_Combi),
                           "Message is not Triton Combi",
                           nullptr,
                           "Writing Combi names to \"TriCombiNamesList.txt\" in current folder",
                           kTriCombiNamesReport,
                           kTriCombiNameList,
                           "Combi"};

// The unpacked data of the first selected entry, or nothing after its box.
std::optional<Bytes> allBanksData(Session& s, const ListTool& tool)
{
    const auto entry = firstSelected(s, kNoMessagesSelected);
    if (!entry) return std::nullopt;
    const Bytes& sx = s.messages.at(*entry).storage->sxdata;
    const std::size_t dataLength = kBanks * kRecordsPerBank * tool.recordSize;
    const std::size_t needed = kDataOffset + KorgPackedSize(dataLength) + 1 /* F7 */;
    const auto tooShort = [&] {
        warn(s, format("Message too short: %zu bytes, %zu needed", sx.size(), needed));
        return std::nullopt;
    };
    if (sx.size() < kDataOffset) return tooShort();
    if (!TriDumpHeaderMatches(sx, tool.header)) {
        warn(s, tool.notThisKind);
        return std::nullopt;
    }
    if (sx.size() < needed) return tooShort();
    return KorgSXtoDataConvert(sx, static_cast<int>(kDataOffset), static_cast<int>(dataLength));
}

// A name as the text files show it: a control character would break the
// one-name-a-line layout, so it shows as '?'.
std::string readable(std::string name)
{
    std::replace_if(
        name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, '?');
    return name;
}

// The report, then, when the user wants it, the conversion's list.
void writeNames(Session& s, const ListTool& tool, const std::vector<std::string>& names)
{
    if (tool.loadedLine) s.log.LogString(tool.loadedLine);
    s.log.LogString(tool.writingLine);
    std::string report;
    for (std::size_t i = 0; i < names.size(); ++i)
        report += format("Bank: %s, Prog: %3zu %s\r\n", tri_prog_banknames[i / kRecordsPerBank], i % kRecordsPerBank,
                         readable(names[i]).c_str());
    writeReportFile(s, tool.report, report);

    if (s.shell.messageBox("Tolvex", "Use these names for Triton to Kronos conversion?", MsgIcon::Question,
                           MsgButtons::YesNo) != MsgResult::Yes)
        return;
    const std::string folder = userSettingsFolder();
    if (folder.empty()) throw TolvexError("No settings folder: neither XDG_CONFIG_HOME nor HOME is set");
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) throw TolvexError("Cannot create folder " + folder);
    std::string list;
    for (const std::string& name : names) {
        std::string n = readable(name);
        n.erase(n.find_last_not_of(' ') + 1);
        list += n + "\n";
    }
    const std::string path = folder + tool.conversionList;
    s.log.LogString(format("Writing %s names for Triton to Kronos conversion to \"%s\"", tool.what, path.c_str()));
    writeReportFile(s, path, list);
}

}  // namespace

std::string TriRecordName(ByteView record)
{
    const ByteView field = record.first(std::min<std::size_t>(record.size(), 16));
    const auto end = std::find(field.begin(), field.end(), 0);
    return {field.begin(), end};
}

bool TriDumpHeaderMatches(ByteView sx, ByteView header)
{
    if (sx.size() < 7 || header.size() != 7) return false;
    for (std::size_t i = 0; i < 7; ++i) {
        // The channel (byte 2) and the bank (byte 6) are ignored.
        const std::uint8_t b = (i == 2 || i == 6) ? sx[i] & 0xF0 : sx[i];
        if (b != header[i]) return false;
    }
    return true;
}

namespace {

// The names of every record of an all-banks dump into the tool's list.
template <class AllBanks, class NameOf>
void writeAllNames(Session& s, const ListTool& tool, std::unique_ptr<AllBanks>& records, NameOf nameOf)
{
    const std::optional<Bytes> data = allBanksData(s, tool);
    if (!data) return;
    if (!records) records = std::make_unique<AllBanks>();
    triton::recordFromBytes(*records, *data);
    std::vector<std::string> names;
    for (const auto& bank : *records)
        for (const auto& record : bank) names.push_back(nameOf(record));
    writeNames(s, tool, names);
}

}  // namespace

void Tri_AllProgText(Session& s)
{
    writeAllNames(s, kPrograms, s.families.records<triton::TritonRecords>().tri_ProgramPCM_allbanks,
                  [](const triton::Ttri_ProgramPCM& p) { return TriRecordName(p.Prog_Name); });
}

void Tri_AllCombiText(Session& s)
{
    writeAllNames(s, kCombis, s.families.records<triton::TritonRecords>().tri_Combi_allbanks,
                  [](const triton::Ttri_Combi& c) { return TriRecordName(c.Combi_Name); });
}

}  // namespace tolvex
