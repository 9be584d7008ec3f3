// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a file for the patch library: what Open reads, and the forms real
// collections carry the families' patches in besides (raw cartridge images,
// a text header before a bank, a byte no SysEx message may hold), each read
// with a note of what was unusual.
#pragma once

#include <string>
#include <vector>

#include "core/sysex/syx_file.h"
#include "devices/common/patches.h"

namespace tolvex {

struct LibraryFileRead {
    SyxParse parse;                  // as readSyxFile gives it (the messages went to the sink)
    std::vector<std::string> notes;  // what was read differently from Open, one line each
};

// Reads `path` for the library; each message goes to `sink`. A file larger
// than a collection's patch files is read as Open reads it. Throws
// TolvexError naming the file when it cannot be read.
LibraryFileRead readLibraryFile(const std::string& path, const std::vector<PatchFamily>& families,
                                const SyxSplitter::Sink& sink);

}  // namespace tolvex
