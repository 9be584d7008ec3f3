// SPDX-License-Identifier: GPL-3.0-or-later
// "Conv Triton Combi" on any Triton Combination: the input is the message
// after F0 42 3n 50, or (first byte odd) the 448 bytes of a Combination sent
// as a current-Combination dump. With the shipped tables and templates, a
// conversion always appends a Kronos current-Combi dump that unpacks whole.
#include <algorithm>

#include "core/app/controls.h"
#include "core/app/session.h"
#include "core/sysex/korg_packing.h"
#include "devices/devices.h"
#include "devices/kronos/kronos_layouts.h"
#include "devices/triton2kronos/tri_kro_startup.h"
#include "devices/triton2kronos/tri_kro_command.h"
#include "fuzz_common.h"
#include "fuzz_tables.h"

using namespace tolvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::loadShippedTables();
    if (size < 2) return 0;
    Bytes sx = {0xF0, 0x42, static_cast<std::uint8_t>(0x30 | (data[0] & 0x0F)), 0x50};
    if (data[0] & 0x80) {
        Bytes combi(data + 1, data + std::min<std::size_t>(size, 1 + 448));
        combi.resize(448);
        sx = KorgDatatoSXConvert(Bytes{0xF0, 0x42, 0x30, 0x50, 0x49 /* current Combination */, 0x00}, combi);
    } else {
        sx.insert(sx.end(), data + 1, data + size);
    }
    fuzz::NullShell commandShell;
    Session s(commandShell);
    s.progpath = TOLVEX_DATA_DIR "/";
    s.settingsFolder = "./";
    s.text.set(ctl::Tri_Gchan, "1");
    s.text.set(ctl::KroProg, std::to_string(data[0] & 0x7F));
    s.checked.set(ctl::PassPrgBank, data[0] & 0x40);
    s.messages.append("dump", sx, "");
    s.messages.selectAll(true);
    try {
        ConvTriCombiBankClick(s);
    } catch (const TolvexError&) {
        fuzz::require(false);  // the command reports every refusal in a box
    }
    if (s.messages.count() == 2) {
        const Bytes& k = s.messages.at(1).storage->sxdata;
        constexpr std::size_t kro = kronos::TKro_Combi_Layout::size;
        fuzz::require(k.size() == 7 + KorgPackedSize(kro) + 1 && k.back() == 0xF7);
        fuzz::require(KorgSXtoDataConvert(k, 7, static_cast<int>(kro)).size() == kro);
    }
    return 0;
}
