// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/shell.h"

namespace tolvex {

int WakeupTable::add(std::function<void()> handler)
{
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (!slots_[i].handler) {
            slots_[i].pending.store(false);
            slots_[i].handler = std::move(handler);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void WakeupTable::remove(int id)
{
    if (id < 0 || id >= static_cast<int>(slots_.size())) return;
    slots_[static_cast<std::size_t>(id)].handler = nullptr;
    slots_[static_cast<std::size_t>(id)].pending.store(false);
}

bool WakeupTable::set(int id)
{
    if (id < 0 || id >= static_cast<int>(slots_.size())) return false;
    return !slots_[static_cast<std::size_t>(id)].pending.exchange(true, std::memory_order_acq_rel);
}

bool WakeupTable::runPending()
{
    bool ran = false;
    for (auto& slot : slots_) {
        // Clear before running, so a wake that arrives during the handler is not lost.
        if (slot.pending.exchange(false, std::memory_order_acq_rel) && slot.handler) {
            auto handler = slot.handler;  // the handler may unregister itself
            handler();
            ran = true;
        }
    }
    return ran;
}

void PostedCalls::post(std::function<void()> call)
{
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
}

void PostedCalls::runAll()
{
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (calls_.empty()) return;
            call = std::move(calls_.front());
            calls_.pop_front();
        }
        call();
    }
}

}  // namespace tolvex
