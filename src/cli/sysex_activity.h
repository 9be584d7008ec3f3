// SPDX-License-Identifier: GPL-3.0-or-later
// What `receive` counts as activity: SysEx bytes, also those of a message
// still arriving, and nothing else. Notes, clock or Active Sensing (FE every
// 300 ms) go on under a silence of SysEx and must not keep a receive waiting.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "midi/port_devices.h"

namespace tolvex {

// The platform's or the loopback's devices whose input counts, on the
// driver's thread, the SysEx bytes it delivers (F0 to F7, real-time bytes
// inside a message not included) before passing every byte on unchanged.
class SysexCountingDevices : public PortDevices {
public:
    SysexCountingDevices(Shell& shell, std::unique_ptr<MidiInBackend> in, std::unique_ptr<MidiOutBackend> out,
                         std::string systemName = {});
    // SysEx bytes the input has delivered since the devices were made.
    std::uint64_t sysexBytes() const { return count_->load(std::memory_order_relaxed); }

private:
    SysexCountingDevices(Shell& shell, std::unique_ptr<MidiInBackend> in, std::unique_ptr<MidiOutBackend> out,
                         std::string systemName, std::shared_ptr<std::atomic<std::uint64_t>> count);
    std::shared_ptr<std::atomic<std::uint64_t>> count_;
};

}  // namespace tolvex
