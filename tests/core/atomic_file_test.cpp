// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a file keeps what the user set up around it: links, modes, pipes,
// the old content when anything fails.
#include "core/text/atomic_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/text/bytes.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

void put(const std::string& path, const std::string& text)
{
    writeFileReplacing(
        path, [&](std::ostream& out) { out << text; }, "Cannot create file " + path, "Cannot write file " + path);
}

mode_t modeOf(const std::string& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

// Only the files the test made: no temporary file is ever left behind.
std::vector<std::string> entries(const TempDir& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.str())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AtomicFile, KeepsLinksModesAndTheOldContentOnFailure)
{
    TempDir dir;
    // A symbolic link (relative, through a second link) stays a link; its target is replaced.
    dir.write("real.syx", "old");
    fs::create_symlink("real.syx", dir.file("link1.syx"));
    fs::create_symlink(dir.file("link1.syx"), dir.file("link2.syx"));
    put(dir.file("link2.syx"), "new");
    EXPECT_TRUE(fs::is_symlink(dir.file("link2.syx")));
    EXPECT_EQ(dir.read("real.syx"), "new");
    // A dangling link makes its target.
    fs::create_symlink("later.syx", dir.file("dangling.syx"));
    put(dir.file("dangling.syx"), "made");
    EXPECT_TRUE(fs::is_symlink(dir.file("dangling.syx")));
    EXPECT_EQ(dir.read("later.syx"), "made");

    // A private file stays private; a new one gets the umask's mode.
    dir.write("mine.syx", "x");
    ::chmod(dir.file("mine.syx").c_str(), 0600);
    put(dir.file("mine.syx"), "y");
    EXPECT_EQ(modeOf(dir.file("mine.syx")), 0600u);
    const mode_t mask = ::umask(022);
    put(dir.file("fresh.syx"), "z");
    ::umask(mask);
    EXPECT_EQ(modeOf(dir.file("fresh.syx")), 0644u);

    // A name at the file system's limit still saves.
    const std::string longName = std::string(250, 'n') + ".syx";
    put(dir.file(longName), "long");
    EXPECT_EQ(dir.read(longName), "long");

    // Failures: an exception while writing, a folder that is a file, a folder as target.
    const std::string before = dir.read("mine.syx");
    EXPECT_THROW(writeFileReplacing(
                     dir.file("mine.syx"),
                     [](std::ostream& out) {
                         out << "half";
                         throw TolvexError("disk full");
                     },
                     "c", "w"),
                 TolvexError);
    EXPECT_EQ(dir.read("mine.syx"), before);
    try {
        put(dir.file("mine.syx/inside.syx"), "x");
        ADD_FAILURE() << "a file inside a file was written";
    } catch (const TolvexError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + dir.file("mine.syx/inside.syx") + ": Not a directory");
    }
    fs::create_directory(dir.file("folder.syx"));
    EXPECT_THROW(put(dir.file("folder.syx"), "x"), TolvexError);
    std::vector<std::string> made{"dangling.syx", "folder.syx", "fresh.syx", "later.syx", "link1.syx",
                                  "link2.syx",    longName,     "mine.syx",  "real.syx"};
    std::sort(made.begin(), made.end());
    EXPECT_EQ(entries(dir), made);
}

// (Standard output, "-", is written in the command line's tests of saving.)
TEST(AtomicFile, WritesPipesAndDevicesDirectly)
{
    TempDir dir;
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string heard;
    std::thread reader([&] {
        std::ifstream in(fifo, std::ios::binary);
        heard.assign(std::istreambuf_iterator<char>(in), {});
    });
    put(fifo, "through the pipe");
    reader.join();
    EXPECT_EQ(heard, "through the pipe");
    EXPECT_TRUE(fs::is_fifo(fifo));  // not replaced by a regular file
}

