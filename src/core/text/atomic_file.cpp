// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/text/atomic_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include "core/text/bytes.h"

namespace tolvex {

namespace {

std::string withReason(const std::string& text, int error)
{
    return error == 0 ? text : text + ": " + std::strerror(error);
}

// The path made absolute and free of "." and "..", for comparing by name.
std::string normalPath(const std::filesystem::path& p)
{
    std::error_code ec;
    const std::filesystem::path whole = std::filesystem::absolute(p, ec);
    return (ec ? p : whole).lexically_normal().string();
}

bool startsWith(const std::string& text, std::string_view head)
{
    return text.compare(0, head.size(), head) == 0;
}

// Folders of the system's own devices and processes: what is there is written
// as it is, never replaced by a file renamed over it.
bool inSystemFolder(const std::filesystem::path& p)
{
    const std::string n = normalPath(p);
    return n == "/dev" || n == "/proc" || startsWith(n, "/dev/") || startsWith(n, "/proc/");
}

// One link step: the target of `p` when it is a symbolic link (also a link
// whose target does not exist yet), relative targets taken from the link's folder.
std::optional<std::filesystem::path> linkTarget(const std::filesystem::path& p)
{
    std::error_code ec;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(p, ec))) return std::nullopt;
    const std::filesystem::path target = std::filesystem::read_symlink(p, ec);
    if (ec) return std::nullopt;
    return target.is_absolute() ? target : p.parent_path() / target;
}

// Writes the pieces in order, many to a system call.
bool writeAll(int fd, std::span<const std::string_view> pieces)
{
    constexpr std::size_t kBatch = 1024;  // IOV_MAX on Linux
    std::vector<iovec> batch;
    std::size_t next = 0, offset = 0;  // the first piece not wholly written, and how much of it is
    while (next < pieces.size()) {
        batch.clear();
        for (std::size_t k = next; k < pieces.size() && batch.size() < kBatch; ++k) {
            const std::size_t skip = k == next ? offset : 0;
            if (pieces[k].size() > skip)
                batch.push_back({const_cast<char*>(pieces[k].data() + skip), pieces[k].size() - skip});
        }
        if (batch.empty()) return true;  // only empty pieces are left
        ssize_t n = ::writev(fd, batch.data(), static_cast<int>(batch.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        auto done = static_cast<std::size_t>(n);
        while (next < pieces.size() && done >= pieces[next].size() - offset) {
            done -= pieces[next].size() - offset;
            offset = 0;
            ++next;
        }
        offset += done;
    }
    return true;
}

// A character device, FIFO or socket is written as it is: renaming a regular
// file over /dev/stdout or a named pipe would break what the user set up. A
// regular file or a new name in a system folder (/dev/shm) is written in place.
void writeDirectly(const std::string& path, bool regularOrNew, std::span<const std::string_view> data,
                   const std::string& createError, const std::string& writeError)
{
    const int flags = O_WRONLY | O_CLOEXEC | (regularOrNew ? O_CREAT | O_TRUNC : 0);
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) throw TolvexError(withReason(createError, errno));
    const bool ok = writeAll(fd, data);
    const int error = errno;
    ::close(fd);
    if (!ok) throw TolvexError(withReason(writeError, error));
}

// Through a descriptor this process holds: opening its name again would start
// a second file position at 0 and lose the O_APPEND of a shell's ">>".
void writeToDescriptor(int fd, std::span<const std::string_view> data, const std::string& createError,
                       const std::string& writeError)
{
    if (::fcntl(fd, F_GETFL) < 0) throw TolvexError(withReason(createError, errno));
    // Lines this program already wrote to the same stream stay before the data.
    if (fd == STDOUT_FILENO) std::cout.flush();
    if (fd == STDERR_FILENO) std::cerr.flush();
    if (!writeAll(fd, data)) throw TolvexError(withReason(writeError, errno));
}

constexpr char kTemporaryPrefix[] = ".tolvex-";

// Creates a temporary file with a short unused name in `folder`, mode 0666
// less the umask; returns its descriptor and name. The name carries the
// process id, so a file left by a process that was killed can be told apart.
int createTemporary(const std::filesystem::path& folder, std::string& name)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = (folder / (kTemporaryPrefix + std::to_string(::getpid()) + "-" + std::to_string(counter++ % 1000000u)))
                   .string();
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

bool allDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Removes the temporary files of saves into `folder` that never finished: the
// process that wrote one is gone (killed during a save). A name without a
// process id, as earlier builds made them, counts as left over once nothing
// has written it for ten minutes. Anything else is left alone.
void removeStaleTemporaries(const std::filesystem::path& folder)
{
    std::error_code ec;
    const auto now = std::filesystem::file_time_type::clock::now();
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!startsWith(name, kTemporaryPrefix)) continue;
        const std::string_view rest = std::string_view(name).substr(sizeof kTemporaryPrefix - 1);
        const auto dash = rest.find('-');
        std::error_code statError;
        if (!it->is_regular_file(statError) || it->is_symlink(statError)) continue;
        bool stale = false;
        if (dash == std::string_view::npos) {
            const auto written = std::filesystem::last_write_time(it->path(), statError);
            stale = allDigits(rest) && !statError && now - written > std::chrono::minutes(10);
        } else if (allDigits(rest.substr(0, dash)) && allDigits(rest.substr(dash + 1)) && dash <= 9) {
            const long pid = std::stol(std::string(rest.substr(0, dash)));
            stale = pid > 0 && pid != ::getpid() && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
        }
        if (stale) ::unlink(it->path().c_str());
    }
}

