#!/usr/bin/env python3
"""Generates the table files in data/ from the facts in data/sources/.

usage: gen_tables.py [--check] [--data DIR]

Without --check the files are (re)written; with --check nothing is written and
the exit status is 1 when a committed file differs from what the facts give
(the test suite runs it so). The facts and their sources are described in
data/README.md. Every row of every file comes from a fact; nothing is made up.
"""

import argparse
import ast
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

# The slot effects (IFX, MFX, TFX) are effects 000-185; the rest are not
# written into a Combi's effect blocks.
LAST_SLOT_EFFECT = 185

# Parameter-id sources of KronosParamList.txt and the mode each stands for.
# The per-EXi file names its instrument in the section column.
PARAM_SOURCES = [
    ("kronos_paramids_CombiAndSongTimbreSet.tsv", "Combi"),
    ("kronos_paramids_Prog_HD-1.tsv", "Program HD-1"),
    ("kronos_paramids_Prog_EXi_Common.tsv", "Program EXi"),
    ("kronos_paramids_Prog_EXi.tsv", "EXi {section}"),
    ("kronos_paramids_Global.tsv", "Global"),
    ("kronos_paramids_SongControl.tsv", "Song"),
    ("kronos_paramids_SetList.tsv", "Set List"),
]

# Group index of the parameter-change function 43; rows Korg marks for the
# binary parameter change go under the group of function 44.
GROUP_PARAM_CHANGE = 1
GROUP_BINARY_CHANGE = 2


class FactError(Exception):
    pass


def read_tsv(path):
    with open(path, encoding="utf-8") as f:
        head = f.readline().rstrip("\n").split("\t")
        rows = []
        for n, line in enumerate(f, start=2):
            if not line.strip():
                continue
            cells = line.rstrip("\n").split("\t")
            rows.append((n, dict(zip(head, cells))))
        return rows


def blanks(s):
    return " ".join(s.split())


def as_int(text, what, path, line, low, high):
    if not re.fullmatch(r"\d+", text or ""):
        raise FactError(f"{path}:{line}: {what} {text!r} is not a number")
    v = int(text)
    if not low <= v <= high:
        raise FactError(f"{path}:{line}: {what} {v} is outside {low}-{high}")
    return v


def kronos_effects(src):
    path = os.path.join(src, "kronos_effects.tsv")
    names = {}
    for line, r in read_tsv(path):
        e = as_int(r["number"], "effect", path, line, 0, 255)
        if e in names:
            raise FactError(f"{path}:{line}: effect {e} occurs twice")
        names[e] = blanks(r["name"])
    missing = [e for e in range(LAST_SLOT_EFFECT + 1) if e not in names]
    if missing:
        raise FactError(f"{path}: no name for effects {missing[:5]}")
    return names


def kronos_effect_params(src):
    path = os.path.join(src, "kronos_effect_params.tsv")
    params = []
    for line, r in read_tsv(path):
        e = as_int(r["effect"], "effect", path, line, 0, 255)
        if e > LAST_SLOT_EFFECT:
            continue
        params.append({
            "effect": e,
            "pid": as_int(r["pid"], "pid", path, line, 0, 99),
            "name": blanks(r["parameter"]),
            "ofs": as_int(r["ofs"], "ofs", path, line, 0, 63),
            "width": as_int(r["width"], "width", path, line, 1, 16),
            "bitpos": as_int(r["bitpos_lsb"], "bitpos", path, line, 0, 7),
        })
    return params


def efx_param_names(effects, params):
    """Kro_Efx_Param_Names.txt: EEE00=<effect>: <parameter 0>, EEEPP=<parameter>."""
    lines, keys = [], set()

    def add(key, value):
        if key in keys:
            raise FactError(f"Kro_Efx_Param_Names.txt: key {key} occurs twice")
        keys.add(key)
        lines.append(f"{key}={value}")

    by_effect = {}
    for p in params:
        by_effect.setdefault(p["effect"], []).append(p)
    for e in range(LAST_SLOT_EFFECT + 1):
        ps = sorted(by_effect.get(e, []), key=lambda p: p["pid"])
        first = ps[0]["name"] if ps and ps[0]["pid"] == 0 else ""
        add(f"{e:03d}00", f"{effects[e]}: {first}".rstrip())
        for p in ps:
            if p["pid"] > 0:
                add(f"{e:03d}{p['pid']:02d}", p["name"])
    return lines


