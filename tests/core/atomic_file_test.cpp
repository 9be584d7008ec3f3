// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a file keeps what the user set up around it: links, modes, pipes,
// the old content when anything fails.
#include "core/text/atomic_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

#include <sys/stat.h>
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
