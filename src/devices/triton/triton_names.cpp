// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/triton/triton_names.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "core/app/session.h"
#include "core/app/table_files.h"
#include "core/sysex/korg_packing.h"
#include "core/text/atomic_file.h"
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

void warn(Session& s, const std::string& text)
{
    s.shell.messageBox("Warning", text, MsgIcon::Warning);
}

// The unpacked data of the first selected entry, or nothing after its box.
std::optional<Bytes> allBanksData(Session& s, const ListTool& tool)
{
    const auto selected = s.messages.selectedIndexes();
    if (selected.empty()) {
        warn(s, "No Messages Were Selected - nothing to do");
        return std::nullopt;
    }
    const Bytes& sx = s.messages.at(selected.front()).storage->sxdata;
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

void writeText(Session& s, const std::string& path, const std::string& text)
{
    writeFileReplacing(
        path, [&](std::ostream& out) { out.write(text.data(), static_cast<std::streamsize>(text.size())); },
        "Cannot create file " + path, "Cannot write file " + path);
    s.LogString("Wrote " + path);
}

// The report, then, when the user wants it, the conversion's list.
void writeNames(Session& s, const ListTool& tool, const std::vector<std::string>& names)
{
    if (tool.loadedLine) s.LogString(tool.loadedLine);
    s.LogString(tool.writingLine);
    std::string report;
    for (std::size_t i = 0; i < names.size(); ++i)
        report += format("Bank: %s, Prog: %3zu %s\r\n", tri_prog_banknames[i / kRecordsPerBank], i % kRecordsPerBank,
                         readable(names[i]).c_str());
    writeText(s, tool.report, report);

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
    s.LogString(format("Writing %s names for Triton to Kronos conversion to \"%s\"", tool.what, path.c_str()));
    writeText(s, path, list);
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

void Tri_AllProgText(Session& s)
{
    const std::optional<Bytes> data = allBanksData(s, kPrograms);
    if (!data) return;
    auto& records = s.records<triton::TritonRecords>().tri_ProgramPCM_allbanks;
    if (!records) records = std::make_unique<triton::Ttri_ProgramPCM_allbanks>();
    triton::recordFromBytes(*records, *data);
    std::vector<std::string> names;
    for (const auto& bank : *records)
        for (const auto& program : bank) names.push_back(TriRecordName(program.Prog_Name));
    writeNames(s, kPrograms, names);
}

void Tri_AllCombiText(Session& s)
{
    const std::optional<Bytes> data = allBanksData(s, kCombis);
    if (!data) return;
    auto& records = s.records<triton::TritonRecords>().tri_Combi_allbanks;
    if (!records) records = std::make_unique<triton::Ttri_Combi_allbanks>();
    triton::recordFromBytes(*records, *data);
    std::vector<std::string> names;
    for (const auto& bank : *records)
        for (const auto& combi : bank) names.push_back(TriRecordName(combi.Combi_Name));
    writeNames(s, kCombis, names);
}

}  // namespace tolvex