def efx_param_positions(params):
    """Kro_Efx_Param.txt: effect,pid,ofs,width,bitpos."""
    seen = set()
    lines = []
    for p in sorted(params, key=lambda p: (p["effect"], p["pid"])):
        key = (p["effect"], p["pid"])
        if key in seen:
            raise FactError(f"Kro_Efx_Param.txt: effect {key[0]} parameter {key[1]} occurs twice")
        seen.add(key)
        lines.append(f"{p['effect']},{p['pid']},{p['ofs']},{p['width']},{p['bitpos']}")
    return lines


def collapse_numbered(texts):
    """Meanings that differ only in one number ("Set1 .. CC#", "Set2 .. CC#") as one
    text with the numbers as a range ("Set1..16") or a list ("Set1/3/5")."""
    groups = {}
    for t in texts:
        groups.setdefault(re.sub(r"\d+", "#", t), []).append(t)
    out = []
    for skeleton, members in groups.items():
        if len(members) == 1:
            out.append(members[0])
            continue
        numbers = [re.findall(r"\d+", t) for t in members]
        varying = [i for i in range(len(numbers[0])) if len({n[i] for n in numbers}) > 1]
        if len(varying) != 1:
            out.extend(members)
            continue
        v = varying[0]
        values = [int(n[v]) for n in numbers]
        if values == list(range(values[0], values[0] + len(values))):
            shown = f"{numbers[0][v]}..{numbers[-1][v]}"
        else:
            shown = "/".join(n[v] for n in numbers)
        pieces = re.split(r"\d+", members[0])
        text = pieces[0]
        for i, n in enumerate(numbers[0]):
            text += (shown if i == v else n) + pieces[i + 1]
        out.append(text)
    return out


def param_list(src, report):
    """KronosParamList.txt: one line per key, the meanings of every mode joined."""
    meanings = {}  # key -> [(mode, description)] in source order
    order = []
    skipped = 0
    for name, mode_form in PARAM_SOURCES:
        path = os.path.join(src, name)
        for line, r in read_tsv(path):
            ids = [r.get(c, "") for c in ("TYP", "SOC", "SUB", "PID", "IDX")]
            typs = ids[0].split("/")
            if not all(re.fullmatch(r"\d+", t) for t in typs + ids[1:]):
                skipped += 1  # the document gives no id for this row
                continue
            rest = [as_int(v, c, path, line, 0, 127) for v, c in zip(ids[1:], ("SOC", "SUB", "PID", "IDX"))]
            group = GROUP_BINARY_CHANGE if "function 0x44" in r.get("note", "") else GROUP_PARAM_CHANGE
            text = blanks(f"{r.get('group', '')} {r.get('parameter', '')}")
            mode = mode_form.format(section=blanks(r.get("section", "")))
            for t in typs:
                typ = as_int(t, "TYP", path, line, 0, 127)
                key = f"{group:1d}{typ:03d}{rest[0]:03d}{rest[1]:03d}{rest[2]:03d}{rest[3]:03d}"
                if key not in meanings:
                    meanings[key] = []
                    order.append(key)
                if (mode, text) not in meanings[key]:
                    meanings[key].append((mode, text))
    lines, joined = [], 0
    for key in sorted(order):
        texts = []
        for mode, text in meanings[key]:
            if text not in texts:
                texts.append(text)
        if len(texts) == 1:
            lines.append(f"{key}={texts[0]}")
            continue
        joined += 1
        modes_of = []
        for text in texts:
            modes = []
            for mode, t in meanings[key]:
                if t == text and mode not in modes:
                    modes.append(mode)
            modes_of.append(modes)
        if all(m == modes_of[0] for m in modes_of):
            # One mode (or the same modes) with several meanings: the modes tell nothing apart.
            parts = collapse_numbered(texts)
        else:
            parts = [f"{', '.join(m)}: {text}" for m, text in zip(modes_of, texts)]
        lines.append(f"{key}={' | '.join(parts)}")
    report.append(f"KronosParamList.txt: {len(lines)} keys, {joined} with several meanings, "
                  f"{skipped} documented rows without ids skipped")
    return lines


