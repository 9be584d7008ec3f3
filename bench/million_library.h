// SPDX-License-Identifier: GPL-3.0-or-later
// A patch library of 1,000,000 DX7 voices for the benchmarks, made once and
// kept in the temporary folder: later runs (and the other benchmark
// programs) open it as it is. It is made under another name and renamed when
// complete, so a run stopped while making it leaves nothing half made.
#pragma once

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/sysex/syx_file.h"
#include "devices/yamaha/yamaha_formats.h"
#include "library/patch_library.h"

namespace tolvex::bench {

// The DX7 fixture bank with every voice renamed "%05d-%02d" (bank, voice) and its checksum made right.
inline Bytes renamedBank(int bank)
{
    static const Bytes rom = readSyxFile(std::string(TOLVEX_FIXTURES_DIR) + "/yamaha/dx7-rom1a.syx").messages.at(0);
    Bytes b = rom;
    for (int v = 0; v < 32; ++v) {
        char name[16];
        std::snprintf(name, sizeof name, "%05d-%02d  ", bank % 100000, v);
        std::memcpy(b.data() + 6 + 128 * v + kVoiceName, name, 10);
    }
    b[b.size() - 2] = yamahaChecksum(ByteView(b).subspan(6, b.size() - 8));
    return b;
}

// The path of the million-item library (1,000,032 voices from 31,251 banks,
// 500 banks to a source file "/music/dx7/collectionN.syx").
inline std::string millionLibraryPath()
{
    namespace fs = std::filesystem;
    const fs::path path =
        fs::temp_directory_path() / ("tolvex-bench-million-v" + std::to_string(kLibrarySchemaVersion) + ".sqlite");
    if (fs::exists(path)) return path.string();
    const fs::path making = path.string() + ".making";
    for (const char* end : {"", "-wal", "-shm"}) fs::remove(making.string() + end);
    {
        PatchLibrary lib(making.string());
        const int banks = 1000000 / 32 + 1;
        for (int start = 0; start < banks; start += 500) {
            std::vector<Bytes> batch;
            for (int i = start; i < std::min(banks, start + 500); ++i) batch.push_back(renamedBank(i));
            AddReport r;
            lib.addMessages(batch, "/music/dx7/collection" + std::to_string(start) + ".syx", r);
        }
    }
    fs::rename(making, path);
    return path.string();
}

}  // namespace tolvex::bench
