#include "core/sysex/message_list.h"

#include <algorithm>

namespace tolvex {

void MessageList::mark(std::size_t index, bool selected)
{
    entries_[index].selected = selected;
    if (selected)
        selected_.insert(index);
    else
        selected_.erase(index);
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
    for (std::size_t i : selected_) entries_[i].selected = false;
    selected_.clear();
    mark(index, true);
    notify(Change::Selection, 0, entries_.size());
}

void MessageList::selectAll(bool selected)
{
    selected_.clear();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        entries_[i].selected = selected;
        if (selected) selected_.insert(selected_.end(), i);
    }
    notify(Change::Selection, 0, entries_.size());
}

void MessageList::setSelection(const std::vector<bool>& selected)
{
    selected_.clear();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        entries_[i].selected = i < selected.size() && selected[i];
        if (entries_[i].selected) selected_.insert(selected_.end(), i);
    }
    notify(Change::Selection, 0, entries_.size());
}

TSXstorage& MessageList::append(std::string text, std::unique_ptr<TSXstorage> storage)
{
    if (!storage) storage = std::make_unique<TSXstorage>();
    entries_.push_back(MessageEntry{std::move(text), std::move(storage), false});
    notify(Change::Appended, entries_.size() - 1, 1);
    return *entries_.back().storage;
}

TSXstorage& MessageList::append(std::string text, Bytes sxdata, std::string filename)
{
    auto storage = std::make_unique<TSXstorage>();
    storage->sxdata = std::move(sxdata);
    storage->filename = std::move(filename);
    return append(std::move(text), std::move(storage));
}

void MessageList::removeAt(std::size_t index)
{
    if (index >= entries_.size()) return;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
    // Later selected indexes move up by one.
    std::set<std::size_t> moved;
    for (std::size_t i : selected_)
        if (i != index) moved.insert(moved.end(), i > index ? i - 1 : i);
    selected_.swap(moved);
    if (current_ == static_cast<long>(index))
        current_ = -1;
    else if (current_ > static_cast<long>(index))
        --current_;
    notify(Change::Removed, index, 1);
}

void MessageList::removeSelected()
{
    if (selected_.empty()) return;
    std::size_t kept = 0;
    long current = -1;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].selected) continue;
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
    selected_.clear();
    current_ = -1;
    notify(Change::Reset, 0, 0);
}

void MessageList::makeCurrent(std::size_t index)
{
    if (index >= entries_.size()) return;
    for (std::size_t i : selected_) entries_[i].selected = false;
    selected_.clear();
    mark(index, true);
    current_ = static_cast<long>(index);
    notify(Change::Current, index, 1);
}

}  // namespace tolvex
