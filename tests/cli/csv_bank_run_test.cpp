// SPDX-License-Identifier: GPL-3.0-or-later
// Open CSV through `tolvex-cli run`: the .csv files the DX/TX exports write
// are read back into the dumps they came from, byte for byte (the refusals are
// in tests/devices/csv_bank_files_test.cpp).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/runner.h"
#include "core/sysex/syx_file.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::messagesOf;
using testing::readFile;
using testing::RunResult;
using testing::runTool;
using testing::TempDir;

const std::string kYamaha = std::string(TOLVEX_FIXTURES_DIR) + "/yamaha/";

TEST(CsvBankRun, OpenCsvReadsTheExportsBackByteForByte)
{
    const struct {
        const char* fixture;
        const char* command;
        const char* type;
    } cases[] = {{"dx7ii-performance-bank-a.syx", "DX7perf>file", "DX7II Performance Bank"},
                 {"tx802-performance-bank.syx", "TX802pb>file", "TX802 Performance Bank"}};
    for (const auto& c : cases) {
        TempDir dir;
        const std::string syx = dir.write(c.fixture, readFile(kYamaha + c.fixture));
        const Bytes original = messagesOf(syx).at(0);
        const std::string csv = syx.substr(0, syx.size() - 4) + ".csv";
        const RunResult r =
            runTool({"--script", "-"},
                    "open " + syx + "\ndo \"" + c.command + "\"\nset Channel=" + std::to_string(original[2]) +
                        "\nfile " + csv + "\ndo \"Open CSV\"\nsave-new " + dir.file("csv.syx") + "\nlist-entries\n",
                    {}, nullptr, dir.str());
        EXPECT_EQ(r.status, 0) << r.err;
        const auto back = messagesOf(dir.file("csv.syx"));
        ASSERT_EQ(back.size(), 1u) << c.type;
        EXPECT_EQ(back[0], original) << c.type;
        EXPECT_NE(r.out.find(std::string("Loaded CSV ") + c.type + "\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(dir.file(std::string("CSV_") + std::filesystem::path(csv).filename().string()) + "\t2\t"),
                  std::string::npos)
            << r.out;
        // Only the DX7II bank leaves its records beside the program's current folder.
        EXPECT_EQ(std::filesystem::exists(dir.file("CSV-DX7iiPackedPerf.bin")), c.type[0] == 'D') << c.type;
    }
}

}  // namespace
}  // namespace tolvex
