// SPDX-License-Identifier: GPL-3.0-or-later
// Heap use of the process, for the start-up log and the memory label.
#pragma once

#include <cstdint>

namespace tolvex {

struct HeapStats {
    std::uint64_t blocks = 0;  // allocated chunks
    std::uint64_t bytes = 0;   // bytes in them
};

HeapStats heapStats();

}  // namespace tolvex
