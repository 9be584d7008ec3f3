// SPDX-License-Identifier: GPL-3.0-or-later
// A diagnostic file: "debugfile.txt" that request/response exchanges and the
// device tools write to, and the other trace files of the program.
#pragma once

#include <fstream>
#include <string>

namespace tolvex {

class DebugFile {
public:
    static constexpr const char* kDefaultName = "debugfile.txt";

    // Creates or truncates the file now. Until open() or openOnFirstLine()
    // succeeds, debuglog() writes nothing, so tests and tools that do not want
    // the file simply never open it.
    bool open(const std::string& path = kDefaultName);
    // Names the file without creating it: the first line written creates (or
    // truncates) it, so a run that has nothing to say leaves no empty file.
    void openOnFirstLine(const std::string& path = kDefaultName);
    void close();
    bool isOpen() const { return file_.is_open(); }
    const std::string& path() const { return path_; }

    // Writes s and a CR LF line end, then flushes so the line survives a crash.
    // False only for the line at which the file could not be created (once):
    // the caller says so, and the lines after it are dropped silently.
    bool debuglog(const std::string& s);

private:
    std::ofstream file_;
    std::string path_;
    bool pending_ = false;  // named by openOnFirstLine, not created yet
};

}  // namespace tolvex
