// SPDX-License-Identifier: GPL-3.0-or-later
// A Shell for tests: records every box and dialog, answers them from a script,
// and runs timers on a virtual clock so waits take no real time.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/app/shell.h"

namespace tolvex::testing {

struct RecordedBox {
    std::string title;
    std::string text;
    MsgIcon icon;
    MsgButtons buttons;
    std::vector<std::string> captions;  // a captioned box's buttons, in order
};

class ScriptedShell : public Shell {
public:
    MsgResult messageBox(const std::string& title, const std::string& text, MsgIcon icon, MsgButtons buttons) override;
    MsgResult captionedBox(const std::string& title, const std::string& text, MsgIcon icon, MsgButtons buttons,
                           const std::vector<std::string>& captions) override;
    std::vector<std::string> openFileDialog(const FileDialogRequest& request) override;
    std::optional<std::string> saveFileDialog(const FileDialogRequest& request) override;
    std::optional<std::string> folderDialog(const FileDialogRequest& request) override;
    void setClipboardText(const std::string& text) override { clipboard = text; }
    std::string clipboardText() override { return clipboard; }

    // Runs posted calls, then moves the virtual clock on by `step` ms and fires
    // the timers that fall due, so a polling wait always makes progress.
    void ProcessMessages() override;
    void startTimer(const std::string& name, int intervalMs, std::function<void()> onTick) override;
    void stopTimer(const std::string& name) override;
    bool timerActive(const std::string& name) const override;
    void setBusyCursor(bool on) override { busyCursorLog.push_back(on); }
    std::int64_t nowMs() override { return now_; }
    void pause(int ms) override { advance(ms); }
    void postToMainThread(std::function<void()> call) override;
    int registerWakeup(std::function<void()> handler) override { return wakeups_.add(std::move(handler)); }
    void unregisterWakeup(int id) override { wakeups_.remove(id); }
    void wake(int id) override { wakeups_.set(id); }

    // Moves the clock on by ms, firing timers and posted calls in time order.
    void advance(std::int64_t ms);
    // Runs posted calls and pending wake-ups only (what the event loop would do
    // without time passing).
    void runPosted();

    // Script: answers given in order; when empty, boxes answer their first button
    // and dialogs are cancelled.
    std::deque<MsgResult> boxAnswers;
    std::deque<std::vector<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::deque<std::optional<std::string>> folderAnswers;

    // Records.
    std::vector<RecordedBox> boxes;
    std::vector<FileDialogRequest> saveRequests;
    std::vector<FileDialogRequest> folderRequests;
    std::vector<bool> busyCursorLog;
    std::string clipboard;
    std::int64_t step = 1;

private:
    struct Timer {
        int interval;
        std::int64_t due;
        std::function<void()> onTick;
        unsigned generation;
    };

    std::int64_t now_ = 0;
    std::map<std::string, Timer> timers_;
    unsigned generation_ = 0;
    WakeupTable wakeups_;
    PostedCalls posted_;
};

}  // namespace tolvex::testing
