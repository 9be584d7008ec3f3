// SPDX-License-Identifier: GPL-3.0-or-later
// The .syx files of a folder and its subfolders, for adding a whole
// collection to the library at once.
#pragma once

#include <string>
#include <vector>

namespace tolvex {

// The .syx files (".SYX" and any other case too) in `folder` and every folder
// below it, sorted by path. Folders that cannot be read are named in
// `problems` ("FOLDER: text") and the rest is still listed; links to folders
// are not followed, so a link back up cannot list a file twice.
std::vector<std::string> syxFilesIn(const std::string& folder, std::vector<std::string>& problems);

}  // namespace tolvex
