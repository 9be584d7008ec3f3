// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a 50 MiB .syx of 12,000 DX7 banks into the message list and writing it back.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "core/app/librarian.h"
#include "core/sysex/sx_naming.h"
#include "core/sysex/syx_file.h"
#include "support/scripted_shell.h"
#include "support/temp_dir.h"

namespace {

using namespace tolvex;

constexpr int kBanks = 12000;
constexpr std::size_t kBank = 4104;

const testing::TempDir& dir()
{
    static testing::TempDir d;
    return d;
}

const std::string& bigFile()
{
    static const std::string path = [] {
        Bytes bank(kBank, 0x20);
        const Bytes header = {0xF0, 0x43, 0x00, 0x09, 0x20, 0x00};
        std::copy(header.begin(), header.end(), bank.begin());
        bank.back() = 0xF7;
        std::string all;
        all.reserve(kBanks * kBank);
        for (int i = 0; i < kBanks; ++i) all.append(bank.begin(), bank.end());
        return dir().write("banks.syx", all);
    }();
    return path;
}

// Read, split and append to the list (the Open command without naming).
void BM_ReadSyxIntoList(benchmark::State& state)
{
    const std::string& path = bigFile();
    testing::ScriptedShell shell;
    for (auto _ : state) {
        Session s(shell);
        for (Bytes& m : ReadSXfile(s, path)) s.messages.append("Yamaha Bulk Dump", std::move(m), path);
        benchmark::DoNotOptimize(s.messages.count());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kBanks * kBank);
}
BENCHMARK(BM_ReadSyxIntoList)->Unit(benchmark::kMillisecond);

void BM_NameEveryBank(benchmark::State& state)
{
    testing::ScriptedShell shell;
    Session s(shell);
    const std::vector<Bytes> read = ReadSXfile(s, bigFile());
    for (auto _ : state) {
        for (const Bytes& m : read) {
            std::string sup;
            bool ignore = false;
            benchmark::DoNotOptimize(SxParseName(m, sup, ignore));
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kBanks);
}
BENCHMARK(BM_NameEveryBank)->Unit(benchmark::kMillisecond);

void BM_WriteSyxFromList(benchmark::State& state)
{
    testing::ScriptedShell shell;
    Session s(shell);
    const std::vector<Bytes> read = ReadSXfile(s, bigFile());
    std::vector<ByteView> views(read.begin(), read.end());
    const std::string out = dir().file("written.syx");
    for (auto _ : state) writeSyxFile(out, views);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kBanks * kBank);
}
BENCHMARK(BM_WriteSyxFromList)->Unit(benchmark::kMillisecond);

}  // namespace
