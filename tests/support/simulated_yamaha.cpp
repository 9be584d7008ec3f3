// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/simulated_yamaha.h"

#include <algorithm>

namespace tolvex::testing {

namespace {

Bytes closed(Bytes m, std::size_t checksumFrom)
{
    m.push_back(yamahaChecksum(ByteView(m).subspan(checksumFrom)));
    m.push_back(0xF7);
    return m;
}

bool startsWith(ByteView m, ByteView head)
{
    return m.size() >= head.size() && std::equal(head.begin(), head.end(), m.begin());
}

}  // namespace

Bytes dx7iiPerfEditBufDump(int device, const DX7iiPerformance& performance)
{
    Bytes m{0xF0, 0x43, static_cast<std::uint8_t>(device & 0x0F), 0x7E, 0x00, 0x3D /* 61 bytes */};
    m.insert(m.end(), DX7ii_PerfBufID, DX7ii_PerfBufID + 10);
    m.insert(m.end(), performance.begin(), performance.end());
    return closed(std::move(m), 6);
}

Bytes voiceEditBufDump(int device, const VoiceEditBuf& voice)
{
    Bytes m{0xF0, 0x43, static_cast<std::uint8_t>(device & 0x0F), 0x00, 0x01, 0x1B /* 155 bytes */};
    m.insert(m.end(), voice.begin(), voice.end());
    return closed(std::move(m), 6);
}

VoiceEditBuf voiceNamed(const std::string& name)
{
    VoiceEditBuf v{};
    const std::string padded = (name + std::string(10, ' ')).substr(0, 10);
    std::copy(padded.begin(), padded.end(), v.begin() + 145);
    return v;
}

SimulatedYamaha::SimulatedYamaha(MidiLoopback& bus, Shell& shell, std::string port, int channel)
    : bus_(bus), shell_(shell), port_(std::move(port)), channel_(channel)
{
    bus_.attach(port_, [this](ByteView m) { hear(m); });
}

SimulatedYamaha::~SimulatedYamaha()
{
    bus_.attach(port_, {});
}

void SimulatedYamaha::hear(ByteView m)
{
    if (m.size() == 2 && m[0] == (0xC0 | channel_)) {
        program_ = m[1];
        return;
    }
    Bytes reply;
    if (startsWith(m, MakeDumpReq(DumpFormat::PEB, channel_)))
        reply = dx7iiPerfEditBufDump(channel_, performances[static_cast<std::size_t>(program_)]);
    else if (startsWith(m, MakeDumpReq(DumpFormat::VEB, channel_)))
        reply = voiceEditBufDump(channel_, voices[static_cast<std::size_t>(program_)]);
    if (reply.empty() || answersLeft == 0) return;
    if (answersLeft > 0) --answersLeft;
    if (badChecksum.count(program_)) reply[reply.size() - 2] ^= 0x01;
    // A one-shot timer per reply: it stops itself on its first tick.
    const std::string name = "yamaha:" + port_ + ":" + std::to_string(timers_++);
    shell_.startTimer(name, delayMs, [this, name, reply] {
        shell_.stopTimer(name);
        bus_.inject(port_, reply);
    });
}

}  // namespace tolvex::testing