def signed_hex(text, bits):
    v = int(text, 16)
    return v - (1 << bits) if v >= 1 << (bits - 1) else v


def set_le_field(block, ofs, bitpos, width, value):
    """Writes the low width bits of value at (ofs, bitpos), little-endian: the field's
    lowest bit is bit bitpos of block[ofs] and it runs upward into the following bytes."""
    value &= (1 << width) - 1
    for i in range(width):
        bit = bitpos + i
        byte, mask = ofs + bit // 8, 1 << (bit % 8)
        if value >> i & 1:
            block[byte] |= mask
        else:
            block[byte] &= ~mask


def default_efx_data(src):
    """Kro_Default_EFX_Data.bin: a 64-byte parameter block for each effect 0-185. A fixed
    field holds its fixed value; any other field 0 when 0 is in its range, else the low end
    of its range. Block 0 (no effect) stays zero."""
    path = os.path.join(src, "kronos_effect_params.tsv")
    blocks = [bytearray(64) for _ in range(LAST_SLOT_EFFECT + 1)]
    for line, r in read_tsv(path):
        e = as_int(r["effect"], "effect", path, line, 0, 255)
        if e == 0 or e > LAST_SLOT_EFFECT:
            continue
        ofs = as_int(r["ofs"], "ofs", path, line, 0, 63)
        bitpos = as_int(r["bitpos_lsb"], "bitpos", path, line, 0, 7)
        width = as_int(r["width"], "width", path, line, 1, 16)
        if ofs * 8 + bitpos + width > 64 * 8:
            raise FactError(f"{path}:{line}: field runs past the 64-byte block")
        data = r["data_hex"]
        fixed = re.fullmatch(r"([0-9A-F]+)\(fixed\)", data)
        span = re.fullmatch(r"([0-9A-F]+)~([0-9A-F]+)", data)
        if fixed:
            value = int(fixed.group(1), 16)
        elif span:
            # Signed ranges are written sign-extended to the digits given (9C~64: -100..100).
            bits = 4 * len(span.group(1))
            signed = r["signed"] == "1"
            low = signed_hex(span.group(1), bits) if signed else int(span.group(1), 16)
            high = signed_hex(span.group(2), bits) if signed else int(span.group(2), 16)
            if low > high:
                raise FactError(f"{path}:{line}: range {data} runs backwards")
            value = 0 if low <= 0 <= high else low
        else:
            raise FactError(f"{path}:{line}: data {data!r} is neither a range nor a fixed value")
        set_le_field(blocks[e], ofs, bitpos, width, value)
    return b"".join(bytes(b) for b in blocks)


# The neutral Combi of KroInitCombi.bin, in TKro_Combi offsets.
COMBI_SIZE = 7810
COMBI_TEMPO = 1304          # Karma_Common bytes 0-1, hundredths of BPM, low byte first
COMBI_MAST_VOL = 1188       # Total_Effect_MastVol
TIMBRE_GROUP, TIMBRE_SIZE = 4802, 188
T_PROG, T_BANK, T_MIDI_STATUS, T_VOLUME, T_PAN = 0, 1, 2, 5, 14
T_KEY_TOP, T_KEY_BOT, T_VEL_TOP, T_VEL_BOT = 37, 38, 40, 41
GLOBAL_CHANNEL = 16
STATUS_OFF, STATUS_INT = 0, 1


