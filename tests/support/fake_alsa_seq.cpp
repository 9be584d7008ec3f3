// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/fake_alsa_seq.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace tolvex::testing {

void FakeAlsaSeq::State::addPort(SeqPortInfo port, bool announce)
{
    {
        const std::lock_guard<std::mutex> lock(mutex);
        others.push_back(port);
    }
    if (announce) queue(SeqEvent{SeqEventKind::PortStart, port.addr, {}, {}});
}

void FakeAlsaSeq::State::removePort(SeqAddr addr)
{
    {
        const std::lock_guard<std::mutex> lock(mutex);
        std::erase_if(others, [&](const SeqPortInfo& p) { return p.addr == addr; });
    }
    queue(SeqEvent{SeqEventKind::PortExit, addr, {}, {}});
}

void FakeAlsaSeq::State::deliver(SeqAddr source, int port, ByteView bytes)
{
    const std::lock_guard<std::mutex> lock(mutex);
    inputBytes.emplace_back(bytes.begin(), bytes.end());
    input.emplace_back(1, SeqEvent{SeqEventKind::Data, source, {kSelf, port}, {}});
    changed.notify_all();
}

void FakeAlsaSeq::State::queue(SeqEvent event, int code)
{
    const std::lock_guard<std::mutex> lock(mutex);
    input.emplace_back(code, event);
    changed.notify_all();
}

std::vector<SeqPortInfo> FakeAlsaSeq::ports()
{
    const std::lock_guard<std::mutex> lock(state_->mutex);
    std::vector<SeqPortInfo> all = state_->others;
    for (const auto& [port, name] : state_->ours) {
        SeqPortInfo own;
        own.addr = {kSelf, port};
        own.clientName = "Fake Tolvex";
        own.portName = name;
        own.readable = own.writable = true;
        all.push_back(own);
    }
    // The system's own ports are always there.
    all.push_back(SeqPortInfo{{0, 1}, "System", "Announce", true, false, true});
    return all;
}

int FakeAlsaSeq::createPort(const std::string& name, bool, bool)
{
    const std::lock_guard<std::mutex> lock(state_->mutex);
    state_->ours.emplace_back(nextPort_, name);
    return nextPort_++;
}

void FakeAlsaSeq::deletePort(int port)
{
    const std::lock_guard<std::mutex> lock(state_->mutex);
    std::erase_if(state_->ours, [&](const auto& p) { return p.first == port; });
}

int FakeAlsaSeq::connect(SeqAddr sender, SeqAddr dest)
{
    const std::lock_guard<std::mutex> lock(state_->mutex);
    const auto there = [&](SeqAddr a) {
        return a.client == kSelf ||
               std::any_of(state_->others.begin(), state_->others.end(), [&](const auto& p) { return p.addr == a; });
    };
    return there(sender) && there(dest) ? 0 : -ENOENT;
}

int FakeAlsaSeq::output(int, ByteView bytes, bool sysex)
{
    std::unique_lock<std::mutex> lock(state_->mutex);
    State& s = *state_;
    const int index = static_cast<int>(s.sent.size());
    if (index == s.holdAt) s.changed.wait(lock, [&] { return !s.hold; });
    if (s.fullEvery > 0 && index > 0 && index % s.fullEvery == 0 && s.fullTries < s.fullFor * (index / s.fullEvery)) {
        ++s.fullTries;
        return -EAGAIN;
    }
    if (index == s.refuseAt) return -EINVAL;
    if (s.receiverFree >= 0) {
        const int cells = seqCells(bytes.size(), sysex);
        if (cells > s.receiverFree) {
            ++s.overflows;
            return -EAGAIN;
        }
        s.receiverFree -= cells;
    }
    s.sent.push_back(Sent{Bytes(bytes.begin(), bytes.end()), sysex, s.nowNs});
    return 0;
}

bool FakeAlsaSeq::waitInput(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return !state_->input.empty() || state_->woken; });
    state_->woken = false;
    return !state_->input.empty();
}

int FakeAlsaSeq::input(SeqEvent& event)
{
    const std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->input.empty()) return 0;
    auto [code, ev] = state_->input.front();
    state_->input.pop_front();
    if (code != 1) return code;
    event = ev;
    if (ev.kind == SeqEventKind::Data) {
        current_ = std::move(state_->inputBytes.front());
        state_->inputBytes.pop_front();
        event.bytes = current_;
    }
    return 1;
}

void FakeAlsaSeq::wake()
{
    const std::lock_guard<std::mutex> lock(state_->mutex);
    state_->woken = true;
    state_->changed.notify_all();
}

std::int64_t FakeAlsaSeq::nowNs()
{
    const std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->nowNs;
}

void FakeAlsaSeq::sleepNs(std::int64_t ns)
{
    const std::lock_guard<std::mutex> lock(state_->mutex);
    state_->nowNs += ns;
    if (state_->receiverFree >= 0)
        state_->receiverFree = static_cast<int>(
            std::min<std::int64_t>(kSeqPoolCells, state_->receiverFree + ns * state_->readsPerMs / 1'000'000));
}

int FakeAlsaSeq::destinationRoom(int)
{
    std::unique_lock<std::mutex> lock(state_->mutex);
    State& s = *state_;
    if (s.receiverFree == s.holdWhenFree) s.changed.wait(lock, [&] { return !s.hold; });
    return s.receiverFree;
}

}  // namespace tolvex::testing
