// SPDX-License-Identifier: GPL-3.0-or-later
// The Kronos Combi commands and the timbre-copy window through `tolvex-cli run`,
// on dumps built from the sample records, in a folder of their own.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/runner.h"
#include "devices/common/korg_packing.h"
#include "devices/kronos/kronos_combi.h"
#include "devices/kronos/kronos_layouts.h"
#include "midi/loopback.h"
#include "midi/port_devices.h"
#include "support/kronos_records.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using namespace kronos;
using testing::TempDir;

using testing::RunResult;

// Runs in `dir` (reports go to the current folder).
RunResult run(const TempDir& dir, const std::vector<std::string>& args, const std::string& script = "",
              const DeviceFactory& devices = {})
{
    return testing::runTool(args, script, devices, nullptr, dir.str());
}

TempDir& folder()
{
    static TempDir dir;
    static const bool written = [] {
        dir.write("combi73.syx", testing::combiDump(testing::sampleCombi(), 5, 64, 3));
        dir.write("combi75.syx", testing::currentCombiDump(testing::sampleCombi()));
        dir.write("global.syx", testing::globalDump(testing::sampleGlobal()));
        dir.write("prog.syx", Bytes{0xF0, 0x42, 0x30, 0x68, 0x73, 0x00, 0, 0, 1, 0, 0x00, 0xF7});
        Bytes cut = testing::currentCombiDump(testing::sampleCombi());
        cut.erase(cut.end() - 2);
        dir.write("cut.syx", cut);
        return true;
    }();
    (void)written;
    return dir;
}

TEST(KronosCombiRun, CommandsOnTheSelectedDump)
{
    TempDir& d = folder();
    const std::string name = "A Combi Name Of 24 Chars";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out, err;
    } cases[] = {
        {{"SaveCombi2Bin", d.file("combi73.syx"), "--file", d.file("out.bin")},
         0,
         "Loading: 1 message(s)\ncombi name: " + name + "\nWriting Binary Combi, 7810\nWrote " + d.file("out.bin") +
             "\n",
         ""},
        {{"?", d.file("combi75.syx")},
         0,
         "Loading: 1 message(s)\nCurrent combi name: " + name + "\nCombi Tempo: 120.00\n",
         ""},
        {{"Parse2Text", d.file("combi73.syx")},
         0,
         "Loading: 1 message(s)\ncombi name: " + name + "\nT16 Timbre Volume: 77\nWrote combiparse.txt\n",
         ""},
        {{"Global2Text", d.file("global.syx")}, 0, "Loading: 1 message(s)\nWrote Kronos-Global-Cat-Parse.txt\n", ""},
        // The commands share their Combi and Global tests.
        {{"?", d.file("prog.syx")}, 1, "Loading: 1 message(s)\n", "Warning: Message is not Kronos Combi\n"},
        {{"Global2Text", d.file("combi73.syx")},
         1,
         "Loading: 1 message(s)\n",
         "Warning: Message is not Kronos Global Data\n"},
        {{"Parse2Text", d.file("cut.syx")},
         1,
         "Loading: 1 message(s)\n",
         "Warning: Message too short: 8933 bytes, 8934 needed\n"},
    };
    for (const auto& c : cases) {
        const RunResult r = run(d, c.args);
        const std::string what = c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : "");
        EXPECT_EQ(r.status, c.status) << what;
        EXPECT_EQ(r.out, c.out) << what;
        EXPECT_EQ(r.err, c.err) << what;
    }
    const TKro_Combi combi = testing::sampleCombi();
    EXPECT_EQ(d.read("out.bin"), std::string(combi.begin(), combi.end()));
    // The reports of the sample records, reviewed by hand against the bytes set in
    // kronos_records.h (see tests/fixtures/kronos/combi-reports.txt); Parse2Text
    // logged nothing more than its two lines, so every parameter was found.
    EXPECT_EQ(d.read("combiparse.txt"), d.read(std::string(TOLVEX_FIXTURES_DIR) + "/kronos/combiparse.txt"));
    EXPECT_EQ(d.read(kGlobalCatParseFile),
              d.read(std::string(TOLVEX_FIXTURES_DIR) + "/kronos/Kronos-Global-Cat-Parse.txt"));
}

