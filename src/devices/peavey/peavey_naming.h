// SPDX-License-Identifier: GPL-3.0-or-later
// The Peavey SP part of message naming: object dumps and requests, directory
// and status messages, replies and remote controls of the DPM SP sampler.
#pragma once

#include <string>

#include "core/text/bytes.h"

namespace tolvex {

// Continues the name of a message of maker 00 00 1B (Peavey), "Peavey" so
// far: "DPM SP Data Object Dump: Wave " and the like, with length and object
// number in `sup`. Reads no byte past the end of sx.
void PV_NameMessage(ByteView sx, std::string& name, std::string& sup);

}  // namespace tolvex
