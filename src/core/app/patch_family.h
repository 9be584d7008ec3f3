// SPDX-License-Identifier: GPL-3.0-or-later
// Single sounds inside messages: how a device family splits a bank dump into
// patches, names them, turns one patch back into a message for the
// instrument's edit buffer and assembles a bank from single patches. A family
// gives its PatchFamily through DeviceFamily::patches(); the patch library
// builds its list of families from the registry, so nothing here is
// process-wide state.
//
// A patch is kept in its family's own record form (`PatchItem::record`): the
// sound's data without what only says where it came from or goes to (device
// number or channel, bank and program number of a single dump, checksums,
// packing). So the same sound in a single dump and inside a bank has the same
// record.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/text/bytes.h"

namespace tolvex {

struct PatchItem {
    std::string name;    // as the instrument shows it, trailing blanks removed
    std::string maker;   // "Yamaha", "Korg"
    std::string model;   // "DX7", "DX7II", "TX802", "Triton", "Kronos", "Wavestation"
    std::string kind;    // "Voice", "Performance", "Program", "Combi", "Patch"
    std::string bank;    // the bank as the instrument names it; "" when the dump has none
    int number = -1;     // the place in the bank as the instrument counts it; -1 when none
    std::string format;  // the record form, a PatchFormat::format
    Bytes record;
    // Where the name lies in `record` (a fingerprint may leave it out).
    std::size_t nameOffset = 0;
    std::size_t nameLength = 0;
};

// What a family read from one message: its patches in dump order, and a line
// for each part it could not read (a cut bank, a wrong checksum).
struct PatchSplit {
    std::vector<PatchItem> items;
    std::vector<std::string> problems;
    // What was read although the message's header says otherwise (a byte
    // count real dumps often get wrong): the patches are whole, the note says
    // what was unusual.
    std::vector<std::string> notes;
    // The message proves it is whole: its own checksum holds, or it is exactly
    // as long as its kind (nothing missing, nothing to spare).
    bool proven = false;
};

// One record form of a family.
struct PatchFormat {
    const char* format;      // e.g. "dx7-voice"
    std::size_t recordSize;  // bytes of one record
    std::size_t bankCount;   // records of the bank `bank` builds; 0: no bank assembly
    // The message that loads one record into the instrument's edit buffer,
    // on MIDI channel (device number) `channel` 0-15.
    Bytes (*single)(ByteView record, int channel);
    // A bank message of `records` (at most bankCount, each recordSize bytes);
    // the places after them hold the family's init patch. Null: no bank assembly.
    Bytes (*bank)(const std::vector<Bytes>& records, int channel);
    // Forms that can hold the same sound as each other (an edit-buffer dump
    // and a place in a bank) are compared in one of them, `sameAs`: `asSame`
    // gives the record in that form, the name cleared when `withoutName`, or
    // nothing when the record holds what that form cannot carry (then it is
    // compared in its own form only). A form named as `sameAs` gives its own
    // `asSame` too. Null: records are compared as they are.
    const char* sameAs = nullptr;
    std::optional<Bytes> (*asSame)(ByteView record, bool withoutName) = nullptr;
    // Where the name lies in a record, so a rename reaches what is sent and
    // exported; a length of 0: the record's name cannot be changed.
    std::size_t nameOffset = 0;
    std::size_t nameLength = 0;
    // The category the record itself carries, as a library category (see
    // patchCategories()); "" or null when it carries none.
    std::string (*category)(ByteView record) = nullptr;
    // The parameters a record of this form holds, in the order the sound is
    // compared by (two records of the same parameters are one sound, whatever
    // unused bits their packing carries); called with a record of exactly
    // recordSize bytes. Null: the record's bytes are its parameters.
    Bytes (*parameters)(ByteView record) = nullptr;
};

struct PatchFamily {
    const char* name;  // "yamaha", "triton", "kronos", "wavestation"
    // The patches of one complete message; nothing when the family does not
    // know the message. Never throws, never reads outside sx.
    std::optional<PatchSplit> (*split)(ByteView sx);
    std::span<const PatchFormat> formats;
    // A file image (the whole file) that holds the family's patches in a way
    // Open does not read (raw data without SysEx around it, a byte no SysEx
    // message may carry): the messages it means, with a note each of what was
    // unusual. Nothing when the file is not such. Null: the family has none.
    std::optional<std::vector<Bytes>> (*readFile)(ByteView file, std::vector<std::string>& notes) = nullptr;
};

// Whether a family's split reads the message whole and proven.
bool splitProvesWhole(const PatchFamily& family, ByteView sx);

}  // namespace tolvex
