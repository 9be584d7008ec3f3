// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's two MIDI devices over one pair of back-ends.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "core/app/midi_devices.h"
#include "core/app/shell.h"
#include "midi/midi_input.h"
#include "midi/midi_output.h"

namespace tolvex {

class PortDevices : public MidiDevices {
public:
    // The input holds, unread, at least 10 seconds of the fastest traffic its
    // port can deliver and at least one message of 16 MiB with room to spare;
    // both are reserved address space, filled only as traffic needs it.
    // SysEx reaches the assembler in events of kSysexBufferSize bytes.
    static constexpr double kHeldSeconds = 10;
    static constexpr std::size_t kMinSysexCeiling = 17u << 20;
    static constexpr std::uint32_t kMinCapacity = 1u << 20;
    static constexpr std::uint16_t kSysexBufferSize = 4096;
    // The input's settings for a port delivering at most `bytesPerSecond`.
    static std::size_t sysexCeilingFor(double bytesPerSecond);
    static std::uint32_t capacityFor(double bytesPerSecond);

    // `systemName` says which MIDI service the back-ends use ("alsa", "jack", "none").
    PortDevices(Shell& shell, std::unique_ptr<MidiInBackend> in, std::unique_ptr<MidiOutBackend> out,
                std::string systemName = {});
    const std::string& systemName() const { return systemName_; }

    // Asked anew on each call, so devices plugged in later show up. Neither
    // list holds the open port of the other direction: where the service lists
    // this program's ports like any other program's (JACK), choosing the
    // input's own port as the output would loop the output into the input.
    std::vector<std::string> inputNames() const override;
    std::vector<std::string> outputNames() const override;
    void openInput(const std::string& name, bool sysexOnly) override;
    void closeInput() override;
    void openOutput(const std::string& name) override;
    void closeOutput() override { output_.Close(); }
    bool inputOpen() const override { return input_.State() == misOpen; }
    bool outputOpen() const override { return output_.State() == mosOpen; }
    MidiOutPort* output() override { return outputOpen() ? &output_ : nullptr; }
    std::optional<TMyMidiEvent> GetMidiEvent() override { return input_.GetMidiEvent(); }
    std::uint32_t takeOverflowDrops() override;
    MidiLosses takeLosses() override;
    std::size_t takeUnfinishedInput() override { return std::exchange(unfinished_, 0); }
    std::size_t unfinishedInput() const override { return unfinished_; }

    TMidiInput& input() { return input_; }
    TMidiOutput& outputDevice() { return output_; }

private:
    // Listing asks the back-end, which is not a const operation for the devices.
    mutable TMidiInput input_;
    mutable TMidiOutput output_;
    std::string systemName_;
    // How the other direction lists the port of the open input (output); empty
    // where it does not list it.
    std::string ownInput_, ownOutput_;
    std::size_t unfinished_ = 0;
    std::uint64_t reportedDrops_ = 0;
    std::uint64_t reportedLost_ = 0;
    std::uint64_t reportedCut_ = 0;
    std::uint64_t reportedMixed_ = 0;
    std::uint64_t reportedPeriods_ = 0;
    std::uint64_t reportedOverruns_ = 0;
    bool reportedSeveral_ = false;
};

// The devices of the platform's MIDI service: TOLVEX_MIDI_API, else `apiSetting`
// ("alsa", "jack", anything else: whichever is there), else none (no devices).
std::unique_ptr<PortDevices> makeSystemMidiDevices(Shell& shell, std::string_view apiSetting = {},
                                                   const std::string& clientName = "Tolvex");

}  // namespace tolvex
