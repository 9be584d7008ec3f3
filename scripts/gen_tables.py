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
        # The Triton to Kronos effect map comes with the conversion; one
        # neutral row keeps the format exercised until then.
        "Tri_Kro_Efx_Map.txt": ["0,0,0,0,0,0,0,0"],
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
