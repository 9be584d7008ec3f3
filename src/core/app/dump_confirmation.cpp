// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/dump_confirmation.h"

#include "core/app/incoming.h"
#include "core/app/midi_devices.h"
#include "core/app/session.h"
#include "core/sysex/sx_naming.h"
#include "core/text/text_utils.h"

namespace tolvex {

namespace {

// "Korg Triton: Combination Bank Dump" reads "Combination Bank Dump" in a
// sentence that names the instrument already.
std::string withoutInstrument(const std::string& name, const std::string& instrument)
{
    const std::size_t colon = name.find(':');
    std::string rest = name;
    if (colon != std::string::npos && name.substr(0, colon).find(instrument) != std::string::npos)
        rest = name.substr(colon + 1);
    const std::size_t first = rest.find_first_not_of(' ');
    const std::size_t last = rest.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : rest.substr(first, last - first + 1);
}

}  // namespace

ConfirmationWait::ConfirmationWait(Session& s, DumpConfirmation confirmation)
    : s_(s), confirmation_(std::move(confirmation))
{
    s_.midi.answerWatch = [this](ByteView m) {
        if (answered_) return false;  // a second answer is an ordinary message
        const LoadAnswer a = confirmation_.read(m);
        if (a == LoadAnswer::None) return false;
        answered_ = true;
        answer_.kind = a == LoadAnswer::Loaded ? DumpAnswer::Kind::Loaded : DumpAnswer::Kind::Refused;
        answer_.answer.assign(m.begin(), m.end());
        return true;
    };
}

ConfirmationWait::~ConfirmationWait()
{
    s_.midi.answerWatch = nullptr;
}

DumpAnswer ConfirmationWait::await(std::int64_t timeoutMs, const std::function<bool()>& cancelled)
{
    const std::int64_t start = s_.shell.nowMs();
    for (;;) {
        if (answered_) return answer_;
        if (!ConfirmationInputReady(s_)) return {DumpAnswer::Kind::InputLost, {}};
        if (cancelled && cancelled()) return {DumpAnswer::Kind::Cancelled, {}};
        if (s_.shell.nowMs() - start >= timeoutMs) return {DumpAnswer::Kind::NoAnswer, {}};
        s_.shell.ProcessMessages();
    }
}

bool ConfirmationInputReady(const Session& s)
{
    return s.midi.MIDI_In_Present && s.midi.devices != nullptr && s.midi.devices->inputOpen();
}

std::string unconfirmedText(const Session& s, const DumpConfirmation& c, int number, int total,
                            const std::string& dumpName, const DumpAnswer& answer, std::int64_t timeoutMs)
{
    std::string why;
    if (answer.kind == DumpAnswer::Kind::Refused) {
        std::string sup;
        bool ignore = false;
        why = "it answered " + withoutInstrument(SxParseName(answer.answer, sup, ignore, namingOf(s)), c.instrument);
    } else {
        why = format("no answer in %lld s", static_cast<long long>((timeoutMs + 999) / 1000));
    }
    return format("The %s did not confirm dump %d of %d (%s): ", c.instrument.c_str(), number, total,
                  withoutInstrument(dumpName, c.instrument).c_str()) +
           why;
}

std::int64_t confirmationTimeoutMs(const Session& s)
{
    return static_cast<std::int64_t>(std::max(1, s.operation.LongTimeOutVal)) * 1000;
}

}  // namespace tolvex
