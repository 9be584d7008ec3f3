// SPDX-License-Identifier: GPL-3.0-or-later
// The names of Yamaha messages past the maker: bulk dumps by format (the
// universal bulk dump by its ASCII data format name), parameter changes by
// group, dump requests by format.
#pragma once

#include "core/sysex/sx_naming.h"

namespace tolvex {

MessageNamer yamahaNamer();

}  // namespace tolvex
