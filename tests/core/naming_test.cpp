// Message naming: every row of every naming table, the documented examples,
// truncated messages, random input and the names of real dumps.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/sx_naming.h"

namespace tolvex {
namespace {

Bytes bytesOf(const std::string& hex)
{
    Bytes out;
    std::istringstream in(hex);
    std::string word;
    while (in >> word) out.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
    return out;
}

struct Named {
    std::string name;
    std::string sup;
    bool ignore = false;
    std::string shortDesc;
};

Named nameOf(const Bytes& sx, const NamingOptions& opts = {})
{
    Named n;
    n.sup = "stale";
    n.ignore = true;
    n.name = SxParseName(sx, n.sup, n.ignore, opts, &n.shortDesc);
    return n;
}

std::string unknown(const Bytes& sx)
{
    std::string s = "Unknown : ";
    for (std::size_t i = 0; i < sx.size() && i < 9; ++i) s += format("%02X  ", sx[i]);
    return s;
}

// The documented tables, from tests/fixtures/naming/naming-tables.txt:
// tables[table][key] = text. Texts are exact, trailing blanks included.
using Table = std::map<std::string, std::string>;

const std::map<std::string, Table>& tables()
{
    static const std::map<std::string, Table> all = [] {
        std::map<std::string, Table> out;
        std::ifstream in(std::string(TOLVEX_FIXTURES_DIR) + "/naming/naming-tables.txt");
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') continue;
            const auto tab1 = line.find('\t');
            const auto tab2 = line.find('\t', tab1 + 1);
            const auto quote1 = line.find('"', tab2);
            out[line.substr(0, tab1)][line.substr(tab1 + 1, tab2 - tab1 - 1)] =
                line.substr(quote1 + 1, line.rfind('"') - quote1 - 1);
        }
        return out;
    }();
    return all;
}

std::string lookup(const std::string& table, const std::string& key, const std::string& otherwise = "")
{
    const auto& t = tables().at(table);
    const auto it = t.find(key);
    return it == t.end() ? otherwise : it->second;
}

std::string key(int byte)
{
    return format("%02X", byte);
}

TEST(SxParseName, MakerTablesCoverEveryIdByte)
{
    for (int id = 0; id < 256; ++id) {
        if (id == 0x7E) continue;  // universal non-real-time has its own test
        // The 7F in byte 2 stops Ensoniq, Korg and Yamaha at the maker's name.
        const Bytes one = {0xF0, static_cast<std::uint8_t>(id), 0x7F};
        EXPECT_EQ(nameOf(one).name, lookup("maker", key(id), unknown(one))) << "one-byte ID " << id;

        const Bytes american = {0xF0, 0x00, 0x00, static_cast<std::uint8_t>(id), 0xF7};
        EXPECT_EQ(nameOf(american).name, lookup("maker-american", key(id), unknown(american))) << "American " << id;

        const Bytes european = {0xF0, 0x00, 0x20, static_cast<std::uint8_t>(id), 0xF7};
        EXPECT_EQ(nameOf(european).name, lookup("maker-european", key(id), "Unknown 2nd of 3-byte ID"))
            << "European " << id;

        // Any other group, the Japanese 40 included, has no names.
        if (id != 0x00 && id != 0x20) {
            const Bytes group = {0xF0, 0x00, static_cast<std::uint8_t>(id), 0x01, 0xF7};
            EXPECT_EQ(nameOf(group).name, unknown(group)) << "group " << id;
        }
    }
}

TEST(SxParseName, KorgModelsAndFunctionTables)
{
    const std::map<int, std::string> functions = {{0x19, "korg-m1"}, {0x28, "korg-wavestation"}, {0x50, "korg-triton"}};
    for (int model = 0; model < 256; ++model) {
        const auto m = static_cast<std::uint8_t>(model);
        const std::string modelName = lookup("korg-model", key(model));
        const std::string base = modelName.empty() ? "Korg" : "Korg " + modelName;
        EXPECT_EQ(nameOf({0xF0, 0x42, 0x3A, m}).name, base) << "model " << model;
        EXPECT_EQ(nameOf({0xF0, 0x42, 0x20, m, 0x4C, 0x00, 0x20, 0xF7}).name, "Korg") << "not 3n, model " << model;
        if (modelName.empty() || model == 0x68) continue;
        for (int fn = 0; fn < 256; ++fn) {
            const Bytes sx = {0xF0, 0x42, 0x30, m, static_cast<std::uint8_t>(fn), 0x00, 0x20, 0x00, 0xF7};
            std::string text = functions.contains(model) ? lookup(functions.at(model), key(fn)) : "";
            if (model == 0x50 && fn == 0x41) text += "Unknown format";  // not the 13-byte parameter form
            if (model == 0x50 && fn == 0x4C) text = ": One Program Dump";
            if (model == 0x50 && fn == 0x4D) text = ": One Combination Dump";
            EXPECT_EQ(nameOf(sx).name, base + text) << "model " << model << " function " << fn;
        }
    }
}

TEST(SxParseName, TritonDumpKindsAndParameterChange)
{
    const char* kinds[2][4] = {
        {": Program Dump IA-IE", ": Program Bank Dump", ": One Program Dump", ": All Program Dump"},
        {": Combination Dump IA-ID", ": Combination Bank Dump", ": One Combination Dump", ": All Combination Dump"}};
    for (int combi = 0; combi < 2; ++combi)
        for (int kind = 0; kind < 4; ++kind) {
            // Bank number and stray high bits around the kind bits must not matter.
            const auto bank = static_cast<std::uint8_t>(kind << 4 | 0x4B);
            const Bytes sx = {0xF0, 0x42, 0x30, 0x50, static_cast<std::uint8_t>(0x4C + combi), 0x00, bank, 0xF7};
            EXPECT_EQ(nameOf(sx).name, std::string("Korg Triton") + kinds[combi][kind]);
        }

    const Named parm = nameOf(bytesOf("F0 42 30 50 41 00 02 05 00 00 7F 7F F7"));
    EXPECT_EQ(parm.name, "Korg Triton: Parm M 0, PID 5, SID 0, v -1 FFFFFFFF");
    EXPECT_EQ(parm.shortDesc, "Triton Param Val -1 (0xFFFFFFFF)");

    // Naming never clears the short description; only the parameter form sets it.
    std::string sup, shortDesc = "kept";
    bool ignore = false;
    SxParseName(bytesOf("F0 42 30 50 4C 00 20 F7"), sup, ignore, {}, &shortDesc);
    EXPECT_EQ(shortDesc, "kept");
}

TEST(SxParseName, EnsoniqModelsAndTypes)
{
    for (int model = 0; model < 256; ++model)
        for (int type = 0; type < 256; ++type) {
            const Bytes sx = {0xF0, 0x0F, static_cast<std::uint8_t>(model), 0x00, 0x00, static_cast<std::uint8_t>(type),
                              0xF7};
            const std::string modelName = lookup("ensoniq-model", key(model));
            const std::string expected =
                modelName.empty() ? "Ensoniq"
                                  : "Ensoniq - " + modelName + lookup("ensoniq", key(model) + " " + key(type));
            ASSERT_EQ(nameOf(sx).name, expected) << "model " << model << " type " << type;
        }
}

struct Example {
    const char* hex;
    const char* name;
    const char* sup;
};

void expectNames(const std::vector<Example>& examples)
{
    for (const auto& e : examples) {
        const Named n = nameOf(bytesOf(e.hex));
        EXPECT_EQ(n.name, e.name) << e.hex;
        EXPECT_EQ(n.sup, e.sup) << e.hex;
        EXPECT_FALSE(n.ignore) << e.hex;
    }
}

TEST(SxParseName, UniversalNonRealtime)
{
    const std::string u = "Universal Sysex Non Realtime (ch ";
    expectNames({
        {"F0 7E 7F 04 01 00 40 F7", "Universal Sysex Non Realtime (ch 7F) - Device Control : Master Volume 8192", ""},
        {"F0 7E 00 04 02 7F 7F F7", "Universal Sysex Non Realtime (ch 00) - Device Control : Master Balance 16383", ""},
        {"F0 7E 05 04 03 81 01 F7", "Universal Sysex Non Realtime (ch 05) - Device Control : Master Fine Tune 129", ""},
        {"F0 7E 7F 04 04 00 00 F7", "Universal Sysex Non Realtime (ch 7F) - Device Control : Master Coarse Tune 0", ""},
        {"F0 7E 7F 04 05 00 00 F7", "Universal Sysex Non Realtime (ch 7F) - Device Control : Unknown SubID2", ""},
        {"F0 7E 7F 06 01 F7", "Universal Sysex Non Realtime (ch 7F) - General Information : Identity Request", ""},
        {"F0 7E 10 06 02 42 50 00 12 00 01 00 00 00 F7",
         "Universal Sysex Non Realtime (ch 10) - General Information : Identity Reply", " 42 50 00 12 00 01 00 00 00"},
        {"F0 7E 10 06 02 42 50 F7", "Universal Sysex Non Realtime (ch 10) - General Information : Identity Reply",
         " 42 50 F7"},
        {"F0 7E 7F 06 03 F7", "Universal Sysex Non Realtime (ch 7F) - General Information : Unknown SubID2", ""},
        {"F0 7E 7F 09 00 F7", "Universal Sysex Non Realtime (ch 7F) - GM System Disable", ""},
        {"F0 7E 7F 09 01 F7", "Universal Sysex Non Realtime (ch 7F) - GM System Enable", ""},
        {"F0 7E 7F 09 02 F7", "Universal Sysex Non Realtime (ch 7F) - GM System : Unknown SubID2", ""},
        {"F0 7E 7F 05 01 F7", "Universal Sysex Non Realtime (ch 7F)", ""},
        // Device control exists only under the non-real-time ID.
        {"F0 7F 7F 04 01 00 7F F7", "Universal Sysex Realtime", ""},
    });
}

TEST(SxParseName, Yamaha)
{
    for (int format = 0; format < 256; ++format) {
        if (format == 0x7E) continue;
        const Bytes sx = {0xF0, 0x43, 0x05, static_cast<std::uint8_t>(format), 0x01, 0x1B, 0xF7};
        const Named n = nameOf(sx);
        EXPECT_EQ(n.name, "Yamaha Bulk Dump: " + lookup("yamaha-bulk", key(format))) << format;
        EXPECT_EQ(n.sup, "Byte Count 9BH, 155 (d)") << format;
    }

    // Every documented format name, and near misses: blanks and case count.
    std::map<std::string, std::string> dataFormats = {{"8952S.", ""}, {"8952pm", ""}};
    for (const auto& [bracketed, text] : tables().at("yamaha-data")) dataFormats[bracketed.substr(1, 6)] = text;
    for (const auto& [formatName, text] : dataFormats) {
        Bytes sx = {0xF0, 0x43, 0x00, 0x7E, 0x00, 0x10, 'L', 'M', ' ', ' '};
        sx.insert(sx.end(), formatName.begin(), formatName.end());
        sx.push_back(0xF7);
        const Named n = nameOf(sx);
        EXPECT_EQ(n.name, "Yamaha Bulk Dump: " + text) << formatName;
        EXPECT_EQ(n.sup, "Byte Count 10H, 16 (d)Classification Name |LM  |Data Format Name |" + formatName + "|");
    }

    expectNames({
        {"F0 43 00 09 20 00 F7", "Yamaha Bulk Dump: Packed 32 Voice", "Byte Count 1000H, 4096 (d)"},
        {"F0 43 10 00 05 20 F7", "Yamaha Parameter Change: DX Voice Parameter     : P 5", ""},
        {"F0 43 10 01 05 20 F7", "Yamaha Parameter Change: DX Voice Parameter     : P 5", ""},
        {"F0 43 10 04 07 20 F7", "Yamaha Parameter Change: TF1 Performance G=1    : P 7", ""},
        {"F0 43 10 08 07 20 F7", "Yamaha Parameter Change: TF1 Performance G=2    : P 7", ""},
        {"F0 43 10 0C 07 20 F7", "Yamaha Parameter Change: TF1 Performance G=3    : P 7", ""},
        {"F0 43 10 10 07 20 F7", "Yamaha Parameter Change: TF1 Performance G=4    : P 7", ""},
        {"F0 43 10 18 7E 21 F7", "Yamaha Parameter Change: Micro Tuning Parameter Change : P 33", ""},
        {"F0 43 10 18 7F 22 F7", "Yamaha Parameter Change: Fractional Scaling Parameter Change : P 34", ""},
        {"F0 43 10 18 12 22 F7", "Yamaha Parameter Change: Supplement Parameter Change : P 18", ""},
        {"F0 43 10 19 4D 00 F7", "Yamaha Parameter Change: Performance Parameter Change : P 77", "4Dh  00h  F7h  "},
        {"F0 43 10 1B 03 01 F7", "Yamaha Parameter Change: Switch Remote param G=6 H=3: SW# 3 On", ""},
        {"F0 43 10 1B 03 00 F7", "Yamaha Parameter Change: Switch Remote param G=6 H=3: SW# 3 Off", ""},
        {"F0 43 10 02 03 00 F7", "Yamaha Parameter Change: Unknown Parameter", ""},
        {"F0 43 20 09 F7", "Yamaha Bulk Dump Request for Format # 9", ""},
        {"F0 43 3F 09 F7", "Yamaha", ""},
        {"F0 43 F0 09 F7", "Yamaha", ""},
    });
}

TEST(SxParseName, Peavey)
{
    // Object type / reply code in byte 8; length nibbles 0 1 2 3 at 9, object number 0 0 2 A at 13.
    auto sp = [](std::uint8_t type, std::uint8_t index) {
        return Bytes{0xF0, 0x00, 0x00, 0x1B, 0x02, 0x05, 0x7F, type, index, 0x00,
                     0x01, 0x12, 0x03, 0x00, 0x00, 0x02, 0x0A, 0x00, 0xF7};
    };
    for (int i = 0; i < 256; ++i) {
        const auto b = static_cast<std::uint8_t>(i);
        const std::string object = lookup("peavey-object", key(i));
        EXPECT_EQ(nameOf(sp(0x01, b)).name, "Peavey DPM SP Data Object Dump Request: " + object);
        EXPECT_EQ(nameOf(sp(0x01, b)).sup, "Obj # 42");
        EXPECT_EQ(nameOf(sp(0x02, b)).name, "Peavey DPM SP Data Object Dump: " + object);
        // The high half of a nibble byte is not part of the number.
        EXPECT_EQ(nameOf(sp(0x02, b)).sup, "Len: 291, Obj# 42");
        EXPECT_EQ(nameOf(sp(0x03, b)).name, "Peavey DPM SP Data Object Delete Request: " + object);
        EXPECT_EQ(nameOf(sp(0x10, b)).name, "Peavey DPM SP Reply: " + lookup("peavey-reply", key(i)));
    }

    const std::map<std::pair<int, int>, std::string> rows = {{{0x04, 1}, "Obj Dir Info Mesg: Status 00 "},
                                                             {{0x04, 2}, "Obj Dir Info Mesg: Dir 00 "},
                                                             {{0x04, 3}, "Obj Dir Info Mesg: "},
                                                             {{0x11, 1}, "Ctrl Button 00 "},
                                                             {{0x11, 2}, "Ctrl Bank Name 00 "},
                                                             {{0x11, 3}, "Ctrl Byte Param 00 "},
                                                             {{0x11, 4}, "Ctrl "},
                                                             {{0x12, 1}, "Obj Dir Info Req: Status 00 "},
                                                             {{0x12, 2}, "Obj Dir Info Req: Dir 00 "},
                                                             {{0x12, 0}, "Obj Dir Info Req: "},
                                                             {{0x30, 1}, "Disk Access "},
                                                             {{0x31, 1}, "Remote Edit "},
                                                             {{0x32, 1}, "Global Control~Info "},
                                                             {{0x33, 1}, "Remote SMDI "},
                                                             {{0x05, 1}, ""}};
    for (const auto& [key, text] : rows) {
        const auto [type, sub] = key;
        EXPECT_EQ(nameOf(sp(static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(sub))).name,
                  "Peavey DPM SP " + text);
    }

    expectNames({
        {"F0 00 00 1B 02 05 00 10 04 00 F7", "Peavey DPM SP Reply: Object is empty/nonexist", ""},
        {"F0 00 00 1B 02 05 00 11 02 7E F7", "Peavey DPM SP Ctrl Bank Name 7E ", ""},
        {"F0 00 00 1B 02 06 00 10 04 00 F7", "Peavey DPM ", ""},
        {"F0 00 00 1B 03 05 00 10 04 00 F7", "Peavey ", ""},
        // The object number ends at the last byte: a whole message would have its F7 there.
        {"F0 00 00 1B 02 05 00 01 02 00 00 00 00 00 00 02 0A", "Peavey DPM SP Data Object Dump Request: Map", ""},
    });
}

class FakeKronos : public KronosFunctionNamer {
public:
    std::string KronosFunctionText(ByteView sx, std::string* shortDesc) override
    {
        ++calls;
        if (shortDesc) *shortDesc = "short";
        return format(": function %02X", sx[4]);
    }
    int calls = 0;
};

TEST(SxParseName, KronosFunctionsAndTheFunction7FFilter)
{
    const Bytes karma = bytesOf("F0 42 30 68 7F 00 01 02 F7");
    const Bytes dump = bytesOf("F0 42 3F 68 73 00 01 00 02 F7");
    EXPECT_EQ(nameOf(karma).name, "Korg Kronos");
    EXPECT_FALSE(nameOf(karma).ignore);

    FakeKronos kronos;
    NamingOptions filtered{.Filter7F = true, .kronos = &kronos};
    const Named dropped = nameOf(karma, filtered);
    EXPECT_TRUE(dropped.ignore);
    EXPECT_EQ(dropped.name, "Korg Kronos");
    EXPECT_EQ(kronos.calls, 0);

    const Named kept = nameOf(dump, filtered);
    EXPECT_FALSE(kept.ignore);
    EXPECT_EQ(kept.name, "Korg Kronos: function 73");
    EXPECT_EQ(kept.shortDesc, "short");
    EXPECT_EQ(nameOf(karma, NamingOptions{.Filter7F = false, .kronos = &kronos}).name, "Korg Kronos: function 7F");
    EXPECT_EQ(nameOf(bytesOf("F0 42 30 68"), filtered).name, "Korg Kronos");
    EXPECT_EQ(kronos.calls, 2);
}

TEST(SxParseName, OtherDocumentedExamples)
{
    expectNames({
        {"F0 41 10 42 12 40 00 7F 00 41 F7", "Roland", ""},
        {"F0 00 00 0E 01 F7", "Alesis", ""},
        {"F0 00 20 1F 00 F7", "TC Electronic", ""},
        {"F0 00 20 05 F7", "Unknown 2nd of 3-byte ID", ""},
        {"F0 00 40 01 F7", "Unknown : F0  00  40  01  F7  ", ""},
        {"F0 31 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 F7",
         "Unknown : F0  31  01  02  03  04  05  06  07  ", ""},
        {"F0 42 30 19 4C 00 F7", "Korg M1 Synthesizer : ALL Program Dump", ""},
        {"F0 42 30 28 4D 00 F7", "Korg Wavestation : All Performance Dump (within bank)", ""},
        {"F0 42 30 50 4C 00 20 00 F7", "Korg Triton: One Program Dump", ""},
        {"F0 42 30 50 4C 00 10 00 F7", "Korg Triton: Program Bank Dump", ""},
        {"F0 42 40 50 4C 00 20 F7", "Korg", ""},
        {"F0 42 30 36 4C F7", "Korg O5R/W", ""},
        {"F0 42 30 33 4C F7", "Korg", ""},
        {"F0 0F 05 00 00 03 00 F7", "Ensoniq - VFX SD / SD-1 : All Programs", ""},
        {"F0 0F 07 00 00 02 00 F7", "Ensoniq - TS-10", ""},
        {"", "Unknown : ", ""},
        {"F0", "Unknown : F0  ", ""},
        {"F0 7E", "Unknown : F0  7E  ", ""},
        {"F0 80 7F", "Unknown : F0  80  7F  ", ""},
    });
}

// Copies each prefix into a buffer of exactly its length so that any read
// past the end trips the sanitizers or the library's bounds assertions.
TEST(SxParseName, EveryPrefixIsNamedWithinItsBytes)
{
    const char* messages[] = {
        "F0 7E 10 06 02 42 50 00 12 00 01 00 00 00 F7",
        "F0 7E 7F 04 01 00 40 F7",
        "F0 43 10 1B 03 01 F7",
        "F0 43 10 19 4D 00 F7",
        "F0 43 10 18 7E 21 F7",
        "F0 43 00 7E 0C 6A 4C 4D 20 20 38 39 37 33 50 4D 00 F7",
        "F0 42 30 50 4C 00 20 00 F7",
        "F0 0F 05 00 00 03 00 F7",
        "F0 00 00 1B 02 05 00 02 03 00 01 02 03 00 00 02 0A 00 F7",
        "F0 00 00 1B 02 05 00 12 01 05 F7",
        "F0 00 20 1F 00 F7",
    };
    for (const char* hex : messages) {
        const Bytes full = bytesOf(hex);
        const Named whole = nameOf(full);
        for (std::size_t len = 0; len <= full.size(); ++len) {
            const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(len));
            const Named n = nameOf(cut);
            // A cut message is named as far as its bytes go: a start of the whole name.
            if (n.name.rfind("Unknown : ", 0) != 0) {
                EXPECT_EQ(whole.name.rfind(n.name, 0), 0u) << hex << " cut to " << len << ": " << n.name;
            }
            EXPECT_EQ(whole.sup.rfind(n.sup, 0), 0u) << hex << " cut to " << len << ": " << n.sup;
        }
    }
    // The voice name needs bytes 151-160.
    Bytes voice = {0xF0, 0x43, 0x00, 0x00, 0x01, 0x1B};
    voice.resize(161, 'A');
    EXPECT_EQ(nameOf(voice).name, "Yamaha Bulk Dump: Voice Edit Buffer   AAAAAAAAAA");
    voice.pop_back();
    EXPECT_EQ(nameOf(voice).name, "Yamaha Bulk Dump: Voice Edit Buffer   ");
}

