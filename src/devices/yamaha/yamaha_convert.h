// SPDX-License-Identifier: GPL-3.0-or-later
// DX7II performances as TX802 performances: a DX7II plays voices A and B, a
// TX802 eight tone generators. Single gives all eight voice A; Dual and Split
// give tone generators 0-3 voice A and 4-7 voice B (group B's channel offset 4).
#pragma once

#include "devices/yamaha/yamaha_formats.h"

namespace tolvex {

// Converts the 32 DX7II performances into TX802PMEM entries offset..offset+31
// (offset 0 or 32); the other 32 entries stay as they are. chan (0-15) is the
// receive channel of every tone generator.
void Yam_DX7pb_to_TX802PMEM(const std::array<DX7iiPerformance, 32>& source, int offset, int chan,
                            std::array<TX802Performance, 64>& target);

// One DX7II performance as a TX802 performance edit buffer on channel chan (0-15).
TX802Pced Yam_DX7p_to_TX802PCED(const DX7iiPerformance& source, int chan);

}  // namespace tolvex
