// SPDX-License-Identifier: GPL-3.0-or-later
// Yamaha banks as readable text: the reports the DX/TX page writes beside a
// dump (.txt, .csv, .lst, .map; lines end in CR LF) and the voice map that
// tells which performances use each voice.
//
// Names are written with their full width, trailing blanks included. A name
// byte below 0x20 is written as "?" in .txt, .lst and .map (a line feed inside
// a fixed-width name would break the report's lines). In .csv a name is a
// quoted field holding every byte as it is, a quote doubled, so a CSV read
// back gives the same bytes.
#pragma once

#include <string>
#include <vector>

#include "devices/yamaha/yamaha_formats.h"

namespace tolvex {

// "I 1"-"I64" for 0-63, then "C", "A" and "B" for the next banks of 64.
std::string TX802VoiceBankXlate(int z);

// A PCED packed into the PMEM layout (PCED parameter 10 is not carried).
TX802Performance TX802_PCED_to_PMEM(const TX802Pced& pced);

// The files of one export; an empty text is a file not written.
struct YamahaReport {
    std::string txt, csv, lst, map;
};

// Voices v (0-31) of the unpacked bank name map entries first + v.
void mapVoices(YamahaTables& t, int first);

// "DX VMEM>file": one "v%2d NAME " line per voice and the byte sum; also keeps the names in DXTX_VMEM_names.
std::string vmemText(YamahaTables& t);

// "DX7perf>file": .txt, .csv, .lst and .map of DX7iiPackedPerf; each voice a
// performance plays gets the performance as a reference in the voice map.
YamahaReport dx7iiBankReport(YamahaTables& t);
// "DX7peb>file": the one .txt line of DX7iiPerfEditBuf.
std::string dx7iiEditBufText(const YamahaTables& t);

// "TX802pb>file": .txt, .csv, .lst and .map of TX802PMEM, adding references.
YamahaReport tx802BankReport(YamahaTables& t);
// "TX802p>file": .txt, .csv and .lst of TX802PCED; fills TX802onePMEM.
YamahaReport tx802PerfReport(YamahaTables& t);

// Whether a name holds a double quote (the CSV row then warns).
bool hasDoubleQuote(const std::string& name);

}  // namespace tolvex