// Random strings, and known messages with random bytes changed and cut at
// random places, so that every maker's deeper steps meet short input.
TEST(SxParseName, RandomBytesAreAlwaysNamed)
{
    const char* seeds[] = {
        "F0 7E 10 06 02 42 50 00 12 00 01 00 00 00 F7",
        "F0 7E 7F 04 01 00 40 F7",
        "F0 7E 7F 09 01 F7",
        "F0 43 00 09 20 00 F7",
        "F0 43 10 1B 03 01 F7",
        "F0 43 10 19 4D 00 F7",
        "F0 43 10 18 7E 21 F7",
        "F0 43 20 09 F7",
        "F0 43 00 7E 0C 6A 4C 4D 20 20 38 39 37 33 50 4D 00 F7",
        "F0 42 30 50 41 00 02 05 00 00 7F 7F F7",
        "F0 42 30 50 4C 00 20 00 F7",
        "F0 42 30 28 4D 00 F7",
        "F0 42 30 19 4C 00 F7",
        "F0 42 30 68 7F 00 01 02 F7",
        "F0 0F 05 00 00 03 00 F7",
        "F0 00 00 1B 02 05 00 02 03 00 01 02 03 00 00 02 0A 00 F7",
        "F0 00 00 1B 02 05 00 12 01 05 F7",
        "F0 00 00 1B 02 05 00 11 02 05 F7",
        "F0 00 00 1B 02 05 00 10 04 F7",
        "F0 00 20 1F 00 F7",
    };
    std::vector<Bytes> known;
    for (const char* hex : seeds) known.push_back(bytesOf(hex));
    Bytes voice = {0xF0, 0x43, 0x00, 0x00, 0x01, 0x1B};
    voice.resize(163, 'A');
    known.push_back(voice);

    std::mt19937 rng(20240611);
    for (int i = 0; i < 100000; ++i) {
        Bytes sx;
        if (i % 4 == 0) {
            sx.resize(rng() % 24);
            for (auto& b : sx) b = static_cast<std::uint8_t>(rng());
        } else {
            sx = known[rng() % known.size()];
            for (unsigned k = rng() % 3; k > 0; --k) sx[rng() % sx.size()] = static_cast<std::uint8_t>(rng());
            sx.resize(rng() % (sx.size() + 1));
            sx.shrink_to_fit();  // so a read past the end leaves the allocation
        }
        std::string sup, shortDesc;
        bool ignore = false;
        const std::string name = SxParseName(sx, sup, ignore, {.Filter7F = (i & 1) != 0}, &shortDesc);
        ASSERT_FALSE(name.empty());
    }
}

