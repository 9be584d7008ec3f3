// SPDX-License-Identifier: GPL-3.0-or-later
// `tolvex-cli library` and its step in `run --script`.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "core/sysex/syx_file.h"
#include "devices/yamaha/yamaha_formats.h"
#include "support/run_tool.h"

namespace tolvex {
namespace {

using testing::fixture;

std::vector<std::vector<std::string>> rows(const std::string& text)
{
    std::vector<std::vector<std::string>> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::istringstream l(line);
        for (std::string f; std::getline(l, f, '\t');) fields.push_back(f);
        out.push_back(fields);
    }
    return out;
}

// A folder stands for the .syx files in it and below it (any case of the
// extension); one without any is a problem, the rest is still added. The
// progress line is for a terminal only: none here.
TEST(LibraryCli, AddTakesTheSyxFilesOfAFolderAndItsSubfolders)
{
    namespace fs = std::filesystem;
    const testing::TempDir dir;
    const std::string db = dir.file("library.sqlite");
    const fs::path top = dir.file("synths"), empty = dir.file("empty");
    fs::create_directories(top / "yamaha" / "dx7");
    fs::create_directories(empty / "sub");
    fs::copy_file(fixture("yamaha/dx7-rom1a.syx"), top / "yamaha" / "dx7" / "ROM1A.SYX");
    fs::copy_file(fixture("korg/wavestation-factory.syx"), top / "ws.syx");
    std::ofstream(top / "readme.txt") << "not SysEx";
    auto r = testing::runCliTool({"library", "--library", db, "add", top.string(), empty.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Found 2 .syx file(s) in " + top.string() + "\nFound 0 .syx file(s) in " + empty.string() +
                         "\nAdded 207 new item(s) from 10 message(s); 0 already in the library\n");
    EXPECT_EQ(r.err, "Not read: " + empty.string() + ": no .syx file in the folder\n");
}

TEST(LibraryCli, AddListExportBankDuplicatesAndScriptStep)
{
    const testing::TempDir dir;
    const std::string db = dir.file("library.sqlite");
    const auto cli = [](const std::vector<std::string>& args) { return testing::runCliTool(args); };
    auto r = cli({"library", "--library", db, "add", fixture("yamaha/dx7-rom1a.syx"),
                  fixture("yamaha/dx7-bank-truncated-no-f7.syx")});
    EXPECT_EQ(r.status, 1);  // the cut bank was read in part
    EXPECT_NE(r.err.find("28 of 32 voices cut off"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("Added 36 new item(s) from 2 message(s); 0 already in the library"), std::string::npos)
        << r.out;

    r = cli({"library", "--library", db, "list", "--search", "brass"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto list = rows(r.out);
    ASSERT_EQ(list.size(), 3u);
    ASSERT_EQ(list[0].size(), 10u);  // and the source file, and when it was added
    EXPECT_EQ(std::vector(list[0].begin(), list[0].begin() + 8),
              (std::vector<std::string>{"1", "BRASS   1", "Yamaha", "DX7", "Voice", "", "1", "128"}));
    EXPECT_NE(list[0][8].find("dx7-rom1a.syx"), std::string::npos);

    const std::string bank = dir.file("bank.syx");
    r = cli({"library", "--library", db, "bank", "--family", "yamaha", "--items", "1-3,8", "--out", bank});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto msgs = readSyxFile(bank).messages;
    ASSERT_EQ(msgs.size(), 1u);
    std::string detail;
    EXPECT_TRUE(DX7VerifyCheckSum(msgs[0], detail));
    const auto voiceName = [&](int v) {
        return std::string(msgs[0].begin() + 6 + v * 128 + kVoiceName, msgs[0].begin() + 6 + (v + 1) * 128);
    };
    EXPECT_EQ(voiceName(3), "PIANO   1 ");
    EXPECT_EQ(voiceName(4), "INIT VOICE");  // the places no item fills

    const std::string out = dir.file("export.syx");
    r = cli({"library", "--library", db, "export", "--search", "piano", "--out", out});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto singles = readSyxFile(out).messages;  // E.PIANO 1, PIANO 1-3, as single voices
    ASSERT_EQ(singles.size(), 4u);
    EXPECT_EQ(std::string(singles[0].begin() + 151, singles[0].begin() + 161), "E.PIANO 1 ");
    EXPECT_TRUE(DX7VerifyCheckSum(singles[0], detail)) << detail;
    // To standard output the export is the data alone: its report goes to standard error.
    std::ostringstream captured;
    std::streambuf* const before = std::cout.rdbuf(captured.rdbuf());
    r = cli({"library", "--library", db, "export", "--search", "piano", "--out", "-"});
    std::cout.rdbuf(before);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(captured.str(), testing::readFile(out));
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Wrote 4 message(s) to -\n");
    r = cli({"library", "--library", db, "add", out});  // read back they are the same voices
    EXPECT_NE(r.out.find("Added 0 new item(s) from 4 message(s); 4 already in the library"), std::string::npos)
        << r.out;

    const std::string copy = dir.file("copy.syx");
    std::filesystem::copy_file(fixture("yamaha/dx7-rom1a.syx"), copy);
    r = cli({"library", "--library", db, "add", copy});
    EXPECT_NE(r.out.find("Added 0 new item(s) from 1 message(s); 32 already in the library"), std::string::npos);
    r = cli({"library", "--library", db, "duplicates"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto groups = rows(r.out);
    ASSERT_EQ(groups.size(), 32u);
    EXPECT_EQ(groups[0].size(), 8u);  // group, number, name, maker, model, kind, two sources

    // Another library merged: what is new there, and what was here.
    const std::string other = dir.file("other.sqlite");
    ASSERT_EQ(cli({"library", "--library", other, "add", fixture("yamaha/dx7-rom1a.syx"),
                   fixture("korg/wavestation-factory.syx")})
                  .status,
              0);
    r = cli({"library", "--library", db, "merge", other});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Merged 207 item(s): 175 new, 32 already in the library (0 further source file(s) for those)\n");

    // Mistakes are usage errors and change nothing.
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"library", "--library", db, "add"},
                                                {"library", "--library", db, "frobnicate"},
                                                {"library", "--library", db, "merge"}}) {
        EXPECT_EQ(cli(bad).status, 2);
    }
    r = cli({"library", "--library", dir.write("not-a-library", "text"), "list"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is not a Tolvex library"), std::string::npos);

    // The same command as a step of `run --script`.
    const std::string script = "library --library " + db + " add " + fixture("korg/triton-factory-combi-bank-a.syx") +
                               "\nlibrary --library " + db + " list --kind combi --search moon\n";
    r = testing::runTool({"--script", "-"}, script);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Added 128 new item(s)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\tLonely Moon\tKorg\tTriton\tCombi\tINT-A\t1\t448\t"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace tolvex
