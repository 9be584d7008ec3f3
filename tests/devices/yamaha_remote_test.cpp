// SPDX-License-Identifier: GPL-3.0-or-later
// "Rd DX7 CRT" and "Rd TX802 ROM" against simulated instruments on the
// loopback, on the scripted shell's virtual clock: a silent device, one that
// stops half-way, a damaged answer, the ROM read; and the settings
// sections that name the voice map at start-up.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/text/ini_file.h"
#include "core/text/text_utils.h"
#include "devices/devices.h"
#include "devices/yamaha/yamaha_remote.h"
#include "support/rig.h"
#include "support/simulated_yamaha.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::Rig;
using testing::SimulatedYamaha;
using testing::TempDir;

// Runs in a fresh current folder, where the readers write.
struct FreshFolder {
    TempDir dir;
    testing::InFolder in{dir.str()};
};

// Names as the records hold them: 20 characters for a performance, 10 for a voice.
std::string performanceName(int p)
{
    return format("Performance %-8d", p);
}

std::string voiceName(int p)
{
    return format("Voice %-4d", p);
}

// A DX7II whose cartridge holds performances 32-63 and voices 64-127, each
// named after its program, listening on channel 3.
struct Cartridge : Rig {
    Cartridge()
    {
        for (int p = 32; p < 64; ++p) {
            const std::string name = performanceName(p);
            std::copy(name.begin(), name.end(), dx7.performances[static_cast<std::size_t>(p)].begin() + dx7ii::kName);
        }
        for (int p = 64; p < 128; ++p) dx7.voices[static_cast<std::size_t>(p)] = testing::voiceNamed(voiceName(p));
    }
    SimulatedYamaha dx7{bus, shell, port, 3};
};

std::string cartridgeLines(int lastVoice)
{
    std::string text;
    for (int p = 32; p <= 63; ++p) text += std::to_string(p) + "=" + performanceName(p) + " \r\n";
    text += "\r\n\r\n\r\n";
    for (int p = 64; p <= lastVoice; ++p) text += std::to_string(p) + "=" + voiceName(p) + "\r\n";
    return text;
}

TEST(YamahaRemote, AnUnfinishedReadKeepsWhatArrivedAndSaysWhere)
{
    const struct {
        const char* what;
        int answers;      // answered requests before silence (-1: all)
        int damaged;      // program answered with a bad checksum (-1: none)
        std::string box;  // the last box
        int lastVoice;    // last voice line written (0: the earlier file kept)
        std::size_t entries;
    } cases[] = {
        {"silent", 0, -1, "Timeout waiting for requested sysex message 32", 0, 0},
        {"stops in the voices", 40, -1, "Timeout waiting for requested sysex message 72", 71, 41},
        {"bad checksum", -1, 70, "Checksum error in DX Sysex\ncalculated: ", 127, 97},
    };
    for (const auto& c : cases) {
        FreshFolder folder;
        folder.dir.write(kCartProgsFile, "earlier read\r\n");
        Cartridge rig;
        rig.dx7.answersLeft = c.answers;
        if (c.damaged >= 0) rig.dx7.badChecksum.insert(c.damaged);
        ReadDX7Cart(rig.s, 3);
        ASSERT_FALSE(rig.shell.boxes.empty()) << c.what;
        EXPECT_EQ(rig.shell.boxes.back().title, "Error") << c.what;
        EXPECT_EQ(rig.shell.boxes.back().text.substr(0, c.box.size()), c.box) << c.what;
        EXPECT_EQ(rig.shell.boxes.size(), 1u) << c.what;
        EXPECT_EQ(rig.s.messages.count(), c.entries) << c.what;
        // A silent device leaves the earlier file; a damaged answer still gives its name.
        const std::string file = folder.dir.read(kCartProgsFile);
        EXPECT_EQ(file, c.lastVoice == 0 ? "earlier read\r\n" : cartridgeLines(c.lastVoice)) << c.what;
        if (c.answers >= 0) {
            EXPECT_GE(rig.shell.nowMs(), 5000) << c.what;  // the time-out ran on the clock
        }
    }
}

TEST(YamahaRemote, TheTX802RomReadSendsPrograms0To63AndNumbers192To255)
{
    FreshFolder folder;
    Rig rig;
    // An instrument on another channel than 1 hears the requests on its device number too.
    SimulatedYamaha tx802(rig.bus, rig.shell, rig.port, 5);
    for (int v = 0; v < 64; ++v) tx802.voices[static_cast<std::size_t>(v)] = testing::voiceNamed(voiceName(192 + v));
    ReadTX802ROM(rig.s, 5);
    EXPECT_TRUE(rig.shell.boxes.empty());
    std::string expected;
    for (int p = 192; p <= 255; ++p) expected += std::to_string(p) + "=" + voiceName(p) + "\r\n";
    EXPECT_EQ(folder.dir.read(kTX802RomProgsFile), expected);
    EXPECT_EQ(rig.s.log.lines().back(), std::string("Wrote ") + kTX802RomProgsFile);
    EXPECT_EQ(tx802.program(), 63);
    EXPECT_GE(rig.shell.nowMs(), 64 * 85);  // its pauses before and after each program change
}

TEST(YamahaRemote, SettingsNameTheCartridgeAndRomVoicesAtStartUp)
{
    TempDir dir;
    const std::string path = dir.write("TOLVEX.INI",
                                       "[DXCart]\r\n40=Cart Voice 41 and more\r\n63=Last\r\n64=NotRead\r\n"
                                       "[TX802rom]\r\n255=RomB 64\r\n");
    testing::ScriptedShell shell;
    Session s(shell);
    installDeviceFamilies(s);
    const IniFile ini(path);
    for (const auto& f : s.families.all()) f->readSettings(s, ini);
    const auto& map = s.families.records<YamahaTables>().YamPerfMapping;
    const struct {
        int entry;
        std::string name;
        int num;
    } cases[] = {{40, "Cart Voice", 40}, {63, "Last", 63}, {64, "", -1}, {255, "RomB 64", 255}};
    for (const auto& c : cases) {
        EXPECT_EQ(map[static_cast<std::size_t>(c.entry)].VoiceName, c.name) << c.entry;
        EXPECT_EQ(map[static_cast<std::size_t>(c.entry)].VoiceNum, c.num) << c.entry;
    }
}

}  // namespace
}  // namespace tolvex
