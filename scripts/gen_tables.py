#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
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
            if not ids[4] and all(re.fullmatch(r"\d+", r.get(c, "")) for c in ("value", "TYP", "SOC", "SUB", "PID")):
                # A row without its data_hex cell: the value text sits in data_hex and
                # the ids one column to the left, in value .. PID.
                ids = [r.get(c, "") for c in ("value", "TYP", "SOC", "SUB", "PID")]
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


def kronos_param_facts(src):
    """(effect, pid) -> the Kronos slot-effect parameter: name, position, sign, whether
    it is fixed, and its raw range (low, high; a fixed one's range is its value)."""
    path = os.path.join(src, "kronos_effect_params.tsv")
    out = {}
    for line, r in read_tsv(path):
        e = as_int(r["effect"], "effect", path, line, 0, 255)
        if e > LAST_SLOT_EFFECT:
            continue
        pid = as_int(r["pid"], "pid", path, line, 0, 99)
        ofs = as_int(r["ofs"], "ofs", path, line, 0, 63)
        bitpos = as_int(r["bitpos_lsb"], "bitpos", path, line, 0, 7)
        width = as_int(r["width"], "width", path, line, 1, 16)
        if ofs * 8 + bitpos + width > 64 * 8:
            raise FactError(f"{path}:{line}: field runs past the 64-byte block")
        data = r["data_hex"]
        signed = r["signed"] == "1"
        fixed = re.fullmatch(r"([0-9A-F]+)\(fixed\)", data)
        span = re.fullmatch(r"([0-9A-F]+)~([0-9A-F]+)", data)
        if fixed:
            low = high = int(fixed.group(1), 16)
        elif span:
            # Signed ranges are written sign-extended to the digits given (9C~64: -100..100).
            bits = 4 * len(span.group(1))
            low = signed_hex(span.group(1), bits) if signed else int(span.group(1), 16)
            high = signed_hex(span.group(2), bits) if signed else int(span.group(2), 16)
            if low > high:
                raise FactError(f"{path}:{line}: range {data} runs backwards")
        else:
            raise FactError(f"{path}:{line}: data {data!r} is neither a range nor a fixed value")
        if (e, pid) in out:
            raise FactError(f"{path}:{line}: effect {e} parameter {pid} occurs twice")
        out[(e, pid)] = {"effect": e, "pid": pid, "name": blanks(r["parameter"]), "ofs": ofs, "bitpos": bitpos,
                         "width": width, "signed": signed, "fixed": bool(fixed), "low": low, "high": high,
                         "display": blanks(r.get("value_range", ""))}
    return out


# Value-map selectors of the conversion (what each does is the conversion's
# own table); the generator uses these and converts factory values with them.
XMAP_UNCHANGED = 0     # the raw value; read as signed when the Kronos range is signed
XMAP_AMS = 1           # Triton modulation source 0-31 through AMS_map
XMAP_NOT_MAPPED = 3    # no selector: the conversion leaves the Kronos default
XMAP_ENV_SELECT = 4    # envelope select 0-3 through EnvSel_map (1, 1, 2, 3)
XMAP_TWICE_SIGNED = 5  # 2 x a signed value (raw 0-127)
XMAP_TWICE_BYTE = 6    # 2 x 0-255, a byte
XMAP_FIVE_TIMES = 7    # 5 x 0-255
XMAP_BPM = 8           # 39 = MIDI -> 3999, 40-240 -> x100
XMAP_TIMES = 10        # 0-31 -> 1-32
XMAP_SIGNED = 11       # a signed value -240..240, sign-extended into a wider field
XMAP_TWICE = 31        # 2 x 0-16383 (0.2 ms steps to 0.1 ms steps)
AMS_MAP = [0, 1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 14, 15, 16,
           17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 29, 30, 31, 32, 37]
ENV_SEL_MAP = [1, 1, 2, 3]


