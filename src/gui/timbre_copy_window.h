// SPDX-License-Identifier: GPL-3.0-or-later
// The Kronos Combi timbre-copy window (TFormKroTimbreCopy): its buttons come
// from the command table, its check boxes and drop-downs are the session's
// fields, its labels and LEDs show the model's view. It holds no behaviour.
#pragma once

#include <map>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <vector>

#include "core/app/command_table.h"
#include "core/app/session.h"
#include "gui/led.h"
#include "gui/qt_shell.h"

class QGroupBox;
class QWindow;

namespace tolvex {

class TimbreCopyWindow : public QDialog {
    Q_OBJECT
public:
    // Created hidden; `commands` must outlive the window.
    TimbreCopyWindow(Session& session, QtShell& shell, const CommandTable& commands, QWidget* parent = nullptr);
    ~TimbreCopyWindow() override;

    // The control of that name ("CopyFullBtn", "TimbreCheckboxArray[3]",
    // "TimbreLEDArray[5]", ...), or nullptr.
    // Every session change asks for its control: looked up once by name, then kept.
    QWidget* control(const QString& name) const
    {
        const auto it = controls_.find(name);
        if (it != controls_.end()) return it->second;
        QWidget* w = findChild<QWidget*>(name);
        controls_.emplace(name, w);
        return w;
    }
    // What becoming the active window does: loads the source from the selection.
    void activated();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QPushButton* button(QWidget* parent, const Command& c);
    void buildRows(QGroupBox* box, const char* checks, const char* combos, int rows, int top, int pitch);
    void run(const std::function<void(Session&)>& command);
    void onSessionChanged(const std::string& name);
    void syncView();
    void focusMoved(QWindow* now);

    Session& session_;
    QtShell& shell_;
    const CommandTable& commands_;
    QLineEdit* objName_ = nullptr;
    QLineEdit* srcCombi_ = nullptr;
    std::vector<QLabel*> timbreNames_, ifxNames_, ifxChains_, ifxSources_;
    std::vector<ThhALed*> timbreLeds_, ifxLeds_;
    bool loading_ = false;
    bool focusWasBox_ = false;
    bool syncing_ = false;
    mutable std::map<QString, QWidget*> controls_;  // built once: the window owns them all
};

}  // namespace tolvex
