// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/peavey/peavey_naming.h"

#include "core/text/bytes.h"
#include "core/text/text_utils.h"
#include "devices/peavey/peavey_names.h"

namespace tolvex {

namespace {

void appendObjectName(std::string& name, std::uint8_t type)
{
    if (type < PV_SP_obj_name.size()) name += PV_SP_obj_name[type];
}

// "Status XX " or "Dir XX " (byte 8 = 1 or 2, XX = byte 9).
void appendDirectoryItem(ByteView sx, std::string& name)
{
    if (sx.size() <= 9) return;
    if (sx[8] == 0x01)
        name += "Status ";
    else if (sx[8] == 0x02)
        name += "Dir ";
    else
        return;
    name += HexB(sx[9]);
    name += ' ';
}

}  // namespace

void PV_NameMessage(ByteView sx, std::string& name, std::string& sup)
{
    if (sx.size() <= 4 || sx[4] != 0x02) return;
    name += "DPM ";
    if (sx.size() <= 5 || sx[5] != 0x05) return;
    name += "SP ";
    if (sx.size() <= 7) return;
    std::size_t at = 0;
    switch (sx[7]) {
    case 0x01:
    case 0x03: {
        name += sx[7] == 0x01 ? "Data Object Dump Request: " : "Data Object Delete Request: ";
        if (sx.size() <= 8) return;
        appendObjectName(name, sx[8]);
        at = 13;
        const std::int32_t object = PV_extract(at, 2, sx);
        if (object >= 0) sup += format("Obj # %d", object);
        break;
    }
    case 0x02: {
        name += "Data Object Dump: ";
        if (sx.size() <= 8) return;
        appendObjectName(name, sx[8]);
        at = 9;
        const std::int32_t length = PV_extract(at, 2, sx);
        at = 13;
        const std::int32_t object = PV_extract(at, 2, sx);
        if (length >= 0 && object >= 0) sup += format("Len: %d, Obj# %d", length, object);
        break;
    }
    case 0x04:
        name += "Obj Dir Info Mesg: ";
        appendDirectoryItem(sx, name);
        break;
    case 0x10:
        name += "Reply: ";
        if (sx.size() > 8 && sx[8] < SP_parameterless_types.size()) name += SP_parameterless_types[sx[8]];
        break;
    case 0x11: {
        name += "Ctrl ";
        if (sx.size() <= 9) return;
        static constexpr const char* kControls[] = {"Button ", "Bank Name ", "Byte Param "};
        if (sx[8] < 0x01 || sx[8] > 0x03) return;
        name += kControls[sx[8] - 1];
        name += HexB(sx[9]);
        name += ' ';
        break;
    }
    case 0x12:
        name += "Obj Dir Info Req: ";
        appendDirectoryItem(sx, name);
        break;
    case 0x30: name += "Disk Access "; break;
    case 0x31: name += "Remote Edit "; break;
    case 0x32: name += "Global Control~Info "; break;
    case 0x33: name += "Remote SMDI "; break;
    default: break;
    }
}

}  // namespace tolvex
