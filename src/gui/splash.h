// SPDX-License-Identifier: GPL-3.0-or-later
// The window shown while Tolvex starts: product name and file version.
#pragma once

#include <QLabel>
#include <QWidget>

namespace tolvex {

class TFormSplash : public QWidget {
    Q_OBJECT
public:
    explicit TFormSplash(QWidget* parent = nullptr);
    QLabel* VerLabel() const { return verLabel_; }

private:
    QLabel* verLabel_;
};

}  // namespace tolvex
