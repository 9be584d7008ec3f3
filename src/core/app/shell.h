// SPDX-License-Identifier: GPL-3.0-or-later
// What a command needs from a user interface, and nothing more. Three shells
// implement it: QtShell (the program), ConsoleShell (the CLI) and ScriptedShell
// (tests, on a virtual clock).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tolvex {

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgResult { Ok, Cancel, Yes, No };

struct FileDialogRequest {
    std::string title;
    std::string filter;      // e.g. "Sysex files (*.syx)|*.syx|All files (*)|*"
    std::string folder;      // folder the dialog starts in
    std::string defaultExt;  // added when the user types a name without extension
    bool multiSelect = false;
};

class Shell {
public:
    virtual ~Shell() = default;

    // Modal message box; returns the button pressed.
    virtual MsgResult messageBox(const std::string& title, const std::string& text, MsgIcon icon,
                                 MsgButtons buttons = MsgButtons::Ok) = 0;
    // The same box with its buttons captioned anew, in button order (Yes, No,
    // Cancel for YesNoCancel), e.g. {"1-32", "33-64", "Cancel"}; the result is
    // still the standard button pressed. A shell that cannot caption buttons
    // shows the standard ones.
    virtual MsgResult captionedBox(const std::string& title, const std::string& text, MsgIcon icon, MsgButtons buttons,
                                   const std::vector<std::string>& /*captions*/)
    {
        return messageBox(title, text, icon, buttons);
    }

    // File dialogs; an empty result means the user cancelled.
    virtual std::vector<std::string> openFileDialog(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> saveFileDialog(const FileDialogRequest& request) = 0;
    // A folder chosen (title and folder of the request are used); none when cancelled
    // or when the shell has no dialogs.
    virtual std::optional<std::string> folderDialog(const FileDialogRequest& /*request*/) { return std::nullopt; }

    virtual void setClipboardText(const std::string& text) = 0;
    virtual std::string clipboardText() = 0;

    // Handles pending events once. A command waiting for a device calls this in
    // a loop, so receptions, timers and the window stay alive during the wait.
    virtual void ProcessMessages() = 0;

    // Repeating named timer; starting a running name restarts it. onTick runs on
    // the main thread until stopTimer.
    virtual void startTimer(const std::string& name, int intervalMs, std::function<void()> onTick) = 0;
    virtual void stopTimer(const std::string& name) = 0;
    virtual bool timerActive(const std::string& name) const = 0;

    virtual void setBusyCursor(bool on) = 0;

    // Milliseconds on the shell's clock, and a pause on it that keeps events flowing.
    virtual std::int64_t nowMs() = 0;
    virtual void pause(int ms) = 0;

    // Thread-safe: asks the main thread to run `call` on its next pass through
    // the event loop. May allocate; not for real-time threads.
    virtual void postToMainThread(std::function<void()> call) = 0;

    // Wake-ups for real-time threads (the MIDI driver callback). register and
    // unregister run on the main thread; wake(id) may run on any thread, never
    // allocates or blocks, and makes the main thread run the handler once on
    // its next pass through the event loop (several wakes before then coalesce).
    static constexpr int kMaxWakeups = 16;
    virtual int registerWakeup(std::function<void()> handler) = 0;  // -1 when all slots are taken
    virtual void unregisterWakeup(int id) = 0;
    virtual void wake(int id) = 0;
};

// The slot table behind registerWakeup/wake, shared by the shells: atomic
// pending flags that any thread may set, handlers run on the main thread.
class WakeupTable {
public:
    int add(std::function<void()> handler);
    void remove(int id);
    // Returns true when the flag went from clear to set (the caller then nudges its event loop).
    bool set(int id);
    // Runs the handler of every pending slot once; true when any ran.
    bool runPending();

private:
    struct Slot {
        std::atomic<bool> pending{false};
        std::function<void()> handler;
    };
    std::array<Slot, Shell::kMaxWakeups> slots_;
};

// Calls posted from any thread, run in order on the main thread; shared by the
// shells that run their own event loop.
class PostedCalls {
public:
    void post(std::function<void()> call);
    // Runs every call posted so far, and those the calls post meanwhile.
    void runAll();

private:
    std::mutex mutex_;
    std::deque<std::function<void()>> calls_;
};

}  // namespace tolvex
