// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/port_devices.h"

#include <algorithm>

#include "midi/midi_system.h"

namespace tolvex {

PortDevices::PortDevices(Shell& shell, std::unique_ptr<MidiInBackend> in, std::unique_ptr<MidiOutBackend> out,
                         std::string systemName)
    : input_(shell, std::move(in)), output_(shell, std::move(out)), systemName_(std::move(systemName))
{
    input_.SetSysexBufferSize(kSysexBufferSize);
    input_.OnMidiInput = [this](TMidiInput&) {
        if (onInput) onInput();
    };
    input_.OnOverflow = [this](TMidiInput&) {
        if (onOverflow) onOverflow();
    };
    input_.OnDataLost = [this](TMidiInput&) {
        if (onOverflow) onOverflow();
    };
    input_.OnLost = [this](TMidiInput&, const std::string& reason) {
        unfinished_ = input_.UnfinishedBytes();
        if (onLost) onLost(reason);
    };
    output_.OnLost = [this](TMidiOutput&, const std::string& reason) {
        if (onLost) onLost(reason);
    };
}

std::size_t PortDevices::sysexCeilingFor(double bytesPerSecond)
{
    const double held = std::min(bytesPerSecond * kHeldSeconds, double{0xFFFFFFFFu});
    return std::max(kMinSysexCeiling, static_cast<std::size_t>(held));
}

// The smallest event a port carries takes about 12 bytes of its buffer (JACK's
// event header with the data inline).
std::uint32_t PortDevices::capacityFor(double bytesPerSecond)
{
    const double held = std::min(bytesPerSecond * kHeldSeconds / 12, double{0xFFFFFFFFu});
    return std::max(kMinCapacity, static_cast<std::uint32_t>(held));
}

namespace {

template <class Device>
std::vector<std::string> listed(Device& device)
{
    try {
        return device.DeviceNames();
    } catch (const TolvexError&) {
        return {};
    }
}

// The names of `list` that name a port called `port` ("client:port").
std::vector<std::string> portsCalled(const std::vector<std::string>& list, std::string_view port)
{
    std::vector<std::string> out;
    for (const std::string& n : list) {
        const auto colon = n.find(':');
        if (colon != std::string::npos && std::string_view(n).substr(colon + 1) == port) out.push_back(n);
    }
    return out;
}

// The port called `port` that appeared in `now` since `before`: the one this
// program just registered; empty when none or several did.
std::string appeared(const std::vector<std::string>& before, const std::vector<std::string>& now, std::string_view port)
{
    std::string found;
    for (const std::string& n : portsCalled(now, port)) {
        if (std::find(before.begin(), before.end(), n) != before.end()) continue;
        if (!found.empty()) return {};
        found = n;
    }
    return found;
}

std::vector<std::string> without(std::vector<std::string> list, const std::string& name)
{
    if (!name.empty()) list.erase(std::remove(list.begin(), list.end(), name), list.end());
    return list;
}

}  // namespace

std::vector<std::string> PortDevices::inputNames() const
{
    return without(listed(input_), outputOpen() ? ownOutput_ : std::string());
}

std::vector<std::string> PortDevices::outputNames() const
{
    return without(listed(output_), inputOpen() ? ownInput_ : std::string());
}

void PortDevices::openInput(const std::string& name, bool sysexOnly)
{
    input_.Close();
    input_.SetProductName(name);
    input_.SetSysexOnly(sysexOnly);
    const double rate = input_.PortBytesPerSecond();
    input_.SetSysexCeiling(sysexCeilingFor(rate));
    input_.SetCapacity(capacityFor(rate));
    const auto before = portsCalled(listed(output_), kVirtualInName);
    // Started before the port is connected: a sender that starts the moment
    // it is connected (JACK) loses its first messages otherwise.
    if (!input_.OpenStarted()) throw EMidiInputError(input_.OpenError());
    ownInput_ = appeared(before, listed(output_), kVirtualInName);
}

void PortDevices::closeInput()
{
    if (input_.State() != misOpen) return;
    input_.Close();
    unfinished_ = input_.UnfinishedBytes();
}

void PortDevices::openOutput(const std::string& name)
{
    output_.Close();
    output_.SetProductName(name);
    const auto before = portsCalled(listed(input_), kVirtualOutName);
    if (!output_.Open()) throw EmidioutputError(output_.OpenError());
    ownOutput_ = appeared(before, listed(input_), kVirtualOutName);
}

std::uint32_t PortDevices::takeOverflowDrops()
{
    const std::uint64_t total = input_.DroppedEvents();
    const std::uint64_t fresh = total - reportedDrops_;
    reportedDrops_ = total;
    return fresh > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(fresh);
}

MidiLosses PortDevices::takeLosses()
{
    MidiLosses fresh;
    const std::uint64_t events = input_.LostEvents();
    const std::uint64_t cut = input_.GapDiscards();
    const std::uint64_t mixed = input_.MixedMessages();
    const auto clamp = [](std::uint64_t n) { return n > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(n); };
    fresh.events = clamp(events - reportedLost_);
    fresh.messages = clamp(cut - reportedCut_);
    fresh.mixed = clamp(mixed - reportedMixed_);
    fresh.severalSenders = input_.SeveralSenders() && !reportedSeveral_;
    const std::uint64_t periods = input_.MissedPeriods();
    fresh.periods = clamp(periods - reportedPeriods_);
    reportedPeriods_ = periods;
    const std::uint64_t overruns = input_.Overruns();
    fresh.overruns = clamp(overruns - reportedOverruns_);
    reportedOverruns_ = overruns;
    reportedLost_ = events;
    reportedCut_ = cut;
    reportedMixed_ = mixed;
    reportedSeveral_ = reportedSeveral_ || fresh.severalSenders;
    return fresh;
}

std::unique_ptr<PortDevices> makeSystemMidiDevices(Shell& shell, std::string_view apiSetting,
                                                   const std::string& clientName)
{
    MidiSystem system = openMidiSystemFromEnvironment(apiSetting, clientName);
    return std::make_unique<PortDevices>(shell, std::move(system.backends.in), std::move(system.backends.out),
                                         std::string(midiApiName(system.api)));
}

}  // namespace tolvex
