// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/loopback.h"

#include <algorithm>

namespace tolvex {

// What both ends share: the bus, the port they have open, and opening a port
// by name under the bus's lock.
template <class Backend, class Watcher>
class MidiLoopback::End : public Backend {
public:
    explicit End(MidiLoopback& bus) : bus_(bus) {}

    std::vector<std::string> portNames() override { return bus_.names(); }

    void open(const std::string& name, Watcher& watcher) final
    {
        std::lock_guard<std::mutex> lock(bus_.mutex_);
        Port* port = bus_.find(name);
        if (port == nullptr) throw MidiBackendError(MidiErrorCode::NoSuchPort, "No loopback port " + name);
        attach(*port, watcher);
        open_ = name;
    }

    void close() final
    {
        std::lock_guard<std::mutex> lock(bus_.mutex_);
        detach(bus_.find(open_));
        open_.clear();
    }

protected:
    ~End() override = default;
    // Ties the watcher to the port (the lock is held); throws when it cannot.
    virtual void attach(Port& port, Watcher& watcher) = 0;
    // Unties it (the lock is held); `port` is null when no port is open.
    virtual void detach(Port* port) = 0;

    MidiLoopback& bus_;
    std::string open_;
};

class MidiLoopback::Input final : public End<MidiInBackend, MidiReceiver> {
public:
    using End::End;
    ~Input() override { close(); }

private:
    void attach(Port& port, MidiReceiver& receiver) override
    {
        if (port.input != nullptr)
            throw MidiBackendError(MidiErrorCode::PortInUse, "Loopback port " + port.name + " is already open");
        port.input = &receiver;
    }

    void detach(Port* port) override
    {
        if (port != nullptr) port->input = nullptr;
    }
};

class MidiLoopback::Output final : public End<MidiOutBackend, MidiSendDone> {
public:
    using End::End;
    ~Output() override { close(); }

    void send(ByteView message, bool notifyDone) override
    {
        std::function<void(ByteView)> device;
        {
            std::lock_guard<std::mutex> lock(bus_.mutex_);
            Port* port = bus_.find(open_);
            if (port == nullptr || done_ == nullptr)
                throw MidiBackendError(MidiErrorCode::NoSuchPort, "Loopback output not open");
            if (port->failing) throw MidiBackendError(MidiErrorCode::Driver, "Loopback port " + open_ + " failed");
            if (port->device) {
                device = port->device;
            } else if (port->input != nullptr) {
                port->input->receive(message);
            }
            if (notifyDone && bus_.hold_) {
                bus_.held_.push_back(done_);
                notifyDone = false;
            }
        }
        // Outside the lock: the device may answer at once through inject().
        if (device) device(message);
        if (notifyDone) done_->sendDone();
    }

private:
    void attach(Port& port, MidiSendDone& done) override
    {
        port.outputs.push_back(&done);
        done_ = &done;
    }

    void detach(Port* port) override
    {
        // A held completion must not reach a closed output.
        std::erase(bus_.held_, done_);
        if (port != nullptr) std::erase(port->outputs, done_);
        done_ = nullptr;
    }

    MidiSendDone* done_ = nullptr;
};

MidiLoopback::MidiLoopback(std::vector<std::string> ports)
{
    for (auto& name : ports) ports_.push_back(Port{std::move(name), nullptr, {}, {}, false});
}

std::unique_ptr<MidiInBackend> MidiLoopback::makeInput()
{
    return std::make_unique<Input>(*this);
}

std::unique_ptr<MidiOutBackend> MidiLoopback::makeOutput()
{
    return std::make_unique<Output>(*this);
}

MidiLoopback::Port* MidiLoopback::find(const std::string& name)
{
    const auto it = std::find_if(ports_.begin(), ports_.end(), [&](const Port& p) { return p.name == name; });
    return it == ports_.end() ? nullptr : &*it;
}

std::vector<std::string> MidiLoopback::names() const
{
    std::vector<std::string> out;
    for (const Port& p : ports_) out.push_back(p.name);
    return out;
}

void MidiLoopback::inject(const std::string& port, ByteView message)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Port* p = find(port);
    if (p != nullptr && p->input != nullptr) p->input->receive(message);
}

void MidiLoopback::missPeriod(const std::string& port)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Port* p = find(port);
    if (p != nullptr && p->input != nullptr) p->input->periodMissed();
}

void MidiLoopback::overrun(const std::string& port)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Port* p = find(port);
    if (p != nullptr && p->input != nullptr) p->input->inputOverrun();
}

bool MidiLoopback::inputOpen(const std::string& port)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const Port* p = find(port);
    return p != nullptr && p->input != nullptr;
}

void MidiLoopback::lose(const std::string& port, const std::string& reason)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Port* p = find(port);
    if (p == nullptr) return;
    if (p->input != nullptr) p->input->portLost(reason.c_str());
    for (MidiSendDone* out : p->outputs) out->portLost(reason.c_str());
}

void MidiLoopback::failSends(const std::string& port, bool fail)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (Port* p = find(port)) p->failing = fail;
}

void MidiLoopback::attach(const std::string& port, std::function<void(ByteView)> device)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (Port* p = find(port)) p->device = std::move(device);
}

void MidiLoopback::holdDone(bool hold)
{
    std::lock_guard<std::mutex> lock(mutex_);
    hold_ = hold;
}

void MidiLoopback::releaseDone()
{
    std::vector<MidiSendDone*> done;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done.swap(held_);
    }
    for (MidiSendDone* d : done) d->sendDone();
}

}  // namespace tolvex