def init_combi():
    """KroInitCombi.bin: "Init Combi", timbre 1 plays program I-A000 on the global
    channel, timbres 2-16 are off (on the global channel when switched on), every
    timbre at full volume, centred, over the whole keyboard and velocity range; no
    effects (every effect slot type 0 and off), tempo 120.00; all else zero."""
    c = bytearray(COMBI_SIZE)
    c[0:24] = b"Init Combi".ljust(24, b"\0")
    tempo = 12000
    c[COMBI_TEMPO], c[COMBI_TEMPO + 1] = tempo & 0xFF, tempo >> 8
    c[COMBI_MAST_VOL] = 127
    for t in range(16):
        at = TIMBRE_GROUP + TIMBRE_SIZE * t
        c[at + T_PROG] = 0  # program 000
        c[at + T_BANK] = 0  # bank I-A in the timbre bank numbering
        status = STATUS_INT if t == 0 else STATUS_OFF
        c[at + T_MIDI_STATUS] = status << 5 | GLOBAL_CHANNEL
        c[at + T_VOLUME] = 127
        c[at + T_PAN] = 64
        c[at + T_KEY_TOP], c[at + T_KEY_BOT] = 127, 0
        c[at + T_VEL_TOP], c[at + T_VEL_BOT] = 127, 1
    return bytes(c)


def triton_effect_names(src):
    path = os.path.join(src, "triton_effects.tsv")
    names = []
    for line, r in read_tsv(path):
        if as_int(r["number"], "effect", path, line, 0, 255) != len(names):
            raise FactError(f"{path}:{line}: effect {r['number']} out of order")
        names.append(blanks(r["name"]))
    return names


# The Triton to Kronos effect map. A Triton effect maps to the Kronos slot
# effect of the same name once both are spelt alike: "St." written "Stereo",
# blanks and case ignored. A parameter maps to the parameter of that Kronos
# effect with the same name (blanks, case and a unit in brackets ignored) when
# its field fits the Kronos field: the facts give the Triton fields' widths and
# signs but not their value ranges, so the fit is judged on the fields.
XMAP_UNCHANGED = 0     # the raw field value, unchanged
XMAP_NOT_MAPPED = 3    # no selector: the conversion leaves the Kronos default
XMAP_SIGNED = 11       # a signed value (-240..240), sign-extended into a wider field


def effect_key(name):
    name = re.sub(r"\bst\.", "stereo ", name.lower())
    return "".join(name.split())


def param_key(name):
    return "".join(re.sub(r"\[[^\]]*\]", "", name).lower().split())


def value_map(tri_width, tri_signed, kro):
    """The selector that carries every value of the Triton field into the Kronos field."""
    if kro["fixed"]:
        return XMAP_NOT_MAPPED
    kro_width, kro_signed = kro["width"], kro["signed"]
    if not tri_signed and tri_width <= kro_width - (1 if kro_signed else 0):
        return XMAP_UNCHANGED
    if tri_signed and kro_signed and tri_width == kro_width:
        return XMAP_UNCHANGED
    # Fields of 1 and 2 bits are never read as signed by the conversion.
    if tri_signed and kro_signed and 3 <= tri_width < kro_width and tri_width <= 8:
        return XMAP_SIGNED
    return XMAP_NOT_MAPPED


def triton_effect_params(src):
    path = os.path.join(src, "triton_effect_params_pcgtool.tsv")
    params = {}
    for line, r in read_tsv(path):
        e = as_int(r["effect"], "effect", path, line, 1, 255)
        order = as_int(r["order"], "order", path, line, 0, 255)
        if order != len(params.setdefault(e, [])):
            raise FactError(f"{path}:{line}: parameter {order} of effect {e} out of order")
        if r["type"] not in ("Signed", "Unsigned"):
            raise FactError(f"{path}:{line}: type {r['type']!r}")
        params[e].append({
            "name": blanks(r["param"]),
            "ofs": as_int(r["be_TriOfs"], "be_TriOfs", path, line, 0, 15),
            "bitpos": as_int(r["be_TriBitPos_msb"], "be_TriBitPos_msb", path, line, 0, 7),
            "width": as_int(r["be_TriWidth"], "be_TriWidth", path, line, 1, 16),
            "signed": r["type"] == "Signed",
        })
    return params


