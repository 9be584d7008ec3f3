// SPDX-License-Identifier: GPL-3.0-or-later
// What the device families' patch records share: their names as text and the
// categories the library sorts them into. The records themselves are
// described in core/app/patch_family.h.
#pragma once

#include <string>
#include <vector>

#include "core/app/patch_family.h"
#include "core/text/bytes.h"

namespace tolvex {

// A fixed-width name as text: up to its first NUL, trailing blanks removed.
std::string patchNameText(ByteView bytes);

// The categories the library sorts patches into, in the order a musician
// browses them.
const std::vector<std::string>& patchCategories();
// The category a patch's name suggests (a keyword table), "" when none does.
std::string guessCategory(const std::string& name);
// A Triton Combination's category number (0-15) as a library category; ""
// when the category says little about the sound.
std::string tritonCombiCategory(int number);

}  // namespace tolvex
