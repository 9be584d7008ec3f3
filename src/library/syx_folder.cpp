// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/syx_folder.h"

#include <algorithm>
#include <filesystem>

namespace tolvex {

namespace {

bool isSyx(const std::filesystem::path& p)
{
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; });
    return ext == ".syx";
}

}  // namespace

std::vector<std::string> syxFilesIn(const std::string& folder, std::vector<std::string>& problems)
{
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    if (ec) {
        problems.push_back(folder + ": " + ec.message());
        return files;
    }
    for (const fs::recursive_directory_iterator end; it != end;) {
        const fs::path here = it->path();
        std::error_code typeError;
        if (isSyx(here) && it->is_regular_file(typeError)) files.push_back(here.string());
        it.increment(ec);
        if (ec) {
            // Unreadable folders are skipped already; anything else ends the listing, said so.
            problems.push_back(here.string() + ": " + ec.message());
            break;
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace tolvex
