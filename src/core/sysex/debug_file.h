// The diagnostic file "debugfile.txt" that request/response exchanges write to.
#pragma once

#include <fstream>
#include <string>

namespace tolvex {

class DebugFile {
public:
    static constexpr const char* kDefaultName = "debugfile.txt";

    // Creates or truncates the file. Until open() succeeds, debuglog() writes nothing,
    // so tests and tools that do not want the file simply never open it.
    bool open(const std::string& path = kDefaultName);
    void close();
    bool isOpen() const { return file_.is_open(); }

    // Writes s and a CR LF line end, then flushes so the line survives a crash.
    void debuglog(const std::string& s);

private:
    std::ofstream file_;
};

}  // namespace tolvex
