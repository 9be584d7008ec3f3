// SPDX-License-Identifier: GPL-3.0-or-later
// Kronos Combi and Global dumps: recognising and unpacking, and the
// timbre-copy window's commands over a session. The reports against reviewed files and the copied bytes saved back
// are checked through the commands in tests/cli/kronos_combi_run_test.cpp.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/app/session.h"
#include "devices/devices.h"
#include "devices/kronos/kronos_combi.h"
#include "devices/kronos/kronos_defs.h"
#include "devices/kronos/kronos_startup.h"
#include "devices/kronos/kronos_timbre_copy.h"
#include "devices/triton2kronos/tri_kro_startup.h"
#include "support/kronos_records.h"
#include "support/scripted_shell.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using namespace kronos;
using testing::combiDump;
using testing::currentCombiDump;
using testing::sampleCombi;
using L = TKro_Combi_Layout;
using G = TKro_Global_Layout;

std::string programFolder()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/";
}

// A session with the shipped tables loaded.
struct KronosSession {
    KronosSession()
    {
        installDeviceFamilies(s);
        KronosUnitStartup(s, programFolder(), false);
        TriKroUnitStartup(s, programFolder());
        KroTimbreCopyFormCreate(s);
    }
    testing::ScriptedShell shell;
    Session s{shell};
    std::vector<std::string> boxes() const
    {
        std::vector<std::string> out;
        for (const auto& b : shell.boxes) out.push_back(b.title + ": " + b.text);
        return out;
    }
};

// Which messages are Combi dumps: in the runner's tests and the contract suite.
TEST(KronosCombi, ADumpOneByteShortIsRefusedWhole)
{
    // One byte short of the F7 is refused, and nothing is unpacked (the
    // contract suite cuts the Combi dumps of the fixture the same way).
    Bytes global(G::size, 0x55);
    try {
        KroUnpack(Bytes(28148, 0), kKroGlobalDumpOffset, global);
        ADD_FAILURE() << "a Global dump one byte short is unpacked";
    } catch (const TolvexError& e) {
        EXPECT_STREQ(e.what(), "Message too short: 28148 bytes, 28149 needed");
    }
    EXPECT_EQ(global, Bytes(G::size, 0x55));
}

// An insert effect moved up keeps its chain moved with it (in the runner's
// tests) where the slot it chains to exists: moved to slot 12, a chain to 13
// is dropped. The rest of the block is copied as it is.
TEST(KronosTimbreCopy, InsertEffectsDropAChainBeyondTheLastSlot)
{
    using I = TIns_Effect_Params;
    TKro_Combi src{}, dst{};
    const std::size_t s = L::insEffect(1), d = L::insEffect(12);
    for (std::size_t i = 0; i < I::size; ++i) src[s + i] = static_cast<std::uint8_t>(i + 1);
    src[s + I::Ins_Effect_ChChSw] = 0xC3;
    src[s + I::Ins_Effect_ChainTo] = 2;
    copyInsEffect(src, 1, dst, 12);
    EXPECT_EQ(dst[d + I::Ins_Effect_ChChSw], 0x43);
    EXPECT_EQ(dst[d + 63], 64);
    EXPECT_EQ(dst[d + I::spare], 74);
}

// Each partial copy writes exactly its areas of the edit record.
TEST(KronosTimbreCopy, PartialCopiesWriteTheirAreasOnly)
{
    TKro_Combi src;
    src.fill(0xAA);
    const struct {
        void (*copy)(const TKro_Combi&, TKro_Combi&);
        std::vector<std::pair<std::size_t, std::size_t>> areas;  // [from, to)
    } cases[] = {
        {CopyNonTimbreCombiParams, {{0, 1189}, {1190, 4802}}},
        {CopyMFXParams, {{912, 1052}}},
        {CopyTFXParams, {{1052, 1189}}},
        {CopyKarmaParams, {{1304, 4790}}},
    };
    for (const auto& c : cases) {
        TKro_Combi dst{};
        c.copy(src, dst);
        for (std::size_t i = 0; i < dst.size(); ++i) {
            const bool inside = std::any_of(c.areas.begin(), c.areas.end(),
                                            [&](const auto& a) { return i >= a.first && i < a.second; });
            ASSERT_EQ(dst[i], inside ? 0xAA : 0) << "byte " << i << " of area " << c.areas.front().first;
        }
    }
}

