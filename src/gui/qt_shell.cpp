// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/qt_shell.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QStringList>

#include "core/text/text_utils.h"

#include <fcntl.h>
#include <unistd.h>

namespace tolvex {

namespace {

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

QString qtFilter(const std::string& filter)
{
    QStringList out;
    for (const std::string& f : dialogNameFilters(filter)) out << q(f);
    return out.join(";;");
}

}  // namespace

QtShell::QtShell(QObject* parent) : QObject(parent)
{
    clock_.start();
    if (pipe2(wakePipe_, O_NONBLOCK | O_CLOEXEC) == 0) {
        auto* notifier = new QSocketNotifier(wakePipe_[0], QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] {
            char drain[64];
            while (read(wakePipe_[0], drain, sizeof drain) > 0) {
            }
            wakeups_.runPending();
        });
    }
}

QtShell::~QtShell()
{
    for (int fd : wakePipe_)
        if (fd >= 0) ::close(fd);
}

void QtShell::wake(int id)
{
    // write() on a non-blocking pipe neither allocates nor blocks; a full pipe
    // already holds a wake-up, so a failed write loses nothing.
    if (wakeups_.set(id) && wakePipe_[1] >= 0) {
        const char one = 1;
        [[maybe_unused]] const auto n = ::write(wakePipe_[1], &one, 1);
    }
}

MsgResult QtShell::messageBox(const std::string& title, const std::string& text, MsgIcon icon, MsgButtons buttons)
{
    return captionedBox(title, text, icon, buttons, {});
}

MsgResult QtShell::captionedBox(const std::string& title, const std::string& text, MsgIcon icon, MsgButtons buttons,
                                const std::vector<std::string>& captions)
{
    if (answerBox) return answerBox(title, text);
    QMessageBox box(window_);
    box.setWindowTitle(q(title));
    box.setText(q(text));
    switch (icon) {
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::None: break;
    }
    std::vector<QMessageBox::StandardButton> order;
    switch (buttons) {
    case MsgButtons::Ok: order = {QMessageBox::Ok}; break;
    case MsgButtons::OkCancel: order = {QMessageBox::Ok, QMessageBox::Cancel}; break;
    case MsgButtons::YesNo: order = {QMessageBox::Yes, QMessageBox::No}; break;
    case MsgButtons::YesNoCancel: order = {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}; break;
    }
    QMessageBox::StandardButtons standard;
    for (QMessageBox::StandardButton b : order) standard |= b;
    box.setStandardButtons(standard);
    // Qt captions a standard button directly; its role (and result) stays.
    for (std::size_t i = 0; i < captions.size() && i < order.size(); ++i)
        if (QAbstractButton* b = box.button(order[i])) b->setText(q(captions[i]));
    switch (box.exec()) {
    case QMessageBox::Cancel: return MsgResult::Cancel;
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    default: return MsgResult::Ok;
    }
}

std::vector<std::string> QtShell::openFileDialog(const FileDialogRequest& r)
{
    std::vector<std::string> out;
    if (r.multiSelect) {
        for (const QString& f : QFileDialog::getOpenFileNames(window_, q(r.title), q(r.folder), qtFilter(r.filter)))
            out.push_back(f.toStdString());
    } else {
        const QString f = QFileDialog::getOpenFileName(window_, q(r.title), q(r.folder), qtFilter(r.filter));
        if (!f.isEmpty()) out.push_back(f.toStdString());
    }
    return out;
}

std::optional<std::string> QtShell::folderDialog(const FileDialogRequest& r)
{
    const QString f = QFileDialog::getExistingDirectory(window_, q(r.title), q(r.folder));
    if (f.isEmpty()) return std::nullopt;
    return f.toStdString();
}

std::optional<std::string> QtShell::saveFileDialog(const FileDialogRequest& r)
{
    QFileDialog dialog(window_, q(r.title), q(r.folder), qtFilter(r.filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(q(r.defaultExt));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

void QtShell::setClipboardText(const std::string& text)
{
    QGuiApplication::clipboard()->setText(q(text));
}

std::string QtShell::clipboardText()
{
    return QGuiApplication::clipboard()->text().toStdString();
}

void QtShell::ProcessMessages()
{
    // Sleeps until an event arrives, at most kWaitBoundMs, instead of spinning:
    // the callers poll a clock or a flag between calls, and the bound's own
    // timer event ends the sleep when nothing else happens.
    if (!waitBound_) {
        waitBound_ = std::make_unique<QTimer>();
        waitBound_->setSingleShot(true);
        waitBound_->setTimerType(Qt::PreciseTimer);
    }
    waitBound_->start(kWaitBoundMs);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void QtShell::startTimer(const std::string& name, int intervalMs, std::function<void()> onTick)
{
    auto& slot = timers_[name];
    if (!slot) slot = std::make_unique<QTimer>();
    slot->stop();
    slot->disconnect();
    connect(slot.get(), &QTimer::timeout, this, [tick = std::move(onTick)] { tick(); });
    slot->start(intervalMs);
}

void QtShell::stopTimer(const std::string& name)
{
    const auto it = timers_.find(name);
    if (it != timers_.end()) it->second->stop();
}

bool QtShell::timerActive(const std::string& name) const
{
    const auto it = timers_.find(name);
    return it != timers_.end() && it->second->isActive();
}

void QtShell::setBusyCursor(bool on)
{
    if (on) {
        if (busyDepth_++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (busyDepth_ > 0 && --busyDepth_ == 0) {
        QApplication::restoreOverrideCursor();
    }
}

std::int64_t QtShell::nowMs()
{
    return clock_.elapsed();
}

void QtShell::pause(int ms)
{
    // A local event loop keeps the window and MIDI alive while pausing.
    QEventLoop loop;
    QTimer::singleShot(ms < 0 ? 0 : ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void QtShell::postToMainThread(std::function<void()> call)
{
    QMetaObject::invokeMethod(
        this, [c = std::move(call)] { c(); }, Qt::QueuedConnection);
}

}  // namespace tolvex
