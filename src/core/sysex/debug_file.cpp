// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/sysex/debug_file.h"

namespace tolvex {

bool DebugFile::open(const std::string& path)
{
    close();
    path_ = path;
    file_.open(path, std::ios::binary | std::ios::trunc);
    return file_.is_open();
}

void DebugFile::openOnFirstLine(const std::string& path)
{
    close();
    path_ = path;
    pending_ = true;
}

void DebugFile::close()
{
    pending_ = false;
    if (file_.is_open()) file_.close();
}

bool DebugFile::debuglog(const std::string& s)
{
    if (pending_) {
        pending_ = false;
        file_.open(path_, std::ios::binary | std::ios::trunc);
        if (!file_.is_open()) return false;
    }
    if (!file_.is_open()) return true;
    file_ << s << "\r\n";
    file_.flush();
    return true;
}

}  // namespace tolvex
