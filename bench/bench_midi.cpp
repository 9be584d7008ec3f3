// SPDX-License-Identifier: GPL-3.0-or-later
// The MIDI input path: latency, bursts and the largest dump over real JACK
// ports, and the throughput of the queue, GetMidiEvent and the SysEx
// assembler in-process.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "core/app/session.h"
#include "midi/loopback.h"
#include "midi/midi_input.h"
#include "midi/midi_output.h"
#include "midi/midi_system.h"
#include "midi/port_devices.h"
#include "support/fake_alsa_seq.h"
#include "support/scripted_shell.h"

namespace {

using namespace tolvex;
using Clock = std::chrono::steady_clock;

Bytes message(std::size_t length)
{
    Bytes m(length, 0x11);
    m.front() = 0xF0;
    m.back() = 0xF7;
    return m;
}

// What the main window does with each notification: drain, join, store.
void storeIncoming(TMidiInput& in, Session& session)
{
    in.OnMidiInput = [&session](TMidiInput& sender) {
        while (auto e = sender.GetMidiEvent())
            if (e->MidiMessage == 0xF0 && session.midi.SX_Object.Addsysex(*e))
                session.messages.append("received", session.midi.SX_Object.sxdata, "");
    };
}

// From PutLong on a JACK port to the whole message in the session's list.
// The main thread polls, so the figures leave out the event loop's own wake-up.
void BM_JackLatency(benchmark::State& state)
{
    if (!jackServerRunning()) {
        state.SkipWithError("no JACK server running (scripts/test.sh shows how to start one)");
        return;
    }
    const auto length = static_cast<std::size_t>(state.range(0));
    const auto count = static_cast<int>(state.range(1));
    const std::string client = "tolvex-bench-" + std::to_string(getpid());
    testing::ScriptedShell shell;
    Session session(shell);
    MidiSystem jack = openMidiSystem("jack", client);
    TMidiInput in(shell, std::move(jack.backends.in));
    in.SetProductName(kVirtualInName);
    storeIncoming(in, session);
    if (!in.Open()) {
        state.SkipWithError(in.OpenError().c_str());
        return;
    }
    in.Start();
    TMidiOutput out(shell, std::move(jack.backends.out));
    out.SetProductName(client + " In:" + kVirtualInName);  // the port is there once the input is open
    if (!out.Open()) {
        state.SkipWithError(out.OpenError().c_str());
        return;
    }
    const Bytes m = message(length);
    std::vector<double> ms;
    for (auto _ : state) {
        ms.clear();
        for (int i = 0; i < count; ++i) {
            const std::size_t before = session.messages.count();
            const auto t0 = Clock::now();
            out.PutLong(m);
            const auto deadline = t0 + std::chrono::seconds(2);
            while (session.messages.count() == before && Clock::now() < deadline) shell.runPosted();
            if (session.messages.count() == before) {
                state.SkipWithError("a message did not arrive");
                return;
            }
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            shell.runPosted();  // the done notification
            session.messages.clear();
            session.log.clear();
        }
    }
    std::sort(ms.begin(), ms.end());
    state.counters["median_ms"] = ms[ms.size() / 2];
    state.counters["p99_ms"] = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
    state.counters["max_ms"] = ms.back();
    state.counters["period_ms"] = jackPeriodMs();
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * count);
}
BENCHMARK(BM_JackLatency)->Args({6, 1000})->Args({4104, 100})->Iterations(1)->Unit(benchmark::kMillisecond);

// Messages through the driver callback, the queue, GetMidiEvent and Addsysex,
// in batches the queue and buffers hold.
void BM_QueueGetMidiEventAddsysex(benchmark::State& state)
{
    const auto length = static_cast<std::size_t>(state.range(0));
    testing::ScriptedShell shell;
    Session session(shell);
    MidiLoopback bus;
    TMidiInput in(shell, bus.makeInput());
    in.SetSysexCeiling(8u << 20);
    storeIncoming(in, session);
    in.Open();
    in.Start();
    const Bytes m = message(length);
    const std::size_t batch = std::min<std::size_t>(500, 512 / ((length + 4095) / 4096));
    std::int64_t messages = 0;
    for (auto _ : state) {
        for (std::size_t i = 0; i < batch; ++i) bus.inject("Loopback", m);
        shell.runPosted();
        messages += static_cast<std::int64_t>(session.messages.count());
        session.messages.clear();
        session.log.clear();
    }
    if (in.DroppedEvents() != 0) state.SkipWithError("events were dropped");
    state.SetItemsProcessed(messages);
    state.SetBytesProcessed(messages * static_cast<std::int64_t>(length));
}
BENCHMARK(BM_QueueGetMidiEventAddsysex)->Arg(6)->Arg(4104)->Arg(10000);