TEST(KronosTimbreCopy, SourceLabelsAndRefusals)
{
    KronosSession k;
    Session& s = k.s;
    const KroTimbreCopyView& v = s.families.records<KroTimbreCopyView>();
    KroTimbreCopyFormActivate(s);
    EXPECT_EQ(k.boxes(), std::vector<std::string>{"Warning: No Messages Were Selected - nothing to do"});

    const TKro_Combi combi = sampleCombi();
    s.messages.append("the sample", combiDump(combi, 0, 70, 127), "");
    s.messages.makeCurrent(0);
    KroTimbreCopyFormActivate(s);
    EXPECT_EQ(s.families.records<KronosCombiRecords>().Kro_Combi_CopyBuffer, combi);
    EXPECT_EQ(v.SrcCombi, "A Combi Name Of 24 Chars");
    EXPECT_EQ(v.CopyEditObjName, "the sample");
    const struct {
        CopyLabel got;
        std::string text;
        CopyLabelLook look;
    } labels[] = {
        {v.TimbreNameArray[0], "I-B-005 Int", CopyLabelLook::Normal},
        {v.TimbreNameArray[1], "U-AA-127 Ext", CopyLabelLook::Normal},
        {v.TimbreNameArray[2], "I-A-000 Mute", CopyLabelLook::Mute},
        {v.TimbreNameArray[3], "I-A-000 Off", CopyLabelLook::Grey},
        {v.IFXNameArray[0], "Stereo Compressor:", CopyLabelLook::Normal},
        {v.IFXNameArray[1], "No Effect:", CopyLabelLook::Normal},
        {v.IFXNameArray[2], "Stereo Compressor: (off)", CopyLabelLook::Grey},
    };
    for (const auto& l : labels) {
        EXPECT_EQ(l.got.text, l.text);
        EXPECT_EQ(l.got.look, l.look) << l.text;
    }
    EXPECT_EQ(v.IFXChainLabelArray[0], "i3");
    EXPECT_EQ(v.IFXChainLabelArray[1], "---");
    EXPECT_EQ(v.IFXTSRCNameArray[0], "T 1, 3 >");
    EXPECT_EQ(v.IFXTSRCNameArray[1], "T16 >");
    EXPECT_EQ(v.IFXTSRCNameArray[2], "--");

    // Refused messages keep the previous source; its labels are shown again.
    auto with = [](Bytes m, std::size_t at, std::uint8_t b) {
        m[at] = b;
        return m;
    };
    const Bytes bank = combiDump(combi);
    const struct {
        Bytes msg;
        const char* box;  // "" when accepted
    } cases[] = {
        {with(bank, 5, 0x02), "Message is an invalid Kronos Specific Combi Bank"},
        {with(currentCombiDump(combi), 6, 0x02), "Message is invalid Kronos Edit Buffer Combi Bank"},
        {{0xF0, 0x42, 0x30, 0x68, 0x43, 0xF7}, "Message is not Kronos Combi Bank 43"},
        {combiDump(combi, 5), "Message is not Kronos Combi Bank FFFFFFFF"},  // channel 1 only
        {Bytes(bank.begin(), bank.begin() + 8), "Message is an invalid Kronos Specific Combi Bank"},
        {with(with(bank, 6, 0x7F), 8, 0x7F), ""},
    };
    for (const auto& c : cases) {
        k.shell.boxes.clear();
        s.messages.append("entry", c.msg, "");
        s.messages.makeCurrent(s.messages.count() - 1);
        KroTimbreCopyFormActivate(s);
        EXPECT_EQ(k.boxes(),
                  c.box[0] ? std::vector<std::string>{std::string("Warning: ") + c.box} : std::vector<std::string>{})
            << c.box;
        EXPECT_EQ(v.SrcCombi, "A Combi Name Of 24 Chars");
        EXPECT_EQ(v.TimbreNameArray[0].text, "I-B-005 Int");
    }

    // A Combi without chains shows "---", not the chain of the Combi before.
    s.messages.append("plain", currentCombiDump(TKro_Combi{}), "");
    s.messages.makeCurrent(s.messages.count() - 1);
    KroTimbreCopyFormActivate(s);
    EXPECT_EQ(v.IFXChainLabelArray[0], "---");
    EXPECT_EQ(v.SrcCombi, "");
}

// Which LEDs an initialisation and an IFX copy light; the copies' bytes and
// the LEDs of a full or mapped timbre copy: in the runner's and the window's tests.
TEST(KronosTimbreCopy, InitialisationAndIfxCopyLeds)
{
    KronosSession k;
    Session& s = k.s;
    const KroTimbreCopyView& v = s.families.records<KroTimbreCopyView>();
    KronosCombiRecords& r = s.families.records<KronosCombiRecords>();
    CopyFullBtnClick(s);  // every LED lit

    // Initialisation takes only a whole Combi: a broken one leaves the edit buffer as it was.
    testing::TempDir dir;
    s.paths.progpath = dir.str();
    const TKro_Combi edited = r.Kro_Combi_EditBuffer;
    InitButton1Click(s);
    dir.write(kKroInitCombiFile, std::string(100, 'x'));
    InitButton1Click(s);
    EXPECT_EQ(k.boxes(), (std::vector<std::string>{"Warning: Cannot open file " + dir.str() + kKroInitCombiFile,
                                                   "Warning: Error loading Kronos Init Combi"}));
    EXPECT_EQ(r.Kro_Combi_EditBuffer, edited);
    EXPECT_TRUE(v.TimbreLEDArray[0].lit);
    std::filesystem::copy_file(programFolder() + kKroInitCombiFile, dir.file(kKroInitCombiFile),
                               std::filesystem::copy_options::overwrite_existing);
    InitButton1Click(s);
    EXPECT_FALSE(v.TimbreLEDArray[0].lit);
    EXPECT_FALSE(v.IFXLEDArray[0].lit);

    // An IFX copy: slot 2 to 9, its LED yellow.
    s.controls.checked.set(arrayControl(IFXCheckboxArray, 2), true);
    s.controls.chosen.set(arrayControl(IFXComboArray, 2), 9);
    CopyIFXClick(s);
    EXPECT_EQ(v.IFXLEDArray[8], (CopyLed{true, CopyLedColour::Yellow}));
    EXPECT_FALSE(v.IFXLEDArray[1].lit);
}

}  // namespace
}  // namespace tolvex
