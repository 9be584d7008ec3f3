// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/yamaha/yamaha_convert.h"

#include <algorithm>

namespace tolvex {

namespace {

enum Mode : std::uint8_t { Single = 0, Dual = 1, Split = 2 };

// What a tone generator takes from the DX7II performance.
struct ToneGenerator {
    int offset;     // voice channel offset: 0, or 4 for group B
    int voice;      // 0-255
    int noteShift;  // 0-48
    int detune;     // 0-14, 7 none
    int output;     // output channel assign
    int noteLow;    // note limits
    int noteHigh;
};

// Tone generator t (0-7) of performance S; nothing for a mode other than 0-2,
// whose tone generators keep voice, channel, offset, detune and output 0.
bool toneGenerator(const DX7iiPerformance& S, int t, ToneGenerator& g)
{
    const int mode = S[dx7ii::kMode];
    if (mode > Split) return false;
    const bool groupB = mode != Single && t >= 4;
    g.offset = groupB ? 4 : 0;
    g.voice = S[groupB ? dx7ii::kVoiceB : dx7ii::kVoiceA];
    g.noteShift = S[groupB ? 14 : 13];
    // Dual spreads the two groups apart: A detuned up on output 1, B down on output 2.
    if (mode == Dual) {
        g.detune = groupB ? 6 : 8;
        g.output = groupB ? 2 : 1;
    } else {
        g.detune = 7;
        g.output = 3;
    }
    const int split = S[dx7ii::kSplitPoint];
    // Split point 127 leaves group B the limit 128: above every key, so it plays nothing.
    g.noteLow = mode == Split && groupB ? split + 1 : 0;
    g.noteHigh = mode == Split && !groupB ? split : 127;
    return true;
}

}  // namespace

void Yam_DX7pb_to_TX802PMEM(const std::array<DX7iiPerformance, 32>& source, int offset, int chan,
                            std::array<TX802Performance, 64>& target)
{
    for (std::size_t i = 0; i < source.size(); ++i) {
        const DX7iiPerformance& S = source[i];
        TX802Performance& T = target[static_cast<std::size_t>(offset) + i];
        T.fill(0);
        std::copy_n(S.begin() + dx7ii::kName, kNameLength, T.begin() + kPmemName);
        for (std::size_t t = 0; t < 8; ++t) {
            ToneGenerator g{};
            const bool played = toneGenerator(S, static_cast<int>(t), g);
            if (played) {
                T[t] = static_cast<std::uint8_t>(g.offset << 5 | (chan & 0x1F));
                T[8 + t] = static_cast<std::uint8_t>(g.voice);
                T[32 + t] = static_cast<std::uint8_t>(g.detune << 3 | g.output);
                T[56 + t] = static_cast<std::uint8_t>(g.noteShift);
            }
            // The note limits and the EG forced damp flag hold for any mode.
            const bool split = S[dx7ii::kMode] == Split;
            T[40 + t] = static_cast<std::uint8_t>(split ? g.noteLow : 0);
            T[48 + t] = static_cast<std::uint8_t>(split ? g.noteHigh : 127);
            if (S[8] != 0) T[56 + t] |= 0x40;
            T[24 + t] = S[dx7ii::kVolume];
        }
    }
}

TX802Pced Yam_DX7p_to_TX802PCED(const DX7iiPerformance& S, int chan)
{
    TX802Pced P{};
    std::copy_n(S.begin() + dx7ii::kName, kNameLength, P.begin() + kPcedName);
    for (std::size_t t = 0; t < 8; ++t) {
        auto at = [&](std::size_t k) -> std::uint8_t& { return P[8 * k + t]; };
        ToneGenerator g{};
        if (toneGenerator(S, static_cast<int>(t), g)) {
            at(0) = static_cast<std::uint8_t>(g.offset);
            at(1) = static_cast<std::uint8_t>(chan);
            at(2) = static_cast<std::uint8_t>(g.voice);
            at(3) = static_cast<std::uint8_t>(g.detune);
            at(5) = static_cast<std::uint8_t>(g.output);
            at(8) = static_cast<std::uint8_t>(g.noteShift);
        }
        const bool split = S[dx7ii::kMode] == Split;
        at(6) = static_cast<std::uint8_t>(split ? g.noteLow : 0);
        at(7) = static_cast<std::uint8_t>(split ? g.noteHigh : 127);
        if (S[8] != 0) at(9) = 1;
        at(4) = S[dx7ii::kVolume];
    }
    return P;
}

}  // namespace tolvex