def convert_value(selector, v):
    """The Kronos value of a (signed where the Triton field is signed) Triton value, or None."""
    if selector in (XMAP_UNCHANGED, XMAP_SIGNED):
        return v if selector == XMAP_UNCHANGED or -240 <= v <= 240 else None
    table = {XMAP_AMS: (0, 31, lambda x: AMS_MAP[x]), XMAP_ENV_SELECT: (0, 3, lambda x: ENV_SEL_MAP[x]),
             XMAP_TWICE_SIGNED: (-64, 63, lambda x: 2 * x), XMAP_TWICE_BYTE: (0, 127, lambda x: 2 * x),
             XMAP_FIVE_TIMES: (0, 255, lambda x: 5 * x),
             XMAP_BPM: (39, 240, lambda x: 3999 if x == 39 else 100 * x),
             XMAP_TIMES: (0, 31, lambda x: x + 1), XMAP_TWICE: (0, 16383, lambda x: 2 * x)}
    if selector not in table:
        return None
    low, high, f = table[selector]
    return f(v) if low <= v <= high else None


def triton_effect_names(src):
    path = os.path.join(src, "triton_effects.tsv")
    names = []
    for line, r in read_tsv(path):
        if as_int(r["number"], "effect", path, line, 0, 255) != len(names):
            raise FactError(f"{path}:{line}: effect {r['number']} out of order")
        names.append(blanks(r["name"]))
    return names


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


def effect_pairs(src, kro_names):
    """Triton effect -> Kronos slot effect, from Korg's names and parameter structure."""
    path = os.path.join(src, "triton_kronos_effect_map.tsv")
    pairs = {}
    for line, r in read_tsv(path):
        t = as_int(r["triton_effect"], "triton_effect", path, line, 0, 255)
        if not r["kronos_effect"].strip():
            continue
        k = as_int(r["kronos_effect"].strip(), "kronos_effect", path, line, 0, LAST_SLOT_EFFECT)
        if blanks(r["kronos_name"]) != kro_names[k]:
            raise FactError(f"{path}:{line}: Kronos effect {k} is {kro_names[k]!r}, not {r['kronos_name']!r}")
        pairs[t] = k
    return pairs


def param_candidates(src):
    """(Triton effect, parameter order) -> the candidate Kronos parameter and how sure it is."""
    path = os.path.join(src, "triton_kronos_param_map_candidates.tsv")
    out = {}
    for line, r in read_tsv(path):
        t = as_int(r["triton_effect"], "triton_effect", path, line, 0, 255)
        order = as_int(r["triton_order"], "triton_order", path, line, 0, 255)
        pid = r["kronos_pid"].strip()
        out[(t, order)] = {
            "pid": as_int(pid, "kronos_pid", path, line, 0, 99) if pid else None,
            "basis": r["match_basis"], "relation": r["range_relation"], "label": blanks(r["triton_param_label"])}
    return out


def factory_stats(src):
    """(Triton effect, parameter order) -> (slots using the effect, most common value)."""
    path = os.path.join(src, "triton_effect_param_factory_stats.tsv")
    out = {}
    for line, r in read_tsv(path):
        t = as_int(r["effect"], "effect", path, line, 0, 255)
        order = as_int(r["order"], "order", path, line, 0, 255)
        n = as_int(r["n_slots"], "n_slots", path, line, 0, 1 << 20)
        if n and re.fullmatch(r"-?\d+", r["most_common_value"]):
            out[(t, order)] = (n, int(r["most_common_value"]))
    return out


def match_score(basis):
    """How well a candidate's name matched: an equal name first, then the token overlap."""
    if basis.startswith("name equal"):
        return 2.0
    m = re.fullmatch(r"token overlap ([0-9.]+)", basis)
    return float(m.group(1)) if m else 0.0


