// SPDX-License-Identifier: GPL-3.0-or-later
// The steps device commands share: the entry they work on, the boxes they
// check, and the requests they send. Each shows its own box and returns
// nothing (or false) when the command has to stop.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "core/text/bytes.h"

namespace tolvex {

class Session;

inline constexpr char kNothingSelected[] = "Nothing Selected";
inline constexpr char kNoMessagesSelected[] = "No Messages Were Selected - nothing to do";
inline constexpr char kChannelText[] = "You must specify a valid number for the Channel.";

// The index of the first selected entry; with none, a "Warning" box saying noneText.
std::optional<std::size_t> firstSelected(Session& s, const char* noneText);

// A "Warning" box titled "Warning": how a command refuses the entry it was given.
void warn(Session& s, const std::string& text);
// An "Error" box with the warning icon: how a command refuses a box's value.
void refuse(Session& s, const std::string& text);

// The decimal number in box `control` when it lies within first..last;
// otherwise refuse(text).
std::optional<int> checkedNumber(Session& s, const char* control, int first, int last, const std::string& text);
// The Channel box within 0..highest: kChannelText when it holds no number,
// rangeText when it lies outside.
std::optional<int> checkedChannel(Session& s, int highest, const std::string& rangeText);

// What a command that needs a port says when that port is not open: the user
// is asked to choose one ("Choose a MIDI Out port first"; on the command line
// with the option that chooses it), and only where no MIDI system offers any
// port at all is the interface "MIDI Interface Not Installed".
inline constexpr char kNoMidiInterface[] = "MIDI Interface Not Installed";
inline constexpr char kChooseOutPort[] = "Choose a MIDI Out port first";
inline constexpr char kChooseInPort[] = "Choose a MIDI In port first";
std::string missingPortText(const Session& s, bool input);

// False after a "Warning" box with missingPortText when no output is open.
bool requireOutput(Session& s);
// The request/response exchanges need both ports; without them every wait
// would end as a time-out: the box of the port that is missing and false.
bool requirePorts(Session& s);
// Logs "Sending: " and the message's bytes and sends it. Without an output
// nothing is claimed as sent: the box of requireOutput and false.
bool sendLogged(Session& s, ByteView m);

// Writes a file the user asked for (a report or data), replacing it, and logs
// "Wrote " and its path. Throws TolvexError ("Cannot create file " or "Cannot
// write file " and the path) when it cannot.
void writeReportFile(Session& s, const std::string& path, ByteView content);
void writeReportFile(Session& s, const std::string& path, const std::string& text);

// The Cancel button offered while a command's run lasts, however the run
// ends; a click left over from before is no request to stop this run.
class CancelOffer {
public:
    explicit CancelOffer(Session& s);
    ~CancelOffer();
    CancelOffer(const CancelOffer&) = delete;
    CancelOffer& operator=(const CancelOffer&) = delete;

private:
    Session& s_;
};

}  // namespace tolvex
