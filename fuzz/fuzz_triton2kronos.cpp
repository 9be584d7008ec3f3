// SPDX-License-Identifier: GPL-3.0-or-later
// The Triton to Kronos conversion alone: any 448 bytes as a Triton Combination
// (the first byte picks whether timbres keep their program and bank, and the
// number typed in "Prog"), converted with the shipped tables and templates
// (read once). The result always gives a Kronos current-Combi dump that
// unpacks whole.
#include <fstream>
#include <memory>

#include "devices/common/korg_packing.h"
#include "devices/kronos/kronos_combi.h"
#include "devices/kronos/kronos_defs.h"
#include "devices/kronos/kronos_layouts.h"
#include "devices/triton2kronos/tri_kro_convert.h"
#include "devices/triton2kronos/tri_kro_tables.h"
#include "fuzz_common.h"
#include "fuzz_tables.h"

using namespace tolvex;

namespace {

struct Templates {
    kronos::TKro_Combi initCombi{};
    std::unique_ptr<KroDefaultEfxData> efxData = std::make_unique<KroDefaultEfxData>();
    std::vector<std::string> progNames;
};

void readWhole(const char* name, std::span<std::uint8_t> out)
{
    std::ifstream in(std::string(TOLVEX_DATA_DIR "/") + name, std::ios::binary);
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    fuzz::require(static_cast<std::size_t>(in.gcount()) == out.size());
}

const Templates& templates()
{
    static const Templates t = [] {
        Templates made;
        readWhole("KroInitCombi.bin", made.initCombi);
        readWhole("Kro_Default_EFX_Data.bin", *made.efxData);
        std::ifstream names(TOLVEX_DATA_DIR "/TriProgNameList.txt", std::ios::binary);
        for (std::string line; std::getline(names, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            made.progNames.push_back(line);
        }
        return made;
    }();
    return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Session& tables = fuzz::loadShippedTables();
    const Templates& t = templates();
    if (size < 1) return 0;
    Bytes bytes(data + 1, data + std::min<std::size_t>(size, 1 + sizeof(triton::Ttri_Combi)));
    bytes.resize(sizeof(triton::Ttri_Combi));
    triton::Ttri_Combi combi{};
    triton::recordFromBytes(combi, bytes);
    const TriKroConvertInput in{combi,
                                t.initCombi,
                                *t.efxData,
                                triKroTables(tables),
                                kronosDefs(tables),
                                t.progNames,
                                (data[0] & 0x80) != 0,
                                std::to_string(data[0] & 0x7F)};
    const TriKroConvertOutput out = Convert_Combi_Triton2Kronos(in);
    const Bytes k = KroCurrentCombiMessage(out.Kro_Combi);
    constexpr std::size_t kro = kronos::TKro_Combi_Layout::size;
    fuzz::require(k.size() == 7 + KorgPackedSize(kro) + 1 && k.back() == 0xF7);
    fuzz::require(KorgSXtoDataConvert(k, 7, static_cast<int>(kro)).size() == kro);
    return 0;
}