def choose_selector(t, p, cand, kro):
    """(selector, reason) for Triton parameter p of effect t whose candidate is kro."""
    label, relation = p["name"], cand["relation"]
    kname = kro["name"]
    tw, ts = p["width"], p["signed"]
    if kro["fixed"]:
        return XMAP_NOT_MAPPED, f"Kronos {kname} is fixed at {kro['low']}"
    if tw == 1 and kro["high"] - kro["low"] > 1:
        return XMAP_NOT_MAPPED, f"a Triton switch against Kronos {kname} ({kro['display']})"
    if "Mod.Source" in kname:
        return (XMAP_AMS, "modulation source") if not ts else (XMAP_NOT_MAPPED, "signed source field")
    if (kro["low"], kro["high"]) == (3999, 30000):
        return (XMAP_BPM, "BPM, 39 = MIDI") if not ts and tw <= 8 else (XMAP_NOT_MAPPED, "BPM field shape")
    if "Base Note" in kname and "Times" not in kname:
        return XMAP_NOT_MAPPED, "Base Note: the order of the Triton's list is not known (8 values against 10)"
    if (kro["low"], kro["high"]) == (1, 32) and "Times" in label:
        return (XMAP_TIMES, "BPM times + 1") if not ts and tw <= 5 else (XMAP_NOT_MAPPED, "times field shape")
    if relation.startswith("kronos raw = 2 x triton raw"):
        return (XMAP_TWICE_BYTE, "x 2") if tw <= 7 else (XMAP_TWICE, "0.2 ms steps to 0.1 ms, x 2")
    if t == 7 and label.startswith("Band2 Cutoff"):
        return XMAP_FIVE_TIMES, "x 5 (50 Hz-10 kHz in 200 against 996 steps)"
    if t == 7 and label.startswith("Band2 Dynamic Gain Amt"):
        return XMAP_TWICE_SIGNED, "x 2 (1 dB against 0.5 dB steps)"
    if t in (44, 45, 48) and "Time [msec]" in label and tw >= 13:
        return XMAP_TWICE, "0.2 ms steps to 0.1 ms, x 2"
    if t == 99 and "Time [msec]" in label:
        return XMAP_NOT_MAPPED, "0.2 ms steps only probable (x 2 not settled)"
    if t == 46 and "Time [msec]" in label:
        return XMAP_NOT_MAPPED, "delay time scale (x 1 or x 2) not determined"
    if t == 18 and re.fullmatch(r"Tap\d \(\d+\) \[msec\]", label):
        return XMAP_NOT_MAPPED, "tap time needs a lookup table (0-570 ms in 128 steps) the facts do not give"
    if 52 <= t <= 57 and re.match(r"Pre [LH]EQ Gain", label):
        return XMAP_NOT_MAPPED, "reverb Pre EQ step (1 dB or 0.5 dB) unresolved"
    if (kro["low"], kro["high"]) == (1, 3) and "Envelope Select" in kname:
        return XMAP_ENV_SELECT, "envelope select 0-3 to 1-3"
    if not kro["signed"] and kro["display"].startswith("1~") and kro["low"] == 0:
        return XMAP_NOT_MAPPED, f"Kronos {kname} is stored one below its display ({kro['display']})"
    if ts != kro["signed"]:
        return XMAP_NOT_MAPPED, ("signed Triton field, unsigned Kronos field" if ts
                                 else "unsigned Triton field, signed Kronos field")
    if ts and tw < kro["width"]:
        return XMAP_SIGNED, "signed, sign-extended"
    return XMAP_UNCHANGED, "same encoding"