def tri_kro_efx_map(src, report):
    """Tri_Kro_Efx_Map.txt: TriEffect,TriOfs,TriWidth,TriBitPos,TriPID,KroEFX,KroPID,KroXMAP,
    one row for every parameter of every mapped Triton effect, 0 to the last."""
    tri_names = triton_effect_names(src)
    kro_names = kronos_effects(src)
    by_key = {}
    for e in range(LAST_SLOT_EFFECT + 1):
        by_key.setdefault(effect_key(kro_names[e]), e)
    tri_params = triton_effect_params(src)
    kro_params = {}
    path = os.path.join(src, "kronos_effect_params.tsv")
    for line, r in read_tsv(path):
        e = as_int(r["effect"], "effect", path, line, 0, 255)
        if e <= LAST_SLOT_EFFECT:
            kro_params.setdefault(e, []).append({
                "pid": as_int(r["pid"], "pid", path, line, 0, 99), "name": blanks(r["parameter"]),
                "width": as_int(r["width"], "width", path, line, 1, 16),
                "signed": r["signed"] == "1", "fixed": r["fixed"] == "1"})
    lines, pairs, unmapped = [], [], []
    params_total = params_mapped = 0
    for t, name in enumerate(tri_names):
        k = by_key.get(effect_key(name))
        if k is None:
            unmapped.append(f"{t:03d} {name}")
            continue
        pairs.append(f"{t:03d} {name} -> {k:03d} {kro_names[k]}")
        params = tri_params.get(t, [])
        if not params:
            lines.append(f"{t},0,0,0,0,{k},0,{XMAP_UNCHANGED}")  # no parameters: the row names the effect
            continue
        used = set()
        for pid, p in enumerate(params):
            same = [q for q in kro_params.get(k, []) if param_key(q["name"]) == param_key(p["name"])]
            kro_pid, xmap = 0, XMAP_NOT_MAPPED
            if len(same) == 1 and same[0]["pid"] not in used:
                xmap = value_map(p["width"], p["signed"], same[0])
                if xmap != XMAP_NOT_MAPPED:
                    kro_pid = same[0]["pid"]
                    used.add(kro_pid)
            params_total += 1
            params_mapped += xmap != XMAP_NOT_MAPPED
            lines.append(f"{t},{p['ofs']},{p['width']},{p['bitpos']},{pid},{k},{kro_pid},{xmap}")
    report.append(f"Tri_Kro_Efx_Map.txt: {len(pairs)} of {len(tri_names)} Triton effects mapped, "
                  f"{params_mapped} of their {params_total} parameters")
    report += ["  mapped " + p for p in pairs] + ["  unmapped " + u for u in unmapped]
    return lines


# The banks of the Triton name lists the conversion reads, in its order: 128
# names each, one a line.
TRITON_BANKS = ["INT-A", "INT-B", "INT-C", "INT-D", "INT-E",
                "EXB-A", "EXB-B", "EXB-C", "EXB-D", "EXB-E", "EXB-F", "EXB-G"]


def triton_name_lists(src):
    """TriProgNameList.txt and TriCombiNameList.txt from the factory names of
    the classic TRITON: every bank of the twelve, the banks the factory set does
    not fill as empty lines. Names lose their trailing blanks, as the lists the
    program writes from a dump do."""
    path = os.path.join(src, "triton_factory_names_TRITON.tsv")
    lists = {"program": [""] * (128 * len(TRITON_BANKS)), "combination": [""] * (128 * len(TRITON_BANKS))}
    seen = set()
    for line, r in read_tsv(path):
        kind = r["kind"]
        if kind not in lists:
            raise FactError(f"{path}:{line}: kind {kind!r}")
        if r["bank"] not in TRITON_BANKS:
            raise FactError(f"{path}:{line}: bank {r['bank']!r}")
        index = 128 * TRITON_BANKS.index(r["bank"]) + as_int(r["index"], "index", path, line, 0, 127)
        try:
            raw = ast.literal_eval(r["name_raw16"])  # the 16 characters, written as a quoted literal
        except (ValueError, SyntaxError):
            raw = None
        if not isinstance(raw, str) or len(raw) != 16 or raw.rstrip(" ") != r["name"]:
            raise FactError(f"{path}:{line}: name {r['name']!r} is not its 16 characters {raw!r}")
        if (kind, index) in seen:
            raise FactError(f"{path}:{line}: {kind} {r['bank']} {r['index']} twice")
        seen.add((kind, index))
        lists[kind][index] = r["name"]
    return lists["program"], lists["combination"]


