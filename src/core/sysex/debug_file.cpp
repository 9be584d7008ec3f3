#include "core/sysex/debug_file.h"

namespace tolvex {

bool DebugFile::open(const std::string& path)
{
    close();
    file_.open(path, std::ios::binary | std::ios::trunc);
    return file_.is_open();
}

void DebugFile::close()
{
    if (file_.is_open()) file_.close();
}

void DebugFile::debuglog(const std::string& s)
{
    if (!file_.is_open()) return;
    file_ << s << "\r\n";
    file_.flush();
}

}  // namespace tolvex
