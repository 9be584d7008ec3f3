// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/peavey/peavey_report.h"

#include "devices/peavey/peavey_names.h"

namespace tolvex {

namespace {

constexpr char kEol[] = "\r\n";
constexpr char kNoObject[] = "----none----";

template <class Obj>
const Obj* present(const std::vector<Obj>& list, std::size_t index)
{
    return index < list.size() && list[index].Used ? &list[index] : nullptr;
}

std::string modeText(std::uint8_t mode)
{
    return mode < PV_SP_PS_modestr.size() ? std::string(PV_SP_PS_modestr[mode]) : format("%9d", mode);
}

}  // namespace

std::string PV_DirStatusText(const PeaveyRecords& rec, int type)
{
    if (type < 0 || type >= kPVObjectTypes) return "";
    std::string out = format("%d %10s", type, PV_SP_obj_name[static_cast<std::size_t>(type)]) + kEol;
    const auto& row = rec.PV_Dir_Status[static_cast<std::size_t>(type)];
    for (std::size_t i = 0; i < row.size(); ++i) out += format("%12s = %10d", PV_dir_status_name[i], row[i]) + kEol;
    return out;
}

std::string PV_DirListText(const PeaveyRecords& rec)
{
    std::string out;
    for (const std::string& line : rec.PV_SP_dir_list) out += line + kEol;
    return out;
}

std::string Layer_Process(const TPV_Bank_Object& bank, const TPV_Preset_Obj& preset, int lyr)
{
    const std::uint8_t mode = preset.Data.Block.mode;
    if ((mode == 0 && lyr == 2) || (mode == 1 && lyr == 1)) return "";
    const TPV_preset_layer_rec& layer = preset.Data.Layer[lyr == 1 ? 0 : 1];
    std::string out = std::string("   ") + PV_SP_PS_modestr[lyr == 1 ? 0 : 1];
    for (std::size_t slot = 0; slot < layer.map.size(); ++slot) {
        const std::uint8_t n = layer.map[slot];
        if (n >= bank.Maps.size())
            out += format("    : %d {----unused----}", n);
        else
            out += format("  m%d: %d {", static_cast<int>(slot + 1), n) + bank.Maps[n].Name + "}";
        if (slot < layer.map_sw.size()) {
            const std::uint8_t w = layer.map_sw[slot];
            if (w >= 128) {
                out += "     <<< ";
                break;
            }
            out += format("  sw(%3d)", w);
        }
    }
    return out + kEol;
}

std::string PV_BankReport(const TPV_Bank_Object& bank, std::int32_t banknum, const std::string& bankName)
{
    std::string out = banknum >= 0 ? format("Bank: %3d \"", banknum) : std::string("Bank:     \"");
    out += bankName + "\"" + kEol + kEol + kEol;

    for (std::size_t p = 0; p < bank.Presets.size(); ++p) {
        const TPV_Preset_Obj& preset = bank.Presets[p];
        if (!preset.Used) continue;
        const TPV_preset_block_rec& b = preset.Data.Block;
        out += format("Preset %3d ", static_cast<int>(p)) + preset.Name + " mode:" + modeText(b.mode) +
               format("  Split center:%d  Split width:%d  Detune:%d", b.layer_xval, b.layer_xwidth, b.detune) + kEol;
        out += Layer_Process(bank, preset, 1) + Layer_Process(bank, preset, 2) + kEol;
    }

    for (std::size_t m = 0; m < bank.Maps.size(); ++m) {
        const TPV_Map_Obj& map = bank.Maps[m];
        if (!map.Used) continue;
        out += format("Map %3d ", static_cast<int>(m)) + map.Name + kEol;
        for (std::size_t z = 0; z < map.Zones.size(); ++z) {
            const std::uint8_t tone = map.Zones[z].Zone.tone;
            const TPV_Tone_Obj* t = present(bank.Tones, tone);
            out +=
                format("    Zone %3d tone: %3d  (", static_cast<int>(z), tone) + (t ? t->Name : kNoObject) + ")" + kEol;
        }
    }
    out += kEol;

    for (std::size_t t = 0; t < bank.Tones.size(); ++t) {
        const TPV_Tone_Obj& tone = bank.Tones[t];
        if (!tone.Used) continue;
        out += format("Tone %3d ", static_cast<int>(t)) + tone.Name;
        if (tone.Data.mode & 0x80)
            out += std::string("  Force Stereo to Mono ") + ((tone.Data.mode & 0x40) ? "Right" : "Left ");
        else
            out += std::string(28, ' ');
        const TPV_Wave_Obj* w = present(bank.Waves, tone.Data.link);
        out += format(" (w%3d ", tone.Data.link) + (w ? w->Name : kNoObject) + ")" + kEol;
    }
    out += kEol;

    for (std::size_t w = 0; w < bank.Waves.size(); ++w) {
        const TPV_Wave_Obj& wave = bank.Waves[w];
        if (!wave.Used) continue;
        // Sizes are unsigned on the SP; a word count above 2^31 stays positive.
        out += format("Wave %3d ", static_cast<int>(w)) + wave.Name +
               format("   Size: %8u (%8uKw)", be32(wave.Data.wordlength), static_cast<unsigned>(be16(wave.Data.size))) +
               ((wave.Data.mode & 0x20) ? "   Stereo" : "    Mono ") + ((wave.Data.mode & 0x80) ? "   Looped" : "") +
               kEol;
    }
    out += kEol;
    return out;
}

}  // namespace tolvex
