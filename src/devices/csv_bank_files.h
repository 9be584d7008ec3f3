// SPDX-License-Identifier: GPL-3.0-or-later
// CSV bank files: one bank message built from a text file whose first line
// names its type. The DX/TX exports write the Yamaha types ("DX7perf>file",
// "TX802pb>file"); "Open CSV" reads them back.
//
// Rows follow the type line, one record each; blank rows are skipped, and
// trailing blanks and CR are stripped from each row. Values are decimal
// integers separated by commas (blanks before a value are skipped); what a
// row holds after the values its type needs is ignored.
//   TX802 Performance Bank   up to 64 rows: the name, then 64 values 0-255
//                            (PMEM bytes 0-63)
//   DX7II Performance Bank   up to 32 rows: the name, then 31 values 0-127
//                            (bytes 0-30)
// A performance name is the row's first field: quoted (a quote inside doubled;
// it may hold any byte, a line end too) as the exports write it, or characters
// 2-21 when characters 22-24 are a quote, a comma and a blank, or unquoted; a
// name of fewer than 20 bytes is padded with blanks. A row that cannot be read
// exactly is refused with "CSV row format error: " and the row.
//   WS SR Performance Map    up to 128 rows: entry (its row number from 0),
//                            bank and performance, each 0-255
// Rows a file lacks keep what the table held.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include "core/app/session.h"
#include "core/text/bytes.h"

namespace tolvex {

struct YamahaTables;
struct WSSRRecords;

// The type names of line 1, in type order 1-6; types 2, 4 and 5 are not read.
inline constexpr std::array<const char*, 6> CSV_types = {"TX802 Performance Bank",    "TX802 Voice Bank",
                                                         "DX7II Performance Bank",    "DX7II Voice Bank",
                                                         "TX 802 Single Performance", "WS SR Performance Map"};

inline constexpr char kCsvPackedPerfFile[] = "CSV-DX7iiPackedPerf.bin";

// A file that cannot be read: the box title ("MIDI", "Error") and its text.
class CsvBankError : public TolvexError {
public:
    CsvBankError(std::string title_, const std::string& text) : TolvexError(text), title(std::move(title_)) {}
    std::string title;
};

struct CsvBank {
    int type = 0;         // 1-6
    Bytes message;        // the bank message, device number / channel `channel` AND 0F
    std::string warning;  // a performance map of fewer than 128 rows says so here
};

// The most of a CSV bank file that is read: 128 rows of a few hundred bytes
// each fit many times over.
inline constexpr std::size_t kCsvReadLimit = 1u << 20;

// Reads a CSV bank file's content and builds its message on `channel`. The
// tables it fills (TX802PMEM, DX7iiPackedPerf, WSSR_PerfMapSRExpanded) change
// only when the whole file is good. `complete`: `content` is the whole file,
// not its first kCsvReadLimit bytes. Throws CsvBankError; a piece of the file
// it quotes has its control bytes written \xHH.
CsvBank parseCsvBank(const std::string& content, int channel, YamahaTables& yamaha, WSSRRecords& wavestation,
                     bool complete = true);

// What `ReadCSVfile` read: the bank's type name and its message.
struct CsvFileRead {
    std::string description;
    Bytes message;
};

// `ReadCSVfile`: the Channel box (0-255), the file and its message;
// a DX7II bank also writes its 1632 record bytes to CSV-DX7iiPackedPerf.bin in
// the diagnostics folder (the current folder of a build; "Could not create
// PATH" is logged when it cannot be written). Nothing after the box that says
// why nothing was read; a box about the file's content starts with its path.
std::optional<CsvFileRead> ReadCSVfile(Session& s, const std::string& source);

// "Open CSV": a file dialog, then the message appended as "<type> (CSV)" with
// the file name "CSV_" + the file's name in its folder; logs "Loaded CSV <type>".
void OpenCSVfileMenuClick(Session& s);

}  // namespace tolvex
