// SPDX-License-Identifier: GPL-3.0-or-later
// Line-by-line CSV reader used for the mapping tables and CSV bank files.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "core/text/bytes.h"

namespace tolvex {

// Appends the fields of one line to AFields. Quoted fields may hold the separator
// and doubled quotes; an empty line gives no fields.
void ParseCSVLine(const std::string& ALine, std::vector<std::string>& AFields, char ValueSeparator);

// The comma-separated decimal integers of a table row, each field without its
// blanks and tabs around it; false when a field is no number.
bool ParseCSVIntegers(const std::string& ALine, std::vector<int>& values);

enum TValueSeparatorType { vsComma = 0, vsTab = 1 };

class TwpsCsvParser {
public:
    TwpsCsvParser() = default;
    TwpsCsvParser(const TwpsCsvParser&) = delete;
    TwpsCsvParser& operator=(const TwpsCsvParser&) = delete;

    // Opens the file for reading; throws TolvexError when it cannot be opened.
    void LoadFromFile(const std::string& FileName);
    // Reads the lines of `text` as if they were a file's.
    void LoadFromText(std::string text);
    // Reads the next line into Line and Fields; false at the end of the file.
    bool ReadLn();
    void Close();

    bool IgnoreFirstLine = false;
    const std::vector<std::string>& Fields() const { return FFields; }
    const std::string& Line() const { return FLine; }
    bool IsFileOpen() const { return FIsFileOpen; }

    TValueSeparatorType ValueSeparatorType() const { return FValueSeparatorType; }
    void SetValueSeparatorType(TValueSeparatorType v);
    char ValueSeparator() const { return FValueSeparator; }

private:
    bool readLine(std::string& line);

    bool FIsFirstLine = false;
    bool FIsFileOpen = false;
    std::vector<std::string> FFields;
    std::ifstream FFile;
    std::istringstream FText;
    std::istream* FIn = &FFile;
    std::string FLine;
    TValueSeparatorType FValueSeparatorType = vsComma;
    char FValueSeparator = ',';
};

}  // namespace tolvex
