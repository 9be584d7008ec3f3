// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/sysex_activity.h"

namespace tolvex {

namespace {

// Sits between a back-end and the input it delivers to.
class SysexCountingInput final : public MidiInBackend, private MidiReceiver {
public:
    SysexCountingInput(std::unique_ptr<MidiInBackend> inner, std::shared_ptr<std::atomic<std::uint64_t>> count)
        : inner_(std::move(inner)), count_(std::move(count))
    {
    }
    std::vector<std::string> portNames() override { return inner_->portNames(); }
    void open(const std::string& name, MidiReceiver& receiver) override
    {
        receiver_ = &receiver;
        inSysex_ = false;
        inner_->open(name, *this);
    }
    void close() override { inner_->close(); }
    double fastestBytesPerSecond() override { return inner_->fastestBytesPerSecond(); }

private:
    void receive(ByteView bytes) noexcept override
    {
        std::uint64_t sysex = 0;
        for (const std::uint8_t b : bytes) {
            if (b == 0xF0) {
                inSysex_ = true;
            } else if (b >= 0xF8) {
                continue;  // real-time bytes may come in the middle of a message
            } else if (b >= 0x80 && inSysex_) {
                sysex += b == 0xF7 ? 1 : 0;  // F7 ends the message, another status cuts it
                inSysex_ = false;
                continue;
            }
            if (inSysex_) ++sysex;
        }
        if (sysex > 0) count_->fetch_add(sysex, std::memory_order_relaxed);
        receiver_->receive(bytes);
    }
    void dataLost(std::uint32_t events) noexcept override { receiver_->dataLost(events); }
    void severalSenders() noexcept override { receiver_->severalSenders(); }
    void periodMissed() noexcept override { receiver_->periodMissed(); }
    void portLost(const char* reason) noexcept override { receiver_->portLost(reason); }

    std::unique_ptr<MidiInBackend> inner_;
    std::shared_ptr<std::atomic<std::uint64_t>> count_;
    MidiReceiver* receiver_ = nullptr;
    bool inSysex_ = false;  // the driver's thread only
};

}  // namespace

SysexCountingDevices::SysexCountingDevices(Shell& shell, std::unique_ptr<MidiInBackend> in,
                                           std::unique_ptr<MidiOutBackend> out, std::string systemName)
    : SysexCountingDevices(shell, std::move(in), std::move(out), std::move(systemName),
                           std::make_shared<std::atomic<std::uint64_t>>(0))
{
}

SysexCountingDevices::SysexCountingDevices(Shell& shell, std::unique_ptr<MidiInBackend> in,
                                           std::unique_ptr<MidiOutBackend> out, std::string systemName,
                                           std::shared_ptr<std::atomic<std::uint64_t>> count)
    : PortDevices(shell, std::make_unique<SysexCountingInput>(std::move(in), count), std::move(out),
                  std::move(systemName)),
      count_(std::move(count))
{
}

}  // namespace tolvex
