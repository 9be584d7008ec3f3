// SPDX-License-Identifier: GPL-3.0-or-later
// The state of the LED indicator control (ThhALed) without any drawing: which
// of its two images is shown, its colours, shape and blinking. The blink timer
// comes from an injected factory, so the state runs on a fake timer in tests.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

namespace tolvex {

struct LedColor {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const LedColor&) const = default;
};
inline constexpr LedColor kLedLime{0, 255, 0};
inline constexpr LedColor kLedSilver{192, 192, 192};
inline constexpr LedColor kLedYellow{255, 255, 0};

// Shape and size of the lamp.
enum class LEDStyle { LEDSmall, LEDLarge, LEDSqSmall, LEDSqLarge, LEDVertical, LEDHorizontal };

// A repeating timer that ticks until it is destroyed.
class LedTimer {
public:
    virtual ~LedTimer() = default;
    virtual void setInterval(int ms) = 0;
};
// Makes a timer that calls tick every intervalMs.
using LedTimerFactory = std::function<std::unique_ptr<LedTimer>(int intervalMs, std::function<void()> tick)>;

class LedState {
public:
    // borderColor: the colour around an unbordered lamp (the window's button face).
    LedState(LedTimerFactory makeTimer, LedColor borderColor);
    ~LedState();
    LedState(const LedState&) = delete;
    LedState& operator=(const LedState&) = delete;

    bool Value() const { return fValue; }
    bool Blink() const { return fBlink; }
    bool Bordered() const { return fBordered; }
    LEDStyle Style() const { return fLEDStyle; }
    LedColor TrueColor() const { return fTrueColor; }
    LedColor FalseColor() const { return fFalseColor; }
    LedColor BorderColor() const { return fBordColor; }
    int Interval() const { return fInterval; }
    // Which image is shown: false the lit one, true the unlit one.
    bool ColorTemp() const { return colorTemp_; }
    bool blinking() const { return fLedTimer != nullptr; }
    // The control's width and height for its style.
    std::pair<int, int> size() const;

    // Each does nothing when given the value it has.
    void ChangeValue(bool v);  // lit or not; a lit lamp blinks while Blink
    void ChangeBlink(bool b);
    void ChangeBorder(bool b);
    void ChangeStyle(LEDStyle style);
    void SetTrueColor(LedColor c);  // colours keep the lamp blinking as it was
    void SetFalseColor(LedColor c);
    void SetBordColor(LedColor c);
    void SetInterval(int ms);  // a running timer takes the new period

    // The images must be made anew (colours, shape, border or size changed).
    std::function<void()> onImagesChanged;
    // The image shown changed.
    std::function<void()> onDraw;
    // After each blink toggle.
    std::function<void()> OnTimer;

private:
    void CreateLedBitmap();
    void SetToTrueColor();
    void SetToFalseColor();
    void SetLedTimer();
    void ResetLedTimer();
    void OnLedTimer();
    void drawForValue();
    template <class T>
    void setColour(T& field, T value);

    LedTimerFactory makeTimer_;
    LedColor fTrueColor = kLedLime;
    LedColor fFalseColor = kLedSilver;
    LedColor fBordColor;
    bool fBordered = true;
    bool fBlink = true;
    LEDStyle fLEDStyle = LEDStyle::LEDSmall;
    int fInterval = 1000;
    bool fValue = false;
    bool colorTemp_ = true;
    std::unique_ptr<LedTimer> fLedTimer;  // exists only while blinking
};

}  // namespace tolvex
