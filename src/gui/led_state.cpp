// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/led_state.h"

namespace tolvex {

LedState::LedState(LedTimerFactory makeTimer, LedColor borderColor)
    : makeTimer_(std::move(makeTimer)), fBordColor(borderColor)
{
}

LedState::~LedState()
{
    ResetLedTimer();
}

std::pair<int, int> LedState::size() const
{
    switch (fLEDStyle) {
    case LEDStyle::LEDSmall:
    case LEDStyle::LEDSqSmall: return {16, 16};
    case LEDStyle::LEDLarge:
    case LEDStyle::LEDSqLarge: return {22, 22};
    case LEDStyle::LEDVertical: return {16, 22};
    case LEDStyle::LEDHorizontal: return {22, 16};
    }
    return {16, 16};
}

void LedState::CreateLedBitmap()
{
    if (onImagesChanged) onImagesChanged();
}

void LedState::SetToTrueColor()
{
    colorTemp_ = false;
    if (onDraw) onDraw();
}

void LedState::SetToFalseColor()
{
    colorTemp_ = true;
    if (onDraw) onDraw();
}

void LedState::drawForValue()
{
    if (fValue)
        SetToTrueColor();
    else
        SetToFalseColor();
}

void LedState::SetLedTimer()
{
    if (fLedTimer || !makeTimer_) return;
    colorTemp_ = false;
    fLedTimer = makeTimer_(fInterval, [this] { OnLedTimer(); });
}

void LedState::ResetLedTimer()
{
    fLedTimer.reset();
}

void LedState::OnLedTimer()
{
    colorTemp_ = !colorTemp_;
    if (onDraw) onDraw();
    if (OnTimer) OnTimer();
}

void LedState::ChangeValue(bool v)
{
    if (v == fValue) return;
    fValue = v;
    if (v) {
        SetToTrueColor();
        if (fBlink) SetLedTimer();
    } else {
        ResetLedTimer();
        SetToFalseColor();
    }
}

void LedState::ChangeBlink(bool b)
{
    if (b == fBlink) return;
    drawForValue();
    fBlink = b;
    if (b && fValue)
        SetLedTimer();
    else
        ResetLedTimer();
}

void LedState::ChangeBorder(bool b)
{
    if (b == fBordered) return;
    fBordered = b;
    CreateLedBitmap();
    if (onDraw) onDraw();
}

void LedState::ChangeStyle(LEDStyle style)
{
    if (style == fLEDStyle) return;
    fLEDStyle = style;
    CreateLedBitmap();
    if (onDraw) onDraw();
}

template <class T>
void LedState::setColour(T& field, T value)
{
    if (field == value) return;
    const bool blink = fBlink;
    if (blink) ChangeBlink(false);
    field = value;
    CreateLedBitmap();
    ChangeBlink(blink);
    if (onDraw) onDraw();
}

void LedState::SetTrueColor(LedColor c)
{
    setColour(fTrueColor, c);
}

void LedState::SetFalseColor(LedColor c)
{
    setColour(fFalseColor, c);
}

void LedState::SetBordColor(LedColor c)
{
    setColour(fBordColor, c);
}

void LedState::SetInterval(int ms)
{
    fInterval = ms;
    if (fLedTimer) fLedTimer->setInterval(ms);
}

}  // namespace tolvex
