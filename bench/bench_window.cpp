// SPDX-License-Identifier: GPL-3.0-or-later
// The main window under a long stream of received messages, the list
// commands on large lists, and the Library window on a million items, offscreen.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "core/app/incoming.h"
#include "core/app/librarian.h"
#include "core/sysex/syx_file.h"
#include "gui/app.h"
#include "gui/library_window.h"
#include "million_library.h"
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

// The Library window on the million-item library: the window is opened on
// it afresh for each benchmark (its own connection; the file is in the page
// cache after the first run).
struct LibraryWindowRig {
    LibraryWindowRig() : app(offscreenWindow()), access(app->session, bench::millionLibraryPath()) {}
    std::unique_ptr<App> app;
    LibraryAccess access;
    std::unique_ptr<LibraryWindow> window;

    // Opens the window; gives the seconds until its first rows are painted.
    double open()
    {
        QElapsedTimer t;
        t.start();
        window = std::make_unique<LibraryWindow>(app->session, access);
        window->reload();
        window->show();
        QApplication::processEvents();
        return static_cast<double>(t.nsecsElapsed()) * 1e-9;
    }
    // Runs the event loop until the model's rows are all in; gives the longest
    // single pass of the event loop (what the user waits for at worst after a
    // key or a click) in seconds.
    double settle(double* took = nullptr)
    {
        QElapsedTimer total;
        total.start();
        double longest = 0;
        LibraryModel* m = window->model();
        while (!m->complete()) {
            QElapsedTimer pass;
            pass.start();
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            longest = std::max(longest, static_cast<double>(pass.nsecsElapsed()) * 1e-9);
            if (m->complete()) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        QApplication::processEvents();
        if (took) *took = static_cast<double>(total.nsecsElapsed()) * 1e-9;
        return longest;
    }
};

// Open: the first rows painted (the time measured), then the whole order in.
void BM_LibraryWindowOpenMillion(benchmark::State& state)
{
    LibraryWindowRig rig;
    double worst = 0;
    for (auto _ : state) {
        const double shown = rig.open();
        worst = std::max(worst, shown);  // the first, in a process that never drew a table before
        double all = 0;
        const double longest = rig.settle(&all);
        state.SetIterationTime(shown);
        state.counters["rows_shown_s"] = shown;
        state.counters["order_in_s"] = shown + all;
        state.counters["longest_block_ms"] = longest * 1e3;
        state.counters["rows"] = rig.window->model()->rowCount();
        rig.window.reset();
    }
    state.counters["worst_rows_shown_s"] = worst;
}
BENCHMARK(BM_LibraryWindowOpenMillion)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// A click on a column header: how long the click blocks, the longest pass of the
// event loop until the new order is shown, and the time it takes to come in.
void BM_LibraryWindowSortMillion(benchmark::State& state)
{
    LibraryWindowRig rig;
    rig.open();
    rig.settle();
    QTableView* table = rig.window->table();
    table->selectRow(500);
    const int columns[] = {LibraryModel::Kind, LibraryModel::Source, LibraryModel::Added, LibraryModel::Name};
    std::size_t next = 0;
    double worstClick = 0, worstPass = 0, worstIn = 0;
    for (auto _ : state) {
        QElapsedTimer click;
        click.start();
        table->horizontalHeader()->setSortIndicator(columns[next++ % std::size(columns)], Qt::AscendingOrder);
        const double clickS = static_cast<double>(click.nsecsElapsed()) * 1e-9;
        double in = 0;
        const double pass = rig.settle(&in);
        state.SetIterationTime(clickS + in);
        worstClick = std::max(worstClick, clickS);
        worstPass = std::max(worstPass, pass);
        worstIn = std::max(worstIn, clickS + in);
    }
    state.counters["click_block_ms"] = worstClick * 1e3;
    state.counters["longest_pass_ms"] = worstPass * 1e3;
    state.counters["order_in_s"] = worstIn;
}
BENCHMARK(BM_LibraryWindowSortMillion)->UseManualTime()->Iterations(4)->Unit(benchmark::kMillisecond);

// Typing a search into the filter box, a key every 120 ms: the longest a key
// or a pass of the event loop blocks, and after the last key the time to the
// first rows of the search and to all of them.
void BM_LibraryWindowTypeMillion(benchmark::State& state, std::string text)
{
    LibraryWindowRig rig;
    rig.open();
    rig.settle();
    LibraryModel* m = rig.window->model();
    for (auto _ : state) {
        rig.window->filter()->clear();
        rig.settle();
        double longest = 0;
        QElapsedTimer sinceLast;
        bool firstRows = false;
        const auto connection = QObject::connect(m, &QAbstractItemModel::modelReset, [&] {
            if (sinceLast.isValid()) firstRows = true;
        });
        double first = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            QElapsedTimer key;
            key.start();
            rig.window->filter()->insert(QString(QChar(text[i])));  // as a key typed
            longest = std::max(longest, static_cast<double>(key.nsecsElapsed()) * 1e-9);
            if (i + 1 == text.size()) {
                sinceLast.start();
                firstRows = false;
            }
            QElapsedTimer gap;
            gap.start();
            while (gap.elapsed() < (i + 1 == text.size() ? 0 : 120)) {
                QElapsedTimer pass;
                pass.start();
                QApplication::processEvents(QEventLoop::AllEvents, 5);
                longest = std::max(longest, static_cast<double>(pass.nsecsElapsed()) * 1e-9);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        // The last search waits for no pause of the typing when it is long enough.
        while (!firstRows && !m->complete()) {
            QElapsedTimer pass;
            pass.start();
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            longest = std::max(longest, static_cast<double>(pass.nsecsElapsed()) * 1e-9);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        first = static_cast<double>(sinceLast.nsecsElapsed()) * 1e-9;
        double rest = 0;
        longest = std::max(longest, rig.settle(&rest));
        QObject::disconnect(connection);
        state.SetIterationTime(first);
        state.counters["first_rows_s"] = first;
        state.counters["all_in_s"] = static_cast<double>(sinceLast.nsecsElapsed()) * 1e-9;
        state.counters["longest_block_ms"] = longest * 1e3;
        state.counters["found"] = m->rowCount();
    }
}
#define TYPE(name, text)                                                    \
    BENCHMARK_CAPTURE(BM_LibraryWindowTypeMillion, name, std::string(text)) \
        ->UseManualTime()                                                   \
        ->Iterations(2)                                                     \
        ->Unit(benchmark::kMillisecond)
TYPE(one_name, "12345-07");
TYPE(a_thousand, "4321");
TYPE(a_source_file, "collection4500.");
TYPE(every_item, "yamaha");
TYPE(one_letter, "7");
TYPE(nothing, "zzzz");
#undef TYPE

// Add Folder of 4,096 DX7 bank files (131,072 new voices) into an empty
// library: how long the add takes, and the longest pass of the event loop
// meanwhile (the window answers throughout, its progress box counting).
void BM_LibraryWindowAddFolder(benchmark::State& state)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("tolvex-bench-add-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    for (int i = 0; i < 4096; ++i) {
        const fs::path sub = folder / ("set" + std::to_string(i / 512));
        fs::create_directories(sub);
        const Bytes b = bench::renamedBank(i);
        writeSyxFile((sub / ("bank" + std::to_string(i) + ".syx")).string(), {ByteView(b)});
    }
    auto app = offscreenWindow();
    for (auto _ : state) {
        const std::string db = (folder / "library.sqlite").string();
        for (const char* end : {"", "-wal", "-shm"}) fs::remove(db + end);
        LibraryAccess access(app->session, db);
        LibraryWindow window(app->session, access);
        window.reload();
        window.show();
        QApplication::processEvents();
        QElapsedTimer took;
        took.start();
        window.addFolder(folder.string());
        double longest = 0;
        while (window.adding() || !window.model()->complete()) {
            QElapsedTimer pass;
            pass.start();
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            longest = std::max(longest, static_cast<double>(pass.nsecsElapsed()) * 1e-9);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        state.SetIterationTime(static_cast<double>(took.nsecsElapsed()) * 1e-9);
        state.counters["items"] = window.model()->rowCount();
        state.counters["longest_pass_ms"] = longest * 1e3;
    }
    fs::remove_all(folder);
}
BENCHMARK(BM_LibraryWindowAddFolder)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
