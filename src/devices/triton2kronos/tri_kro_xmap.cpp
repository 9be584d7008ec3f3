// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/triton2kronos/tri_kro_xmap.h"

#include <array>
#include <climits>
#include <cmath>
#include <optional>

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

constexpr std::int32_t kAny = INT32_MIN, kAll = INT32_MAX;

// One value map: the input range (of the value as read, or as a signed
// number of its bit-field width), the result, and the range the result must fit.
struct Xmap {
    bool signedInput;
    std::int32_t low, high;
    std::int32_t (*value)(std::int32_t raw, std::int32_t sgn);
    std::int32_t rlow = kAny, rhigh = kAll;
};

// By selector; selector 0 gives the value as it is, 3 is no selector.
// clang-format off
constexpr std::array<std::optional<Xmap>, 32> kMaps = {
    std::nullopt,
    Xmap{false, 0, 31, [](std::int32_t v, std::int32_t) -> std::int32_t { return AMS_map[static_cast<std::size_t>(v)]; }, 0, 255},
    Xmap{false, 0, 4, [](std::int32_t v, std::int32_t) -> std::int32_t { return EnvSrc_map[static_cast<std::size_t>(v)]; }, 0, 255},
    std::nullopt,
    Xmap{false, 0, 3, [](std::int32_t v, std::int32_t) -> std::int32_t { return EnvSel_map[static_cast<std::size_t>(v)]; }, 0, 255},
    Xmap{false, 0, 127, [](std::int32_t, std::int32_t g) { return 2 * g; }, -128, 127},  // a signed byte
    Xmap{false, 0, 255, [](std::int32_t v, std::int32_t) { return 2 * v; }, 0, 255},     // a byte
    Xmap{false, 0, 255, [](std::int32_t v, std::int32_t) { return 5 * v; }},
    Xmap{false, 39, 240, [](std::int32_t v, std::int32_t) { return v == 39 ? 3999 : 100 * v; }},
    Xmap{false, 0, 7, [](std::int32_t v, std::int32_t) { return v + 2; }},
    Xmap{false, 0, 31, [](std::int32_t v, std::int32_t) { return v + 1; }},
    Xmap{true, -240, 240, [](std::int32_t, std::int32_t g) { return g; }},
    Xmap{true, -250, 250, [](std::int32_t, std::int32_t g) { return g; }},
    Xmap{false, 0, 59, [](std::int32_t v, std::int32_t) { return nearest(v * 8.389830508); }, 0, 65535},
    Xmap{false, 0, 63, [](std::int32_t v, std::int32_t) { return nearest((v - 1) * 1.564516129); }, 0, 255},
    Xmap{false, 0, 55, [](std::int32_t v, std::int32_t) { return nearest(v * 3.545454545); }, 0, 255},
    Xmap{true, -5, 5, [](std::int32_t, std::int32_t g) { return g + 5; }},
    Xmap{false, 0, 190, [](std::int32_t v, std::int32_t) { return v; }},
    Xmap{false, 0, 1360, [](std::int32_t v, std::int32_t) { return v; }},
    Xmap{false, 0, 15, [](std::int32_t v, std::int32_t) { return nearest(v * 6.333333333); }, 0, 255},
    Xmap{false, 0, 63, [](std::int32_t v, std::int32_t) { return nearest(v * 1.639344262); }, 0, 255},
    Xmap{false, 0, 115, [](std::int32_t v, std::int32_t) { return v; }},
    Xmap{false, 0, 123, [](std::int32_t v, std::int32_t) { return nearest(v * 55.28455285); }, 0, 65535},
    Xmap{false, 0, 25, [](std::int32_t v, std::int32_t) { return 4 * v; }},
    Xmap{false, 1, 63, [](std::int32_t v, std::int32_t) { return v - 1; }},
    Xmap{false, 0, 138, [](std::int32_t v, std::int32_t) { return nearest(v * 49.27536232); }, 0, 65535},
    Xmap{true, -32, 31, [](std::int32_t, std::int32_t g) { return g - 7; }, -128, 127},  // a signed byte
    Xmap{false, 0, 55, [](std::int32_t v, std::int32_t) { return v; }},
    Xmap{false, 0, 127, [](std::int32_t v, std::int32_t) {
             if (v <= 50) return v;
             if (v <= 60) return (v - 50) * 5 + 50;
             if (v <= 100) return (v - 60) / 2 + 100;
             return v + 20;
         }},
    Xmap{false, 0, 2730, [](std::int32_t v, std::int32_t) { return v; }},
    Xmap{false, 0, 13600, [](std::int32_t v, std::int32_t) { return v; }},
    Xmap{false, 0, 16383, [](std::int32_t v, std::int32_t) { return 2 * v; }},  // 0.2 ms steps to 0.1 ms steps
};
// clang-format on

}  // namespace

std::int32_t TriKroXmap(std::int32_t inval, std::int32_t bfwidth, std::int32_t mapselector, std::int32_t& err)
{
    err = 0;
    if (mapselector == 0) return inval;
    const std::optional<Xmap>* map = mapselector > 0 && mapselector < static_cast<std::int32_t>(kMaps.size())
                                         ? &kMaps[static_cast<std::size_t>(mapselector)]
                                         : nullptr;
    if (map && *map) {
        const std::int32_t sgn = negatize(inval, bfwidth);
        const std::int32_t in = (*map)->signedInput ? sgn : inval;
        if (in >= (*map)->low && in <= (*map)->high) {
            const std::int32_t r = (*map)->value(inval, sgn);
            if (r >= (*map)->rlow && r <= (*map)->rhigh) return r;
        }
    }
    err = 1;
    return 0;
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
