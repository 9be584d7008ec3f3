// The stored messages of the Objects Window and the list that owns them.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/text/bytes.h"

namespace tolvex {

// One stored message: its bytes and where it came from or was last saved to.
struct TSXstorage {
    Bytes sxdata;
    std::string filename;
    bool unsaved = false;  // received over MIDI and not saved to a file since
};

struct MessageEntry {
    std::string text;                     // the line shown in the list
    std::unique_ptr<TSXstorage> storage;  // owned; destroyed with the entry
    bool selected = false;
};

// Ordered, multi-selectable list. Indexes are 0-based and new entries are
// appended, so an index stays valid for older entries until something is removed.
// The selected indexes are also kept apart, so appending, making the newest
// entry current and reading the selection cost the same however long the list.
class MessageList {
public:
    enum class Change { Appended, Removed, Reset, Selection, Current };
    // `first`/`count` give the rows affected (Appended, Removed, Current);
    // Reset and Selection refer to the whole list.
    using Listener = std::function<void(Change, std::size_t first, std::size_t count)>;

    std::size_t count() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    const MessageEntry& at(std::size_t index) const { return entries_.at(index); }
    TSXstorage& storageAt(std::size_t index) { return *entries_.at(index).storage; }
    const std::string& textAt(std::size_t index) const { return entries_.at(index).text; }

    bool selectedAt(std::size_t index) const { return entries_.at(index).selected; }
    void setSelected(std::size_t index, bool selected);
    void selectAll(bool selected);
    // Selects `index` alone (a click in the list); the current entry stays.
    void selectOnly(std::size_t index);
    // Sets every entry's flag at once (missing flags count as unselected).
    void setSelection(const std::vector<bool>& selected);
    std::size_t selectedCount() const { return selected_.size(); }
    // In list order.
    std::vector<std::size_t> selectedIndexes() const { return {selected_.begin(), selected_.end()}; }

    // Appends and returns the new entry's storage (owned by the list).
    TSXstorage& append(std::string text, std::unique_ptr<TSXstorage> storage);
    TSXstorage& append(std::string text, Bytes sxdata, std::string filename);
    void removeAt(std::size_t index);
    // Removes every selected entry in one pass, keeping the order of the others.
    void removeSelected();
    void clear();

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

    std::vector<MessageEntry> entries_;
    std::set<std::size_t> selected_;  // indexes of the entries whose flag is set
    long current_ = -1;
    Listener listener_;
};

}  // namespace tolvex
