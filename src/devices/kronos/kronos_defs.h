// SPDX-License-Identifier: GPL-3.0-or-later
// The Kronos vocabulary: object and bank texts, the parameter function groups,
// and the definition tables read from files at start-up (parameter
// descriptions, effect and effect-parameter names, effect parameter positions).
#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/table_files.h"
#include "core/sysex/debug_file.h"
#include "core/sysex/sx_naming.h"
#include "core/text/bytes.h"

namespace tolvex {

class Session;

// Object type texts ("Prog", "Comb", ... "Set List Name" for 0-23); any
// other ix gives "".
std::string Kro_Object_Text(int ix);
std::string Kro_obj_Text1(std::uint8_t objID);
// Object text, blank, bank text.
std::string Kro_obj_Text2(std::uint8_t objID, std::uint8_t bank);
// Object text, blank, bank text, "%3.3d" of idxL (idxH is not shown).
std::string Kro_obj_Text4(std::uint8_t objID, std::uint8_t bank, std::uint8_t idxH, std::uint8_t idxL);
// As Kro_obj_Text4, then " v%X" of ver.
std::string Kro_obj_Text5(std::uint8_t objID, std::uint8_t bank, std::uint8_t idxH, std::uint8_t idxL,
                          std::uint8_t ver);
// Object text of msg[5], blank, "V%d" of msg[6]; "" when msg is shorter than 7 bytes.
std::string Kro_obj_Text6(ByteView msg);
// " 0x%X" of the byte.
std::string Kro_obj_Text_Generic1(std::uint8_t objID);

// Bank names by object type ("I-A", "U-AA", "Gm1", "Invalid: 71 (47)", ...).
std::string Kro_Bank_Text(int objtype, int bank);
// Bank names inside a Combi timbre (object types 0 and 19 only), else "-B??-".
std::string Kro_Timbre_Bank_Text(int objtype, int bank);

// Parameter-change function (0x43 ...) to its one-digit group index and back;
// unknown values give 0.
int KronosParmFuncToIndex(int func);
int KronosParmIndexToFunc(int index);

// Position of one effect parameter in the 64-byte effect data of an insert,
// master or total effect, as GetBitField takes it in LE order.
struct TKroEfxParamArray {
    std::uint8_t KroOfs = 0;     // byte offset, 0-63
    std::uint8_t KroWidth = 0;   // bits, 0-16 (0: never given)
    std::uint8_t KroBitPos = 0;  // position of the lowest bit, 0-7
};
static_assert(sizeof(TKroEfxParamArray) == 3);

// Indexed by Kronos effect number, then by parameter id.
using KroEfxParamTable = std::vector<std::vector<TKroEfxParamArray>>;

// A sorted list of "name=value" lines in which an exact duplicate line is kept
// once. A name with several different values finds the first of its lines in
// sorted order. Lines without '=' are kept but never found by name.
// The lines live in one text block, indexed by a sorted array of (offset,
// length): a table of thousands of lines costs two allocations and loads
// with one sort.
class SortedNameValueList {
public:
    // Replaces the contents by the lines of `text` (CR LF or LF; blank lines
    // skipped); returns the number of exact duplicate lines dropped.
    std::size_t assign(std::string text);
    // The value of the first line with this name (valid while the list is
    // unchanged), or nullopt.
    std::optional<std::string_view> value(std::string_view name) const;
    std::size_t count() const { return lines_.size(); }
    void clear();

private:
    struct Line {
        std::uint32_t offset;
        std::uint32_t length;
    };
    std::string_view line(const Line& l) const { return std::string_view(text_).substr(l.offset, l.length); }

    std::string text_;
    std::vector<Line> lines_;  // sorted by their text
};

// Reads name=value lines (CR LF or LF; blank lines skipped) into list.
TableLoad loadNameValueList(std::istream& in, SortedNameValueList& list);
// Reads "Kro_Efx_Param.txt" rows effect,pid,ofs,width,bitpos into table. A row
// that is not five integers, or whose effect is above 255, pid above 99, offset
// above 63, width above 16 or bit position above 7, is refused and skipped.
TableLoad loadKroEfxParamArray(std::istream& in, KroEfxParamTable& table);

// "Loaded <what>, %d rows, %d max PIDs in row, %d total PIDS, %2.2n Kbytes":
// row count, highest parameter id, sum of the row lengths, rows x sum x 4 / 1024
// written with thousands separators and two decimals.
std::string tableSummary(const char* what, std::size_t rows, std::size_t maxPid, std::size_t totalPids);
std::string KroEfxParamSummary(const KroEfxParamTable& table);

// The Kronos definition tables, loaded once at start-up and read afterwards.
struct KronosDefs {
    SortedNameValueList Kro_paramlist;   // "KronosParamList.txt"
    SortedNameValueList KroEfxNamelist;  // "Kro_Efx_Param_Names.txt"
    KroEfxParamTable KroEFXParamArray;   // "Kro_Efx_Param.txt"
    // "KroUnknownParamFile.txt": one line per parameter not found; closed when not created.
    DebugFile unknownParamFile;

    // The description of a parameter: its line of Kro_paramlist under the
    // group of func, followed by " (Fn%X Ty%3.3d So%3.3d Su%3.3d Pi%3.3d Ix%3.3d)".
    // Not there: logs the key as an unknown parameter, writes it to the
    // unknown-parameter file, and looks under the other groups in order; the
    // first found gives the text with its own function; none gives "?".
    std::string Kro_parm_desc(int func, int typ, int soc, int sub, int pid, int idx, const NamingLog& log);
    // "<effect name>:" of an effect, "?" (logged) when unknown, "??" when its line has no ':'.
    std::string Kro_efx_name(int efx, const NamingLog& log) const;
    // The name of one parameter of an effect, "?" (logged) when unknown.
    std::string Kro_efx_desc(int efx, int pid, const NamingLog& log) const;

    void clear();
};

// The session's tables (filled by the start-up, see kronos_startup.h). When the
// start-up deferred the loading, the first call loads them (through the
// session's families, which may wrap the load).
KronosDefs& kronosDefs(Session& s);
// What the first call of kronosDefs(s) runs (set by a deferred start-up); empty: nothing pending.
void setKronosTableLoader(Session& s, std::function<void()> loader);

}  // namespace tolvex
