// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/console_shell.h"

#include <ostream>
#include <thread>

namespace tolvex {

ConsoleShell::ConsoleShell(std::ostream& err, bool titled) : err_(err), titled_(titled) {}

MsgResult ConsoleShell::messageBox(const std::string& title, const std::string& text, MsgIcon icon, MsgButtons buttons)
{
    if (titled_) err_ << title << ": ";
    err_ << text << "\n";
    err_.flush();
    if (icon == MsgIcon::Error || title.find("Error") != std::string::npos) failed_ = true;
    // Unattended: the first button, as a user pressing Enter would.
    return (buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel) ? MsgResult::Yes : MsgResult::Ok;
}

MsgResult ConsoleShell::captionedBox(const std::string& title, const std::string& text, MsgIcon icon,
                                     MsgButtons buttons, const std::vector<std::string>& captions)
{
    std::string shown = text;
    for (std::size_t i = 0; i < captions.size(); ++i) shown += (i == 0 ? " [" : "/") + captions[i];
    if (!captions.empty()) shown += "]";
    return ConsoleShell::messageBox(title, shown, icon, buttons);
}

void ConsoleShell::ProcessMessages()
{
    wakeups_.runPending();
    posted_.runAll();
    const std::int64_t now = nowMs();
    std::vector<std::string> due;
    for (const auto& [name, t] : timers_)
        if (t.due <= now) due.push_back(name);
    for (const std::string& name : due) {
        auto it = timers_.find(name);
        if (it == timers_.end()) continue;
        it->second.due = now + it->second.interval;
        auto tick = it->second.onTick;  // the tick may stop its own timer
        tick();
    }
    // A polling loop: give the CPU back between passes.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void ConsoleShell::startTimer(const std::string& name, int intervalMs, std::function<void()> onTick)
{
    if (intervalMs < 1) intervalMs = 1;
    timers_[name] = Timer{intervalMs, nowMs() + intervalMs, std::move(onTick)};
}

std::int64_t ConsoleShell::nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
}

void ConsoleShell::pause(int ms)
{
    const std::int64_t end = nowMs() + ms;
    do {
        ProcessMessages();
    } while (nowMs() < end);
}

void ConsoleShell::postToMainThread(std::function<void()> call)
{
    posted_.post(std::move(call));
}

}  // namespace tolvex