def effect_map_rows(src, report):
    """Every parameter of every Triton effect with a Kronos counterpart, with its selector."""
    kro_names = kronos_effects(src)
    tri_names = triton_effect_names(src)
    pairs = effect_pairs(src, kro_names)
    tri_params = triton_effect_params(src)
    cands = param_candidates(src)
    kro = kronos_param_facts(src)
    effects = []
    for t in range(len(tri_names)):
        if t not in pairs:
            continue
        k = pairs[t]
        rows = []
        for order, p in enumerate(tri_params.get(t, [])):
            cand = cands.get((t, order))
            if cand is None:
                raise FactError(f"no candidate row for Triton effect {t} parameter {order}")
            row = {"t": t, "order": order, "p": p, "k": k, "kpid": None, "sel": XMAP_NOT_MAPPED,
                   "counterpart": False, "score": match_score(cand["basis"])}
            if cand["pid"] is None:
                row["reason"] = "reserved bits" if p["name"].lower().startswith("reserved") else "no Kronos counterpart"
            elif (k, cand["pid"]) not in kro:
                raise FactError(f"Triton effect {t} parameter {order}: Kronos {k} has no parameter {cand['pid']}")
            else:
                row["counterpart"] = True
                row["kpid"] = cand["pid"]
                row["sel"], row["reason"] = choose_selector(t, p, cand, kro[(k, cand["pid"])])
            rows.append(row)
        # A Kronos parameter takes one Triton parameter: the best-named one.
        for kpid in {r["kpid"] for r in rows if r["sel"] != XMAP_NOT_MAPPED}:
            users = [r for r in rows if r["kpid"] == kpid and r["sel"] != XMAP_NOT_MAPPED]
            best = max(users, key=lambda r: (r["score"], -r["order"]))
            for r in users:
                if r is not best:
                    r["sel"] = XMAP_NOT_MAPPED
                    r["reason"] = f"Kronos {kro[(k, kpid)]['name']} already takes {best['p']['name']}"
        effects.append((t, k, rows))
    return effects, tri_names, kro_names, kro


def tri_kro_efx_map(effects, kro, report):
    """Tri_Kro_Efx_Map.txt: TriEffect,TriOfs,TriWidth,TriBitPos,TriPID,KroEFX,KroPID,KroXMAP,KroMin,KroMax;
    the last two are the Kronos parameter's range, which the conversion checks every value against."""
    lines = []
    for t, k, rows in effects:
        if not rows:
            lines.append(f"{t},0,0,0,0,{k},0,{XMAP_UNCHANGED},0,0")  # no parameters: the row names the effect
            continue
        for r in rows:
            p = r["p"]
            kpid = r["kpid"] if r["kpid"] is not None else 0
            q = kro.get((k, kpid), {"low": 0, "high": 0})
            lines.append(f"{t},{p['ofs']},{p['width']},{p['bitpos']},{r['order']},{k},{kpid},{r['sel']},"
                         f"{q['low']},{q['high']}")
    return lines


def coverage_report(effects, tri_names, kro_names, report):
    total = counterpart = mapped = 0
    by_selector, kept = {}, []
    for t, k, rows in effects:
        for r in rows:
            total += 1
            counterpart += r["counterpart"]
            if r["sel"] != XMAP_NOT_MAPPED:
                mapped += 1
                by_selector[r["sel"]] = by_selector.get(r["sel"], 0) + 1
            elif r["counterpart"]:
                kept.append(f"{t:03d} {tri_names[t]}: {r['p']['name']} -> {r['reason']}")
    report.append(f"Tri_Kro_Efx_Map.txt: {len(effects)} of {len(tri_names)} Triton effects mapped, "
                  f"{mapped} of the {counterpart} parameters with a counterpart ({total} parameters)")
    report.append("  selectors: " + ", ".join(f"{s}: {n}" for s, n in sorted(by_selector.items())))
    for t, k, rows in effects:
        c = sum(r["counterpart"] for r in rows)
        m = sum(r["sel"] != XMAP_NOT_MAPPED for r in rows)
        report.append(f"  | {t:03d} {tri_names[t]} | {k:03d} {kro_names[k]} | {m}/{c}/{len(rows)} |")
    report += ["  kept " + s for s in kept]


def neutral_value(q):
    """The value of a Kronos effect parameter no Triton value decides."""
    name, low, high = q["name"], q["low"], q["high"]
    zero_or_low = 0 if low <= 0 <= high else low
    if q["fixed"]:
        return low
    if "Mod.Source" in name or "Intensity" in name or "Amount" in name:
        return zero_or_low
    if name.endswith("Wet/Dry") or name.endswith("Balance"):
        return high
    if "Level" in name or "Trim" in name:
        return high if low >= 0 else zero_or_low
    return zero_or_low


