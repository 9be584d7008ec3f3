// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/circular_buffer.h"

#include <sys/mman.h>

#include <utility>

namespace tolvex {

ReservedMemory::ReservedMemory(std::size_t bytes)
{
    if (bytes == 0) return;
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    data_ = static_cast<std::uint8_t*>(p);
    size_ = bytes;
}

ReservedMemory::~ReservedMemory()
{
    if (data_ != nullptr) ::munmap(data_, size_);
}

ReservedMemory::ReservedMemory(ReservedMemory&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0))
{
}

ReservedMemory& ReservedMemory::operator=(ReservedMemory&& other) noexcept
{
    if (this != &other) {
        if (data_ != nullptr) ::munmap(data_, size_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

}  // namespace tolvex
