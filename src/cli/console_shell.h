// SPDX-License-Identifier: GPL-3.0-or-later
// The Shell of the command-line front end: boxes go to standard error, there
// are no dialogs, and the event loop is a polling loop on the real clock.
#pragma once

#include <chrono>
#include <iosfwd>
#include <map>

#include "core/app/shell.h"

namespace tolvex {

class ConsoleShell : public Shell {
public:
    // `titled`: boxes show their title before the text; a command whose
    // boxes already name what they are about (a refused file) sets it false.
    explicit ConsoleShell(std::ostream& err, bool titled = true);

    // "TITLE: text" on standard error. An error box (an error icon or a title
    // with "Error" in it) marks the command as failed.
    MsgResult messageBox(const std::string& title, const std::string& text, MsgIcon icon, MsgButtons buttons) override;
    // The box with its buttons' captions after the text: "TITLE: text [1-32/33-64/Cancel]".
    MsgResult captionedBox(const std::string& title, const std::string& text, MsgIcon icon, MsgButtons buttons,
                           const std::vector<std::string>& captions) override;
    std::vector<std::string> openFileDialog(const FileDialogRequest&) override { return {}; }
    std::optional<std::string> saveFileDialog(const FileDialogRequest&) override { return std::nullopt; }
    void setClipboardText(const std::string& text) override { clipboard_ = text; }
    std::string clipboardText() override { return clipboard_; }
    void ProcessMessages() override;
    void startTimer(const std::string& name, int intervalMs, std::function<void()> onTick) override;
    void stopTimer(const std::string& name) override { timers_.erase(name); }
    bool timerActive(const std::string& name) const override { return timers_.count(name) != 0; }
    void setBusyCursor(bool) override {}
    std::int64_t nowMs() override;
    void pause(int ms) override;
    void postToMainThread(std::function<void()> call) override;
    int registerWakeup(std::function<void()> handler) override { return wakeups_.add(std::move(handler)); }
    void unregisterWakeup(int id) override { wakeups_.remove(id); }
    void wake(int id) override { wakeups_.set(id); }

    bool failed() const { return failed_; }
    void clearFailed() { failed_ = false; }

private:
    struct Timer {
        int interval;
        std::int64_t due;
        std::function<void()> onTick;
    };

    std::ostream& err_;
    bool titled_;
    bool failed_ = false;
    std::string clipboard_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::map<std::string, Timer> timers_;
    WakeupTable wakeups_;
    PostedCalls posted_;
};

}  // namespace tolvex
