// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/scripted_shell.h"

namespace tolvex::testing {

MsgResult ScriptedShell::messageBox(const std::string& title, const std::string& text, MsgIcon icon, MsgButtons buttons)
{
    boxes.push_back({title, text, icon, buttons, {}});
    if (!boxAnswers.empty()) {
        const MsgResult r = boxAnswers.front();
        boxAnswers.pop_front();
        return r;
    }
    return (buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel) ? MsgResult::Yes : MsgResult::Ok;
}

MsgResult ScriptedShell::captionedBox(const std::string& title, const std::string& text, MsgIcon icon,
                                      MsgButtons buttons, const std::vector<std::string>& captions)
{
    const MsgResult r = messageBox(title, text, icon, buttons);
    boxes.back().captions = captions;
    return r;
}

std::vector<std::string> ScriptedShell::openFileDialog(const FileDialogRequest&)
{
    if (openAnswers.empty()) return {};
    auto r = openAnswers.front();
    openAnswers.pop_front();
    return r;
}

std::optional<std::string> ScriptedShell::saveFileDialog(const FileDialogRequest& request)
{
    saveRequests.push_back(request);
    if (saveAnswers.empty()) return std::nullopt;
    auto r = saveAnswers.front();
    saveAnswers.pop_front();
    return r;
}

std::optional<std::string> ScriptedShell::folderDialog(const FileDialogRequest& request)
{
    folderRequests.push_back(request);
    if (folderAnswers.empty()) return std::nullopt;
    auto r = folderAnswers.front();
    folderAnswers.pop_front();
    return r;
}

void ScriptedShell::ProcessMessages()
{
    runPosted();
    advance(step);
}

void ScriptedShell::startTimer(const std::string& name, int intervalMs, std::function<void()> onTick)
{
    if (intervalMs < 1) intervalMs = 1;
    timers_[name] = Timer{intervalMs, now_ + intervalMs, std::move(onTick), ++generation_};
}

void ScriptedShell::stopTimer(const std::string& name)
{
    timers_.erase(name);
}

bool ScriptedShell::timerActive(const std::string& name) const
{
    return timers_.count(name) != 0;
}

void ScriptedShell::postToMainThread(std::function<void()> call)
{
    posted_.post(std::move(call));
}

void ScriptedShell::runPosted()
{
    // A posted call may wake a device and a wake-up may post: run both until quiet.
    do {
        posted_.runAll();
    } while (wakeups_.runPending());
}

void ScriptedShell::advance(std::int64_t ms)
{
    const std::int64_t target = now_ + ms;
    for (;;) {
        // The earliest timer due at or before the target fires next.
        std::string next;
        std::int64_t due = target + 1;
        for (const auto& [name, t] : timers_)
            if (t.due < due) {
                due = t.due;
                next = name;
            }
        if (next.empty()) break;
        now_ = due;
        Timer& t = timers_.at(next);
        t.due += t.interval;
        const unsigned gen = t.generation;
        auto tick = t.onTick;  // the tick may stop or restart its own timer
        tick();
        runPosted();
        auto it = timers_.find(next);
        if (it != timers_.end() && it->second.generation == gen && it->second.due <= now_)
            it->second.due = now_ + it->second.interval;
    }
    now_ = target;
    runPosted();
}

}  // namespace tolvex::testing
