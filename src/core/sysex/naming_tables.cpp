// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/sysex/naming_tables.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace tolvex::naming {

namespace {

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

constexpr ByIdTable kOneByte = byId(kOneByteRows);
constexpr ByIdTable kAmerican = byId(kAmericanRows);
constexpr ByIdTable kEuropean = byId(kEuropeanRows);

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

void appendHex2(std::string& s, std::uint8_t b)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    s += kDigits[b >> 4];
    s += kDigits[b & 0x0F];
}

// Names are short: formatting into a stack buffer keeps naming at one
// vsnprintf per text, which matters when a dump of thousands of messages is
// named. A text longer than the buffer is cut, which no naming format reaches.
void appendFormat(std::string& s, const char* fmt, ...)
{
    char buf[160];
    va_list args;
    va_start(args, fmt);
    const int n = std::vsnprintf(buf, sizeof buf, fmt, args);
    va_end(args);
    if (n > 0) s.append(buf, std::min(static_cast<std::size_t>(n), sizeof buf - 1));
}

}  // namespace tolvex::naming
