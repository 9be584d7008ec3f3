// SPDX-License-Identifier: GPL-3.0-or-later
// Assembling a large SysEx from input buffers, and the hex/monitor texts.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <memory>

#include "core/app/incoming.h"
#include "core/app/session.h"
#include "core/sysex/monitor_text.h"
#include "core/text/text_utils.h"
#include "numbered_message.h"
#include "support/scripted_shell.h"

namespace {

using namespace tolvex;

constexpr std::size_t kTotal = 10 * 1024 * 1024;
constexpr std::size_t kBuffer = 4096;

std::vector<TMyMidiEvent> makeBuffers()
{
    std::vector<TMyMidiEvent> out;
    for (std::size_t pos = 0; pos < kTotal; pos += kBuffer) {
        TMyMidiEvent e;
        e.MidiMessage = 0xF0;
        e.Sysex.assign(std::min(kBuffer, kTotal - pos), 0x55);
        out.push_back(std::move(e));
    }
    out.front().Sysex.front() = 0xF0;
    out.back().Sysex.back() = 0xF7;
    return out;
}

// The program keeps one assembler for its whole run, so after the first long
// dump the message buffer is already large enough: the steady state.
void BM_Addsysex10MiB(benchmark::State& state)
{
    const auto buffers = makeBuffers();
    testing::ScriptedShell shell;
    Session s(shell);
    for (auto _ : state) {
        for (const auto& b : buffers) benchmark::DoNotOptimize(s.midi.SX_Object.Addsysex(b));
        benchmark::DoNotOptimize(s.midi.SX_Object.sxdata.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_Addsysex10MiB)->Unit(benchmark::kMillisecond);

// The first dump after start-up: a fresh assembler grows its buffer as it goes.
void BM_Addsysex10MiBFirstDump(benchmark::State& state)
{
    const auto buffers = makeBuffers();
    testing::ScriptedShell shell;
    for (auto _ : state) {
        Session s(shell);
        for (const auto& b : buffers) benchmark::DoNotOptimize(s.midi.SX_Object.Addsysex(b));
        benchmark::DoNotOptimize(s.midi.SX_Object.sxdata.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_Addsysex10MiBFirstDump)->Unit(benchmark::kMillisecond);

// The same bytes copied buffer by buffer into one buffer, the floor for the assembler.
void BM_Memcpy10MiB(benchmark::State& state)
{
    const auto buffers = makeBuffers();
    Bytes out(kTotal);
    for (auto _ : state) {
        std::size_t pos = 0;
        for (const auto& b : buffers) {
            std::memcpy(out.data() + pos, b.Sysex.data(), b.Sysex.size());
            pos += b.Sysex.size();
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_Memcpy10MiB)->Unit(benchmark::kMillisecond);

// The floor for a first dump: the same copies into memory the process has not touched yet.
void BM_Memcpy10MiBFreshMemory(benchmark::State& state)
{
    const auto buffers = makeBuffers();
    for (auto _ : state) {
        std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[kTotal]);
        std::size_t pos = 0;
        for (const auto& b : buffers) {
            std::memcpy(out.get() + pos, b.Sysex.data(), b.Sysex.size());
            pos += b.Sysex.size();
        }
        benchmark::DoNotOptimize(out.get());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_Memcpy10MiBFreshMemory)->Unit(benchmark::kMillisecond);

void BM_SxStringToHexList(benchmark::State& state)
{
    Bytes dump(4104, 0x40);
    dump.front() = 0xF0;
    dump.back() = 0xF7;
    for (auto _ : state) benchmark::DoNotOptimize(SxStringToHexList(dump));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SxStringToHexList);

void BM_MonitorMessageText(benchmark::State& state)
{
    TMyMidiEvent note;
    note.MidiMessage = 0x90;
    note.Data1 = 0x3C;
    note.Data2 = 0x64;
    note.Time = 0x12345;
    TMyMidiEvent sysex;
    sysex.MidiMessage = 0xF0;
    sysex.Sysex.assign(4096, 0x10);
    sysex.Sysex.front() = 0xF0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(MonitorMessageText(note));
        benchmark::DoNotOptimize(MonitorMessageText(sysex));
    }
    state.SetItemsProcessed(2 * state.iterations());
}
BENCHMARK(BM_MonitorMessageText);

std::size_t heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

std::size_t residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    std::size_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// What a list entry costs besides its message bytes, for 1,000,000 8-byte
// messages: heap in use and resident memory, per entry. `received`: stored as
// a reception stores them (named, logged, made current); otherwise appended
// with a different text each, all from one file.
void listMemory(benchmark::State& state, bool received)
{
    constexpr std::uint32_t kEntries = 1000000;
    for (auto _ : state) {
        testing::ScriptedShell shell;
        auto s = std::make_unique<Session>(shell);
        malloc_trim(0);
        const std::size_t heap0 = heapInUse(), rss0 = residentBytes();
        for (std::uint32_t i = 0; i < kEntries; ++i) {
            if (received)
                StoreReceivedMessage(*s, bench::numberedMessage(i));
            else
                s->messages.append("Entry " + std::to_string(i) + " of a long list", bench::numberedMessage(i),
                                   "/tmp/list.syx");
        }
        const double heap = static_cast<double>(heapInUse() - heap0) / kEntries;
        const double rss = static_cast<double>(residentBytes() - rss0) / kEntries;
        state.counters["heap_B_per_entry_beyond_msg"] = heap - 8;
        state.counters["rss_B_per_entry_beyond_msg"] = rss - 8;
        s.reset();
    }
}

void BM_ListMemoryReceived1M(benchmark::State& state)
{
    listMemory(state, true);
}
BENCHMARK(BM_ListMemoryReceived1M)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ListMemoryDistinctTexts1M(benchmark::State& state)
{
    listMemory(state, false);
}
BENCHMARK(BM_ListMemoryDistinctTexts1M)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
