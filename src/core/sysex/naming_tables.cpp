// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/sysex/naming_tables.h"

#include <array>
#include <cstddef>

namespace tolvex::naming {

namespace {

struct IdText {
    std::uint8_t id;
    const char* text;
};

using ByIdTable = std::array<const char*, 256>;

// Spreads a sparse table over every byte value so a lookup is one index and
// no key can fall outside the table.
template <std::size_t N>
constexpr ByIdTable byId(const IdText (&rows)[N])
{
    ByIdTable table{};
    for (const auto& row : rows) table[row.id] = row.text;
    return table;
}

// Names are exact, trailing blanks included (0x0C here, 0x1B American).
constexpr IdText kOneByteRows[] = {
    {0x01, "Sequential Circuits"},
    {0x02, "Big Briar / IDP"},
    {0x03, "Voyetra/Octave Plateau"},
    {0x04, "Moog Music"},
    {0x05, "Passport Designs"},
    {0x06, "Lexicon"},
    {0x07, "Kurzweil"},
    {0x08, "Fender Rhodes (Chroma)"},
    {0x09, "Gulbransen"},
    {0x0A, "Delta Labs / AKG Acoustics"},
    {0x0B, "Sound Comp / Voyce Music"},
    {0x0C, "General Electro / Waveframe "},
    {0x0D, "Techmar / ADA"},
    {0x0E, "Matthews Research / Garfield Electronics"},
    {0x0F, "Ensoniq"},
    {0x10, "Oberheim"},
    {0x11, "PAIA / Apple Computer"},
    {0x12, "Simmons / Grey Matter"},
    {0x13, "Digidesign"},
    {0x14, "Fairlight / Palm Tree Instruments"},
    {0x15, "J L Cooper"},
    {0x16, "Lowrey"},
    {0x17, "Lin / Adams-Smith"},
    {0x18, "E-mu Systems"},
    {0x19, "Harmony Systems"},
    {0x1A, "ART"},
    {0x1B, "Peavey / Baldwin"},
    {0x1C, "Eventide"},
    {0x1D, "Inventronics"},
    {0x1E, "Key Concepts"},
    {0x1F, "Clarity"},
    {0x20, "Bon Tempi / Passac"},
    {0x21, "SIEL"},
    {0x22, "Synthaxe"},
    {0x23, "Stepp"},
    {0x24, "Hohner"},
    {0x25, "Twister"},
    {0x26, "Solton"},
    {0x27, "Jellinghaus"},
    {0x28, "Southworth"},
    {0x29, "PPG"},
    {0x2A, "JEN"},
    {0x2B, "Solid State Logic"},
    {0x2C, "Audio Veritrieb"},
    {0x2D, "Hinton Instruments"},
    {0x2E, "Soundtracs"},
    {0x2F, "Elka"},
    {0x30, "Dynacord"},
    {0x33, "Clavia Digital Instruments"},
    {0x34, "Audio Architecture"},
    {0x39, "Soundcraft Electronics"},
    {0x3B, "Wersi"},
    {0x3C, "Avab Electronik"},
    {0x3D, "Digigram"},
    {0x3E, "Waldorf Electronics"},
    {0x3F, "Quasimidi"},
    {0x40, "Kawai"},
    {0x41, "Roland"},
    {0x42, "Korg"},
    {0x43, "Yamaha"},
    {0x44, "Casio"},
    {0x45, "Akai / Moridaira"},
    {0x46, "Kamiya"},
    {0x47, "Akai"},
    {0x48, "Japan Victor"},
    {0x49, "Meisosha"},
    {0x4A, "Hoshino Gakki"},
    {0x4B, "Fujitsu Electric"},
    {0x4C, "Sony"},
    {0x4D, "Nishin Onpa"},
    {0x4E, "TEAC"},
    {0x50, "Matsushita Electric"},
    {0x51, "Fostex"},
    {0x52, "Zoom"},
    {0x53, "Midori Electronics"},
    {0x54, "Matsushita Communication Industrial"},
    {0x55, "Suzuki Musical Instrument Mfg."},
    {0x7D, "Non-Commercial"},
    {0x7F, "Universal Sysex Realtime"},
};

constexpr IdText kAmericanRows[] = {
    {0x01, "Warner New Media"},
    {0x07, "Digital Music Corporation"},
    {0x08, "IOTA Systems"},
    {0x09, "New England Digital"},
    {0x0A, "Artisyn"},
    {0x0B, "IVL Technologies"},
    {0x0C, "Southern Music Systems"},
    {0x0D, "Lake Butler Sound Company"},
    {0x0E, "Alesis"},
    {0x10, "DOD Electronics"},
    {0x11, "Studer-Editech"},
    {0x14, "Perfect Fretworks"},
    {0x15, "KAT"},
    {0x16, "Opcode"},
    {0x17, "Rane Corporation"},
    {0x18, "Spatial Sound/Anadi Inc"},
    {0x19, "KMX"},
    {0x1A, "Allen & Heath Brenell"},
    {0x1B, "Peavey "},
    {0x1C, "360 Systems"},
    {0x1D, "Spectrum Design & Development"},
    {0x1E, "Marquis Musi"},
    {0x1F, "Zeta Systems"},
    {0x20, "Axxes"},
    {0x21, "Orban"},
    {0x24, "KTI"},
    {0x25, "Breakaway Technologies"},
    {0x26, "CAE"},
    {0x29, "Rocktron Corp."},
    {0x2A, "PianoDisc"},
    {0x2B, "Cannon Research Corporation"},
    {0x2D, "Rogers Instrument Corp."},
    {0x2E, "Blue Sky Logic"},
    {0x2F, "Encore Electronics"},
    {0x30, "Uptown"},
    {0x31, "Voce"},
    {0x32, "CTI Audio"},
    {0x33, "S&S Research"},
    {0x34, "Broderbund Software"},
    {0x35, "Allen Organ Co."},
    {0x37, "Music Quest"},
    {0x38, "Aphex"},
    {0x39, "Gallien Krueger"},
    {0x3A, "IBM"},
    {0x3C, "Hotz Instruments Technologies"},
    {0x3D, "ETA Lighting"},
    {0x3E, "NSI Corporation"},
    {0x3F, "Ad Lib"},
    {0x40, "Richmond Sound Design"},
    {0x41, "Microsoft"},
    {0x42, "The Software Toolworks"},
    {0x43, "RJMG/Niche"},
    {0x44, "Intone"},
    {0x47, "GT Electronics/Groove Tubes"},
    {0x48, "InterMIDI"},
    {0x55, "Lone Wolf"},
    {0x64, "Musonix"},
};

constexpr IdText kEuropeanRows[] = {
    {0x00, "Dream"},
    {0x01, "Strand Lighting"},
    {0x02, "AMEK Systems & Controls"},
    {0x04, "Dr.Bohm/Musician International"},
    {0x06, "Trident"},
    {0x07, "Real World Design"},
    {0x09, "Yes Technology"},
    {0x0A, "Audiomatica"},
    {0x0B, "Bontempi/Farfisa"},
    {0x0C, "F.B.T. Electronica"},
    {0x0E, "Larking Audio"},
    {0x0F, "Zero 88 Lighting"},
    {0x10, "Micon Audio Electronics"},
    {0x11, "Forefront Technology"},
    {0x13, "Kenton Electronics"},
    {0x15, "ADB"},
    {0x16, "Jim Marshall Products"},
    {0x17, "DDA"},
    {0x1F, "TC Electronic"},
};

constexpr IdText kM1Rows[] = {
    {0x21, " : Write Completed"},
    {0x22, " : Write ERROR"},
    {0x23, " : Data Load Completed"},
    {0x24, " : Data Load ERROR"},
    {0x26, " : Received Data ERROR"},
    {0x40, " : Program Parameter Dump"},
    {0x41, " : Parameter Change"},
    {0x42, " : mode data"},
    {0x45, " : All Multisound name"},
    {0x47, " : All Drum sound name"},
    {0x48, " : ALL Sequence Data Dump"},
    {0x49, " : Combination Dump"},
    {0x4C, " : ALL Program Dump"},
    {0x4D, " : ALL Combination Dump"},
    {0x4E, " : Mode Change"},
    {0x50, " : ALL Data Dump"},
    {0x51, " : Global Data Dump"},
};

constexpr IdText kWavestationRows[] = {
    {0x06, " : Multi Mode Setup Dump Request"},
    {0x07, " : Performance Map Dump Request"},
    {0x08, " : Micro Tune Scales Dump Request"},
    {0x0C, " : Wave Sequence Data Dump Request"},
    {0x0E, " : System Setup Dump Request"},
    {0x0F, " : All Data Dump Request"},
    {0x10, " : Single Patch Dump Request"},
    {0x11, " : Patch Write Command"},
    {0x19, " : Single Performance Dump Request"},
    {0x1A, " : Performance Write Command"},
    {0x1C, " : All Patch Dump Request"},
    {0x1D, " : All Performance Dump Request"},
    {0x21, " : Write Complete Message"},
    {0x22, " : Write Error Message"},
    {0x23, " : Data Load Completed"},
    {0x24, " : Data Load Error"},
    {0x40, " : Single Patch Dump"},
    {0x41, " : Parameter Change Message"},
    {0x42, " : Parameter Change Message Expanded"},
    {0x43, " : Parameter Change Message SR Expanded"},
    {0x49, " : Single Performance Dump"},
    {0x4C, " : All Patch Dump (within bank)"},
    {0x4D, " : All Performance Dump (within bank)"},
    {0x50, " : All Data Dump"},
    {0x51, " : System Setup Dump"},
    {0x54, " : All Wave Sequence Dump"},
    {0x55, " : Multi Mode Setup Dump"},
    {0x5A, " : Micro Tune Scales Dump"},
    {0x5B, " : Multi Mode Setup Select"},
    {0x5C, " : System Setup Dump Expanded"},
    {0x5D, " : Performance Map Dump"},
    {0x5E, " : Multi Mode Setup Dump Expanded"},
    {0x5F, " : Performance Map Dump Expanded"},
    {0x60, " : Performance Map Dump SR Expanded"},
    {0x61, " : System Setup Dump SR Expanded"},
    {0x62, " : Multi Mode Setup Dump SR Expanded"},
    {0x63, " : Multi Mode Setup Select SR Expanded"},
};

// 0x4C and 0x4D depend on the dump kind and are not in this table.
constexpr IdText kTritonRows[] = {
    {0x0D, ": Drumkit Data Dump Request"},
    {0x0E, ": Global Data Dump Request"},
    {0x0F, ": All Data (Prog,Combi,Global,Drums,Arppat,Seq) Dump Request"},
    {0x10, ": Current Program Parameter Dump Request"},
    {0x11, ": Program Write Request"},
    {0x12, ": Mode Request"},
    {0x18, ": Sequence Data Dump Request"},
    {0x19, ": Current Combination Parameter Dump Request"},
    {0x1A, ": Combination Write Request"},
    {0x1C, ": Program Parameter Dump Request"},
    {0x1D, ": Combination Parameter Dump Request"},
    {0x21, ": WRITE COMPLETED "},
    {0x22, ": WRITE ERROR"},
    {0x23, ": DATA LOAD COMPLETED (ACK) "},
    {0x24, ": DATA LOAD ERROR (NAC)"},
    {0x26, ": MIDI IN DATA FORMAT ERROR"},
    {0x34, ": Arpeggio Pattern Data Dump Request"},
    {0x40, ": Current Program Dump"},
    {0x41, ": Parm "},
    {0x42, ": Mode Data"},
    {0x48, ": Sequence Data Dump"},
    {0x49, ": Current Combination Dump"},
    {0x4E, ": Mode Change"},
    {0x50, ": All Data (Prog,Combi,Global,Drums,Arppat,Seq) Dump"},
    {0x51, ": Global Data Dump"},
    {0x52, ": Drumkit Data Dump"},
    {0x53, ": Drumkit Parameter Change"},
    {0x69, ": Arpeggio Pattern Data Dump"},
    {0x6D, ": Arpeggio Pattern Parameter Change"},
};

constexpr ByIdTable kOneByte = byId(kOneByteRows);
constexpr ByIdTable kAmerican = byId(kAmericanRows);
constexpr ByIdTable kEuropean = byId(kEuropeanRows);
constexpr ByIdTable kM1 = byId(kM1Rows);
constexpr ByIdTable kWavestation = byId(kWavestationRows);
constexpr ByIdTable kTriton = byId(kTritonRows);

// Ensoniq message types 0x00-0x0B; columns VFX SD / SD-1, SQ-1, TS-10.
constexpr const char* kEnsoniqTypes[12][3] = {
    {" : Command", " : Command", " : Command"},
    {" : Error", " : Error", " : Error"},
    {" : One Program", " : Single Sound", nullptr},
    {" : All Programs", " : All Sounds", " : One Program"},
    {" : One Preset", " : Single Sequence", " : 60 Programs"},
    {" : All Presets", " : All Sequences", " : One Preset"},
    {nullptr, nullptr, " : 60 Presets"},
    {nullptr, nullptr, " : Single Sequence"},
    {nullptr, nullptr, " : All Sequences"},
    {" : Single Sequence Dump", nullptr, " : Track Parameters"},
    {" : All Sequence Dump", nullptr, nullptr},
    {" : Track Parameters", nullptr, nullptr},
};

struct KorgModelRow {
    std::uint8_t id;
    KorgModel model;
};

constexpr KorgModelRow kKorgModels[] = {
    {0x19, {"M1 Synthesizer", KorgFunctions::M1}},
    {0x24, {"M3R", KorgFunctions::None}},
    {0x28, {"Wavestation", KorgFunctions::Wavestation}},
    {0x2B, {"O1/W", KorgFunctions::None}},
    {0x30, {"O3R/W", KorgFunctions::None}},
    {0x36, {"O5R/W", KorgFunctions::None}},
    {0x39, {"I3", KorgFunctions::None}},
    {0x50, {"Triton", KorgFunctions::Triton}},
    {0x68, {"Kronos", KorgFunctions::Kronos}},
};

constexpr const char* kTritonProgramDumps[4] = {": Program Dump IA-IE", ": Program Bank Dump", ": One Program Dump",
                                                ": All Program Dump"};
constexpr const char* kTritonCombiDumps[4] = {": Combination Dump IA-ID", ": Combination Bank Dump",
                                              ": One Combination Dump", ": All Combination Dump"};

// 0x00 is followed by the voice name, hence its three trailing blanks.
constexpr IdText kYamahaBulkRows[] = {
    {0x00, "Voice Edit Buffer   "},         {0x01, "One TF1 performance bulk data"},
    {0x02, "TF1 64 performance bulk data"}, {0x05, "Supplemental Edit Buffer"},
    {0x06, "Packed 32 Supplement"},         {0x09, "Packed 32 Voice"},
    {0x7D, "TF1 Condition Acknowledge"},
};
constexpr ByIdTable kYamahaBulk = byId(kYamahaBulkRows);

struct DataFormatRow {
    std::string_view formatName;
    const char* text;
};

// The format names are exactly six characters; trailing blanks count.
constexpr DataFormatRow kYamahaDataFormats[] = {
    {"8973PE", "DX7 II Performance edit buffer"},
    {"8973PM", "DX7 II Packed 32 Performance"},
    {"8973S ", "DX7 II System Setup"},
    {"MCRYE ", "Micro Tuning Edit Buffer"},
    {"MCRYC ", "Micro Tuning cartridge"},
    {"FKSYE ", "Fractional Scaling Edit Buffer"},
    {"FKSYC ", "Fractional Scaling Cartridge Memory"},
    {"8952PE", "TX802 Performance edit buffer"},
    {"8952PM", "TX802 Performance Bulk"},
    {"8952S ", "TX802 System Setup"},
};

}  // namespace

const char* OneByteMakerName(std::uint8_t id)
{
    return kOneByte[id];
}

const char* AmericanMakerName(std::uint8_t id)
{
    return kAmerican[id];
}

const char* EuropeanMakerName(std::uint8_t id)
{
    const char* name = kEuropean[id];
    return name ? name : "Unknown 2nd of 3-byte ID";
}

const char* EnsoniqModelName(std::uint8_t model)
{
    switch (model) {
    case 0x05: return "VFX SD / SD-1";
    case 0x06: return "SQ-1";
    case 0x07: return "TS-10";
    default: return nullptr;
    }
}

const char* EnsoniqTypeText(std::uint8_t model, std::uint8_t type)
{
    if (model < 0x05 || model > 0x07 || type >= std::size(kEnsoniqTypes)) return nullptr;
    return kEnsoniqTypes[type][model - 0x05];
}

const KorgModel* KorgModelFor(std::uint8_t model)
{
    for (const auto& row : kKorgModels)
        if (row.id == model) return &row.model;
    return nullptr;
}

const char* M1FunctionText(std::uint8_t function)
{
    return kM1[function];
}

const char* WavestationFunctionText(std::uint8_t function)
{
    return kWavestation[function];
}

const char* TritonFunctionText(std::uint8_t function)
{
    return kTriton[function];
}

const char* TritonDumpKindText(std::uint8_t function, unsigned kind)
{
    if (kind > 3) return nullptr;
    if (function == 0x4C) return kTritonProgramDumps[kind];
    if (function == 0x4D) return kTritonCombiDumps[kind];
    return nullptr;
}

const char* YamahaBulkFormatText(std::uint8_t format)
{
    return kYamahaBulk[format];
}

const char* YamahaDataFormatText(std::string_view formatName)
{
    for (const auto& row : kYamahaDataFormats)
        if (row.formatName == formatName) return row.text;
    return nullptr;
}

}  // namespace tolvex::naming
