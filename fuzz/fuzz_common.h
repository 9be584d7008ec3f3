// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the fuzz targets.
#pragma once

#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <functional>
#include <optional>
#include <vector>

#include "core/app/shell.h"
#include "core/text/bytes.h"

namespace tolvex::fuzz {

inline ByteView view(const std::uint8_t* data, std::size_t size)
{
    return ByteView(data, size);
}

// Commands write their files to the current folder and the user's settings
// folder: both become a private temporary folder for the run.
inline void privateFolders()
{
    static const std::string dir = [] {
        char tmpl[] = "/tmp/tolvex-fuzz-XXXXXX";
        const char* made = ::mkdtemp(tmpl);
        return std::string(made ? made : "/tmp");
    }();
    ::setenv("HOME", dir.c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    if (::chdir(dir.c_str()) != 0) __builtin_trap();
}

// Fails the run (libFuzzer reports a crash and keeps the input).
inline void require(bool condition)
{
    if (!condition) __builtin_trap();
}

// A shell that answers every box with its first button and never waits: the
// fuzz targets run commands and the assembler without a user.
class NullShell : public Shell {
public:
    MsgResult messageBox(const std::string&, const std::string&, MsgIcon, MsgButtons buttons) override
    {
        return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgResult::Yes : MsgResult::Ok;
    }
    std::vector<std::string> openFileDialog(const FileDialogRequest&) override { return {}; }
    std::optional<std::string> saveFileDialog(const FileDialogRequest&) override { return std::nullopt; }
    void setClipboardText(const std::string&) override {}
    std::string clipboardText() override { return {}; }
    void ProcessMessages() override { ++now_; }
    void startTimer(const std::string&, int, std::function<void()>) override {}
    void stopTimer(const std::string&) override {}
    bool timerActive(const std::string&) const override { return false; }
    void setBusyCursor(bool) override {}
    std::int64_t nowMs() override { return now_; }
    void pause(int ms) override { now_ += ms; }
    void postToMainThread(std::function<void()>) override {}
    int registerWakeup(std::function<void()>) override { return 0; }
    void unregisterWakeup(int) override {}
    void wake(int) override {}

private:
    std::int64_t now_ = 0;
};

}  // namespace tolvex::fuzz
