// Writing a file so that a failed write never destroys what was there.
#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace tolvex {

// Writes through `write` into a file beside `path`, then renames it over
// `path`. On any failure the temporary file is removed, `path` keeps its old
// contents and TolvexError is thrown: `createError` when the file cannot be
// made at all, `writeError` when writing or renaming fails.
void writeFileReplacing(const std::string& path, const std::function<void(std::ostream&)>& write,
                        const std::string& createError, const std::string& writeError);

}  // namespace tolvex
