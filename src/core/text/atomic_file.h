// SPDX-License-Identifier: GPL-3.0-or-later
// Writing a file so that a failed write never destroys what was there, and a
// finished one keeps what the user set up around the file.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace tolvex {

// Writes through `write` into a file beside `path`, then renames it over
// `path`:
// - a symbolic link stays a link: the file it points to (through any chain of
//   links) is the one replaced;
// - an existing file's permission bits are kept, and its owner and group where
//   this process may set them; a new file gets 0666 less the umask;
// - the data and the folder entry are flushed to disk before it returns;
// - the temporary file has a short name of its own in the same folder, so a
//   name at the file system's length limit still saves;
// - "-" is standard output; a name of one of this process's descriptors
//   (/dev/stdout, /dev/fd/N, /proc/self/fd/N) is written through that
//   descriptor, so a shell's ">>" appends and a pipe gets the data;
// - a character device or FIFO (a named pipe), and anything in /dev or /proc,
//   is written directly, never replaced by a regular file;
// - stale temporary files of earlier saves into the same folder, whose
//   writing process is gone, are removed;
// - a regular file with no write permission for anyone is refused with
//   "PATH is read-only; not written", even where this process could write it.
// On any failure (an exception from `write` too) the temporary file is
// removed, `path` keeps its old contents and TolvexError is thrown:
// `createError` when the file cannot be made at all, `writeError` when writing
// or renaming fails; both end in ": " and the system's reason when it gave one.
void writeFileReplacing(const std::string& path, const std::function<void(std::ostream&)>& write,
                        const std::string& createError, const std::string& writeError);
// The same for content already in memory: the pieces are written one after
// the other, straight from where they are (no copy of the whole is made).
void writeFileReplacing(const std::string& path, std::span<const std::string_view> data, const std::string& createError,
                        const std::string& writeError);

// The name "-" for standard input or output on the command line.
inline bool isStandardStream(const std::string& path)
{
    return path == "-";
}

// The descriptor `path` names when it is one of this process's open
// descriptors: /dev/stdin, /dev/stdout, /dev/stderr, /dev/fd/N,
// /proc/self/fd/N (also by this process's id); nullopt for any other path.
std::optional<int> openDescriptorOf(const std::string& path);

// Whether writing `path` puts the data on standard output: "-", /dev/stdout,
// or a descriptor for the same open file.
bool writesToStandardOutput(const std::string& path);

// Why `path` cannot be opened for reading, as a user reads it: "No such file",
// "Permission denied", "Is a folder", else the system's text.
std::string openFailureReason(const std::string& path);

}  // namespace tolvex
