// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/sysex/sx_naming.h"

#include <algorithm>

#include "core/sysex/naming_tables.h"

namespace tolvex {

namespace {

using namespace naming;

// Each namer below appends to `name` and returns as soon as it needs a byte
// that the message does not have: `sx.size() <= i` guards every sx[i].

void nameUniversalNonRealtime(ByteView sx, std::string& name, std::string& sup)
{
    if (sx.size() <= 2) return;
    name = "Universal Sysex Non Realtime (ch ";
    appendHex2(name, sx[2]);
    name += ')';
    if (sx.size() <= 3) return;
    const std::uint8_t subId = sx[3];
    switch (subId) {
    case 0x04: name += " - Device Control"; break;
    case 0x06: name += " - General Information"; break;
    case 0x09: name += " - GM System"; break;
    default: return;
    }
    if (sx.size() <= 4) return;
    const std::uint8_t subId2 = sx[4];
    if (subId == 0x04) {
        static constexpr const char* kControls[] = {" : Master Volume %d", " : Master Balance %d",
                                                    " : Master Fine Tune %d", " : Master Coarse Tune %d"};
        if (subId2 < 0x01 || subId2 > 0x04) {
            name += " : Unknown SubID2";
            return;
        }
        if (sx.size() <= 6) return;
        appendFormat(name, kControls[subId2 - 1], Midi2byteVal(sx[5], sx[6]));
    } else if (subId == 0x06) {
        if (subId2 == 0x01) {
            name += " : Identity Request";
        } else if (subId2 == 0x02) {
            name += " : Identity Reply";
            // The reply's identity bytes, at most nine of them.
            for (std::size_t i = 5; i < std::min<std::size_t>(sx.size(), 14); ++i) {
                sup += ' ';
                appendHex2(sup, sx[i]);
            }
        } else {
            name += " : Unknown SubID2";
        }
    } else {
        if (subId2 == 0x00)
            name += " Disable";
        else if (subId2 == 0x01)
            name += " Enable";
        else
            name += " : Unknown SubID2";
    }
}

void nameThreeByteId(ByteView sx, std::string& name)
{
    if (sx.size() <= 3) return;
    if (sx[2] == 0x00 /* American group */) {
        if (const char* maker = AmericanMakerName(sx[3])) name = maker;
    } else if (sx[2] == 0x20 /* European group */) {
        name = EuropeanMakerName(sx[3]);
    }
}

}  // namespace

const MessageNamer* FamilyNamers::find(ByteView sx) const
{
    for (const MessageNamer& n : steps_) {
        if (n.maker.empty() || sx.size() <= n.maker.size()) continue;
        if (!std::equal(n.maker.begin(), n.maker.end(), sx.begin() + 1)) continue;
        if (n.modelAt && (sx.size() <= *n.modelAt || sx[*n.modelAt] != n.model)) continue;
        return &n;
    }
    return nullptr;
}

std::string SxParseName(ByteView sx, std::string& sup, bool& ignore, const NamingOptions& opts,
                        std::string* short_desc_string)
{
    std::string name;
    sup.clear();
    ignore = false;
    if (sx.size() > 1) {
        const std::uint8_t id = sx[1];
        if (id == 0x00)
            nameThreeByteId(sx, name);
        else if (id == 0x7E /* universal non-real-time */)
            nameUniversalNonRealtime(sx, name, sup);
        else if (const char* maker = id < 0x80 ? OneByteMakerName(id) : nullptr)
            name = maker;
        // A family continues the name of its maker's messages.
        if (const MessageNamer* namer = opts.families ? opts.families->find(sx) : nullptr) {
            NameParts parts{name, sup, ignore, short_desc_string, opts};
            namer->step(sx, parts);
        }
    }
    if (name.empty()) {
        name = "Unknown : ";
        for (std::size_t i = 0; i < std::min<std::size_t>(sx.size(), 9); ++i) {
            appendHex2(name, sx[i]);
            name += "  ";
        }
    }
    return name;
}

}  // namespace tolvex
