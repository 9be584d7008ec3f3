// SPDX-License-Identifier: GPL-3.0-or-later
// The stored messages of the Objects Window and the list that owns them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/bytes.h"

namespace tolvex {

// An immutable text that copies share instead of duplicating: every entry read
// from one file holds the one copy of its path. Eight bytes, and one
// allocation of the characters plus eight; reads as a string. Reference-counted
// without atomics: the list and its entries live on the main thread only.
class SharedText {
public:
    SharedText() = default;
    SharedText(std::string_view text);  // NOLINT: a text is assigned like a string
    SharedText(const std::string& text) : SharedText(std::string_view(text)) {}
    SharedText(const char* text) : SharedText(std::string_view(text)) {}
    SharedText(const SharedText& other) noexcept : block_(other.block_)
    {
        if (block_) ++block_->refs;
    }
    SharedText(SharedText&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
    SharedText& operator=(const SharedText& other) noexcept
    {
        SharedText(other).swap(*this);
        return *this;
    }
    SharedText& operator=(SharedText&& other) noexcept
    {
        SharedText(std::move(other)).swap(*this);
        return *this;
    }
    ~SharedText() { release(); }

    std::string_view view() const
    {
        return block_ ? std::string_view(reinterpret_cast<const char*>(block_ + 1), block_->size) : std::string_view();
    }
    std::string str() const { return std::string(view()); }
    operator std::string() const { return str(); }  // NOLINT: reads as the string it holds
    bool empty() const { return block_ == nullptr; }
    std::size_t size() const { return block_ ? block_->size : 0; }
    void swap(SharedText& other) noexcept { std::swap(block_, other.block_); }

    friend bool operator==(const SharedText& a, const SharedText& b) { return a.view() == b.view(); }
    friend bool operator==(const SharedText& a, const std::string& b) { return a.view() == b; }
    friend bool operator==(const SharedText& a, const char* b) { return a.view() == b; }
    friend std::string operator+(const std::string& a, const SharedText& b) { return a + std::string(b.view()); }
    friend std::string operator+(const char* a, const SharedText& b) { return a + std::string(b.view()); }
    friend std::string operator+(const SharedText& a, const std::string& b) { return a.str() + b; }
    friend std::string operator+(const SharedText& a, const char* b) { return a.str() + b; }
    friend std::ostream& operator<<(std::ostream& out, const SharedText& t);

private:
    struct Block {  // followed by the characters
        std::uint32_t refs;
        std::uint32_t size;
    };
    void release() noexcept;

    Block* block_ = nullptr;  // nullptr: the empty text
};

// One stored message: its bytes and where it came from or was last saved to.
struct TSXstorage {
    Bytes sxdata;
    SharedText filename;
    bool unsaved = false;    // received over MIDI and not saved to a file since
    std::uint8_t doubt = 0;  // received: MidiDoubt bits, why it may be damaged (0: nothing known against it)
};

// One entry of the list. The storage belongs to the list and keeps its address
// until the entry is removed (or the list cleared), however the list grows.
struct MessageEntry {
    SharedText text;                // the line shown in the list
    TSXstorage* storage = nullptr;  // owned by the list
    bool selected = false;
};

// Ordered, multi-selectable list. Indexes are 0-based and new entries are
// appended, so an index stays valid for older entries until something is removed.
// The selected indexes are also kept apart (sorted), so appending, making the
// newest entry current and reading the selection cost the same however long the list.
// An entry costs about 90 bytes besides its message bytes: a text or file name
// equal to the one of the entry before is shared, not copied.
class MessageList {
public:
    enum class Change { Appended, Removed, Reset, Selection, Current };
    // `first`/`count` give the rows affected (Appended, Removed, Current);
    // Reset and Selection refer to the whole list.
    using Listener = std::function<void(Change, std::size_t first, std::size_t count)>;

    MessageList() = default;
    MessageList(const MessageList&) = delete;
    MessageList& operator=(const MessageList&) = delete;

    std::size_t count() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    const MessageEntry& at(std::size_t index) const { return entries_.at(index); }
    TSXstorage& storageAt(std::size_t index) { return *entries_.at(index).storage; }
    std::string textAt(std::size_t index) const { return entries_.at(index).text.str(); }
    std::string_view textViewAt(std::size_t index) const { return entries_.at(index).text.view(); }

    bool selectedAt(std::size_t index) const { return entries_.at(index).selected; }
    void setSelected(std::size_t index, bool selected);
    void selectAll(bool selected);
    // Selects `index` alone (a click in the list); the current entry stays.
    void selectOnly(std::size_t index);
    // Sets every entry's flag at once (missing flags count as unselected).
    void setSelection(const std::vector<bool>& selected);
    std::size_t selectedCount() const { return selected_.size(); }
    // In list order.
    std::vector<std::size_t> selectedIndexes() const { return selected_; }

    // Appends and returns the new entry's storage (owned by the list). The
    // texts are copied only when they differ from the entry before.
    TSXstorage& append(std::string_view text, std::unique_ptr<TSXstorage> storage);
    TSXstorage& append(std::string_view text, Bytes sxdata, std::string_view filename);
    void removeAt(std::size_t index);
    // Removes every selected entry in one pass, keeping the order of the others.
    void removeSelected();
    void clear();
    // For a process about to end: empties the list without freeing its
    // entries' memory, which the system takes back at once (freeing a million
    // entries one by one costs more than reading them). Everything is still
    // freed in a build with the leak checker.
    void abandon();

    // Makes `index` the current entry and the only selected one.
    void makeCurrent(std::size_t index);
    // Makes `index` current without touching the selection (a click in the list).
    void setCurrentIndex(std::size_t index)
    {
        if (index < entries_.size()) current_ = static_cast<long>(index);
    }
    // -1 when no entry is current.
    long current() const { return current_; }

    void setListener(Listener listener) { listener_ = std::move(listener); }

private:
    void notify(Change change, std::size_t first, std::size_t count)
    {
        if (listener_) listener_(change, first, count);
    }

    void mark(std::size_t index, bool selected);
    void clearMarks();
    TSXstorage& newStorage();
    void releaseStorage(TSXstorage* storage);

    std::deque<MessageEntry> entries_;      // no spare capacity, no copying as it grows
    std::deque<TSXstorage> pool_;           // the entries' storages, at fixed addresses
    std::vector<TSXstorage*> freeStorage_;  // storages of removed entries, for reuse
    std::vector<std::size_t> selected_;     // sorted indexes of the entries whose flag is set
    long current_ = -1;
    Listener listener_;
};

}  // namespace tolvex
