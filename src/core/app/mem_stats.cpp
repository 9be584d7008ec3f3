// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/mem_stats.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tolvex {

HeapStats heapStats()
{
    HeapStats s;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
    const struct mallinfo2 mi = mallinfo2();
    // Small blocks in use plus the blocks served by mmap.
    s.bytes = mi.uordblks + mi.hblkhd;
    s.blocks = mi.hblks + (mi.uordblks ? 1 : 0) + mi.smblks;
#endif
    return s;
}

}  // namespace tolvex
