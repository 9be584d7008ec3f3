// SPDX-License-Identifier: GPL-3.0-or-later
// Message naming: known answers for each maker's forms and every cut of them, and the value and
// text helpers naming shares with the Triton and SP tools. Real dumps are named in the contract suite.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/app/session.h"
#include "core/sysex/sx_naming.h"
#include "core/text/text_utils.h"
#include "core_test_util.h"
#include "devices/devices.h"
#include "devices/peavey/peavey_names.h"
#include "devices/triton/triton_params.h"
#include "support/scripted_shell.h"

namespace tolvex {
namespace {

using testing::bytesOf;

struct Named {
    std::string name, sup = "stale", shortDesc = "untouched";
    bool ignore = true;
};

// The naming steps the programs plug in, from one session of this test program.
const FamilyNamers& familySteps()
{
    static testing::ScriptedShell shell;
    static Session s(shell);
    static const bool installed = (installDeviceFamilies(s), true);
    (void)installed;
    return s.families.namers;
}

// Starts from stale outputs: naming must clear sup and ignore, and set the
// short description only for the forms that have one.
Named nameOf(const Bytes& sx, NamingOptions opts = {})
{
    if (!opts.families) opts.families = &familySteps();
    Named n;
    n.name = SxParseName(sx, n.sup, n.ignore, opts, &n.shortDesc);
    return n;
}

struct Example {
    const char* hex;
    std::string name;
    const char* sup = "";
    const char* shortDesc = "untouched";
};

const std::vector<Example>& examples()
{
    const std::string u = "Universal Sysex Non Realtime (ch ", yp = "Yamaha Parameter Change: ", pv = "Peavey DPM SP ";
    static const std::vector<Example> all = {
        {"F0 7E 00 04 02 7F 7F F7", u + "00) - Device Control : Master Balance 16383"},
        {"F0 7E 7F 04 01 00 80 F7", u + "7F) - Device Control : Master Volume 16384"},  // msb is not masked
        {"F0 7E 7F 04 05 00 00 F7", u + "7F) - Device Control : Unknown SubID2"},
        {"F0 7E 10 06 02 42 50 00 12 00 01 00 00 00 F7", u + "10) - General Information : Identity Reply",
         " 42 50 00 12 00 01 00 00 00"},
        {"F0 7E 7F 09 01 F7", u + "7F) - GM System Enable"},
        {"F0 7E 7F 09 02 F7", u + "7F) - GM System : Unknown SubID2"},
        {"F0 7E 7F 05 01 F7", u + "7F)"},
        {"F0 7F 7F 04 01 00 7F F7", "Universal Sysex Realtime"},  // device control is non-real-time only
        {"F0 43 10 01 05 20 F7", yp + "DX Voice Parameter     : P 5"},
        {"F0 43 10 18 7E 21 F7", yp + "Micro Tuning Parameter Change : P 33"},
        {"F0 43 10 19 4D 00 F7", yp + "Performance Parameter Change : P 77", "4Dh  00h  F7h  "},
        {"F0 43 10 1B 03 01 F7", yp + "Switch Remote param G=6 H=3: SW# 3 On"},
        {"F0 43 10 02 03 00 F7", yp + "Unknown Parameter"},
        {"F0 43 00 7E 0C 6A 4C 4D 20 20 38 39 37 33 50 4D 00 F7", "Yamaha Bulk Dump: DX7 II Packed 32 Performance",
         "Byte Count 66AH, 1642 (d)Classification Name |LM  |Data Format Name |8973PM|"},
        {"F0 43 20 09 F7", "Yamaha Bulk Dump Request for Format # 9"},
        {"F0 43 3F 09 F7", "Yamaha"},
        {"F0 00 00 1B 02 05 00 10 04 00 F7", pv + "Reply: Object is empty/nonexist"},
        {"F0 00 00 1B 02 05 00 04 01 07 F7", pv + "Obj Dir Info Mesg: Status 07 "},
        {"F0 00 00 1B 02 05 00 12 02 00 F7", pv + "Obj Dir Info Req: Dir 00 "},
        {"F0 00 00 1B 02 05 00 11 01 00 F7", pv + "Ctrl Button 00 "},
        {"F0 00 00 1B 02 05 00 05 01 00 F7", pv},
        {"F0 00 00 1B 02 06 00 10 04 00 F7", "Peavey DPM "},
        {"F0 00 00 1B 03 05 00 10 04 00 F7", "Peavey "},
        {"F0 00 00 1B 02 05 00 02 03 00 01 02 03 00 00 02 0A 00 F7", pv + "Data Object Dump: Preset",
         "Len: 291, Obj# 42"},
        // The object number ends at the last byte: a whole message would have its F7 there.
        {"F0 00 00 1B 02 05 00 01 02 00 00 00 00 00 00 02 0A", pv + "Data Object Dump Request: Map"},
        {"F0 42 30 50 41 00 02 05 00 00 7F 7F F7", "Korg Triton: Parm M 0, PID 5, SID 0, v -1 FFFFFFFF", "",
         "Triton Param Val -1 (0xFFFFFFFF)"},
        // The low value byte's top bit is not data.
        {"F0 42 30 50 41 1A 02 2B 00 3C 00 85 F7", "Korg Triton: Parm M 1A, PID 2B, SID 3C, v 5 0005", "",
         "Triton Param Val 5 (0x5)"},
        {"F0 42 30 50 41 00 02 05 00 00 7F F7", "Korg Triton: Parm Unknown format"},
        {"F0 42 30 50 41 00 02 05 00 00 7F 7F 00 F7", "Korg Triton: Parm Unknown format"},
        {"F0 42 3A 19 F7", "Korg M1 Synthesizer"},
        {"F0 42 30 50 40 00 20 00 F7", "Korg Triton: Current Program Dump"},
        {"F0 43 05 09 01 1B F7", "Yamaha Bulk Dump: Packed 32 Voice", "Byte Count 9BH, 155 (d)"},
        {"F0 43 00 7E 00 10 4C 4D 20 20 38 39 35 32 50 45 F7", "Yamaha Bulk Dump: TX802 Performance edit buffer",
         "Byte Count 10H, 16 (d)Classification Name |LM  |Data Format Name |8952PE|"},
        {"F0 43 00 7E 00 10 4C 4D 20 20 38 39 35 32 70 6D F7", "Yamaha Bulk Dump: ",  // case counts
         "Byte Count 10H, 16 (d)Classification Name |LM  |Data Format Name |8952pm|"},
        {"F0 00 00 0E 01 F7", "Alesis"},
        {"F0 00 20 05 F7", "Unknown 2nd of 3-byte ID"},
        {"F0 00 40 01 F7", "Unknown : F0  00  40  01  F7  "},
        {"F0 31 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 F7",
         "Unknown : F0  31  01  02  03  04  05  06  07  "},
        {"F0 42 30 68 7F 00 01 02 F7", "Korg Kronos: Karma Control: Unknown(0)"},  // too short for kind 0
        // Bits 5-4 of the bank byte give the dump kind; the bank number and bit 6 do not matter.
        {"F0 42 30 50 4C 00 4B F7", "Korg Triton: Program Dump IA-IE"},
        {"F0 42 30 50 4C 00 5B F7", "Korg Triton: Program Bank Dump"},
        {"F0 42 30 50 4C 00 7B F7", "Korg Triton: All Program Dump"},
        {"F0 42 30 50 4D 00 0B F7", "Korg Triton: Combination Dump IA-ID"},
        {"F0 42 40 50 4C 00 20 F7", "Korg"},
        {"F0 42 31 28 23 F7", "Korg Wavestation : Data Load Completed"},
        {"F0 42 30 2B 40 00 F7", "Korg O1/W"},
        {"F0 0F 07 00 00 03 00 F7", "Ensoniq - TS-10 : One Program"},
        {"F0 0F 06 00 00 09 00 F7", "Ensoniq - SQ-1"},
        {"F0 0F 08 00 00 03 00 F7", "Ensoniq"},
        {"", "Unknown : "},
        {"F0 80 7F", "Unknown : F0  80  7F  "},
    };
    return all;
}

// Each example is named as listed, and each of its prefixes as far as its
// bytes go. Every prefix is a buffer of exactly its length, so that any read
// past the end trips the sanitizers or the library's bounds assertions.
TEST(SxParseName, ExamplesAndEveryPrefixOfThem)
{
    for (const Example& e : examples()) {
        const Bytes full = bytesOf(e.hex);
        const Named whole = nameOf(full);
        EXPECT_EQ(whole.name, e.name) << e.hex;
        EXPECT_EQ(whole.sup, e.sup) << e.hex;
        EXPECT_EQ(whole.shortDesc, e.shortDesc) << e.hex;
        EXPECT_FALSE(whole.ignore) << e.hex;
        for (std::size_t len = 0; len <= full.size(); ++len) {
            const Named n = nameOf(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(len)));
            // A start of the whole name, unless what is left is no longer a form naming knows.
            if ((whole.name + n.name).find("Unknown") == std::string::npos) {
                EXPECT_EQ(whole.name.rfind(n.name, 0), 0u) << e.hex << " cut to " << len << ": " << n.name;
            }
            EXPECT_EQ(whole.sup.rfind(n.sup, 0), 0u) << e.hex << " cut to " << len << ": " << n.sup;
        }
    }
    // A DX7 single voice names itself from bytes 151-160, and not before all of them are there.
    Bytes voice = {0xF0, 0x43, 0x00, 0x00, 0x01, 0x1B};
    voice.resize(151, 0x01);
    for (char c : std::string("KEYBD 01  ")) voice.push_back(static_cast<std::uint8_t>(c));
    EXPECT_EQ(nameOf(voice).name, "Yamaha Bulk Dump: Voice Edit Buffer   KEYBD 01  ");
    voice.pop_back();
    EXPECT_EQ(nameOf(voice).name, "Yamaha Bulk Dump: Voice Edit Buffer   ");
}

TEST(NamingHelpers, PeaveyNibbleFieldsAndTriton14BitValues)
{
    // High halves of the bytes are dropped; a field may not end on the last byte.
    const Bytes sx = {0xF0, 0x01, 0x02, 0x13, 0x0F, 0x0E, 0x0D, 0xF7};
    const struct {
        std::size_t offset, next;
        int Nbytes, value;
        const char* overflow = "";
    } cases[] = {{1, 7, 3, 0x123FED}, {1, 1, 4, -1}, {4, 8, 2, -1, "Extract Overflow: offset: 4, nibs: 4"}};
    for (const auto& c : cases) {
        std::size_t offset = c.offset;
        std::string overflow;
        EXPECT_EQ(PV_extract(offset, c.Nbytes, sx, &overflow), c.value) << c.offset << "/" << c.Nbytes;
        EXPECT_EQ(offset, c.next) << c.offset << "/" << c.Nbytes;
        EXPECT_EQ(overflow, c.overflow) << c.offset << "/" << c.Nbytes;
    }
    // Two's complement in 14 bits: the sign boundary, either side.
    EXPECT_EQ(KorgTriParmVal_14bit(0x40, 0x00), -8192);
    EXPECT_EQ(KorgTriParmVal_14bit(0x3F, 0x7F), 8191);
}

}  // namespace
}  // namespace tolvex
