// SPDX-License-Identifier: GPL-3.0-or-later
// Where byte-level code tells its progress: lines added, and lines rewritten
// in place while a long piece of work goes on.
#pragma once

#include <string>

namespace tolvex {

class LineLog {
public:
    virtual ~LineLog() = default;
    // Appends a line and returns its index (for a later replace).
    virtual int LogString(const std::string& text) = 0;
    // Rewrites line `index` when it still exists.
    virtual void replace(int index, const std::string& text) = 0;
};

}  // namespace tolvex
