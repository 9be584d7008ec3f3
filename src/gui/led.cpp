// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/led.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

namespace tolvex {

namespace {

QColor qc(LedColor c)
{
    return QColor(c.r, c.g, c.b);
}

LedColor ledColor(const QColor& c)
{
    return {static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
            static_cast<std::uint8_t>(c.blue())};
}

class QtLedTimer : public LedTimer {
public:
    QtLedTimer(int intervalMs, std::function<void()> tick)
    {
        QObject::connect(&timer_, &QTimer::timeout, std::move(tick));
        timer_.start(intervalMs);
    }
    void setInterval(int ms) override { timer_.setInterval(ms); }

private:
    QTimer timer_;
};

}  // namespace

ThhALed::ThhALed(QWidget* parent)
    : QWidget(parent),
      state_([](int ms, std::function<void()> tick) { return std::make_unique<QtLedTimer>(ms, std::move(tick)); },
             ledColor(palette().color(QPalette::Button)))
{
    state_.onImagesChanged = [this] { CreateLedBitmap(); };
    state_.onDraw = [this] { update(); };
    state_.OnTimer = [this] { emit timerTicked(); };
    CreateLedBitmap();
}

void ThhALed::CreateLedBitmap()
{
    const auto [w, h] = state_.size();
    setFixedSize(w, h);
    fLedBitmap[0] = drawImage(state_.TrueColor());
    fLedBitmap[1] = drawImage(state_.FalseColor());
    update();
}

QPixmap ThhALed::drawImage(LedColor face) const
{
    const auto [w, h] = state_.size();
    QPixmap image(w, h);
    image.fill(state_.Bordered() ? Qt::transparent : qc(state_.BorderColor()));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const LEDStyle style = state_.Style();
    const bool round = style == LEDStyle::LEDSmall || style == LEDStyle::LEDLarge;
    const QRectF frame(0.5, 0.5, w - 1.0, h - 1.0);
    const QRectF lamp = frame.adjusted(2, 2, -2, -2);
    auto shape = [&](const QRectF& r) {
        if (round)
            p.drawEllipse(r);
        else if (style == LEDStyle::LEDSqSmall || style == LEDStyle::LEDSqLarge)
            p.drawRect(r);
        else
            p.drawRoundedRect(r, 2, 2);
    };
    if (state_.Bordered()) {
        // A sunken frame: dark above and left, light below and right.
        QLinearGradient rim(frame.topLeft(), frame.bottomRight());
        rim.setColorAt(0, QColor(96, 96, 96));
        rim.setColorAt(1, QColor(240, 240, 240));
        p.setPen(Qt::NoPen);
        p.setBrush(rim);
        shape(frame);
    }
    // The face, with a highlight towards the top left.
    QRadialGradient glow(lamp.center() - QPointF(lamp.width() / 5, lamp.height() / 5), lamp.width() / 1.5);
    glow.setColorAt(0, qc(face).lighter(150));
    glow.setColorAt(1, qc(face));
    p.setPen(QPen(qc(face).darker(160), 1));
    p.setBrush(glow);
    shape(lamp);
    return image;
}

void ThhALed::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(rect(), shownImage());
}

void ThhALed::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
}

void ThhALed::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    emit mouseEntered();
}

void ThhALed::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    emit mouseLeft();
}

}  // namespace tolvex
