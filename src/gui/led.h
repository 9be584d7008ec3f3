// SPDX-License-Identifier: GPL-3.0-or-later
// ThhALed: a small lamp, lit in one colour and unlit in another, optionally
// blinking, in one of six shapes. Its images are drawn with QPainter from the
// state's colours and shape; the state (LedState) holds all behaviour.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <array>

#include "gui/led_state.h"

namespace tolvex {

class ThhALed : public QWidget {
    Q_OBJECT
public:
    explicit ThhALed(QWidget* parent = nullptr);

    LedState& state() { return state_; }
    const LedState& state() const { return state_; }
    // The image shown now (lit or unlit), as drawn.
    const QPixmap& shownImage() const { return fLedBitmap[state_.ColorTemp() ? 1 : 0]; }

signals:
    void clicked();
    void mouseEntered();
    void mouseLeft();
    void timerTicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void CreateLedBitmap();
    QPixmap drawImage(LedColor face) const;

    LedState state_;
    std::array<QPixmap, 2> fLedBitmap;  // lit, unlit
};

}  // namespace tolvex