// A descriptor name is written through the descriptor the shell opened: ">>"
// appends and a pipe gets the data, and nothing is renamed over either.
TEST(AtomicFile, WritesDescriptorNamesThroughTheDescriptor)
{
    TempDir dir;
    const std::string kept = dir.write("kept.syx", "kept");
    const int appending = ::open(kept.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(appending, 0);
    const std::string n = std::to_string(appending);
    std::string expected = "kept";
    for (const std::string& name :
         {"/dev/fd/" + n, "/proc/self/fd/" + n, "/proc/" + std::to_string(::getpid()) + "/fd/" + n, "/dev/fd/./" + n}) {
        put(name, "+" + name);
        expected += "+" + name;
        EXPECT_EQ(dir.read("kept.syx"), expected) << name;
    }
    ::close(appending);

    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    put("/dev/fd/" + std::to_string(ends[1]), "piped");
    ::close(ends[1]);
    char got[16] = {};
    EXPECT_EQ(::read(ends[0], got, sizeof got), 5);
    ::close(ends[0]);
    EXPECT_EQ(std::string(got), "piped");

    EXPECT_THROW(put("/dev/fd/999", "x"), TolvexError);  // not open: nothing made in its place
    EXPECT_EQ(openDescriptorOf("/dev/stdout"), 1);
    EXPECT_EQ(openDescriptorOf(dir.file("fd/1")), std::nullopt);
    EXPECT_EQ(entries(dir), std::vector<std::string>{"kept.syx"});
}

// A file nobody may write is the user's "keep this", even for root; a file
// only its owner may write is replaced as usual.
TEST(AtomicFile, RefusesFilesWithoutAnyWriteBit)
{
    TempDir dir;
    const struct {
        mode_t mode;
        bool refused;
    } cases[] = {{0444, true}, {0400, true}, {0000, true}, {0644, false}, {0200, false}};
    for (const auto& c : cases) {
        const std::string path = dir.write("mode.syx", "old");
        ::chmod(path.c_str(), c.mode);
        try {
            put(path, "new");
            EXPECT_FALSE(c.refused) << std::oct << c.mode;
        } catch (const TolvexError& e) {
            EXPECT_TRUE(c.refused) << std::oct << c.mode << ": " << e.what();
            EXPECT_EQ(std::string(e.what()), path + " is read-only; not written");
        }
        EXPECT_EQ(dir.read("mode.syx"), c.refused ? "old" : "new") << std::oct << c.mode;
        EXPECT_EQ(modeOf(path), c.mode);
        ::chmod(path.c_str(), 0644);
    }
}

// What a save killed half-way left beside its target goes at the next save
// into that folder, once its writer is gone; nothing else does.
TEST(AtomicFile, RemovesTemporariesOfSavesThatDied)
{
    TempDir dir;
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ::waitpid(child, nullptr, 0);  // a process id that is gone
    const std::string dead = ".tolvex-" + std::to_string(child) + "-5";
    const std::string alive = ".tolvex-" + std::to_string(::getppid()) + "-7";
    for (const std::string& name :
         {dead, alive, std::string(".tolvex-123456"), std::string(".tolvex-654321"), std::string(".tolvex-notes")})
        dir.write(name, "half");
    const auto hourAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
    fs::last_write_time(dir.file(".tolvex-123456"), hourAgo);  // an old build's, long untouched
    fs::last_write_time(dir.file(".tolvex-notes"), hourAgo);
    put(dir.file("saved.syx"), "data");
    std::vector<std::string> left{alive, ".tolvex-654321", ".tolvex-notes", "saved.syx"};
    std::sort(left.begin(), left.end());
    EXPECT_EQ(entries(dir), left);
}

TEST(AtomicFile, WritesPiecesInOrderAcrossManyWrites)
{
    TempDir dir;
    // Counts around the number of pieces one system call takes, with empty pieces among them.
    for (std::size_t count : {0u, 1u, 1023u, 1024u, 1025u, 5000u}) {
        SCOPED_TRACE(count);
        std::vector<std::string> texts;
        std::string whole;
        for (std::size_t i = 0; i < count; ++i) {
            texts.push_back(i % 7 == 3 ? std::string() : std::string(1 + i % 300, static_cast<char>('a' + i % 26)));
            whole += texts.back();
        }
        const std::vector<std::string_view> pieces(texts.begin(), texts.end());
        const std::string path = dir.file("pieces.bin");
        writeFileReplacing(path, pieces, "Cannot create file", "Cannot write file");
        std::ifstream in(path, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), whole);
    }
}

}  // namespace
}  // namespace tolvex
