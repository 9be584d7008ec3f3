// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/csv_bank_files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/app/controls.h"
#include "core/sysex/syx_file.h"
#include "core/text/atomic_file.h"
#include "core/text/ini_file.h"
#include "core/text/text_utils.h"
#include "devices/wavestation/wavestation_sysex.h"
#include "devices/yamaha/yamaha_formats.h"

namespace tolvex {

namespace {

constexpr int kTX802Bank = 1;
constexpr int kDX7iiBank = 3;
constexpr int kPerfMap = 6;
constexpr std::size_t kRowName = 1;     // the name's first character, after its opening quote
constexpr std::size_t kRowValues = 24;  // the values' first character
constexpr char kChannelText[] = "You must specify a valid number for the Channel.";

CsvBankError midi(const std::string& text)
{
    return CsvBankError("MIDI", text);
}

// A piece of the file as a refusal quotes it: a control byte (ESC and the
// like), DEL, a backslash or a byte of 80 hex and above is written \xHH, so nothing the
// file holds reaches the terminal raw; a long piece (a binary file's one
// long line) is cut after 300 characters.
std::string shown(const std::string& text)
{
    constexpr std::size_t kLongest = 300;
    const std::string out = escapedBytes(std::string_view(text).substr(0, kLongest), true);
    return text.size() > kLongest ? out + "..." : out;
}

// The next value of a row, first..last; `invalid` names the box of a field that is no number.
int nextValue(std::string& rest, int first, int last, const CsvBankError& invalid)
{
    std::string field;
    parse(rest, field, ',');
    int value = 0;
    if (!parseDecimal(field, value)) throw CsvBankError(invalid.title, invalid.what() + shown(field));
    if (value < first || value > last) throw midi("Value out of range in CSV file: " + shown(field));
    return value;
}

// The end of a row's quoted name field: the position of the comma after its
// closing quote, or npos when the row does not start with a quoted field of at
// most kNameLength bytes ("" standing for one quote) closed by a quote and a
// comma. Such a field may hold any byte, line ends included.
std::size_t quotedNameEnd(const std::string& text, std::size_t pos, std::string* name = nullptr)
{
    if (pos >= text.size() || text[pos] != '"') return std::string::npos;
    std::string field;
    for (std::size_t i = pos + 1; i < text.size() && field.size() <= kNameLength; ++i) {
        if (text[i] != '"') {
            field += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '"') {
            field += '"';
            ++i;
        } else {
            if (i + 1 >= text.size() || text[i + 1] != ',' || field.size() > kNameLength) return std::string::npos;
            if (name) *name = field;
            return i + 1;
        }
    }
    return std::string::npos;
}

// Name and values of a performance row. The name is read exactly or the row
// is refused, in this order: a quoted field of 20 bytes; the fixed columns of
// a row whose characters 22-24 are a quote, a comma and a blank (the name is
// characters 2-21 as they stand, an unpaired quote included); a shorter quoted
// field or an unquoted one, padded with blanks to 20. The values follow the
// comma after the name.
void readPerformanceRow(const std::string& row, std::uint8_t* name, std::uint8_t* values, std::size_t count,
                        int highest)
{
    if (row.size() < kRowName + kNameLength) throw midi("CSV row too short: " + shown(row));
    std::string text;
    std::size_t comma = quotedNameEnd(row, 0, &text);
    if (comma == std::string::npos || text.size() != kNameLength) {
        if (row.size() >= kRowValues && row[0] == '"' && row.compare(kRowName + kNameLength, 3, "\", ") == 0) {
            text = row.substr(kRowName, kNameLength);
            comma = kRowName + kNameLength + 1;
        } else if (comma == std::string::npos && row[0] != '"') {
            comma = row.find(',');
            if (comma == std::string::npos || comma > kNameLength) throw midi("CSV row format error: " + shown(row));
            text = row.substr(0, comma);
        } else if (comma == std::string::npos) {
            throw midi("CSV row format error: " + shown(row));
        }
        text.resize(kNameLength, ' ');
    }
    for (std::size_t i = 0; i < kNameLength; ++i) {
        const auto c = static_cast<std::uint8_t>(text[i]);
        // A DX7II carries its name in the message as it is: no byte may look like a status byte.
        if (c > highest) throw midi("Value out of range in CSV file: " + shown(text));
        name[i] = c;
    }
    std::string rest = row.substr(comma + 1);
    const CsvBankError invalid = midi("Invalid numeric data in CSV file: ");
    for (std::size_t j = 0; j < count; ++j) values[j] = static_cast<std::uint8_t>(nextValue(rest, 0, highest, invalid));
}

// The rows after the type line, without their line ends and trailing blanks;
// blank rows are left out. A row whose quoted name holds a line end goes on
// over it.
std::vector<std::string> rowsOf(const std::string& content, std::size_t pos)
{
    std::vector<std::string> rows;
    while (pos < content.size()) {
        const std::size_t nameEnd = quotedNameEnd(content, pos);
        std::size_t end = content.find('\n', nameEnd == std::string::npos ? pos : nameEnd);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(pos, end - pos);
        pos = end + 1;
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.pop_back();
        if (!line.empty()) rows.push_back(std::move(line));
    }
    return rows;
}

// `complete`: the content is the whole file, not the first kCsvReadLimit bytes of it.
void checkRowCount(const std::vector<std::string>& rows, std::size_t capacity, bool complete)
{
    if (complete && rows.size() > capacity)
        throw midi(format("Too many rows in CSV file: %d", static_cast<int>(rows.size())));
    // The last row read may be cut at the limit: it is not counted.
    if (!complete && rows.size() > capacity + 1)
        throw midi(format("Too many rows in CSV file: more than %d", static_cast<int>(rows.size() - 1)));
    if (!complete) throw midi(format("CSV file too large: more than %d bytes", static_cast<int>(kCsvReadLimit)));
}

}  // namespace

CsvBank parseCsvBank(const std::string& content, int channel, YamahaTables& yamaha, WSSRRecords& wavestation,
                     bool complete)
{
    const std::size_t firstEnd = std::min(content.find('\n'), content.size());
    const std::string typeLine = trimmed(content.substr(0, firstEnd), kBlanksAndControls);
    CsvBank bank;
    for (std::size_t i = 0; i < CSV_types.size() && bank.type == 0; ++i)
        if (typeLine == CSV_types[i]) bank.type = static_cast<int>(i) + 1;
    if (content.empty()) throw midi("The file is empty: no CSV file type");
    if (bank.type == 0 && typeLine.empty()) throw midi("Unknown CSV file type: the first line is blank");
    if (bank.type == 0) throw midi("Unknown CSV file type: " + shown(typeLine));
    if (bank.type != kTX802Bank && bank.type != kDX7iiBank && bank.type != kPerfMap)
        throw CsvBankError("Error", format("Unimplemented CSV Type %d", bank.type));

    const std::vector<std::string> rows = rowsOf(content, firstEnd + 1);
    if (bank.type == kTX802Bank) {
        auto table = yamaha.TX802PMEM;
        checkRowCount(rows, table.size(), complete);
        for (std::size_t k = 0; k < rows.size(); ++k)
            readPerformanceRow(rows[k], table[k].data() + kPmemName, table[k].data(), kPmemName, 255);
        yamaha.TX802PMEM = table;
        bank.message = TX802PMEMtoSysex(channel, table);
    } else if (bank.type == kDX7iiBank) {
        auto table = yamaha.DX7iiPackedPerf;
        checkRowCount(rows, table.size(), complete);
        for (std::size_t k = 0; k < rows.size(); ++k)
            readPerformanceRow(rows[k], table[k].data() + dx7ii::kName, table[k].data(), dx7ii::kParameters, 127);
        yamaha.DX7iiPackedPerf = table;
        bank.message = DX7iiPerftoSysex(channel, table);
    } else {
        TWSSR_perfmap_block map = wavestation.WSSR_PerfMapSRExpanded;
        checkRowCount(rows, map.perfmaps.size(), complete);
        for (std::size_t k = 0; k < rows.size(); ++k) {
            std::string rest = rows[k];
            std::string field;
            parse(rest, field, ',');
            int pval = 0;
            if (!parseDecimal(field, pval))
                throw CsvBankError("Error", "Invalid pval numeric data in CSV file: " + shown(field));
            // Entry k sits in row k: nothing is written outside the map.
            if (pval != static_cast<int>(k))
                throw CsvBankError("Error", "Non-sequential numeric data in CSV file: item " + shown(field));
            TWSSR_perfmap& entry = map.perfmaps[k];
            entry.Perfmap_Bank = static_cast<std::uint8_t>(
                nextValue(rest, 0, 255, CsvBankError("Error", "Invalid m_bank numeric data in CSV file: ")));
            entry.Perfmap_Prog = static_cast<std::uint8_t>(
                nextValue(rest, 0, 255, CsvBankError("Error", "Invalid m_perf numeric data in CSV file: ")));
        }
        if (rows.size() < map.perfmaps.size())
            bank.warning =
                format("Warning: CSV file should contain 128 rows, but had only %d", static_cast<int>(rows.size()));
        wavestation.WSSR_PerfMapSRExpanded = map;
        bank.message = WSSR_PerfMaptoSysex(map, channel);
    }
    return bank;
}

std::optional<CsvFileRead> ReadCSVfile(Session& s, const std::string& source)
{
    // Every box says why nothing (or less) was read: with the warning icon, so
    // an unattended run counts it as a failure whatever its title.
    const auto box = [&s](const std::string& title, const std::string& text) {
        s.shell.messageBox(title, text, MsgIcon::Warning, MsgButtons::OkCancel);
    };
    const std::optional<int> channel = s.controls.number(ctl::Channel);
    if (!channel) {
        box("MIDI", kChannelText);
        return std::nullopt;
    }
    if (*channel < 0 || *channel > 255) {
        box("MIDI", "Channel must be 0-255");
        return std::nullopt;
    }
    std::error_code ec;
    std::ifstream file(source, std::ios::binary);
    if (!file || std::filesystem::is_directory(source, ec)) {
        box("MIDI", "Could not open file " + source + ": " + openFailureReason(source));
        return std::nullopt;
    }
    // No bank has more than 128 rows: a file far larger is refused after its
    // first kCsvReadLimit bytes, never held whole.
    std::string content(kCsvReadLimit + 1, '\0');
    file.read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<std::size_t>(file.gcount()));
    const bool complete = content.size() <= kCsvReadLimit;
    if (!complete) content.resize(kCsvReadLimit);
    CsvBank bank;
    try {
        bank = parseCsvBank(content, *channel, s.families.records<YamahaTables>(), s.families.records<WSSRRecords>(),
                            complete);
    } catch (const CsvBankError& e) {
        box(e.title, source + ": " + e.what());
        return std::nullopt;
    }
    if (!bank.warning.empty()) box("Warning", bank.warning);
    if (bank.type == kDX7iiBank) {
        std::string bytes;
        for (const DX7iiPerformance& p : s.families.records<YamahaTables>().DX7iiPackedPerf)
            bytes.append(p.begin(), p.end());
        // A side file for diagnosis: when it cannot be written the bank still loads.
        const std::string side = s.paths.diagnosticPath(kCsvPackedPerfFile);
        try {
            writeFileReplacing(
                side, [&](std::ostream& out) { out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())); },
                "Could not create " + side, "Could not create " + side);
            s.log.LogString("Wrote " + side);
        } catch (const TolvexError&) {
            s.log.LogString("Could not create " + side);
        }
    }
    return CsvFileRead{CSV_types[static_cast<std::size_t>(bank.type - 1)], std::move(bank.message)};
}

void OpenCSVfileMenuClick(Session& s)
{
    const auto files = s.shell.openFileDialog(
        {"Open CSV", "CSV files (*.CSV)|*.CSV|All files (*.*)|*.*", s.paths.lastpath, "csv", false});
    if (files.empty()) return;
    const std::string& path = files.front();
    s.paths.lastpath = folderOf(path);
    std::optional<CsvFileRead> read = ReadCSVfile(s, path);
    if (!read) return;
    s.log.LogString("Loaded CSV " + read->description);
    const std::string filename =
        (std::filesystem::path(path).parent_path() / ("CSV_" + std::filesystem::path(path).filename().string()))
            .string();
    s.messages.append(read->description + " (CSV)", std::move(read->message), filename);
}

}  // namespace tolvex