// A full copy saved back gives the source message; mapped copies take their
// rows from the script's boxes; a bad row or entry ends the run before anything.
TEST(KronosCombiRun, TimbreCopyScripts)
{
    TempDir& d = folder();
    const TKro_Combi src = testing::sampleCombi();
    RunResult r =
        run(d, {"--script", "-"},
            "open " + d.file("combi75.syx") + "\nselect 1\ndo \"Copy Full Combi\"\ndo \"Save Edit Buffer\"\nsave-new " +
                d.file("full.syx") + "\nlist-entries\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(d.read("full.syx"), d.read("combi75.syx"));
    EXPECT_NE(r.out.find("Tri2Kro-Convert\t2\t8934\t"), std::string::npos) << r.out;

    // Timbres 3 and 7 to 5 (by number and by the entry's text), IFX 1 to 4, onto the init Combi.
    r = run(d, {"--script", "-"},
            "open " + d.file("combi75.syx") +
                "\ndo \"Initialize Combi Buffer\"\n"
                "set TimbreCheckboxArray[3]=1\nset TimbreComboArray[3]=5\n"
                "set \"TimbreCheckboxArray[7]=yes\"\nset \"TimbreComboArray[7]=To Timbre 5\"\n"
                "set IFXCheckboxArray[1]=1\nset IFXComboArray[1]=4\n"
                "do \"Copy Timbres\"\ndo \"Copy IFX\"\ndo \"Save Edit Buffer\"\nsave-new " +
                d.file("mapped.syx") + "\n");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string saved = d.read("mapped.syx");
    TKro_Combi got{};
    KroUnpackCombi(ByteView(reinterpret_cast<const std::uint8_t*>(saved.data()), saved.size()), 0x75, got);
    using L = TKro_Combi_Layout;
    using I = TIns_Effect_Params;
    EXPECT_EQ(KroCombiName(got), "Init Combi");
    EXPECT_TRUE(std::equal(got.begin() + L::timbre(5), got.begin() + L::timbre(6), src.begin() + L::timbre(7)));
    EXPECT_EQ(got[L::timbre(3) + TTimbre_Params::MidiChan_Status], 0x10);  // the init Combi's, off
    EXPECT_EQ(got[L::insEffect(4) + I::Ins_Effect_Eff_Type], testing::kCompressor);
    EXPECT_EQ(got[L::insEffect(4) + I::Ins_Effect_ChChSw], 0xC4);  // chained to 3 from 1: now to 6
    EXPECT_EQ(got[L::insEffect(4) + I::Ins_Effect_ChainTo], 6);
    EXPECT_EQ(got[L::insEffect(1) + I::Ins_Effect_Eff_Type], 0);

    const struct {
        const char* set;
        const char* err;
    } usage[] = {
        {"TimbreComboArray[17]=1",
         "tolvex-cli run: line 2: TimbreComboArray has no row 17: its rows are TimbreComboArray[1] to "
         "TimbreComboArray[16]\n"},
        {"IFXComboArray[2]=To IFX Slot 13",
         "tolvex-cli run: line 2: IFXComboArray is a drop-down: give an entry 1 to 12 or its text (\"To IFX Slot "
         " 1\" ...), not To IFX Slot 13\n"},
        {"IFXCheckboxArray[2]=maybe",
         "tolvex-cli run: line 2: IFXCheckboxArray is a check box: give 1 or 0, not maybe\n"},
    };
    for (const auto& u : usage) {
        r = run(d, {"--script", "-"},
                "open " + d.file("combi75.syx") + "\nset \"" + u.set + "\"\ndo \"Copy Timbres\"\nsave-list " +
                    d.file("never.syx") + "\n");
        EXPECT_EQ(r.status, 2) << u.set;
        EXPECT_EQ(r.err, u.err);
        EXPECT_FALSE(std::filesystem::exists(d.file("never.syx"))) << u.set;
    }
}

// "Send Edit Buffer to Kronos" reaches an instrument on the port whole.
TEST(KronosCombiRun, SendEditBufferArrivesWhole)
{
    TempDir& d = folder();
    MidiLoopback bus({"Kronos"});
    std::vector<Bytes> heard;
    bus.attach("Kronos", [&](ByteView m) { heard.emplace_back(m.begin(), m.end()); });
    const DeviceFactory loopback = testing::loopbackDevices(bus);
    const RunResult r =
        run(d, {"--script", "-", "--out", "Kronos"},
            "open " + d.file("combi75.syx") + "\ndo CopyFullBtn\ndo \"Send Edit Buffer to Kronos\"\n", loopback);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(heard, std::vector<Bytes>{testing::currentCombiDump(testing::sampleCombi())});
}

}  // namespace
}  // namespace tolvex
