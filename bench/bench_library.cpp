// SPDX-License-Identifier: GPL-3.0-or-later
// The patch library at scale: adding 10,000 files (320,000 voices, every
// name changed so each voice is new), adding them again (all duplicates),
// and searching and ordering a library of 1,000,000 items, which is what the
// Library window does when it opens and when the filter box changes.
//
// The data are made from the DX7 fixture bank in a temporary folder.
// Run: build/bin/bench_library (about a minute of setup the first time).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>

#include "core/sysex/syx_file.h"
#include "devices/yamaha/yamaha_formats.h"
#include "library/patch_library.h"
#include "million_library.h"

namespace tolvex {
namespace {

namespace fs = std::filesystem;

struct Folder {
    Folder() : path(fs::temp_directory_path() / ("tolvex-bench-library-" + std::to_string(::getpid())))
    {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~Folder() { fs::remove_all(path); }
    fs::path path;
};

void BM_AddTenThousandFiles(benchmark::State& state)
{
    Folder folder;
    std::vector<std::string> files;
    for (int i = 0; i < 10000; ++i) {
        const std::string f = (folder.path / ("bank" + std::to_string(i) + ".syx")).string();
        const Bytes b = bench::renamedBank(i);
        writeSyxFile(f, {ByteView(b)});
        files.push_back(f);
    }
    for (auto _ : state) {
        const std::string db = (folder.path / "library.sqlite").string();
        fs::remove(db);
        PatchLibrary lib(db);
        AddReport first;
        lib.addFiles(files, first);
        state.counters["patches"] = static_cast<double>(first.added);
        state.PauseTiming();
        AddReport again;
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpuStart = std::clock();
        lib.addFiles(files, again);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.counters["again_s"] = took.count();
        state.counters["again_cpu_s"] = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        state.counters["again_added"] = static_cast<double>(again.added);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AddTenThousandFiles)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// One library of 1,000,000 items for the search benchmarks (made once, kept in the temporary folder).
PatchLibrary& millionItems()
{
    static PatchLibrary lib(bench::millionLibraryPath());
    return lib;
}

// A search on its own (the command line), and as the Library window does it
// after it has opened: with the whole library read in name order already.
void BM_SearchMillion(benchmark::State& state, LibraryQuery query, bool windowOpen)
{
    PatchLibrary& lib = millionItems();
    if (windowOpen) lib.find({}, LibraryColumn::Name);
    std::size_t found = 0;
    for (auto _ : state) found = lib.find(query).size();
    state.counters["items"] = static_cast<double>(lib.count());
    state.counters["found"] = static_cast<double>(found);
}
// Every search on its own first: a window's order, once read, would order them too.
#define SEARCH(name, text, window) \
    BENCHMARK_CAPTURE(BM_SearchMillion, name, LibraryQuery{text, "", ""}, window)->Unit(benchmark::kMillisecond)
SEARCH(one_name, "12345-07", false);
SEARCH(a_thousand, "4321", false);
SEARCH(a_source_file, "collection4500.", false);
SEARCH(every_item, "yamaha", false);  // the first letters typed often match much
SEARCH(two_letters, "12", false);     // too short for the index: every row is read
SEARCH(one_name_window, "12345-07", true);
SEARCH(a_thousand_window, "4321", true);
SEARCH(a_source_file_window, "collection4500.", true);
SEARCH(every_item_window, "yamaha", true);
SEARCH(two_letters_window, "12", true);
#undef SEARCH

// The Library window's search as the user sees it: its first screenful, in
// the order it shows (read when it opened), before the count of the matches.
void BM_FirstScreenfulMillion(benchmark::State& state, LibraryQuery query)
{
    PatchLibrary& lib = millionItems();
    lib.find({}, LibraryColumn::Name);
    LibraryPage page;
    for (auto _ : state) page = lib.findFirst(query, kLibraryFirstRows, LibraryColumn::Name);
    state.counters["shown"] = static_cast<double>(page.ids.size());
    state.counters["complete"] = page.complete ? 1 : 0;
}
#define FIRST(name, text) \
    BENCHMARK_CAPTURE(BM_FirstScreenfulMillion, name, LibraryQuery{text, "", ""})->Unit(benchmark::kMillisecond)
FIRST(one_name, "12345-07");
FIRST(a_thousand, "4321");
FIRST(a_source_file, "collection4500.");
FIRST(every_item, "yamaha");
FIRST(two_letters, "12");
FIRST(one_letter, "7");
FIRST(nothing, "zzzz");
#undef FIRST

// Opening the library and reading every id in name order (what the Library
// window's loader does on its thread), and the first screenful alone (what
// the window shows at once), each on a connection of its own.
void BM_OpenWindowMillion(benchmark::State& state, bool firstRowsOnly)
{
    const std::string path = bench::millionLibraryPath();
    std::size_t rows = 0;
    for (auto _ : state) {
        PatchLibrary lib(path);
        const auto ids = firstRowsOnly ? lib.firstInOrder(kLibraryFirstRows) : lib.find({}, LibraryColumn::Name);
        benchmark::DoNotOptimize(lib.items(std::span(ids).first(std::min<std::size_t>(ids.size(), 64))));
        rows = ids.size();
    }
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK_CAPTURE(BM_OpenWindowMillion, whole_order, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenWindowMillion, first_rows, true)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tolvex