// A burst of small messages, all delivered before the main thread runs:
// the driver side (copy and queue) and the main thread's drain, join and store.
void BM_LoopbackBurst(benchmark::State& state)
{
    const auto count = static_cast<int>(state.range(0));
    testing::ScriptedShell shell;
    Session session(shell);
    MidiLoopback bus;
    TMidiInput in(shell, bus.makeInput());
    in.SetSysexCeiling(PortDevices::sysexCeilingFor(in.PortBytesPerSecond()));
    in.SetCapacity(PortDevices::capacityFor(in.PortBytesPerSecond()));
    storeIncoming(in, session);
    in.Open();
    in.Start();
    const Bytes m = message(16);
    std::int64_t messages = 0;
    for (auto _ : state) {
        for (int i = 0; i < count; ++i) bus.inject("Loopback", m);
        shell.runPosted();
        messages += static_cast<std::int64_t>(session.messages.count());
        if (session.messages.count() != static_cast<std::size_t>(count)) state.SkipWithError("messages were lost");
        session.messages.clear();
        session.log.clear();
    }
    if (in.DroppedEvents() != 0) state.SkipWithError("events were dropped");
    state.SetItemsProcessed(messages);
}
BENCHMARK(BM_LoopbackBurst)->Arg(100000)->Unit(benchmark::kMillisecond);

// Our JACK output connected to our JACK input, as fast as the server carries it.
struct JackLoop {
    JackLoop()
    {
        in.SetProductName(kVirtualInName);
        in.SetSysexCeiling(PortDevices::sysexCeilingFor(in.PortBytesPerSecond()));
        in.SetCapacity(PortDevices::capacityFor(in.PortBytesPerSecond()));
        in.OnMidiInput = [this](TMidiInput& sender) {
            while (auto e = sender.GetMidiEvent()) {
                bytes += e->Sysex.size();
                if (!e->Sysex.empty() && e->Sysex.back() == 0xF7) ++messages;
            }
        };
        if (!in.Open()) {
            error = in.OpenError();
            return;
        }
        in.Start();
        out.SetProductName(client + " In:" + kVirtualInName);
        if (!out.Open()) error = out.OpenError();
    }
    // Sends, then runs the main thread until `expected` messages arrived (or 60 s).
    void run(const std::vector<Bytes>& sent)
    {
        messages = 0;
        bytes = 0;
        for (const Bytes& m : sent) out.PutLong(m);
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        while (messages < sent.size() && Clock::now() < deadline) {
            shell.runPosted();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }

    std::string client = "tolvex-bench-" + std::to_string(getpid());
    testing::ScriptedShell shell;
    MidiSystem jack = openMidiSystem("jack", client);
    TMidiInput in{shell, std::move(jack.backends.in)};
    TMidiOutput out{shell, std::move(jack.backends.out)};
    std::size_t messages = 0;
    std::size_t bytes = 0;
    std::string error;
};

// A burst of small messages over JACK: whole traffic from the first PutLong to
// the last message on the main thread.
void BM_JackBurst(benchmark::State& state)
{
    if (!jackServerRunning()) {
        state.SkipWithError("no JACK server running (scripts/test.sh shows how to start one)");
        return;
    }
    JackLoop jack;
    if (!jack.error.empty()) {
        state.SkipWithError(jack.error.c_str());
        return;
    }
    const std::vector<Bytes> burst(static_cast<std::size_t>(state.range(0)), message(16));
    for (auto _ : state) {
        jack.run(burst);
        if (jack.messages != burst.size() || jack.in.DroppedEvents() != 0) {
            state.SkipWithError("messages were lost");
            return;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
    state.counters["period_ms"] = jackPeriodMs();
}
BENCHMARK(BM_JackBurst)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// The largest dump the input takes by default, sent whole and received whole over JACK.
void BM_JackLargestDump(benchmark::State& state)
{
    if (!jackServerRunning()) {
        state.SkipWithError("no JACK server running (scripts/test.sh shows how to start one)");
        return;
    }
    JackLoop jack;
    if (!jack.error.empty()) {
        state.SkipWithError(jack.error.c_str());
        return;
    }
    const std::vector<Bytes> dump = {message(static_cast<std::size_t>(state.range(0)))};
    for (auto _ : state) {
        jack.run(dump);
        if (jack.messages != 1 || jack.bytes != dump[0].size()) {
            state.SkipWithError("the dump did not arrive whole");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
    state.counters["period_ms"] = jackPeriodMs();
}
BENCHMARK(BM_JackLargestDump)->Arg(16 << 20)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The ALSA output path on its own (a fake sequencer with a virtual clock, so
// pacing costs no time): from PutLong to the last 256-byte event handed over.
void BM_AlsaOutputPieces(benchmark::State& state)
{
    const Bytes dump = message(static_cast<std::size_t>(state.range(0)));
    auto sequencer = std::make_shared<testing::FakeAlsaSeq::State>();
    sequencer->addPort({{20, 0}, "Synth", "Port 1", false, true, false}, false);
    testing::ScriptedShell shell;
    MidiBackendPair pair = makeAlsaBackends(std::make_unique<testing::FakeAlsaSeq>(sequencer));
    TMidiOutput out(shell, std::move(pair.out));
    out.SetProductName("Synth:Port 1");
    for (auto _ : state) {
        if (!out.Open()) {
            state.SkipWithError(out.OpenError().c_str());
            return;
        }
        out.PutLong(dump);
        out.Close();  // returns once every piece is handed over
        const std::lock_guard<std::mutex> lock(sequencer->mutex);
        sequencer->sent.clear();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_AlsaOutputPieces)->Arg(16 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