def default_efx_data(effects, kro, stats, report):
    """Kro_Default_EFX_Data.bin: a 64-byte parameter block for each effect 0-185. A fixed
    field holds its fixed value; a field with a mapped Triton counterpart the converted
    most common factory value of that counterpart (from the Triton effect most used
    with it); any other the neutral value of neutral_value. Block 0 (no effect) stays zero."""
    factory = {}  # (kronos effect, pid) -> (slots, value)
    for t, k, rows in effects:
        for r in rows:
            if r["sel"] == XMAP_NOT_MAPPED or (t, r["order"]) not in stats:
                continue
            n, v = stats[(t, r["order"])]
            w = convert_value(r["sel"], v)
            q = kro[(k, r["kpid"])]
            if w is None or not q["low"] <= w <= q["high"]:
                continue
            if n > factory.get((k, r["kpid"]), (-1, 0))[0]:
                factory[(k, r["kpid"])] = (n, w)
    blocks = [bytearray(64) for _ in range(LAST_SLOT_EFFECT + 1)]
    from_factory = 0
    for (e, pid), q in sorted(kro.items()):
        if e == 0:
            continue
        if (e, pid) in factory and not q["fixed"]:
            value = factory[(e, pid)][1]
            from_factory += 1
        else:
            value = neutral_value(q)
        set_le_field(blocks[e], q["ofs"], q["bitpos"], q["width"], value)
    report.append(f"Kro_Default_EFX_Data.bin: {from_factory} parameters at a converted factory value, "
                  f"{sum(1 for (e, _p) in kro if e) - from_factory} at a neutral or fixed value")
    return b"".join(bytes(b) for b in blocks)


# The neutral Combi of KroInitCombi.bin, in TKro_Combi offsets.
COMBI_SIZE = 7810
COMBI_TEMPO = 1304          # Karma_Common bytes 0-1, hundredths of BPM, low byte first
COMBI_MAST_VOL = 1188       # Total_Effect_MastVol
EFFECT_LFOS = (1190, 1206)  # Effect_LFO_Group: the two effect LFOs
TIMBRE_GROUP, TIMBRE_SIZE = 4802, 188
T_PROG, T_BANK, T_MIDI_STATUS, T_VOLUME, T_PAN = 0, 1, 2, 5, 14
T_KEY_TOP, T_KEY_BOT, T_VEL_TOP, T_VEL_BOT = 37, 38, 40, 41
T_TRACK_EQ_TRIM = 46        # bits 6-0 Track EQ Trim, bit 7 bypass
GLOBAL_CHANNEL = 16
STATUS_OFF, STATUS_INT = 0, 1


def combi_fields(src):
    """The documented fields of a Combi that hold a value range: (ofs, lowest bit, width,
    low, high, name) with 16-bit fields (4 hex digits) low byte first."""
    path = os.path.join(src, "kronos_paramids_CombiAndSongTimbreSet.tsv")
    out = []
    for line, r in read_tsv(path):
        span = re.fullmatch(r"([0-9A-F]+)~([0-9A-F]+)", r.get("data_hex", ""))
        if not re.fullmatch(r"\d+", r.get("ofs", "")) or not span:
            continue
        bits = r.get("bit", "").strip()
        if re.fullmatch(r"\d+~\d+", bits):
            hi, lo = map(int, bits.split("~"))
        elif re.fullmatch(r"\d+", bits):
            hi = lo = int(bits)
        elif bits == "":
            lo, hi = 0, 4 * len(span.group(1)) - 1
        else:
            raise FactError(f"{path}:{line}: bit {bits!r}")
        out.append((int(r["ofs"]), lo, hi - lo + 1, int(span.group(1), 16), int(span.group(2), 16),
                    blanks(f"{r.get('group', '')} {r.get('parameter', '')}")))
    return out