# The value maps of the settings file: section, key form, first and last key,
# the default the program takes for a key it cannot read, and what the keys and
# the values mean. The facts hold no Triton or Kronos category, switch, delay,
# drum-kit or bus lists to pair, so every key carries the program's default.
VALUE_MAPS = [
    ("TriCombiCatMap", "{:02d}", 0, 15, 17, "Triton Combi category 00-15", "Kronos Combi category (0-17)"),
    ("TriSwitchMap", "{:02d}", 0, 12, 0, "Triton SW1/SW2 assignment 00-12", "Kronos switch assignment byte"),
    ("TriDelayMap", "{}", 0, 97, 0, "Triton timbre delay start 0-97", "Kronos timbre delay, 0-65535"),
    ("TriDrumKitIFXMap", "{}", 0, 5, 0, "Triton drum-kit patch insert-effect selector 0-5",
     "Kronos drum-kit patch insert-effect byte"),
    ("TriBusSelectMap", "{}", 0, 13, 0, "Triton timbre bus select 0-13", "Kronos timbre bus select byte"),
    ("TriKroEfxFcMidMap", "{}", 0, 97, 0, "Triton master EQ mid frequency 0-97",
     "Kronos master EQ (effect 13) mid frequency"),
]


def value_maps_ini():
    """TOLVEX-valuemaps.ini: every value-map section with every key, for pasting into TOLVEX.INI."""
    lines = ["; Value maps of the Triton to Kronos Combi conversion (see data/README.md).",
             "; Paste these sections into TOLVEX.INI; Tolvex reads them at start and never writes them.",
             "; Every value here is the one Tolvex takes when the key is missing: edit them to your instruments."]
    for section, key, first, last, default, keys, values in VALUE_MAPS:
        lines += ["", f"; KEY = {keys}, VALUE = {values}", f"[{section}]"]
        lines += [f"{key.format(i)}={default}" for i in range(first, last + 1)]
    lines += ["", "; DefaultSubCategory = the Kronos Combi sub-category 0-7 of every converted Combi",
              "[TriKroConvert]", "DefaultSubCategory=7"]
    return lines


def generate(src):
    report = []
    effects = kronos_effects(src)
    params = kronos_effect_params(src)
    programs, combis = triton_name_lists(src)
    files = {
        "Kro_Efx_Param_Names.txt": efx_param_names(effects, params),
        "Kro_Efx_Param.txt": efx_param_positions(params),
        "KronosParamList.txt": param_list(src, report),
        "TriEffectNameList.txt": triton_effect_names(src),
        "TriProgNameList.txt": programs,
        "TriCombiNameList.txt": combis,
        "Tri_Kro_Efx_Map.txt": tri_kro_efx_map(src, report),
        "TOLVEX-valuemaps.ini": value_maps_ini(),
    }
    for name, lines in files.items():
        report.append(f"{name}: {len(lines)} lines")
    out = {name: "".join(l + "\n" for l in lines).encode("utf-8") for name, lines in files.items()}
    out["Kro_Default_EFX_Data.bin"] = default_efx_data(src)
    out["KroInitCombi.bin"] = init_combi()
    for name in ("Kro_Default_EFX_Data.bin", "KroInitCombi.bin"):
        report.append(f"{name}: {len(out[name])} bytes")
    return out, report


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--check", action="store_true", help="compare instead of writing")
    ap.add_argument("--data", default=os.path.join(HERE, "..", "data"), help="the data folder")
    a = ap.parse_args()
    try:
        files, report = generate(os.path.join(a.data, "sources"))
    except FactError as e:
        print(f"gen_tables: {e}", file=sys.stderr)
        return 1
    differ = []
    for name, content in files.items():
        path = os.path.join(a.data, name)
        if a.check:
            try:
                with open(path, "rb") as f:
                    same = f.read() == content
            except OSError:
                same = False
            if not same:
                differ.append(name)
        else:
            with open(path, "wb") as f:
                f.write(content)
    if differ:
        print("gen_tables: not what data/sources gives (run scripts/gen_tables.py): " + ", ".join(differ),
              file=sys.stderr)
        return 1
    if not a.check:
        print("\n".join(report))
    return 0


if __name__ == "__main__":
    sys.exit(main())
