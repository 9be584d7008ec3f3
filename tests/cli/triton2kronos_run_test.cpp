// SPDX-License-Identifier: GPL-3.0-or-later
// "Conv Triton Combi" through `tolvex-cli run` with the shipped tables: one
// Combination of a bank to a .syx file, and a Program dump refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/runner.h"
#include "core/sysex/korg_packing.h"
#include "core/sysex/syx_file.h"
#include "devices/kronos/kronos_layouts.h"
#include "devices/triton2kronos/tri_kro_convert.h"
#include "support/run_tool.h"
#include "support/simulated_triton.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::TempDir;

using testing::RunResult;

RunResult run(const TempDir& dir, const std::vector<std::string>& args)
{
    return testing::runTool(args, "", {}, nullptr, dir.str());
}

TEST(TritonToKronosRun, OneCombiOfABankToAFile)
{
    TempDir dir;
    auto bank = std::make_unique<triton::Ttri_Combi_bank>();
    for (std::size_t n = 0; n < bank->size(); ++n) {
        const std::string name = format("Combi %03zu", n);
        std::copy(name.begin(), name.end(), (*bank)[n].Combi_Name.begin());
        (*bank)[n].Ins_Effect_Group[0].Ins_Effect_Data[16] = 52;    // Reverb Hall
        (*bank)[n].Ins_Effect_Group[0].Ins_Effect_Data[17] = 0x40;  // on
    }
    const std::string in = dir.write("bank.syx", testing::tritonDump(0, 0x4D, 1, 0, 0, *bank));
    const RunResult r = run(dir, {"Conv Triton Combi", in, "--set", "KroProg=5", "--save-new", dir.file("out.syx")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" Triton to Kronos Combi Convert: Combi 005\n"), std::string::npos) << r.out;
    const std::vector<Bytes> saved = readSyxFile(dir.file("out.syx")).messages;
    ASSERT_EQ(saved.size(), 1u);
    ASSERT_EQ(saved[0].size(), 7 + KorgPackedSize(kronos::TKro_Combi_Layout::size) + 1);
    EXPECT_EQ(Bytes(saved[0].begin(), saved[0].begin() + 7), (Bytes{0xF0, 0x42, 0x30, 0x68, 0x75, 0x01, 0x03}));
    const Bytes k = KorgSXtoDataConvert(saved[0], 7, kronos::TKro_Combi_Layout::size);
    EXPECT_EQ(std::string(k.begin(), k.begin() + 10), std::string("Combi 005\0", 10));
    EXPECT_EQ(k[kronos::TKro_Combi_Layout::insEffect(1) + kronos::TIns_Effect_Params::Ins_Effect_Eff_Type], 101);
    const std::string parse = dir.read(kTriKroParseFile);
    EXPECT_EQ(parse.substr(0, 11), "Combi 005\r\n");
    EXPECT_EQ(parse.find("Change out of bounds"), std::string::npos);
    EXPECT_NE(parse.find("Tri InsEff1 52: \"Reverb Hall\" ---> Kro Efx:101 \"Reverb Hall:\""), std::string::npos);

    // Refused: the file the user named is left as it was.
    const RunResult refused = run(dir, {"Conv Triton Combi", TOLVEX_FIXTURES_DIR "/korg/triton-one-program.syx",
                                        "--save-new", dir.write("mine.syx", "mine")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "Warning: Message is not Triton Combi Bank\n" + dir.file("mine.syx") +
                               " not written: the command failed\n");
    EXPECT_EQ(dir.read("mine.syx"), "mine");
}

}  // namespace
}  // namespace tolvex