def init_combi(src):
    """KroInitCombi.bin: "Init Combi", timbre 1 plays program I-A000 on the global
    channel, timbres 2-16 are off (on the global channel when switched on), every
    timbre at full volume, centred, over the whole keyboard and velocity range, Track
    EQ Trim at the top; no effects (every effect slot type 0 and off), tempo 120.00;
    every documented field of the effect LFOs and the timbres whose range does not
    hold 0 at the low end of its range; all else zero."""
    c = bytearray(COMBI_SIZE)
    for ofs, lo, width, low, high, _name in combi_fields(src):
        in_lfos = EFFECT_LFOS[0] <= ofs < EFFECT_LFOS[1]
        in_timbres = TIMBRE_GROUP <= ofs < COMBI_SIZE
        if (in_lfos or in_timbres) and low > high:
            continue  # a signed range (E7~18): 0 lies in it
        if (in_lfos or in_timbres) and low > 0:
            set_le_field(c, ofs, lo, width, low)
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
        c[at + T_TRACK_EQ_TRIM] = 99  # 00~63 = 0~99: the top
    return bytes(c)


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


def value_lists(src):
    """list name -> {index: (value, confidence)} of value_lists.tsv."""
    path = os.path.join(src, "value_lists.tsv")
    out = {}
    for line, r in read_tsv(path):
        i = as_int(r["index"], "index", path, line, 0, 255)
        out.setdefault(r["list"], {})[i] = (blanks(r["value"]), r["confidence"])
    return out


def words(name):
    return [w for w in re.split(r"[^a-z0-9]+", name.lower()) if w]


def category_map(lists):
    """Triton Combi category -> Kronos Combi category of the same name (blanks, case and
    punctuation ignored), else the only Kronos category sharing a word with it; None when
    neither decides."""
    kro = {i: v for i, (v, _c) in lists["kronos_combi_category"].items()}
    out = {}
    for i, (name, _c) in sorted(lists["triton_combi_category"].items()):
        same = [k for k, v in kro.items() if "".join(words(v)) == "".join(words(name))]
        shared = [k for k, v in kro.items() if set(words(v)) & set(words(name))]
        out[i] = same[0] if len(same) == 1 else (shared[0] if len(shared) == 1 else None)
    return out


# The Triton timbre Bus Select order the real data supports (see data/README.md):
# 0 DKit, 1 L/R, 2-6 IFX1-5, 7-10 outputs 1-4, 11 1/2, 12 3/4, 13 Off.
TRITON_BUS_ORDER = ["DKit", "L/R", "IFX1", "IFX2", "IFX3", "IFX4", "IFX5", "1", "2", "3", "4", "1/2", "3/4", "Off"]
KRO_USE_DRUM_KIT_BUS = 0x80  # Bus Select bit 7: "Use Drum Kit Bus Setting"
TIMBRE_DELAY_OFF = 6001      # the top of the Kronos timbre delay (0000~1771 = 0~Off)
KRO_EQ_MID_TOP = 165         # Kronos master EQ Mid Cutoff 00~A5 = 100 Hz~10 kHz
TRI_EQ_MID_TOP = 97          # Triton master EQ mid frequency keys 0-97


