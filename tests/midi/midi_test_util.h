// SPDX-License-Identifier: GPL-3.0-or-later
// Messages and a drained-event log shared by the MIDI device tests.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "core/core_test_util.h"
#include "core/sysex/midi_event.h"
#include "core/text/bytes.h"
#include "midi/midi_input.h"
#include "midi/midi_system.h"
#include "support/scripted_shell.h"

namespace tolvex::testing {

// F0 ... F7 with bytes that differ from buffer to buffer, so a swapped or repeated buffer shows.
inline Bytes sysex(std::size_t length, std::uint8_t seed = 0)
{
    Bytes m(length);
    for (std::size_t i = 0; i < length; ++i) m[i] = static_cast<std::uint8_t>((i * 7 + i / 4096 + seed) & 0x7F);
    m.front() = 0xF0;
    m.back() = 0xF7;
    return m;
}

// Runs the main thread's posted calls until `done` holds or 20 s pass.
template <class Done>
void runUntil(ScriptedShell& shell, Done done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        shell.runPosted();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Runs the main thread for `time`, for what is still on its way.
inline void runFor(ScriptedShell& shell, std::chrono::milliseconds time)
{
    const auto end = std::chrono::steady_clock::now() + time;
    runUntil(shell, [&] { return std::chrono::steady_clock::now() >= end; });
}

// Drains the input the way the main window does, keeping every event.
inline void collectEvents(TMidiInput& in, std::vector<TMyMidiEvent>& events)
{
    in.OnMidiInput = [&events](TMidiInput& sender) {
        while (auto e = sender.GetMidiEvent()) events.push_back(std::move(*e));
    };
}

// The SysEx buffer length of each event, 0 for a short message.
inline std::vector<std::size_t> lengths(const std::vector<TMyMidiEvent>& events)
{
    std::vector<std::size_t> out;
    for (const auto& e : events) out.push_back(e.SysexLength());
    return out;
}

// Events joined into whole messages: SysEx buffers up to F7; status, data 1, data 2 otherwise.
inline std::vector<Bytes> messages(const std::vector<TMyMidiEvent>& events)
{
    std::vector<Bytes> out;
    for (const auto& e : events) {
        const Bytes part = e.Sysex.empty() ? Bytes{e.MidiMessage, e.Data1, e.Data2} : e.Sysex;
        if (out.empty() || out.back().front() != 0xF0 || out.back().back() == 0xF7) out.emplace_back();
        out.back().insert(out.back().end(), part.begin(), part.end());
    }
    return out;
}

// Whether a JACK server runs; scripts/test.sh starts one and sets
// TOLVEX_REQUIRE_JACK=1, so that CI cannot pass by skipping: then its absence fails.
inline bool haveJack()
{
    if (jackServerRunning()) return true;
    const char* required = std::getenv("TOLVEX_REQUIRE_JACK");
    if (required != nullptr && std::string(required) == "1")
        ADD_FAILURE() << "no JACK server, although one is required";
    return false;
}

// The MidiDoubt bits of each SysEx message of messages(events) (0 for a short message).
inline std::vector<std::uint8_t> doubts(const std::vector<TMyMidiEvent>& events)
{
    std::vector<std::uint8_t> out;
    bool open = false;
    for (const auto& e : events) {
        if (!open) out.push_back(0);
        out.back() |= e.Doubt;
        open = !e.Sysex.empty() && e.Sysex.back() != 0xF7;
    }
    return out;
}

}  // namespace tolvex::testing
