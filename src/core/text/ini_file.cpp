// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/text/ini_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "core/text/atomic_file.h"
#include "core/text/bytes.h"
#include "core/text/text_utils.h"

namespace tolvex {

bool parseDecimal(const std::string& text, int& value)
{
    if (text.empty()) return false;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (*first == '+') ++first;
    int v = 0;
    const auto [ptr, ec] = std::from_chars(first, last, v);
    if (ec != std::errc() || ptr != last || first == last) return false;
    value = v;
    return true;
}

IniFile::IniFile(std::string path) : path_(std::move(path))
{
    errno = 0;
    std::ifstream in(path_, std::ios::binary);
    const int openError = errno;
    std::error_code ec;
    const bool there = std::filesystem::exists(path_, ec) || (ec && ec != std::errc::no_such_file_or_directory);
    if (!in.is_open()) {
        if (there) readError_ = std::strerror(openError != 0 ? openError : EACCES);
        return;
    }
    read(in);
    if (in.bad()) {
        readError_ = std::strerror(errno != 0 ? errno : EIO);
        lines_.clear();
    }
}

IniFile::IniFile(std::string path, std::istream& content) : path_(std::move(path))
{
    read(content);
}

void IniFile::read(std::istream& in)
{
    // Views into the line, so that a line costs only the strings it keeps.
    const auto trimmedView = [](std::string_view v) {
        const auto first = v.find_first_not_of(kBlanks);
        if (first == std::string_view::npos) return std::string_view();
        return v.substr(first, v.find_last_not_of(kBlanks) - first + 1);
    };
    std::string text, section;
    while (std::getline(in, text)) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        Line line;
        const std::string_view whole(text);
        const std::string_view t = trimmedView(whole);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
            section = lowerCase(std::string(trimmedView(t.substr(1, t.size() - 2))));
            line.section = section;
        } else if (!t.empty() && t.front() != ';' && t.front() != '#') {
            const auto eq = whole.find('=');
            if (eq != std::string_view::npos) {
                line.section = section;
                line.key = lowerCase(std::string(trimmedView(whole.substr(0, eq))));
                // Hand-edited files have blanks around '='.
                line.value = std::string(trimmedView(whole.substr(eq + 1)));
            }
        }
        line.text = std::move(text);
        lines_.push_back(std::move(line));
    }
}

long IniFile::find(const std::string& section, const std::string& key) const
{
    const std::string s = lowerCase(section), k = lowerCase(key);
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (!lines_[i].key.empty() && lines_[i].section == s && lines_[i].key == k) return static_cast<long>(i);
    return -1;
}

bool IniFile::HasKey(const std::string& section, const std::string& key) const
{
    return find(section, key) >= 0;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const
{
    const long i = find(section, key);
    return i < 0 ? def : lines_[static_cast<std::size_t>(i)].value;
}

int IniFile::ReadInteger(const std::string& section, const std::string& key, int def) const
{
    int v;
    return parseDecimal(trimmed(ReadString(section, key, "")), v) ? v : def;
}

bool IniFile::ReadBool(const std::string& section, const std::string& key, bool def) const
{
    if (!HasKey(section, key)) return def;
    return ReadInteger(section, key, 0) != 0;
}

void IniFile::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    const long i = find(section, key);
    if (i >= 0) {
        Line& line = lines_[static_cast<std::size_t>(i)];
        line.value = value;
        line.text = line.text.substr(0, line.text.find('=') + 1) + value;
        return;
    }
    const std::string s = lowerCase(section);
    // After the last line of the section, or a new section at the end of the file.
    long insertAt = -1;
    for (std::size_t j = 0; j < lines_.size(); ++j)
        if (lines_[j].section == s) insertAt = static_cast<long>(j) + 1;
    if (insertAt < 0) {
        if (!lines_.empty() && !trimmed(lines_.back().text).empty()) lines_.push_back(Line{"", "", "", ""});
        lines_.push_back(Line{"[" + section + "]", s, "", ""});
        insertAt = static_cast<long>(lines_.size());
    }
    lines_.insert(lines_.begin() + insertAt, Line{key + "=" + value, s, lowerCase(key), value});
}

void IniFile::WriteBool(const std::string& section, const std::string& key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

void IniFile::UpdateFile() const
{
    // Written beside and renamed over, so a full disk leaves the old file whole.
    writeFileReplacing(
        path_, [this](std::ostream& out) { write(out); }, "Cannot write settings file " + path_,
        "Cannot write settings file " + path_);
}

void IniFile::write(std::ostream& out) const
{
    for (const Line& line : lines_) out << line.text << "\r\n";
}

}  // namespace tolvex
