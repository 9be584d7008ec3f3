// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/text/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
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

// The file a path finally names: links followed one by one (also a link whose
// target does not exist yet), relative targets taken from the link's folder.
std::filesystem::path resolveLinks(std::filesystem::path p)
{
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(p, ec))) return p;
        const std::filesystem::path target = std::filesystem::read_symlink(p, ec);
        if (ec) return p;
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    return p;  // a loop: the open below reports it
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
// file over /dev/stdout or a named pipe would break what the user set up.
void writeDirectly(const std::string& path, std::span<const std::string_view> data, const std::string& createError,
                   const std::string& writeError)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) throw TolvexError(withReason(createError, errno));
    const bool ok = writeAll(fd, data);
    const int error = errno;
    ::close(fd);
    if (!ok) throw TolvexError(withReason(writeError, error));
}

// Creates a temporary file with a short unused name in `folder`, mode 0666
// less the umask; returns its descriptor and name.
int createTemporary(const std::filesystem::path& folder, std::string& name)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned n = counter++ ^ (static_cast<unsigned>(::getpid()) << 8);
        name = (folder / (".tolvex-" + std::to_string(n % 1000000u))).string();
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
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

    const std::filesystem::path target = resolveLinks(path);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) throw TolvexError(withReason(createError, EISDIR));
    if (exists && !S_ISREG(old.st_mode)) return writeDirectly(target.string(), data, createError, writeError);

    const std::filesystem::path folder = target.parent_path();
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
