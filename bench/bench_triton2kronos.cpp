// SPDX-License-Identifier: GPL-3.0-or-later
// The Triton to Kronos Combi conversion with the shipped tables: all 128
// Combinations of a bank (unpack, convert, pack, append), and one "Conv
// Triton Combi" command with its files.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "core/app/controls.h"
#include "core/app/session.h"
#include "devices/common/korg_packing.h"
#include "devices/kronos/kronos_combi.h"
#include "devices/kronos/kronos_defs.h"
#include "devices/kronos/kronos_startup.h"
#include "devices/kronos/kronos_sysex.h"
#include "devices/triton/triton_sysex.h"
#include "devices/triton2kronos/tri_kro_command.h"
#include "devices/triton2kronos/tri_kro_startup.h"
#include "devices/triton2kronos/tri_kro_tables.h"
#include "support/scripted_shell.h"
#include "support/simulated_triton.h"
#include "support/temp_dir.h"

namespace {

using namespace tolvex;

const std::string kData = TOLVEX_FIXTURES_DIR "/../../data/";

// A bank of Combinations using mapped effects, named and routed at random.
Bytes bankDump()
{
    std::mt19937 rng(7);
    auto bank = std::make_unique<triton::Ttri_Combi_bank>();
    for (auto& c : *bank) {
        Bytes b(sizeof c);
        for (auto& x : b) x = static_cast<std::uint8_t>(rng());
        b[218] &= 0xE7;  // switch assignments 0-7
        b[219] &= 0xE7;
        for (std::size_t n = 0; n < 5; ++n) b[16 + 24 * n + 16] = static_cast<std::uint8_t>(52 + n);  // reverbs
        triton::recordFromBytes(c, b);
    }
    return testing::tritonDump(0, 0x4D, 1, 0, 0, *bank);
}

struct Setup {
    Setup()
    {
        std::filesystem::current_path(dir.str());
        KronosUnitStartup(s, kData, false);
        TriKroUnitStartup(s, kData);
        TriKroLoadLists(s, kData);
        s.paths.progpath = kData;
        s.paths.settingsFolder = dir.str();
        s.controls.text.set(ctl::Tri_Gchan, "1");
        s.messages.append("bank", bankDump(), "");
    }
    testing::TempDir dir;
    testing::ScriptedShell shell;
    Session s{shell};
};

void BM_ConvertWholeBank(benchmark::State& state)
{
    Setup w;
    std::vector<std::string> names;
    kronos::TKro_Combi init{};
    std::ifstream(kData + "KroInitCombi.bin", std::ios::binary).read(reinterpret_cast<char*>(init.data()), init.size());
    auto efx = std::make_unique<KroDefaultEfxData>();
    std::ifstream(kData + "Kro_Default_EFX_Data.bin", std::ios::binary)
        .read(reinterpret_cast<char*>(efx->data()), static_cast<std::streamsize>(efx->size()));
    const Bytes dump = w.s.messages.at(0).storage->sxdata;
    for (auto _ : state) {
        const Bytes bank = KorgSXtoDataConvert(dump, 8, 128 * 448);
        for (std::size_t n = 0; n < 128; ++n) {
            triton::Ttri_Combi c{};
            triton::recordFromBytes(c, ByteView(bank).subspan(448 * n, 448));
            const TriKroConvertOutput out =
                Convert_Combi_Triton2Kronos({c, init, *efx, triKroTables(w.s), kronosDefs(w.s), names, true, "0"});
            w.s.messages.append("converted", KroCurrentCombiMessage(out.Kro_Combi), "Tri2Kro-Convert");
        }
        state.PauseTiming();
        while (w.s.messages.count() > 1) w.s.messages.removeAt(w.s.messages.count() - 1);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 128);
    state.SetLabel("items = Combis");
}
BENCHMARK(BM_ConvertWholeBank)->Unit(benchmark::kMillisecond);

void BM_ConvTritonCombiCommand(benchmark::State& state)
{
    Setup w;
    for (auto _ : state) {
        w.s.messages.selectOnly(0);
        w.s.controls.text.set(ctl::KroProg, "5");
        ConvTriCombiBankClick(w.s);
        state.PauseTiming();
        w.s.messages.removeAt(1);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ConvTritonCombiCommand)->Unit(benchmark::kMillisecond);

}  // namespace
