// SPDX-License-Identifier: GPL-3.0-or-later
// The Shell of the program: Qt message boxes, dialogs, clipboard and timers.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <map>
#include <memory>

#include "core/app/shell.h"

namespace tolvex {

class QtShell : public QObject, public Shell {
    Q_OBJECT
public:
    explicit QtShell(QObject* parent = nullptr);
    ~QtShell() override;

    // Boxes and dialogs are parented to this window when set.
    void setWindow(QWidget* window) { window_ = window; }

    // When set, message boxes are answered by this instead of being shown
    // (unattended runs and the window tests, where a modal box would wait forever).
    std::function<MsgResult(const std::string& title, const std::string& text)> answerBox;

    MsgResult messageBox(const std::string& title, const std::string& text, MsgIcon icon, MsgButtons buttons) override;
    MsgResult captionedBox(const std::string& title, const std::string& text, MsgIcon icon, MsgButtons buttons,
                           const std::vector<std::string>& captions) override;
    std::vector<std::string> openFileDialog(const FileDialogRequest& request) override;
    std::optional<std::string> folderDialog(const FileDialogRequest& request) override;
    std::optional<std::string> saveFileDialog(const FileDialogRequest& request) override;
    void setClipboardText(const std::string& text) override;
    std::string clipboardText() override;
    void ProcessMessages() override;
    void startTimer(const std::string& name, int intervalMs, std::function<void()> onTick) override;
    void stopTimer(const std::string& name) override;
    bool timerActive(const std::string& name) const override;
    void setBusyCursor(bool on) override;
    std::int64_t nowMs() override;
    void pause(int ms) override;
    void postToMainThread(std::function<void()> call) override;
    int registerWakeup(std::function<void()> handler) override { return wakeups_.add(std::move(handler)); }
    void unregisterWakeup(int id) override { wakeups_.remove(id); }
    void wake(int id) override;

    // Longest sleep of one ProcessMessages call when no event arrives.
    static constexpr int kWaitBoundMs = 5;

private:
    WakeupTable wakeups_;
    std::unique_ptr<QTimer> waitBound_;
    int wakePipe_[2] = {-1, -1};  // wake() writes a byte; a socket notifier reads it on the main thread
    QPointer<QWidget> window_;
    QElapsedTimer clock_;
    std::map<std::string, std::unique_ptr<QTimer>> timers_;
    int busyDepth_ = 0;
};

}  // namespace tolvex
