// SPDX-License-Identifier: GPL-3.0-or-later
// Sends that wait for the instrument: some instruments answer a dump they
// received with a message saying they loaded it or not. A device family says
// which of its dumps are answered and how it reads the answer
// (DeviceFamily::confirmation); the send waits for that answer before it
// sends the next message.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/text/bytes.h"

namespace tolvex {

class Session;

// What a message that arrives after a dump says about the dump.
enum class LoadAnswer {
    None,     // no answer to it: an ordinary message
    Loaded,   // the instrument loaded the dump
    Refused,  // the instrument could not load it
};

// How an instrument confirms one dump: the name the user knows it by
// ("Triton") and how an answer reads.
struct DumpConfirmation {
    std::string instrument;
    std::function<LoadAnswer(ByteView)> read;
};

// The outcome of one wait.
struct DumpAnswer {
    enum class Kind { Loaded, Refused, NoAnswer, Cancelled, InputLost };
    Kind kind = Kind::NoAnswer;
    Bytes answer;  // the instrument's answer, for Loaded and Refused
};

// Takes the instrument's answers to one dump from the session's input while
// it lives: made before the dump is sent (a fast instrument answers before
// the dump has left, as seen from here), so the answer never reaches the
// message list. Other messages arriving meanwhile are stored as usual.
class ConfirmationWait {
public:
    ConfirmationWait(Session& s, DumpConfirmation confirmation);
    ~ConfirmationWait();
    ConfirmationWait(const ConfirmationWait&) = delete;
    ConfirmationWait& operator=(const ConfirmationWait&) = delete;

    // Once the dump has left the output: handles events until the answer is
    // in (at once when it came already), `timeoutMs` pass without one,
    // `cancelled` says so or the input is lost.
    DumpAnswer await(std::int64_t timeoutMs, const std::function<bool()>& cancelled);

private:
    Session& s_;
    DumpConfirmation confirmation_;
    bool answered_ = false;
    DumpAnswer answer_;
};

// Whether the session's input is open to hear answers.
bool ConfirmationInputReady(const Session& s);

// The user's text of a dump the instrument did not confirm:
// "The Triton did not confirm dump 3 of 8 (Program Bank INT-A): no answer in 5 s"
// or, for a refusal, ": it answered " and the answer's name. `dumpName` is
// the dump's display name; the maker and instrument before its first ':' are left out.
std::string unconfirmedText(const Session& s, const DumpConfirmation& c, int number, int total,
                            const std::string& dumpName, const DumpAnswer& answer, std::int64_t timeoutMs);

// The settings' time-out (LongTimeOut) in milliseconds: how long a send waits for each answer.
std::int64_t confirmationTimeoutMs(const Session& s);

}  // namespace tolvex
