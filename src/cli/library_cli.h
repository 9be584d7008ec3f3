// SPDX-License-Identifier: GPL-3.0-or-later
// `tolvex-cli library`: the patch library from the command line (add, list,
// export, bank, duplicates), also as a step of `tolvex-cli run --script`.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "core/text/bytes.h"

namespace tolvex {

extern const char kLibraryHelp[];

// Runs `tolvex-cli library ARGS...` (args after "library"). `received` holds
// the messages a script step received so far: `add --received` adds them
// instead of listening on a port. Returns 0, 1 when something could not be
// read or written, 2 for a usage error.
int runLibraryCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      const DeviceFactory& makeDevices, const std::vector<Bytes>* received = nullptr);

}  // namespace tolvex
