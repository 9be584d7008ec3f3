// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/triton2kronos/tri_kro_xmap.h"

#include <cmath>

#include "core/sysex/bit_field.h"
#include "devices/kronos/kronos_layouts.h"

namespace tolvex {

namespace {

// Nearest integer, halves to even.
std::int32_t nearest(double x)
{
    const double down = std::floor(x);
    const double rest = x - down;
    if (rest > 0.5) return static_cast<std::int32_t>(down) + 1;
    if (rest < 0.5) return static_cast<std::int32_t>(down);
    const auto d = static_cast<std::int32_t>(down);
    return d % 2 == 0 ? d : d + 1;
}

bool within(std::int32_t v, std::int32_t low, std::int32_t high)
{
    return v >= low && v <= high;
}

}  // namespace

std::int32_t TriKroXmap(std::int32_t inval, std::int32_t bfwidth, std::int32_t mapselector, std::int32_t& err)
{
    err = 0;
    const std::int32_t sgn = negatize(inval, bfwidth);
    // The result, when v is within [low, high] and the result fits [rlow, rhigh].
    std::int32_t result = 0;
    bool ok = false;
    const auto take = [&](bool inRange, auto&& value, std::int32_t rlow, std::int32_t rhigh) {
        if (!inRange) return;
        const std::int32_t r = value();
        if (!within(r, rlow, rhigh)) return;
        result = r;
        ok = true;
    };
    const auto u = [&](std::int32_t low, std::int32_t high) { return within(inval, low, high); };
    const auto s = [&](std::int32_t low, std::int32_t high) { return within(sgn, low, high); };
    constexpr std::int32_t kAny = INT32_MIN, kAll = INT32_MAX;
    switch (mapselector) {
    case 0: return inval;
    case 1:
        take(
            u(0, 31), [&] { return AMS_map[static_cast<std::size_t>(inval)]; }, 0, 255);
        break;
    case 2:
        take(
            u(0, 4), [&] { return EnvSrc_map[static_cast<std::size_t>(inval)]; }, 0, 255);
        break;
    case 4:
        take(
            u(0, 3), [&] { return EnvSel_map[static_cast<std::size_t>(inval)]; }, 0, 255);
        break;
    case 5:
        take(
            u(0, 127), [&] { return 2 * sgn; }, -128, 127);
        break;  // a signed byte
    case 6:
        take(
            u(0, 255), [&] { return 2 * inval; }, 0, 255);
        break;  // a byte
    case 7:
        take(
            u(0, 255), [&] { return 5 * inval; }, kAny, kAll);
        break;
    case 8:
        take(
            u(39, 240), [&] { return inval == 39 ? 3999 : 100 * inval; }, kAny, kAll);
        break;
    case 9:
        take(
            u(0, 7), [&] { return inval + 2; }, kAny, kAll);
        break;
    case 10:
        take(
            u(0, 31), [&] { return inval + 1; }, kAny, kAll);
        break;
    case 11:
        take(
            s(-240, 240), [&] { return sgn; }, kAny, kAll);
        break;
    case 12:
        take(
            s(-250, 250), [&] { return sgn; }, kAny, kAll);
        break;
    case 13:
        take(
            u(0, 59), [&] { return nearest(inval * 8.389830508); }, 0, 65535);
        break;
    case 14:
        take(
            u(0, 63), [&] { return nearest((inval - 1) * 1.564516129); }, 0, 255);
        break;
    case 15:
        take(
            u(0, 55), [&] { return nearest(inval * 3.545454545); }, 0, 255);
        break;
    case 16:
        take(
            s(-5, 5), [&] { return sgn + 5; }, kAny, kAll);
        break;
    case 17:
        take(
            u(0, 190), [&] { return inval; }, kAny, kAll);
        break;
    case 18:
        take(
            u(0, 1360), [&] { return inval; }, kAny, kAll);
        break;
    case 19:
        take(
            u(0, 15), [&] { return nearest(inval * 6.333333333); }, 0, 255);
        break;
    case 20:
        take(
            u(0, 63), [&] { return nearest(inval * 1.639344262); }, 0, 255);
        break;
    case 21:
        take(
            u(0, 115), [&] { return inval; }, kAny, kAll);
        break;
    case 22:
        take(
            u(0, 123), [&] { return nearest(inval * 55.28455285); }, 0, 65535);
        break;
    case 23:
        take(
            u(0, 25), [&] { return 4 * inval; }, kAny, kAll);
        break;
    case 24:
        take(
            u(1, 63), [&] { return inval - 1; }, kAny, kAll);
        break;
    case 25:
        take(
            u(0, 138), [&] { return nearest(inval * 49.27536232); }, 0, 65535);
        break;
    case 26:
        take(
            s(-32, 31), [&] { return sgn - 7; }, -128, 127);
        break;  // a signed byte
    case 27:
        take(
            u(0, 55), [&] { return inval; }, kAny, kAll);
        break;
    case 28:
        take(
            u(0, 127),
            [&] {
                if (inval <= 50) return inval;
                if (inval <= 60) return (inval - 50) * 5 + 50;
                if (inval <= 100) return (inval - 60) / 2 + 100;
                return inval + 20;
            },
            kAny, kAll);
        break;
    case 29:
        take(
            u(0, 2730), [&] { return inval; }, kAny, kAll);
        break;
    case 30:
        take(
            u(0, 13600), [&] { return inval; }, kAny, kAll);
        break;
    case 31:
        take(
            u(0, 16383), [&] { return 2 * inval; }, kAny, kAll);
        break;       // delay times in 0.2 ms steps to 0.1 ms steps
    default: break;  // 3 is no selector; neither are negative ones nor 32 and above
    }
    if (!ok) {
        err = 1;
        return 0;
    }
    return result;
}

bool UnchangedRange(std::int32_t q)
{
    using L = kronos::TKro_Combi_Layout;
    // Beyond the Combi and a margin of 100 bytes after it.
    constexpr std::size_t kPastCombi = L::size + 100;
    if (q < static_cast<std::int32_t>(L::Vect_Aud__Drum_Params)) return false;
    if (q < static_cast<std::int32_t>(L::Common_Params)) return true;
    return q >= static_cast<std::int32_t>(kPastCombi);
}

}  // namespace tolvex
