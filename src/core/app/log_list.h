// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's log ("Debug Window"): the last lines, addressable by index
// so progress lines can be rewritten in place.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "core/sysex/line_log.h"

namespace tolvex {

class LogList : public LineLog {
public:
    // Appends a line and returns its index; an empty text (or a max of 0) adds
    // nothing and returns 0. At the limit the oldest line is removed first.
    int LogString(const std::string& text) override;
    // Rewrites line `index` when it still exists; otherwise nothing happens.
    void replace(int index, const std::string& text) override;
    void clear();

    int count() const { return static_cast<int>(lines_.size()); }
    const std::string& line(int index) const { return lines_.at(static_cast<std::size_t>(index)); }
    const std::deque<std::string>& lines() const { return lines_; }

    int logItemMax = 300;
    int LogItemsVis = 0;  // lines visible at once, set by the window
    int topIndex = 0;     // first visible line after the last append
    int selected = -1;
    std::uint64_t appended = 0;  // lines ever appended, for mirrors of the log

    std::uint64_t replaced = 0;  // lines ever rewritten
    std::uint64_t cleared = 0;   // times the log was cleared

    // Called after every change (append, replace, clear).
    std::function<void()> onChange;

private:
    void changed()
    {
        if (onChange) onChange();
    }
    std::deque<std::string> lines_;
};

}  // namespace tolvex
