// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/common/korg_packing.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tolvex {

namespace {

// Eight bytes as one number, least significant first. On a little-endian
// machine that is a plain copy (one load or store); elsewhere byte by byte.
std::uint64_t load64le(const std::uint8_t* p)
{
    std::uint64_t v = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&v, p, 8);
    } else {
        for (int i = 0; i < 8; ++i) v |= std::uint64_t{p[i]} << (8 * i);
    }
    return v;
}

void store64le(std::uint8_t* p, std::uint64_t v)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &v, 8);
    } else {
        for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

// A full group is handled as one 64-bit word, byte i of the word being byte i of
// the group. Multiplying the 7 flag bits by kSpread places flag i at bit 8i + 7:
// the seven shifted copies (by 7, 14, ..., 49) do not overlap, so nothing carries.
constexpr std::uint64_t kSpread =
    (1ull << 7) | (1ull << 14) | (1ull << 21) | (1ull << 28) | (1ull << 35) | (1ull << 42) | (1ull << 49);
// The inverse: with flag i at bit 8i, multiplying by kGather places it at bit
// 56 + i; all 49 partial products land on distinct bits, so nothing carries.
constexpr std::uint64_t kGather =
    (1ull << 56) | (1ull << 49) | (1ull << 42) | (1ull << 35) | (1ull << 28) | (1ull << 21) | (1ull << 14);
constexpr std::uint64_t kTopBits = 0x0080808080808080ull;  // bit 7 of bytes 0-6
constexpr std::uint64_t kLowBits = 0x007F7F7F7F7F7F7Full;  // bits 0-6 of bytes 0-6

// Each step below converts as many whole groups as its loads and stores allow
// without leaving the buffers, and returns how far it got; the next, narrower
// step carries on from there. So every step runs in the tests whatever the
// machine: the 16-byte one on bank-sized data, the others on the last groups.

// Unpacks two full groups at a time while 15 or more values remain (the second
// 8-byte store reaches 15 bytes past pos).
std::size_t unpackPairs([[maybe_unused]] const std::uint8_t*& in, [[maybe_unused]] std::uint8_t* out,
                        [[maybe_unused]] std::size_t n)
{
    std::size_t pos = 0;
#if defined(__SSE2__)
    // Per 64-bit lane, as in the word step; SSE2 multiplies only 32 x 32 bits,
    // so kSpread is applied as its low and high halves, whose products do not overlap.
    const __m128i flagMask = _mm_set1_epi64x(0x7F);
    const __m128i spreadLow = _mm_set1_epi64x(static_cast<long long>(kSpread & 0xFFFFFFFFu));
    const __m128i spreadHigh = _mm_set1_epi64x(static_cast<long long>(kSpread >> 32));
    const __m128i topBits = _mm_set1_epi64x(static_cast<long long>(kTopBits));
    for (; n - pos >= 15; in += 16, pos += 14) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        const __m128i flags = _mm_and_si128(v, flagMask);
        const __m128i spread =
            _mm_or_si128(_mm_mul_epu32(flags, spreadLow), _mm_slli_epi64(_mm_mul_epu32(flags, spreadHigh), 32));
        const __m128i r = _mm_or_si128(_mm_srli_epi64(v, 8), _mm_and_si128(spread, topBits));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + pos), r);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + pos + 7), _mm_unpackhi_epi64(r, r));
    }
#endif
    return pos;
}

// Packs two full groups at a time while 16 or more values remain (the 16-byte load).
std::size_t packPairs([[maybe_unused]] const std::uint8_t* data, [[maybe_unused]] std::uint8_t*& out,
                      [[maybe_unused]] std::size_t n)
{
    std::size_t pos = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i low7 = _mm_set1_epi8(0x7F);
    // bitweight of data byte i at byte i + 1 of each 8-byte lane; summing a
    // lane's selected weights (psadbw) gives its bit-7 byte, already at byte 0.
    const __m128i weights = _mm_set1_epi64x(0x4020100804020100ll);
    for (; n - pos >= 16; pos += 14, out += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + pos));
        // Lanes [0, v0..v6] and [0, v7..v13]: the layout of the two packed groups.
        const __m128i x = _mm_slli_epi64(_mm_unpacklo_epi64(a, _mm_srli_si128(a, 7)), 8);
        const __m128i flags = _mm_sad_epu8(_mm_and_si128(_mm_cmplt_epi8(x, zero), weights), zero);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(_mm_and_si128(x, low7), flags));
    }
#endif
    return pos;
}

}  // namespace

Bytes KorgSXtoDataConvert(ByteView sx, int offset, int dlen)
{
    if (dlen < 1) return {};
    const std::size_t n = static_cast<std::size_t>(dlen);
    const std::size_t need = KorgPackedSize(n);
    if (offset < 0 || static_cast<std::size_t>(offset) > sx.size() ||
        sx.size() - static_cast<std::size_t>(offset) < need)
        throw TolvexError(
            format("Packed data too short: need %zu bytes from offset %d, message has %zu", need, offset, sx.size()));

    Bytes out(n);
    const std::uint8_t* in = sx.data() + offset;
    std::uint8_t* o = out.data();
    std::size_t pos = unpackPairs(in, o, n);
    // While 8 or more values remain, the group is full and an 8-byte store stays
    // inside out (its eighth byte is overwritten by the next group).
    for (; n - pos >= 8; in += 8, pos += 7) {
        const std::uint64_t w = load64le(in);
        store64le(o + pos, (w >> 8) | (((w & 0x7F) * kSpread) & kTopBits));
    }
    while (pos < n) {
        const std::uint8_t flags = *in++;
        const std::size_t c = std::min<std::size_t>(7, n - pos);
        for (std::size_t i = 0; i < c; ++i) o[pos + i] = static_cast<std::uint8_t>(in[i] | (((flags >> i) & 1) << 7));
        in += c;
        pos += c;
    }
    return out;
}

Bytes KorgDatatoSXConvert(ByteView header, ByteView data)
{
    const std::size_t n = data.size();
    Bytes out(header.size() + KorgPackedSize(n) + 1);
    std::copy(header.begin(), header.end(), out.begin());
    std::uint8_t* o = out.data() + header.size();
    std::size_t pos = packPairs(data.data(), o, n);
    // While 8 or more values remain, an 8-byte load stays inside data.
    for (; n - pos >= 8; pos += 7, o += 8) {
        const std::uint64_t v = load64le(data.data() + pos);
        const std::uint64_t flags = (((v & kTopBits) >> 7) * kGather) >> 56;
        store64le(o, flags | ((v & kLowBits) << 8));
    }
    while (pos < n) {
        const std::size_t c = std::min<std::size_t>(7, n - pos);
        std::uint8_t flags = 0;
        for (std::size_t i = 0; i < c; ++i) {
            if (data[pos + i] & 0x80) flags |= bitweight[i];
            o[1 + i] = data[pos + i] & 0x7F;
        }
        o[0] = flags;
        o += 1 + c;
        pos += c;
    }
    *o = 0xF7;  // End of Exclusive
    return out;
}

}  // namespace tolvex
