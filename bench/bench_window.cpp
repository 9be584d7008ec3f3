// SPDX-License-Identifier: GPL-3.0-or-later
// The main window under a long stream of received messages, and the list
// commands on large lists, offscreen.
#include <benchmark/benchmark.h>
#include <time.h>

#include <QApplication>

#include "core/app/incoming.h"
#include "core/app/librarian.h"
#include "gui/app.h"
#include "numbered_message.h"

namespace {

using namespace tolvex;

QApplication& qtApp()
{
    static int argc = 1;
    static char name[] = "bench_window";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: Qt's own globals may be gone by the time statics are.
    static auto* app = new QApplication(argc, argv);
    return *app;
}

std::unique_ptr<App> offscreenWindow()
{
    qtApp();
    AppOptions options;
    options.progpath = "/tmp/";
    options.writeDebugFile = false;
    options.showSplash = false;
    options.answerBox = [](const std::string&, const std::string&) { return MsgResult::Ok; };
    auto app = createApp(std::move(options));
    app->window->show();
    QApplication::processEvents();
    return app;
}

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// 300,000 messages (the argument) as they arrive at 3,000 a second: 15 per pass of the event
// loop (one 5 ms JACK period), each named, logged, listed and made the only
// selected entry, and the window repainted between passes. Counters give the
// CPU time per message over the first and the last 10,000.
void BM_WindowReceives(benchmark::State& state)
{
    const auto kTotal = static_cast<std::uint32_t>(state.range(0));
    constexpr std::uint32_t kPerPass = 15, kSample = 10000;
    for (auto _ : state) {
        auto app = offscreenWindow();
        double firstStart = cpuSeconds(), first = 0, lastStart = 0;
        for (std::uint32_t i = 0; i < kTotal; ++i) {
            StoreReceivedMessage(app->session, bench::numberedMessage(i));
            if (i % kPerPass == kPerPass - 1) QApplication::processEvents();
            if (i + 1 == kSample) first = cpuSeconds() - firstStart;
            if (i + 1 == kTotal - kSample) lastStart = cpuSeconds();
        }
        QApplication::processEvents();
        const double last = cpuSeconds() - lastStart;
        state.counters["us_per_msg_first_10k"] = first / kSample * 1e6;
        state.counters["us_per_msg_last_10k"] = last / kSample * 1e6;
        app->window->close();
    }
}
BENCHMARK(BM_WindowReceives)->Arg(300000)->Arg(12000)->Iterations(1)->Unit(benchmark::kMillisecond);

// Clear Selected of every other entry of 100,000, with the window showing the list.
void BM_WindowClearSelected50kOf100k(benchmark::State& state)
{
    auto app = offscreenWindow();
    Session& s = app->session;
    for (auto _ : state) {
        state.PauseTiming();
        s.messages.clear();
        for (std::uint32_t i = 0; i < 100000; ++i) s.messages.append("entry", bench::numberedMessage(i), "");
        std::vector<bool> every(100000);
        for (std::size_t i = 0; i < every.size(); i += 2) every[i] = true;
        s.messages.setSelection(every);
        QApplication::processEvents();
        state.ResumeTiming();
        ButtonClearSelClick(s);
        QApplication::processEvents();
    }
    app->window->close();
}
BENCHMARK(BM_WindowClearSelected50kOf100k)->Unit(benchmark::kMillisecond);

// 100,000 named entries appended to the window's list.
void BM_WindowAppend100kNamed(benchmark::State& state)
{
    auto app = offscreenWindow();
    Session& s = app->session;
    for (auto _ : state) {
        state.PauseTiming();
        s.messages.clear();
        QApplication::processEvents();
        state.ResumeTiming();
        for (std::uint32_t i = 0; i < 100000; ++i)
            s.messages.append("Yamaha Bulk Dump: entry", bench::numberedMessage(i), "");
        QApplication::processEvents();
    }
    app->window->close();
}
BENCHMARK(BM_WindowAppend100kNamed)->Unit(benchmark::kMillisecond);

}  // namespace
