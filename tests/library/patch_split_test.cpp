// SPDX-License-Identifier: GPL-3.0-or-later
// The families' splitting and naming of real dumps, and the messages a patch
// goes back as.
#include <gtest/gtest.h>

#include "core/sysex/syx_file.h"
#include "library/patch_library.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::fixture;

std::vector<PatchItem> splitFile(const std::string& name, std::vector<std::string>& problems)
{
    std::vector<PatchItem> all;
    for (const Bytes& m : readSyxFile(fixture(name)).messages) {
        auto items = splitMessage(libraryFamilies(), m, problems);
        all.insert(all.end(), items.begin(), items.end());
    }
    return all;
}

TEST(PatchSplit, RealDumpsGiveTheirPatchesNamedInOrder)
{
    struct Case {
        const char* file;
        std::size_t count;
        const char* model;
        const char* kind;
        const char* first;
        const char* last;
        const char* firstBank;
        int firstNumber;
    };
    const Case cases[] = {
        {"yamaha/dx7-rom1a.syx", 32, "DX7", "Voice", "BRASS   1", "TAKE OFF", "", 1},
        {"yamaha/dx7ii-performance-bank-a.syx", 32, "DX7II", "Performance", "Warm String Section", nullptr, "", 1},
        {"yamaha/dx7-single-voice-keybd01.syx", 1, "DX7", "Voice", nullptr, nullptr, "", -1},
        {"korg/triton-one-program.syx", 1, "Triton", "Program", "Noisy Stabber", nullptr, "INT-A", 0},
        // Two performance banks, two patch banks, and five messages kept whole.
        {"korg/wavestation-factory.syx", 175, "Wavestation", "Performance", "Ski Jam", nullptr, "0", 0},
        {"korg/triton-factory-combi-bank-a.syx", 128, "Triton", "Combi", "Romance Layers", "One FingerTVShow", "INT-A",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::vector<std::string> problems;
        const auto items = splitFile(c.file, problems);
        EXPECT_TRUE(problems.empty()) << problems.front();
        ASSERT_EQ(items.size(), c.count);
        EXPECT_EQ(items.front().model, c.model);
        EXPECT_EQ(items.front().kind, c.kind);
        if (c.first) {
            EXPECT_EQ(items.front().name, c.first);
        }
        if (c.last) {
            EXPECT_EQ(items.back().name, c.last);
        }
        EXPECT_EQ(items.front().bank, c.firstBank);
        EXPECT_EQ(items.front().number, c.firstNumber);
    }
}

TEST(PatchSplit, DamagedDumpsGiveWhatCanBeReadAndSayWhatNot)
{
    struct Case {
        const char* file;
        std::size_t count;
        const char* problem;
    };
    // (A bank cut short: in the command-line tests.)
    const Case cases[] = {
        {"yamaha/dx7-bank-missing-checksum.syx", 32, "checksum"},
        {"yamaha/dx7s-bank-wrong-checksum.syx", 32, "checksum is 2B"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::vector<std::string> problems;
        const auto items = splitFile(c.file, problems);
        EXPECT_EQ(items.size(), c.count);
        ASSERT_FALSE(problems.empty());
        EXPECT_NE(problems.front().find(c.problem), std::string::npos) << problems.front();
    }
    // Every cut of a bank: no crash, never more patches than bytes allow.
    const Bytes bank = readSyxFile(fixture("korg/triton-factory-combi-bank-a.syx")).messages.at(0);
    for (std::size_t n : {0, 1, 5, 8, 9, 520, 521, 30000, 65544}) {
        std::vector<std::string> problems;
        const auto items = splitMessage(libraryFamilies(), ByteView(bank).first(n), problems);
        EXPECT_LE(items.size() * 512, n + 512);
    }
}

TEST(PatchSplit, APatchGoesBackAsTheEditBufferMessageItCameFrom)
{
    // The single dumps come back byte for byte from their records.
    for (const char* file : {"yamaha/dx7-single-voice-keybd01.syx", "korg/triton-factory-combi-current.syx"}) {
        SCOPED_TRACE(file);
        const Bytes sx = readSyxFile(fixture(file)).messages.at(0);
        std::vector<std::string> problems;
        const auto items = splitMessage(libraryFamilies(), sx, problems);
        ASSERT_EQ(items.size(), 1u);
        for (const PatchFamily& f : libraryFamilies())
            for (const PatchFormat& pf : f.formats)
                if (items[0].format == pf.format) {
                    EXPECT_EQ(pf.single(items[0].record, 0), sx);
                }
    }
    // (A bank voice sent alone: the library command's export.)
}

}  // namespace
}  // namespace tolvex