void syncFolder(const std::filesystem::path& folder)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

void writeFileReplacing(const std::string& path, const std::function<void(std::ostream&)>& write,
                        const std::string& createError, const std::string& writeError)
{
    // The content first, in memory: an exception from `write` leaves no file behind.
    std::ostringstream buffer(std::ios::binary);
    write(buffer);
    if (!buffer) throw TolvexError(writeError);
    const std::string data = std::move(buffer).str();
    const std::string_view whole(data);
    writeFileReplacing(path, std::span(&whole, 1), createError, writeError);
}

void writeFileReplacing(const std::string& path, std::span<const std::string_view> data, const std::string& createError,
                        const std::string& writeError)
{
    if (isStandardStream(path)) {
        std::cout.flush();
        for (std::string_view piece : data) std::cout.write(piece.data(), static_cast<std::streamsize>(piece.size()));
        std::cout.flush();
        if (!std::cout) throw TolvexError(writeError);
        return;
    }

    // Links are followed one by one; a step that names one of this process's
    // descriptors (/dev/stdout, /dev/fd/N) is written through that descriptor.
    std::filesystem::path target = path;
    for (int hops = 0;; ++hops) {
        if (const auto fd = openDescriptorOf(target.string()))
            return writeToDescriptor(*fd, data, createError, writeError);
        const auto next = hops < 40 ? linkTarget(target) : std::nullopt;  // a loop: the open below reports it
        if (!next) break;
        target = *next;
    }
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) throw TolvexError(withReason(createError, EISDIR));
    if ((exists && !S_ISREG(old.st_mode)) || inSystemFolder(target))
        return writeDirectly(target.string(), !exists || S_ISREG(old.st_mode), data, createError, writeError);
    // Write permission taken from everyone is the user's "keep this": honoured
    // even where the system would let this process write (root).
    if (exists && (old.st_mode & 0222) == 0) throw TolvexError(path + " is read-only; not written");

    const std::filesystem::path folder = target.parent_path();
    removeStaleTemporaries(folder.empty() ? std::filesystem::path(".") : folder);
    std::string temp;
    const int fd = createTemporary(folder.empty() ? std::filesystem::path(".") : folder, temp);
    if (fd < 0) throw TolvexError(withReason(createError, errno));
    const auto fail = [&](const std::string& text, int error) {
        ::close(fd);
        ::unlink(temp.c_str());
        throw TolvexError(withReason(text, error));
    };
    if (exists) {
        // Owner and group first: changing them may clear the set-id bits the mode then restores.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            [[maybe_unused]] const int groupOnly = ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        }
        if (::fchmod(fd, old.st_mode & 07777) != 0) fail(writeError, errno);
    }
    if (!writeAll(fd, data)) fail(writeError, errno);
    if (::fsync(fd) != 0) fail(writeError, errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        throw TolvexError(withReason(writeError, error));
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        throw TolvexError(withReason(writeError, error));
    }
    syncFolder(folder);
}

std::optional<int> openDescriptorOf(const std::string& path)
{
    if (path.empty()) return std::nullopt;
    const std::string n = normalPath(path);
    if (n == "/dev/stdin") return STDIN_FILENO;
    if (n == "/dev/stdout") return STDOUT_FILENO;
    if (n == "/dev/stderr") return STDERR_FILENO;
    const std::string pid = std::to_string(::getpid());
    const std::string folders[] = {"/dev/fd/", "/proc/self/fd/", "/proc/thread-self/fd/", "/proc/" + pid + "/fd/"};
    for (const std::string& folder : folders) {
        if (!startsWith(n, folder)) continue;
        const std::string number = n.substr(folder.size());
        if (!allDigits(number) || number.size() > 9) return std::nullopt;
        return std::stoi(number);
    }
    return std::nullopt;
}

bool writesToStandardOutput(const std::string& path)
{
    if (isStandardStream(path)) return true;
    const auto fd = openDescriptorOf(path);
    if (!fd) return false;
    if (*fd == STDOUT_FILENO) return true;
    // Another descriptor for the same open file (2>&1 or a copy made with dup).
    struct stat a {
    }, b{};
    return ::fstat(*fd, &a) == 0 && ::fstat(STDOUT_FILENO, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string openFailureReason(const std::string& path)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return "Is a folder";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return "Cannot be read";
    }
    if (errno == ENOENT) return "No such file";
    if (errno == EACCES) return "Permission denied";
    return std::strerror(errno);
}

}  // namespace tolvex
