// SPDX-License-Identifier: GPL-3.0-or-later
// The Wavestation page's bank requests: a request, then the wait for the
// bank's dump among the messages that arrive.
#include <optional>
#include <string>

#include "core/app/controls.h"
#include "core/app/device_commands.h"
#include "core/app/incoming.h"
#include "core/app/request_response.h"
#include "core/app/session.h"
#include "core/text/text_utils.h"
#include "devices/wavestation/wavestation_commands.h"
#include "devices/wavestation/wavestation_sysex.h"

namespace tolvex {

namespace {

// Seconds of silence after which a requested bank counts as not coming.
constexpr int kQuietSeconds = 5;

struct BankKind {
    std::uint8_t request;
    std::uint8_t dump;
    const char* what;  // "patch bank", "performance bank"
    const char* What;
};
constexpr BankKind kPatchBanks{kWSSR_PatchBankRequest, kWSSR_PatchBank, "patch bank", "Patch bank"};
constexpr BankKind kPerformanceBanks{kWSSR_PerformanceBankRequest, kWSSR_PerformanceBank, "performance bank",
                                     "Performance bank"};

enum class Reply { Received, Silent, Cancelled, NotSent };

std::optional<int> channelOf(Session& s)
{
    return checkedChannel(s, 15, "The Wavestation channel must be between 0 and 15");
}

// Sends the request of `bank` and waits for its dump. Every MIDI event that
// arrives starts the quiet time again: a bank of 30,000 bytes travels for
// about 10 s.
Reply requestBank(Session& s, const BankKind& kind, int channel, int bank)
{
    const Bytes expected{0xF0,
                         0x42 /* Korg */,
                         static_cast<std::uint8_t>(0x30 | channel),
                         0x28 /* Wavestation */,
                         kind.dump,
                         static_cast<std::uint8_t>(bank)};
    const std::size_t existing = s.messages.count();
    if (!sendLogged(s, WSSR_BankRequest(kind.request, channel, bank))) return Reply::NotSent;
    s.shell.setBusyCursor(true);
    StartTimeout(s, 1000, kQuietSeconds);
    std::int32_t events = s.midi.NumMIDIevents;
    std::int32_t found = -1;
    Reply reply = Reply::Received;
    while (!CheckForSysexReceived(s, expected, existing, found)) {
        if (CancelButton(s)) {
            reply = Reply::Cancelled;
            break;
        }
        if (s.midi.NumMIDIevents != events) {
            events = s.midi.NumMIDIevents;
            StartTimeout(s, 1000, kQuietSeconds);
        } else if (s.operation.Timed_Out) {
            reply = Reply::Silent;
            break;
        }
        s.controls.text.set(ctl::TimeoutLabel, std::to_string(s.operation.LongTimeOut));
        s.shell.ProcessMessages();
    }
    StopTimeout(s);
    s.controls.text.set(ctl::TimeoutLabel, "");
    s.shell.setBusyCursor(false);
    return reply;
}

std::string silentText(const BankKind& kind, int bank)
{
    return format("The Wavestation did not answer: no %s %d in %d s", kind.what, bank, kQuietSeconds);
}

void requestOneBank(Session& s, const BankKind& kind)
{
    const std::optional<int> channel = channelOf(s);
    if (!channel) return;
    const std::optional<int> bank = checkedNumber(s, ctl::WS_Bank, 0, kWSSR_Banks - 1,
                                                  "You must specify a valid number for the Wavestation Bank (0-11).");
    if (!bank || !requirePorts(s)) return;
    const CancelOffer offer(s);
    switch (requestBank(s, kind, *channel, *bank)) {
    case Reply::Received: s.log.LogString(format("%s %d received", kind.What, *bank)); break;
    case Reply::Silent: warn(s, silentText(kind, *bank)); break;
    case Reply::Cancelled: s.log.LogString(format("Cancelled: %s %d not received", kind.what, *bank)); break;
    case Reply::NotSent: break;  // its box was shown
    }
}

void requestAllBanks(Session& s, const BankKind& kind)
{
    const std::optional<int> channel = channelOf(s);
    if (!channel || !requirePorts(s)) return;
    const CancelOffer offer(s);
    for (int bank = 0; bank < kWSSR_Banks; ++bank) {
        switch (requestBank(s, kind, *channel, bank)) {
        case Reply::Received:
            s.log.LogString(format("%s %d received (%d of %d)", kind.What, bank, bank + 1, kWSSR_Banks));
            continue;
        case Reply::Silent:
            if (bank == 0) return warn(s, silentText(kind, bank));
            s.log.LogString(
                format("No %s %d in %d s: the Wavestation sent banks 0-%d", kind.what, bank, kQuietSeconds, bank - 1));
            return;
        case Reply::Cancelled: s.log.LogString(format("Cancelled: %s %d not received", kind.what, bank)); return;
        case Reply::NotSent: return;
        }
    }
}

}  // namespace

void WS_ReqPatchBankClick(Session& s)
{
    requestOneBank(s, kPatchBanks);
}

void WS_ReqPerfBankClick(Session& s)
{
    requestOneBank(s, kPerformanceBanks);
}

void WS_AllPatchClick(Session& s)
{
    requestAllBanks(s, kPatchBanks);
}

void WS_AllPerfClick(Session& s)
{
    requestAllBanks(s, kPerformanceBanks);
}

}  // namespace tolvex