def value_maps(src):
    """(section, key form, {index: value}, default, what the keys are, what the values are, note)
    for each value map, generated from the facts; keys no fact decides take the default."""
    lists = value_lists(src)
    kro_bus = {v: i for i, (v, _c) in lists["kronos_timbre_bus_select"].items()}
    bus = {}
    for i, name in enumerate(TRITON_BUS_ORDER):
        bus[i] = KRO_USE_DRUM_KIT_BUS | kro_bus["L/R"] if name == "DKit" else kro_bus[name]
    cats = {i: k for i, k in category_map(lists).items() if k is not None}
    drum = {}
    for i, (v, _c) in lists["triton_drumkit_ifx_patch"].items():
        if v in kro_bus:
            drum[i] = kro_bus[v]
    delay = {}
    for i, (v, _c) in lists["triton_timbre_delay_candidate"].items():
        m = re.fullmatch(r"(\d+) ms", v)
        if m:
            delay[i] = int(m.group(1))
        elif v.lower().startswith("keyoff"):
            delay[i] = TIMBRE_DELAY_OFF
    fc_mid = {i: round(i * KRO_EQ_MID_TOP / TRI_EQ_MID_TOP) for i in range(TRI_EQ_MID_TOP + 1)}
    return [
        ("TriCombiCatMap", "{:02d}", 16, cats, 17, "Triton Combi category 00-15", "Kronos Combi category (0-17)",
         "the Kronos category of the same name; none for the rest (17)"),
        ("TriSwitchMap", "{:02d}", 13, {}, 0, "Triton SW1/SW2 assignment 00-12", "Kronos switch assignment byte",
         "the Triton's list is not known: every key at 0 (Off)"),
        ("TriDelayMap", "{}", 98, delay, 0, "Triton timbre delay start 0-97", "Kronos timbre delay in ms (6001: Off)",
         "INFERENCE: the TRINITY's delay table in ms, 97 (key off) to the Kronos Off"),
        ("TriDrumKitIFXMap", "{}", 6, drum, 0, "Triton drum-kit patch insert-effect selector 0-5",
         "Kronos drum-kit patch bus (1-12: IFX1-12)", "IFX n to IFX n; 5 is not known (0, L/R)"),
        ("TriBusSelectMap", "{}", 14, bus, 0, "Triton timbre bus select 0-13 (DKit, L/R, IFX1-5, 1-4, 1/2, 3/4, Off)",
         "Kronos timbre bus select byte (bit 7: Use Drum Kit Bus Setting)", "the same bus on the Kronos"),
        ("TriKroEfxFcMidMap", "{}", 98, fc_mid, 0, "Triton master EQ mid frequency 0-97",
         "Kronos master EQ (effect 13) Mid Cutoff 0-165",
         "INFERENCE: both read as 100 Hz-10 kHz on a log scale, interpolated between the ends"),
    ]


def value_maps_ini(maps):
    """TOLVEX-valuemaps.ini: every value-map section with every key, read where TOLVEX.INI lacks a key."""
    lines = ["; Value maps of the Triton to Kronos Combi conversion, generated from Korg's facts (see README.md).",
             "; Tolvex reads a key here when TOLVEX.INI does not hold it; it never writes this file or TOLVEX.INI.",
             "; To change a value, put the key (under its section) into TOLVEX.INI."]
    for section, key, count, values, default, keys, meaning, note in maps:
        lines += ["", f"; KEY = {keys}, VALUE = {meaning}", f"; {note}", f"[{section}]"]
        lines += [f"{key.format(i)}={values.get(i, default)}" for i in range(count)]
    lines += ["", "; DefaultSubCategory = the Kronos Combi sub-category 0-7 of every converted Combi",
              "[TriKroConvert]", "DefaultSubCategory=7"]
    return lines


def generate(src):
    report = []
    effects = kronos_effects(src)
    params = kronos_effect_params(src)
    programs, combis = triton_name_lists(src)
    efx_rows, tri_names, kro_names, kro = effect_map_rows(src, report)
    coverage_report(efx_rows, tri_names, kro_names, report)
    files = {
        "Kro_Efx_Param_Names.txt": efx_param_names(effects, params),
        "Kro_Efx_Param.txt": efx_param_positions(params),
        "KronosParamList.txt": param_list(src, report),
        "TriEffectNameList.txt": tri_names,
        "TriProgNameList.txt": programs,
        "TriCombiNameList.txt": combis,
        "Tri_Kro_Efx_Map.txt": tri_kro_efx_map(efx_rows, kro, report),
        "TOLVEX-valuemaps.ini": value_maps_ini(value_maps(src)),
    }
    for name, lines in files.items():
        report.append(f"{name}: {len(lines)} lines")
    out = {name: "".join(l + "\n" for l in lines).encode("utf-8") for name, lines in files.items()}
    out["Kro_Default_EFX_Data.bin"] = default_efx_data(efx_rows, kro, factory_stats(src), report)
    out["KroInitCombi.bin"] = init_combi(src)
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
