#include "midi/port_devices.h"

#include "midi/rtmidi_backend.h"

namespace tolvex {

PortDevices::PortDevices(Shell& shell, std::unique_ptr<MidiInBackend> in, std::unique_ptr<MidiOutBackend> out)
    : input_(shell, std::move(in)), output_(shell, std::move(out))
{
    input_.SetCapacity(kCapacity);
    input_.SetSysexBufferSize(kSysexBufferSize);
    input_.SetSysexBufferCount(kSysexBufferCount);
    input_.OnMidiInput = [this](TMidiInput&) {
        if (onInput) onInput();
    };
    input_.OnOverflow = [this](TMidiInput&) {
        if (onOverflow) onOverflow();
    };
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
