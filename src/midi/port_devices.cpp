#include "midi/port_devices.h"

#include <algorithm>

#include "midi/rtmidi_backend.h"

namespace tolvex {

PortDevices::PortDevices(Shell& shell, std::unique_ptr<MidiInBackend> in, std::unique_ptr<MidiOutBackend> out)
    : input_(shell, std::move(in)), output_(shell, std::move(out))
{
    input_.SetSysexBufferSize(kSysexBufferSize);
    input_.OnMidiInput = [this](TMidiInput&) {
        if (onInput) onInput();
    };
    input_.OnOverflow = [this](TMidiInput&) {
        if (onOverflow) onOverflow();
    };
    input_.OnLost = [this](TMidiInput&, const std::string& reason) {
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

std::vector<std::string> PortDevices::inputNames() const
{
    try {
        return input_.DeviceNames();
    } catch (const TolvexError&) {
        return {};
    }
}

std::vector<std::string> PortDevices::outputNames() const
{
    try {
        return output_.DeviceNames();
    } catch (const TolvexError&) {
        return {};
    }
}

void PortDevices::openInput(const std::string& name, bool sysexOnly)
{
    input_.Close();
    input_.SetProductName(name);
    input_.SetSysexOnly(sysexOnly);
    const double rate = input_.PortBytesPerSecond();
    input_.SetSysexCeiling(sysexCeilingFor(rate));
    input_.SetCapacity(capacityFor(rate));
    if (!input_.Open()) throw EMidiInputError(input_.OpenError());
    input_.Start();
}

void PortDevices::openOutput(const std::string& name)
{
    output_.Close();
    output_.SetProductName(name);
    if (!output_.Open()) throw EmidioutputError(output_.OpenError());
}

std::uint32_t PortDevices::takeOverflowDrops()
{
    const std::uint64_t total = input_.DroppedEvents();
    const std::uint64_t fresh = total - reportedDrops_;
    reportedDrops_ = total;
    return fresh > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(fresh);
}

std::unique_ptr<PortDevices> makeSystemMidiDevices(Shell& shell, std::string_view apiSetting,
                                                   const std::string& clientName)
{
    const MidiApi api = chooseMidiApiFromEnvironment(apiSetting);
    return std::make_unique<PortDevices>(shell, makeRtMidiIn(api, clientName), makeRtMidiOut(api, clientName));
}

}  // namespace tolvex