// Messages of a .syx fixture, split at F0 ... F7.
std::vector<Bytes> fixtureMessages(const std::string& path)
{
    std::ifstream in(std::string(TOLVEX_FIXTURES_DIR) + "/" + path, std::ios::binary);
    const Bytes data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<Bytes> out;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i] != 0xF0) continue;
        std::size_t end = i;
        while (end < data.size() && data[end] != 0xF7) ++end;
        out.emplace_back(data.begin() + static_cast<std::ptrdiff_t>(i),
                         data.begin() + static_cast<std::ptrdiff_t>(std::min(end + 1, data.size())));
        i = end;
    }
    return out;
}

TEST(SxParseName, RealDumps)
{
    const std::string ws = "Korg Wavestation : ";
    const struct {
        const char* file;
        std::vector<std::pair<std::string, std::string>> names;  // name, sup
    } cases[] = {
        {"yamaha/dx7-rom1a.syx", {{"Yamaha Bulk Dump: Packed 32 Voice", "Byte Count 1000H, 4096 (d)"}}},
        {"yamaha/dx7-single-voice-keybd01.syx",
         {{"Yamaha Bulk Dump: Voice Edit Buffer   KEYBD 01  ", "Byte Count 9BH, 155 (d)"}}},
        {"yamaha/dx7ii-performance-bank-a.syx",
         {{"Yamaha Bulk Dump: DX7 II Packed 32 Performance",
           "Byte Count 66AH, 1642 (d)Classification Name |LM  |Data Format Name |8973PM|"}}},
        {"yamaha/tx802-performance-bank.syx",
         {{"Yamaha Bulk Dump: TX802 Performance Bulk",
           "Byte Count A8H, 168 (d)Classification Name |LM  |Data Format Name |8952PM|"}}},
        {"yamaha/tx802-voice-bank-with-amem.syx",
         {{"Yamaha Parameter Change: Performance Parameter Change : P 77", "4Dh  00h  F7h  "},
          {"Yamaha Bulk Dump: Packed 32 Supplement", "Byte Count 460H, 1120 (d)"},
          {"Yamaha Bulk Dump: Packed 32 Voice", "Byte Count 1000H, 4096 (d)"}}},
        {"ensoniq/vfx-all-programs.syx", {{"Ensoniq - VFX SD / SD-1 : All Programs", ""}}},
        {"korg/03rw-program-bank.syx", {{"Korg O3R/W", ""}}},
        {"korg/triton-one-program.syx", {{"Korg Triton: One Program Dump", ""}}},
        {"korg/wavestation-factory.syx",
         {{ws + "All Performance Dump (within bank)", ""},
          {ws + "All Performance Dump (within bank)", ""},
          {ws + "All Patch Dump (within bank)", ""},
          {ws + "All Patch Dump (within bank)", ""},
          {ws + "All Wave Sequence Dump", ""},
          {ws + "Multi Mode Setup Dump", ""},
          {ws + "Micro Tune Scales Dump", ""},
          {ws + "Performance Map Dump", ""},
          {ws + "System Setup Dump", ""}}},
    };
    for (const auto& c : cases) {
        const auto messages = fixtureMessages(c.file);
        ASSERT_EQ(messages.size(), c.names.size()) << c.file;
        for (std::size_t i = 0; i < messages.size(); ++i) {
            const Named n = nameOf(messages[i]);
            EXPECT_EQ(n.name, c.names[i].first) << c.file << " #" << i;
            EXPECT_EQ(n.sup, c.names[i].second) << c.file << " #" << i;
        }
    }
    // 24 parameter changes, each named with its own value.
    const auto changes = fixtureMessages("yamaha/dx7-parameter-changes.syx");
    ASSERT_EQ(changes.size(), 24u);
    for (const auto& m : changes)
        EXPECT_EQ(nameOf(m).name, format("Yamaha Parameter Change: DX Voice Parameter     : P %d", m[4]));
}

}  // namespace
}  // namespace tolvex
