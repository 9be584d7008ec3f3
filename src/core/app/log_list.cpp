// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/log_list.h"

namespace tolvex {

int LogList::LogString(const std::string& text)
{
    if (text.empty() || logItemMax <= 0) return 0;
    while (static_cast<int>(lines_.size()) >= logItemMax) lines_.pop_front();
    lines_.push_back(text);
    ++appended;
    selected = static_cast<int>(lines_.size()) - 1;
    topIndex = selected - LogItemsVis + 1;
    if (topIndex < 0) topIndex = 0;
    changed();
    return selected;
}

void LogList::replace(int index, const std::string& text)
{
    if (index < 0 || index >= static_cast<int>(lines_.size())) return;
    lines_[static_cast<std::size_t>(index)] = text;
    ++replaced;
    changed();
}

void LogList::clear()
{
    lines_.clear();
    selected = -1;
    topIndex = 0;
    ++cleared;
    changed();
}

}  // namespace tolvex
