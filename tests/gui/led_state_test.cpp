// SPDX-License-Identifier: GPL-3.0-or-later
// The LED control's state on a fake timer: which image it shows, when it
// blinks, and that a setting it already has changes nothing.
#include "gui/led_state.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace tolvex {
namespace {

struct FakeTimers {
    struct Timer : LedTimer {
        Timer(FakeTimers& owner_, int interval_, std::function<void()> tick_)
            : owner(owner_), interval(interval_), tick(std::move(tick_))
        {
            owner.alive = this;
            ++owner.made;
        }
        ~Timer() override { owner.alive = nullptr; }
        void setInterval(int ms) override { interval = ms; }
        FakeTimers& owner;
        int interval;
        std::function<void()> tick;
    };
    LedTimerFactory factory()
    {
        return
            [this](int ms, std::function<void()> tick) { return std::make_unique<Timer>(*this, ms, std::move(tick)); };
    }
    Timer* alive = nullptr;
    int made = 0;
};

TEST(LedState, ImagesBlinkingAndTimersStepByStep)
{
    FakeTimers timers;
    LedState led(timers.factory(), kLedSilver);
    int images = 0, ticks = 0;
    led.onImagesChanged = [&] { ++images; };
    led.OnTimer = [&] { ++ticks; };
    EXPECT_TRUE(led.ColorTemp());  // a new lamp shows the unlit image

    const struct {
        const char* step;
        std::function<void()> act;
        bool showsUnlit, blinking;
        int timersMade, imagesMade, interval;
    } steps[] = {
        {"lit", [&] { led.ChangeValue(true); }, false, true, 1, 0, 1000},
        {"tick", [&] { timers.alive->tick(); }, true, true, 1, 0, 1000},
        {"tick again", [&] { timers.alive->tick(); }, false, true, 1, 0, 1000},
        {"lit again: no restart", [&] { led.ChangeValue(true); }, false, true, 1, 0, 1000},
        {"interval", [&] { led.SetInterval(250); }, false, true, 1, 0, 250},
        {"new lit colour keeps blinking", [&] { led.SetTrueColor(kLedYellow); }, false, true, 2, 1, 250},
        {"same colour: nothing", [&] { led.SetTrueColor(kLedYellow); }, false, true, 2, 1, 250},
        {"blink off stays lit", [&] { led.ChangeBlink(false); }, false, false, 2, 1, 0},
        {"square", [&] { led.ChangeStyle(LEDStyle::LEDSqLarge); }, false, false, 2, 2, 0},
        {"blink on while lit", [&] { led.ChangeBlink(true); }, false, true, 3, 2, 250},
        {"unlit stops blinking", [&] { led.ChangeValue(false); }, true, false, 3, 2, 0},
        {"blink on while unlit",
         [&] {
             led.ChangeBlink(false);
             led.ChangeBlink(true);
         },
         true, false, 3, 2, 0},
    };
    for (const auto& s : steps) {
        s.act();
        EXPECT_EQ(led.ColorTemp(), s.showsUnlit) << s.step;
        EXPECT_EQ(led.blinking(), s.blinking) << s.step;
        EXPECT_EQ(timers.alive != nullptr, s.blinking) << s.step;
        EXPECT_EQ(timers.made, s.timersMade) << s.step;
        EXPECT_EQ(images, s.imagesMade) << s.step;
        if (timers.alive) {
            EXPECT_EQ(timers.alive->interval, s.interval) << s.step;
        }
    }
    EXPECT_EQ(ticks, 2);
    EXPECT_EQ(led.TrueColor(), kLedYellow);
}

}  // namespace
}  // namespace tolvex
