// SPDX-License-Identifier: GPL-3.0-or-later
// Korg 7-bit unpacking and packing of all Triton Programs (829,440 values,
// 947,932 packed bytes) against copying the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "devices/common/korg_packing.h"

namespace {

using namespace tolvex;

constexpr std::size_t kUnpacked = 829440;
constexpr int kHeader = 8;

Bytes tritonBank()
{
    std::mt19937 rng(1);
    Bytes data(kUnpacked);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    return data;
}

// Throughput is counted in unpacked bytes for every benchmark, so the MB/s compare directly.
void setBytes(benchmark::State& state)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kUnpacked));
}

void BM_KorgSXtoDataConvertTritonBank(benchmark::State& state)
{
    const Bytes sx = KorgDatatoSXConvert(Bytes(kHeader, 0x00), tritonBank());
    for (auto _ : state) benchmark::DoNotOptimize(KorgSXtoDataConvert(sx, kHeader, static_cast<int>(kUnpacked)));
    setBytes(state);
}
BENCHMARK(BM_KorgSXtoDataConvertTritonBank)->Unit(benchmark::kMicrosecond);

void BM_KorgDatatoSXConvertTritonBank(benchmark::State& state)
{
    const Bytes data = tritonBank();
    const Bytes header(kHeader, 0x00);
    for (auto _ : state) benchmark::DoNotOptimize(KorgDatatoSXConvert(header, data));
    setBytes(state);
}
BENCHMARK(BM_KorgDatatoSXConvertTritonBank)->Unit(benchmark::kMicrosecond);

// The floors: a fresh vector filled by memcpy, as the converters return a fresh
// vector; once for the unpacked size and once for the packed size.
void BM_MemcpyUnpackedSize(benchmark::State& state)
{
    const Bytes data = tritonBank();
    for (auto _ : state) {
        Bytes out(kUnpacked);
        std::memcpy(out.data(), data.data(), kUnpacked);
        benchmark::DoNotOptimize(out.data());
    }
    setBytes(state);
}
BENCHMARK(BM_MemcpyUnpackedSize)->Unit(benchmark::kMicrosecond);

void BM_MemcpyPackedSize(benchmark::State& state)
{
    const Bytes sx = KorgDatatoSXConvert(Bytes(kHeader, 0x00), tritonBank());
    for (auto _ : state) {
        Bytes out(sx.size());
        std::memcpy(out.data(), sx.data(), sx.size());
        benchmark::DoNotOptimize(out.data());
    }
    setBytes(state);
}
BENCHMARK(BM_MemcpyPackedSize)->Unit(benchmark::kMicrosecond);

}  // namespace
