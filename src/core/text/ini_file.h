// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file (TOLVEX.INI): sections and keys compared without regard to
// case, values as text, booleans as integers. Lines the program does not know
// (other sections, other keys, comments) are kept when the file is written back.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tolvex {

class IniFile {
public:
    // Reads the file; a missing file is an empty settings file.
    explicit IniFile(std::string path);
    // Reads the settings from `content`; UpdateFile still writes to `path`.
    IniFile(std::string path, std::istream& content);

    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // Any non-zero integer is true; a missing or non-numeric value is false.
    bool ReadBool(const std::string& section, const std::string& key, bool def = false) const;
    // The value as a decimal integer, or def when missing or not a number.
    int ReadInteger(const std::string& section, const std::string& key, int def) const;
    bool HasKey(const std::string& section, const std::string& key) const;

    // Replaces the value in place, or adds the key (and the section) at its end.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

    // Writes the file back. Throws TolvexError naming the file when it cannot be written.
    void UpdateFile() const;
    // The lines as UpdateFile writes them, each ended by CR LF.
    void write(std::ostream& out) const;

    const std::string& path() const { return path_; }
    // Why a file that is there could not be read ("Permission denied"); empty
    // when it was read or is not there. Writing such a file back would replace
    // the user's settings with the few this object holds.
    const std::string& readError() const { return readError_; }

private:
    struct Line {
        std::string text;     // the line as read or written
        std::string section;  // for key lines: the section it belongs to
        std::string key;      // empty for section, comment and blank lines
        std::string value;
    };
    void read(std::istream& in);
    // Index of the key line, or -1.
    long find(const std::string& section, const std::string& key) const;

    std::string path_;
    std::string readError_;
    std::vector<Line> lines_;
};

// A whole decimal integer (optional sign, no blanks), as typed by the user.
bool parseDecimal(const std::string& text, int& value);

}  // namespace tolvex
