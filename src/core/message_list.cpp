#include "core/message_list.h"

#include <algorithm>

namespace tolvex {

void MessageList::setSelected(std::size_t index, bool selected)
{
    entries_.at(index).selected = selected;
    notify(Change::Selection, 0, entries_.size());
}

void MessageList::selectAll(bool selected)
{
    for (auto& e : entries_) e.selected = selected;
    notify(Change::Selection, 0, entries_.size());
}

void MessageList::setSelection(const std::vector<bool>& selected)
{
    for (std::size_t i = 0; i < entries_.size(); ++i) entries_[i].selected = i < selected.size() && selected[i];
    notify(Change::Selection, 0, entries_.size());
}

std::size_t MessageList::selectedCount() const
{
    return static_cast<std::size_t>(
        std::count_if(entries_.begin(), entries_.end(), [](const MessageEntry& e) { return e.selected; }));
}

std::vector<std::size_t> MessageList::selectedIndexes() const
{
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].selected) out.push_back(i);
    return out;
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
    if (current_ == static_cast<long>(index))
        current_ = -1;
    else if (current_ > static_cast<long>(index))
        --current_;
    notify(Change::Removed, index, 1);
}

void MessageList::removeSelected()
{
    // Walk from the end so earlier indexes stay valid while removing.
    for (std::size_t i = entries_.size(); i-- > 0;)
        if (entries_[i].selected) removeAt(i);
}

void MessageList::clear()
{
    entries_.clear();
    current_ = -1;
    notify(Change::Reset, 0, 0);
}

void MessageList::makeCurrent(std::size_t index)
{
    if (index >= entries_.size()) return;
    for (auto& e : entries_) e.selected = false;
    entries_[index].selected = true;
    current_ = static_cast<long>(index);
    notify(Change::Current, index, 1);
}

}  // namespace tolvex
