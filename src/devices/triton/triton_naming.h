// SPDX-License-Identifier: GPL-3.0-or-later
// The names of Korg Triton messages past "Korg Triton": the function, the kind
// of a Program or Combination dump, and a parameter change's parameter.
#pragma once

#include "core/sysex/sx_naming.h"

namespace tolvex {

MessageNamer tritonNamer();

}  // namespace tolvex
