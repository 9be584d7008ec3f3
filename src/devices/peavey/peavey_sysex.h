// SPDX-License-Identifier: GPL-3.0-or-later
// Peavey SP data objects: the record layouts of waves, tones, maps and
// presets as the sampler sends them, the bank tree they are kept in, the
// decoder of the SP's replies (object dumps, directory status and lists) and
// the nibble helpers that build requests.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/text/bytes.h"

namespace tolvex {

// The device's bytes as received; multi-byte numbers are big-endian and read
// with be16/be32. Names are 14 characters.
using PVName = std::array<std::uint8_t, 14>;

struct TPV_Wave_ctrl_rec {
    PVName name;
    std::uint8_t mode;  // bit 5 stereo, bit 7 looped
    std::int8_t finetune;
    std::array<std::uint8_t, 4> location;
    std::array<std::uint8_t, 2> size;  // in K words
    std::array<std::uint8_t, 2> checksum;
    std::array<std::uint8_t, 4> playstart, playend, wordlength, loopstart, loopend, loopfract, samperiod;
    std::array<std::uint8_t, 2> normalize;  // signed
    std::array<std::uint8_t, 2> pitch;
    std::array<std::uint8_t, 8> excess;
};

struct TPV_Tone_hdr_rec {
    PVName name;
    std::uint8_t head_variety;
    std::uint8_t link;  // the wave number
    std::uint8_t mode;  // bit 7 force stereo to mono, bit 6 right channel
    std::int8_t env1_att_time;
    std::uint8_t env1_sus_time, env1_dec_time, env1_rel_time;
    std::int8_t env2_att_time;
    std::uint8_t env2_sus_time, env2_dec_time, env2_rel_time;
    std::uint8_t dca_env_sel;
    std::int8_t dca_vel_sens, dca_lfo_amt;
    std::uint8_t dca_mod_src;
    std::int8_t dca_mod_amt;
    std::uint8_t dcf_base_freq, dcf_env_sel;
    std::int8_t dcf_env_amt, dcf_vel_sens, dcf_lfo_amt;
    std::uint8_t dcf_mod_src;
    std::int8_t dcf_mod_amt;
    std::uint8_t dco_env_sel;
    std::int8_t dco_env_amt, dco_vel_sens, dco_lfo_amt;
    std::uint8_t dco_mod_src;
    std::int8_t dco_mod_amt;
    std::uint8_t lfo_speed, lfo_shape, lfo_base_amt, lfo_speed_src, lfo_speed_amt, lfo_amt_src, lfo_amt_amt;
    std::uint8_t dco_modmode;
    std::int8_t startmod_amt;
    std::uint8_t startmod_src, pan_env_sel;
    std::int8_t pan_env_amt, pan_vel_sens, pan_lfo_amt;
    std::uint8_t pan_mod_src;
    std::int8_t pan_mod_amt;
    std::uint8_t pan_modmode, tone_switches1, startmod_quant;
    std::array<std::uint8_t, 18> excess;
};

struct TPV_Map_hdr_rec {
    PVName name;
    std::uint8_t head_variety;
    std::uint8_t tune_sys;
    std::uint8_t num_zones;  // zones - 1
    std::array<std::uint8_t, 14> excess;
};

struct TPV_Map_zone_rec {
    std::uint8_t variety;
    std::uint8_t tone;  // the tone number
    std::uint8_t low_note, high_note, transpose, volume, pan, out_rout, mode, alloc;
    std::array<std::uint8_t, 5> excess;
};

struct TPV_preset_block_rec {
    PVName name;
    std::uint8_t variety;
    std::uint8_t mode;  // index into PV_SP_PS_modestr
    std::array<std::uint8_t, 8> polyph;
    std::array<std::uint8_t, 8> priority;
    std::array<std::uint8_t, 3> aux_ctrl;
    std::int8_t detune;
    std::uint8_t detune_src;
    std::int8_t detune_mod;
    std::uint8_t layer_xctl;
    std::uint8_t layer_xval;    // split centre
    std::uint8_t layer_xwidth;  // split width
    std::uint8_t ovfl_enb;
    std::array<std::uint8_t, 22> excess;
};

struct TPV_preset_layer_rec {
    std::uint8_t xs1, sel_ctrl;
    std::array<std::uint8_t, 4> map;     // map numbers
    std::array<std::uint8_t, 3> map_sw;  // switch points; 128 or more: no further map follows
    std::uint8_t transpose;
    std::int8_t bend_range;
    std::uint8_t out_rout, pan, volume, cutoff, dca_vel_sens, dcf_vel_sens;
    std::int8_t dcf_env_amt;
    std::uint8_t dco_mod_scale, kbd_trk_ctr;
    std::int8_t pan_kbd_trk, dcf_kbd_trk;
    std::array<std::uint8_t, 74> excess;
};

struct TPV_Preset_rec {
    TPV_preset_block_rec Block;
    std::array<TPV_preset_layer_rec, 2> Layer;  // A, B
};

std::uint16_t be16(const std::array<std::uint8_t, 2>& b);
std::uint32_t be32(const std::array<std::uint8_t, 4>& b);

// The bank tree. Objects sit at their object number's position, in the order
// they were requested; a placeholder (Used false, empty Name) stands for an
// object the SP reported as missing.
struct TPV_Wave_Obj {
    std::string Name;
    bool Used = false;
    TPV_Wave_ctrl_rec Data{};
};
struct TPV_Tone_Obj {
    std::string Name;
    bool Used = false;
    TPV_Tone_hdr_rec Data{};
};
struct TPV_Map_Zone_Obj {
    TPV_Map_zone_rec Zone{};
};
struct TPV_Map_Obj {
    std::string Name;
    bool Used = false;
    TPV_Map_hdr_rec Header{};
    std::vector<TPV_Map_Zone_Obj> Zones;
};
struct TPV_Preset_Obj {
    std::string Name;
    bool Used = false;
    TPV_Preset_rec Data{};
};
struct TPV_Bank_Object {
    std::int32_t BankNum = 0;
    std::vector<TPV_Preset_Obj> Presets;
    std::vector<TPV_Map_Obj> Maps;
    std::vector<TPV_Tone_Obj> Tones;
    std::vector<TPV_Wave_Obj> Waves;
};

inline constexpr std::size_t kPVGenericObjSize = 2080;
inline constexpr int kPVObjectTypes = 7;  // the types of PV_SP_obj_name
inline constexpr int kPVDirStatusValues = 11;

// Names of the directory status values, in the order of a PV_Dir_Status row.
extern const std::array<const char*, kPVDirStatusValues> PV_dir_status_name;
// Preset mode texts by mode 0-4, 9 characters each.
extern const std::array<const char*, 5> PV_SP_PS_modestr;

// What the decoder leaves for the commands: the last reply's values. Kept in
// the session (Session::records) while it lives.
struct PeaveyRecords {
    std::array<std::uint8_t, kPVGenericObjSize> PV_generic_obj{};
    std::int32_t PV_dump_obj_num = 0;
    std::int32_t PV_dump_len = 0;  // data bytes of the last dump in PV_generic_obj
    std::array<std::array<std::int32_t, kPVDirStatusValues>, kPVObjectTypes> PV_Dir_Status{};
    std::vector<std::string> PV_SP_dir_list;  // lines of the directory lists decoded so far
    std::optional<TPV_Bank_Object> PV_Bank_Object;
};

// Nbytes characters sent as two nibble bytes each (high half first) from the
// 0-based position `offset`, which advances past them. A character is left
// out, and `offset` stays, when fewer than two bytes remain before the
// message's last byte.
std::string PV_extract_ascii(std::size_t& offset, int Nbytes, ByteView sx);

// `value` as `nibs` nibble bytes, most significant first (the low 4 * nibs bits).
Bytes PV_to_string(std::uint32_t value, int nibs);

// Decodes one SP reply into `rec` and returns the object type (0-6) for a
// directory status, 100 + type for a directory list, 200 + type for an object
// dump, -1 for anything else. When the reply is refused with a message for
// the user (title "Error"), `error` receives it; a directory list whose
// entries run past the message keeps the entries before, tells it once, and
// still returns 100 + type. Reads nothing past sx.
std::int32_t PV_Extract_SP_obj(ByteView sx, PeaveyRecords& rec, std::string& error);

}  // namespace tolvex
