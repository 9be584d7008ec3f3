// SPDX-License-Identifier: GPL-3.0-or-later
// Whole programs as a user starts them, each timed beside its reference in the
// same iteration (the machine is shared, so only a ratio measured side by side
// means much): tolvex-cli names and run, the runner's selection parser, and the
// window's start to its first idle pass of the event loop.
//
// Counters: *_ms CPU time (user + system) of the program and of its reference
// (best of the iterations; on a machine shared by several users the wall time
// mostly measures the others), ratio = program / reference, *_wall_ms the best
// wall time, *_peak_MiB the largest resident size.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/runner.h"
#include "core/sysex/syx_file.h"
#include "support/temp_dir.h"

extern char** environ;

namespace {

using namespace tolvex;

struct Run {
    double seconds = 0;  // wall
    double cpu = 0;      // user + system
    double peakMiB = 0;
    int status = -1;
};

std::string binFolder()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/";
}

const testing::TempDir& dir();

// Starts a program (through run_measured, which reports its CPU time and peak
// size) with its output to `out` (and errors to /dev/null), waits for it.
Run start(const std::vector<std::string>& program, const std::string& out = "/dev/null",
          const std::vector<std::string>& env = {})
{
    static const std::string measure = binFolder() + "run_measured";
    static const std::string result = dir().file("measured.txt");
    std::vector<std::string> args{measure, result};
    args.insert(args.end(), program.begin(), program.end());
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) envText.emplace_back(*e);
    envText.insert(envText.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (std::string& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::filesystem::remove(result);
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = 0;
    Run r;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        long peakKiB = 0;
        std::ifstream measured(result);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && measured >> r.status >> r.cpu >> peakKiB)
            r.peakMiB = static_cast<double>(peakKiB) / 1024.0;
        else
            r.status = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return r;
}

const testing::TempDir& dir()
{
    static testing::TempDir d;
    return d;
}

// Runs the program and its reference in turn each iteration; reports the best
// time of each (the least disturbed by the other users of the machine).
void sideBySide(benchmark::State& state, const std::vector<std::string>& program,
                const std::vector<std::string>& reference, const std::string& out = "/dev/null",
                const std::vector<std::string>& env = {})
{
    double best = 1e9, bestRef = 1e9, wall = 1e9, wallRef = 1e9, peak = 0, peakRef = 0;
    int status = 0;
    for (auto _ : state) {
        const Run p = start(program, out, env);
        const Run r = start(reference, "/dev/null", env);
        status |= p.status;
        best = std::min(best, p.cpu);
        bestRef = std::min(bestRef, r.cpu);
        wall = std::min(wall, p.seconds);
        wallRef = std::min(wallRef, r.seconds);
        peak = std::max(peak, p.peakMiB);
        peakRef = std::max(peakRef, r.peakMiB);
        state.SetIterationTime(p.seconds);
    }
    if (status != 0) state.SkipWithError("the program failed");
    state.counters["prog_ms"] = best * 1e3;
    state.counters["ref_ms"] = bestRef * 1e3;
    state.counters["ratio"] = best / bestRef;
    state.counters["prog_wall_ms"] = wall * 1e3;
    state.counters["ref_wall_ms"] = wallRef * 1e3;
    state.counters["prog_peak_MiB"] = peak;
    state.counters["ref_peak_MiB"] = peakRef;
}

std::string fixture(const char* name)
{
    return std::string(TOLVEX_FIXTURES_DIR) + "/" + name;
}

// The messages of the real dumps (the test fixtures) the benchmarks are built from.
const std::vector<Bytes>& realMessages()
{
    static const std::vector<Bytes> all = [] {
        std::vector<Bytes> out;
        for (const auto& e : std::filesystem::recursive_directory_iterator(TOLVEX_FIXTURES_DIR)) {
            if (e.path().extension() != ".syx") continue;
            SyxParse p = readSyxFile(e.path().string());
            // Up to a DX7 bank: the mix of a librarian's day rather than a few huge dumps.
            for (Bytes& m : p.messages)
                if (m.size() <= 4104) out.push_back(std::move(m));
        }
        return out;
    }();
    return all;
}

std::string writeMessages(const std::string& name, std::size_t count, std::size_t minBytes)
{
    const std::string path = dir().file(name);
    std::ofstream f(path, std::ios::binary);
    std::size_t bytes = 0;
    const auto& all = realMessages();
    for (std::size_t i = 0; i < count || bytes < minBytes; ++i) {
        const Bytes& m = all[i % all.size()];
        f.write(reinterpret_cast<const char*>(m.data()), static_cast<std::streamsize>(m.size()));
        bytes += m.size();
    }
    return path;
}

