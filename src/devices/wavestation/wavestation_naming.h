// SPDX-License-Identifier: GPL-3.0-or-later
// The names of Korg Wavestation messages past "Korg Wavestation": the function.
#pragma once

#include "core/sysex/sx_naming.h"

namespace tolvex {

MessageNamer wavestationNamer();

}  // namespace tolvex
