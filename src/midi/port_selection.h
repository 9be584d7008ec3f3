// SPDX-License-Identifier: GPL-3.0-or-later
// What the input and the output device share: choosing a port by number or by
// name, the state of the open port, and the notice of a port lost on the
// back-end's thread.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "midi/midi_backend.h"

namespace tolvex {

// The port a device has chosen. Device is the device class (CRTP: it says
// whether it is open through `portOpen()`), Failure its exception type carrying
// the user's text, Id the type of its device numbers. `notInstalled` is the
// text around a missing name: "<prefix><name><suffix>".
template <class Device, class Failure, class Backend, class Id>
class PortChoice {
public:
    // Numdevs is counted at creation; DeviceNames() asks the back-end again.
    void SetDeviceID(Id id)
    {
        if (open()) throw Failure("Change to DeviceID while device was open");
        FProductName = portAt(DeviceNames(), id);
        FDeviceID = id;
    }
    Id DeviceID() const { return FDeviceID; }
    void SetProductName(const std::string& name)
    {
        if (open()) throw Failure("Change to ProductName while device was open");
        auto list = DeviceNames();
        if (std::find(list.begin(), list.end(), name) == list.end()) list = freshDeviceNames();
        const auto it = std::find(list.begin(), list.end(), name);
        if (it == list.end()) throw Failure(notInstalledPrefix_ + name + notInstalledSuffix_);
        // Ports come and go: the count SetDeviceID checks against is the one just read.
        FNumdevs = portCount(list);
        SetDeviceID(static_cast<Id>(it - list.begin()));
        if (FProductName != name) throw Failure(notInstalledPrefix_ + name + notInstalledSuffix_);
    }
    const std::string& ProductName() const { return FProductName; }
    std::uint16_t Numdevs() const { return FNumdevs; }
    // The back-end's port names; its failure becomes Failure with the same text.
    std::vector<std::string> DeviceNames() { return names(false); }
    // As DeviceNames, asked of the service now (a port that has just appeared is there).
    std::vector<std::string> freshDeviceNames() { return names(true); }
    MidiErrorCode Error() const { return FError; }
    // The back-end's text for the user after a failed Open.
    const std::string& OpenError() const { return FOpenError; }
    // A number of its own for every open, 0 while closed.
    std::uint32_t MIDIHandle() const { return FMIDIHandle; }

protected:
    PortChoice(std::unique_ptr<Backend> backend, const char* notInstalledPrefix, const char* notInstalledSuffix)
        : backend_(std::move(backend)), notInstalledPrefix_(notInstalledPrefix), notInstalledSuffix_(notInstalledSuffix)
    {
    }
    ~PortChoice() = default;

    // Counts the ports and chooses the first; a broken MIDI service leaves the
    // program working on files with no device chosen.
    void chooseFirstPort()
    {
        std::vector<std::string> list;
        try {
            list = backend_->portNames();
        } catch (const MidiBackendError&) {
            return;
        }
        FNumdevs = portCount(list);
        if (FNumdevs == 0) return;
        try {
            SetDeviceID(0);
        } catch (const Failure&) {
            // The service failed between the two reads: no device is chosen yet.
        }
    }

    std::unique_ptr<Backend> backend_;
    Id FDeviceID = 0;
    std::string FProductName;
    std::uint16_t FNumdevs = 0;
    MidiErrorCode FError = MidiErrorCode::None;
    std::string FOpenError;
    std::uint32_t FMIDIHandle = 0;

    static std::uint32_t nextHandle()
    {
        static std::atomic<std::uint32_t> handles{0};
        return ++handles;
    }

private:
    std::vector<std::string> names(bool fresh)
    {
        try {
            return fresh ? backend_->freshPortNames() : backend_->portNames();
        } catch (const MidiBackendError& e) {
            FError = e.code;
            throw Failure(e.what());
        }
    }
    bool open() const { return static_cast<const Device*>(this)->portOpen(); }
    // "Invalid device ID" unless id is below Numdevs and the list (read now) still holds it.
    const std::string& portAt(const std::vector<std::string>& list, Id id) const
    {
        const auto at = static_cast<std::int64_t>(id);
        if (at < 0 || at >= FNumdevs || static_cast<std::size_t>(at) >= list.size()) throw Failure("Invalid device ID");
        return list[static_cast<std::size_t>(at)];
    }
    static std::uint16_t portCount(const std::vector<std::string>& list)
    {
        return static_cast<std::uint16_t>(std::min<std::size_t>(list.size(), 0xFFFF));
    }

    std::string notInstalledPrefix_;
    std::string notInstalledSuffix_;
};

// A port lost on the back-end's thread, told to the main thread once per open.
// claim() keeps the first reason; the text is written before the flag.
struct PortLostNotice {
    bool claim(const char* why) noexcept
    {
        if (claimed.exchange(true)) return false;
        std::strncpy(reason, why, sizeof reason - 1);
        reason[sizeof reason - 1] = '\0';
        lost.store(true, std::memory_order_release);
        return true;
    }
    void reset() noexcept
    {
        lost.store(false);
        claimed.store(false);
    }
    bool isLost() const noexcept { return lost.load(std::memory_order_acquire); }

    std::atomic<bool> claimed{false};
    std::atomic<bool> lost{false};
    char reason[256] = {};
};

}  // namespace tolvex