std::string oneMessage(std::size_t mib)
{
    const std::string path = dir().file("one-" + std::to_string(mib) + "MiB.syx");
    if (!std::filesystem::exists(path)) {
        std::string m(mib << 20, '\x55');
        m.front() = '\xF0';
        m.back() = '\xF7';
        std::ofstream(path, std::ios::binary) << m;
    }
    return path;
}

const std::string cli = binFolder() + "tolvex-cli";
const std::string splitter = binFolder() + "ref_syx_split";

void BM_NamesSmallFileVsTrue(benchmark::State& state)
{
    sideBySide(state, {cli, "names", fixture("korg/triton-one-program.syx")}, {"/bin/true"});
}
BENCHMARK(BM_NamesSmallFileVsTrue)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

// A Kronos message: the definition tables are read for it.
void BM_NamesKronosMessageVsTrue(benchmark::State& state)
{
    const std::string path = dir().file("kronos-param.syx");
    std::ofstream(path, std::ios::binary)
        << std::string("\xF0\x42\x30\x68\x43\x17\x00\x00\x00\x00\x00\x00\x01\xF7", 14);
    sideBySide(state, {cli, "names", path}, {"/bin/true"});
}
BENCHMARK(BM_NamesKronosMessageVsTrue)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_NamesOneMessageVsSplitter(benchmark::State& state)
{
    const std::string path = oneMessage(static_cast<std::size_t>(state.range(0)));
    sideBySide(state, {cli, "names", path}, {splitter, path});
}
BENCHMARK(BM_NamesOneMessageVsSplitter)
    ->Arg(16)
    ->Arg(64)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// 101 MiB of real dumps (the fixtures over and over).
void BM_NamesRealDumpsVsSplitter(benchmark::State& state)
{
    static const std::string path = writeMessages("real.syx", 0, 101u << 20);
    state.counters["file_MiB"] = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
    sideBySide(state, {cli, "names", path}, {splitter, path});
}
BENCHMARK(BM_NamesRealDumpsVsSplitter)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// run --script: open 100,000 real messages and save the whole list.
void BM_RunOpenSaveListVsCp(benchmark::State& state)
{
    static const std::string path = writeMessages("hundred-k.syx", 100000, 0);
    const std::string saved = dir().file("saved.syx");
    const std::string script = dir().write("open-save.txt", "open " + path + "\nsave-list " + saved + "\n");
    state.counters["file_MiB"] = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
    sideBySide(state, {cli, "run", "--script", script}, {"/bin/cp", path, dir().file("copied.syx")});
}
BENCHMARK(BM_RunOpenSaveListVsCp)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// The runner's selection parser: 500,000 single entries, and the same as one range.
void BM_SelectSingles(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    std::string list;
    for (std::size_t i = 1; i <= n; ++i) list += std::to_string(i) + (i < n ? "," : "");
    for (auto _ : state) benchmark::DoNotOptimize(parseSelection(list, n));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
}
BENCHMARK(BM_SelectSingles)->Arg(50000)->Arg(500000)->Unit(benchmark::kMillisecond);

void BM_SelectRange(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::string list = "1-" + std::to_string(n);
    for (auto _ : state) benchmark::DoNotOptimize(parseSelection(list, n));
}
BENCHMARK(BM_SelectRange)->Arg(500000)->Unit(benchmark::kMillisecond);

// The window, offscreen, with its tables and the MIDI service the machine has
// (scripts/bench.sh starts a JACK server), from start to its first idle pass of
// the event loop; beside a bare Qt window timed the same way.
void BM_WindowStartVsBareWindow(benchmark::State& state)
{
    const std::string gui = binFolder() + "tolvex";
    const std::string bare = binFolder() + "ref_bare_window";
    if (!std::filesystem::exists(gui) || !std::filesystem::exists(bare)) {
        state.SkipWithError("built without the window");
        for (auto _ : state) {
        }
        return;
    }
    // Its own current folder and settings folder: the window writes its files there.
    const std::string home = dir().file("home");
    std::filesystem::create_directories(home);
    std::filesystem::current_path(dir().str());
    sideBySide(state, {gui}, {bare}, "/dev/null",
               {"QT_QPA_PLATFORM=offscreen", "TOLVEX_QUIT_WHEN_IDLE=1", "XDG_CONFIG_HOME=" + home});
}
BENCHMARK(BM_WindowStartVsBareWindow)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
