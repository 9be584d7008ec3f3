// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/simulated_sp.h"

#include <cstdio>

namespace tolvex::testing {

namespace {

const int kLoadDelayMs = 1500;  // a bank load takes a while

const Bytes kHeader = {0xF0, 0x00, 0x00, 0x1B, 0x02, 0x05, 0x00 /* the SP's device number */};

Bytes message(std::initializer_list<Bytes> parts)
{
    Bytes m = kHeader;
    for (const Bytes& p : parts) m.insert(m.end(), p.begin(), p.end());
    m.push_back(0xF7);
    return m;
}

Bytes padded(const std::string& name)
{
    Bytes b(name.begin(), name.end());
    b.resize(14, ' ');
    return b;
}

void put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

std::uint32_t nibbleValue(ByteView m, std::size_t at, int count)
{
    std::uint32_t v = 0;
    for (int i = 0; i < count && at + static_cast<std::size_t>(i) < m.size(); ++i)
        v = v << 4 | (m[at + static_cast<std::size_t>(i)] & 0x0F);
    return v;
}

Bytes spNibbles(std::uint32_t value, int count)
{
    Bytes out;
    for (int i = count - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>((value >> (4 * i)) & 0x0F));
    return out;
}

Bytes spTone(const std::string& name, std::uint8_t wave, std::uint8_t mode)
{
    Bytes b = padded(name);
    b.resize(80);
    b[15] = wave;
    b[16] = mode;
    return b;
}

}  // namespace

Bytes spWave(const std::string& name, std::uint8_t mode, std::uint32_t words, std::uint16_t kwords)
{
    Bytes b = padded(name);
    b.resize(64);
    b[14] = mode;
    b[20] = static_cast<std::uint8_t>(kwords >> 8);
    b[21] = static_cast<std::uint8_t>(kwords);
    put32(b, 28, words);  // play end
    put32(b, 32, words);  // word length
    return b;
}

Bytes spMap(const std::string& name, const std::vector<std::uint8_t>& tones, int claimedZones)
{
    Bytes b = padded(name);
    b.resize(32 + 16 * tones.size());
    const int zones = claimedZones < 0 ? static_cast<int>(tones.size()) : claimedZones;
    b[16] = static_cast<std::uint8_t>(zones - 1);
    const int width = tones.empty() ? 128 : 128 / static_cast<int>(tones.size());
    for (std::size_t z = 0; z < tones.size(); ++z) {
        const std::size_t at = 32 + 16 * z;
        b[at + 1] = tones[z];
        b[at + 2] = static_cast<std::uint8_t>(width * static_cast<int>(z));
        b[at + 3] = static_cast<std::uint8_t>(width * static_cast<int>(z + 1) - 1);
        b[at + 5] = 100;  // volume
    }
    return b;
}

Bytes spPreset(const std::string& name, std::uint8_t mode, std::uint8_t center, std::uint8_t width, std::int8_t detune,
               SpLayer a, SpLayer b)
{
    Bytes p = padded(name);
    p.resize(256);
    p[15] = mode;
    p[35] = static_cast<std::uint8_t>(detune);
    p[39] = center;
    p[40] = width;
    for (std::size_t l = 0; l < 2; ++l) {
        const SpLayer& layer = l == 0 ? a : b;
        const std::size_t at = 64 + 96 * l;
        for (std::size_t i = 0; i < 4; ++i) p[at + 2 + i] = layer.maps[i];
        for (std::size_t i = 0; i < 3; ++i) p[at + 6 + i] = layer.sw[i];
    }
    return p;
}

SpBank scriptedSpBank()
{
    SpBank bank;
    bank.name = "Demo Bank 1   ";
    bank.objects[0] = {spWave("Piano C4", 0x00, 22050, 22), spWave("Strings Loop", 0xA0, 88200, 87),
                       spWave("Pad Wave", 0x80, 4096, 4)};
    bank.objects[1] = {spTone("Piano Tone", 0, 0x00), {}, spTone("Strings R", 1, 0xC0), spTone("Pad L", 7, 0x80)};
    bank.objects[2] = {spMap("Piano Map", {0, 2}), spMap("Pad Map", {3, 1, 0})};
    bank.objects[3] = {
        spPreset("Grand", 0, 60, 0, 0, {{0, 1, 0, 0}, {60, 128, 0}}, {{1, 1, 1, 1}, {0, 0, 0}}),
        spPreset("Split Pad", 3, 60, 12, -3, {{0, 1, 0, 1}, {64, 72, 90}}, {{1, 9, 0, 0}, {40, 128, 0}}),
        spPreset("Only B", 1, 64, 2, 5, {{0, 0, 0, 0}, {0, 0, 0}}, {{1, 0, 0, 0}, {128, 0, 0}}),
    };
    return bank;
}

Bytes spDumpMessage(int type, int number, ByteView data)
{
    Bytes nibbles;
    for (std::uint8_t b : data) {
        nibbles.push_back(static_cast<std::uint8_t>(b >> 4));
        nibbles.push_back(static_cast<std::uint8_t>(b & 0x0F));
    }
    return message({{0x02, static_cast<std::uint8_t>(type)},
                    spNibbles(static_cast<std::uint32_t>(data.size() + 3), 4),
                    spNibbles(static_cast<std::uint32_t>(number), 4),
                    {0x00, 0x00},
                    nibbles});
}

Bytes spStatusMessage(int type, int numobjs, int low, int high)
{
    // Length 25: type, format, then the ten counts of the directory status.
    return message({{0x04, 0x01, 0x00, 0x00, 0x01, 0x09},
                    spNibbles(static_cast<std::uint32_t>(type), 2),
                    spNibbles(1, 2),                                    // format
                    spNibbles(256, 4),                                  // capacity
                    spNibbles(static_cast<std::uint32_t>(numobjs), 4),  // extent
                    spNibbles(static_cast<std::uint32_t>(numobjs), 4),
                    spNibbles(static_cast<std::uint32_t>(low), 4),
                    spNibbles(static_cast<std::uint32_t>(high), 4),
                    spNibbles(0x000400, 6),  // parmbytes
                    spNibbles(0, 6),         // addlparam
                    spNibbles(0x07F000, 6),  // freeparam
                    spNibbles(2048, 4),      // raminstld
                    spNibbles(1024, 4)});    // ramavail
}

Bytes spDirListMessage(int type, int declaredLength, const std::vector<std::pair<int, std::string>>& entries)
{
    Bytes body;
    for (const auto& [number, name] : entries) {
        const Bytes n = spNibbles(static_cast<std::uint32_t>(number), 4);
        body.insert(body.end(), n.begin(), n.end());
        for (std::uint8_t c : padded(name)) {
            body.push_back(static_cast<std::uint8_t>(c >> 4));
            body.push_back(static_cast<std::uint8_t>(c & 0x0F));
        }
    }
    return message({{0x04, 0x02},
                    spNibbles(static_cast<std::uint32_t>(declaredLength), 4),
                    spNibbles(static_cast<std::uint32_t>(type), 2),
                    {0x00, 0x00},
                    body});
}

Bytes spReplyMessage(std::uint8_t code)
{
    return message({{0x10, code, 0x00}});
}

SimulatedSP::SimulatedSP(MidiLoopback& bus, Shell& shell, std::string port, SpBank bank_)
    : bank(std::move(bank_)), bus_(bus), shell_(shell), port_(std::move(port))
{
    bus_.attach(port_, [this](ByteView m) { hear(m); });
}

SimulatedSP::~SimulatedSP()
{
    bus_.attach(port_, {});
}

void SimulatedSP::answer(Bytes reply, int delay)
{
    // A one-shot timer per answer: it stops itself on its first tick.
    const std::string name = "sp:" + port_ + ":" + std::to_string(timers_++);
    shell_.startTimer(name, delay, [this, name, reply] {
        shell_.stopTimer(name);
        bus_.inject(port_, reply);
    });
}

void SimulatedSP::hear(ByteView m)
{
    heard_.emplace_back(m.begin(), m.end());
    if (silent || m.size() < 10) return;
    const std::uint8_t kind = m[7];
    if (kind == 0x12 && m[8] == 0x01 && m[9] == 0x01 && m.size() > 10) {
        const int type = m[10];
        const int count = type < 4 ? static_cast<int>(bank.objects[static_cast<std::size_t>(type)].size()) : 0;
        answer(spStatusMessage(type, count, count > 0 ? 0 : 1, count - 1), delayMs);
    } else if (kind == 0x01) {
        const int type = m[8];
        const int number = static_cast<int>(nibbleValue(m, 13, 4));
        const auto& objects = bank.objects[static_cast<std::size_t>(type & 3)];
        if (number >= static_cast<int>(objects.size()) || objects[static_cast<std::size_t>(number)].empty()) {
            answer(spReplyMessage(0x04 /* object is empty */), delayMs);
            return;
        }
        const Bytes& data = objects[static_cast<std::size_t>(number)];
        const auto claimed = numberInReply.find({type, number});
        answer(spDumpMessage(type, claimed == numberInReply.end() ? number : claimed->second, data), delayMs);
    } else if (kind == 0x11 && m[8] == 0x02) {
        answer(message({{0x11, 0x02, 0x0F, 0x01}, padded(bank.name)}), delayMs);
    } else if (kind == 0x30 && m.size() > 18) {
        const int number = static_cast<int>(nibbleValue(m, 15, 4));
        if (silentBanks.count(number)) return;
        if (refusedBanks.count(number)) {
            answer(spReplyMessage(0x0A /* operation failed */), kLoadDelayMs);
            return;
        }
        char name[16];
        std::snprintf(name, sizeof name, "Disk Bank %-4d", number);
        bank.name = name;
        answer(spReplyMessage(0x00), kLoadDelayMs);
    }
}

}  // namespace tolvex::testing
