// SPDX-License-Identifier: GPL-3.0-or-later
// A JACK MIDI client beside Tolvex in the tests, independent of its back-end:
//
//   jack-peer send NAME FILE [--to PORT] [--peers N] [--rate BYTES_PER_S] [--chunk N] [--fill]
//       Sends FILE's bytes from NAME:out (connected to PORT when given) once N
//       ports (1) are connected to it, in events of at most N bytes (256), never
//       across a message boundary; at BYTES_PER_S when given (3125 is MIDI's
//       cable), else as fast as the port buffer takes. With --fill it writes
//       until the buffer refuses an event and sends that event again in the
//       next period, as a sender that retries does (the refusals count as lost
//       events in its buffer). Exits right after the period of its last byte.
//   jack-peer record NAME OUT COUNT --from PORT [--timeout S]
//       Joins SysEx arriving on NAME:in (connected from PORT) and writes the
//       first COUNT messages to OUT, exactly as they came.
//   jack-peer korg NAME OUT COUNT [--answers LIST] [--delay MS] [--timeout S]
//       Records as record does (NAME:in, connected by the sender), and answers
//       each Korg dump it hears (F0 42 3g mm, function 40 or above) on NAME:out
//       as a Korg instrument does, MS milliseconds (0) after its last byte:
//       LIST gives the answer to each dump in turn, separated by commas: 23
//       (DATA LOAD COMPLETED), 24 (DATA LOAD ERROR) or - (none); 23 after the list.
//
// Both print "ready" once connected and one line of what they saw of the server at the end:
//   periods=P irregular=I xruns=X lost=L
// where an irregular period is one whose frame time does not follow the
// previous one's (this client missed or repeated a period), xruns are the
// server's xrun callbacks and lost the events the port buffers said were lost.
#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

std::atomic<bool> done{false};
std::atomic<bool> gone{false};
std::atomic<unsigned> periods{0}, irregular{0}, xruns{0}, lostEvents{0};
jack_client_t* client = nullptr;
jack_port_t* port = nullptr;
jack_nframes_t lastFrame = 0;
bool haveLast = false;

// Sender state.
std::vector<unsigned char> data;
std::size_t pos = 0;
double rate = 0, credit = 0;
std::size_t chunk = 256;
bool fill = false;
int peers = 1;

// Recorder state (reserved up front: the process thread never allocates).
std::vector<unsigned char> rx;
std::size_t rxLength = 0;
int messages = 0, wanted = 0;
bool inSysex = false;

void watchPeriod(jack_nframes_t frames)
{
    const jack_nframes_t now = jack_last_frame_time(client);
    if (haveLast && now - lastFrame != frames) irregular.fetch_add(1);
    lastFrame = now;
    haveLast = true;
    periods.fetch_add(1);
}

// The end of the event starting at `from`: at most `most` bytes, never past the end of its message.
std::size_t eventEnd(std::size_t from, std::size_t most)
{
    std::size_t end = from + 1;
    while (end < data.size() && end - from < most && data[end - 1] != 0xF7 && data[end] != 0xF0) ++end;
    return end;
}

int sendProcess(jack_nframes_t frames, void*)
{
    watchPeriod(frames);
    void* buffer = jack_port_get_buffer(port, frames);
    jack_midi_clear_buffer(buffer);
    if (done.load() || (pos == 0 && jack_port_connected(port) < peers)) return 0;
    if (rate > 0) credit += rate * frames / jack_get_sample_rate(client);
    jack_nframes_t time = 0;
    while (pos < data.size() && time < frames) {
        std::size_t most = chunk;
        if (rate > 0) {
            if (credit < 1) break;
            most = std::min<std::size_t>(most, static_cast<std::size_t>(credit));
        }
        if (!fill) most = std::min(most, jack_midi_max_event_size(buffer));
        if (most == 0) break;
        const std::size_t end = eventEnd(pos, most);
        // A refused write is sent again in the next period.
        if (jack_midi_event_write(buffer, time, data.data() + pos, end - pos) != 0) break;
        if (rate > 0) credit -= static_cast<double>(end - pos);
        pos = end;
        ++time;
    }
    lostEvents.store(jack_midi_get_lost_event_count(buffer));
    if (pos >= data.size()) done.store(true);
    return 0;
}

int recordProcess(jack_nframes_t frames, void*)
{
    watchPeriod(frames);
    void* buffer = jack_port_get_buffer(port, frames);
    lostEvents.fetch_add(jack_midi_get_lost_event_count(buffer));
    const jack_nframes_t count = jack_midi_get_event_count(buffer);
    for (jack_nframes_t i = 0; i < count && !done.load(); ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0) continue;
        for (std::size_t k = 0; k < event.size; ++k) {
            const unsigned char b = event.buffer[k];
            if (b >= 0xF8) continue;
            if (b == 0xF0) inSysex = true;
            if (!inSysex) continue;
            if (b >= 0x80 && b != 0xF0 && b != 0xF7) {
                inSysex = false;  // cut short: kept as it came, without F7
                if (++messages >= wanted) done.store(true);
                continue;
            }
            if (rxLength < rx.size()) rx[rxLength++] = b;
            if (b == 0xF7) {
                inSysex = false;
                if (++messages >= wanted) done.store(true);
            }
        }
    }
    return 0;
}

// Korg instrument state: the answers still to give (a fixed ring: the process thread never allocates).
jack_port_t* answerPort = nullptr;
std::vector<int> answerList;  // 0x23, 0x24 or 0 (none), set before the client starts
std::size_t dumpsHeard = 0;
std::size_t messageStart = 0;
jack_nframes_t answerDelayFrames = 0;
struct PendingAnswer {
    jack_nframes_t due;
    unsigned char bytes[6];
};
PendingAnswer pending[256];
std::atomic<unsigned> pendingHead{0}, pendingTail{0};

void noteMessage(std::size_t start, std::size_t end, jack_nframes_t now)
{
    if (end - start < 6 || rx[start] != 0xF0 || rx[start + 1] != 0x42 || rx[start + 4] < 0x40) return;
    const int answer = dumpsHeard < answerList.size() ? answerList[dumpsHeard] : 0x23;
    ++dumpsHeard;
    if (answer == 0 || pendingTail.load() - pendingHead.load() >= 256) return;
    PendingAnswer& a = pending[pendingTail.load() % 256];
    a.due = now + answerDelayFrames;
    const unsigned char bytes[6] = {0xF0, 0x42, rx[start + 2], rx[start + 3], static_cast<unsigned char>(answer), 0xF7};
    std::memcpy(a.bytes, bytes, sizeof bytes);
    pendingTail.fetch_add(1);
}

int korgProcess(jack_nframes_t frames, void* arg)
{
    const std::size_t before = messages;
    const std::size_t from = rxLength;
    recordProcess(frames, arg);
    // Each message completed in this period: recordProcess keeps them back to back.
    if (messages != static_cast<int>(before)) {
        std::size_t start = messageStart;
        for (std::size_t k = std::max(from, start); k < rxLength; ++k) {
            if (rx[k] == 0xF0) start = k;
            if (rx[k] == 0xF7) noteMessage(start, k + 1, jack_last_frame_time(client));
        }
    }
    for (std::size_t k = rxLength; k > from; --k)
        if (rx[k - 1] == 0xF0) {
            messageStart = k - 1;
            break;
        }
    void* out = jack_port_get_buffer(answerPort, frames);
    jack_midi_clear_buffer(out);
    const jack_nframes_t now = jack_last_frame_time(client);
    jack_nframes_t time = 0;
    while (pendingHead.load() != pendingTail.load()) {
        const PendingAnswer& a = pending[pendingHead.load() % 256];
        if (static_cast<std::int32_t>(a.due - now) > 0) break;
        if (jack_midi_event_write(out, time++, a.bytes, sizeof a.bytes) != 0) break;
        pendingHead.fetch_add(1);
    }
    return 0;
}

void report()
{
    std::printf("periods=%u irregular=%u xruns=%u lost=%u\n", periods.load(), irregular.load(), xruns.load(),
                lostEvents.load());
}

int usage()
{
    std::fprintf(stderr,
                 "usage: jack-peer send NAME FILE [--to PORT] [--peers N] [--rate B/S] [--chunk N] [--fill]\n"
                 "       jack-peer record NAME OUT COUNT --from PORT [--timeout S]\n"
                 "       jack-peer korg NAME OUT COUNT [--answers LIST] [--delay MS] [--timeout S]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) return usage();
    const std::string mode = argv[1];
    const bool sending = mode == "send";
    const bool korg = mode == "korg";
    if (!sending && !korg && mode != "record") return usage();
    std::string peer, out;
    double delayMs = 0;
    double timeout = 60;
    int first = 4;
    if (!sending) {
        if (argc < 5) return usage();
        out = argv[3];
        wanted = std::atoi(argv[4]);
        first = 5;
    }
    for (int i = first; i < argc; ++i) {
        const std::string option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (option == "--fill") {
            fill = true;
            continue;
        }
        if (value == nullptr) return usage();
        ++i;
        if (option == "--to" || option == "--from") {
            peer = value;
        } else if (option == "--rate") {
            rate = std::atof(value);
        } else if (option == "--peers") {
            peers = std::max(1, std::atoi(value));
        } else if (option == "--chunk") {
            chunk = static_cast<std::size_t>(std::max(1, std::atoi(value)));
        } else if (option == "--timeout") {
            timeout = std::atof(value);
        } else if (option == "--delay") {
            delayMs = std::atof(value);
        } else if (option == "--answers") {
            for (const char* p = value; *p;) {
                answerList.push_back(*p == '-' ? 0 : static_cast<int>(std::strtol(p, nullptr, 16)));
                while (*p && *p != ',') ++p;
                if (*p == ',') ++p;
            }
        } else {
            return usage();
        }
    }
    if (sending) {
        std::ifstream file(argv[3], std::ios::binary);
        data.assign(std::istreambuf_iterator<char>(file), {});
        if (!file && !file.eof()) return std::fprintf(stderr, "cannot read %s\n", argv[3]), 1;
    } else {
        rx.resize(64u << 20);  // the longest traffic of the tests is 16 MiB
    }
    client = jack_client_open(argv[2], JackNoStartServer, nullptr);
    if (client == nullptr) return std::fprintf(stderr, "no JACK server\n"), 1;
    jack_set_process_callback(client, sending ? sendProcess : korg ? korgProcess : recordProcess, nullptr);
    answerDelayFrames = static_cast<jack_nframes_t>(delayMs * jack_get_sample_rate(client) / 1000);
    if (korg) {
        answerPort = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        if (answerPort == nullptr) return std::fprintf(stderr, "cannot start the client\n"), 1;
    }
    jack_set_xrun_callback(
        client,
        [](void*) {
            xruns.fetch_add(1);
            return 0;
        },
        nullptr);
    jack_on_shutdown(
        client, [](void*) { gone.store(true); }, nullptr);
    port = jack_port_register(client, sending ? "out" : "in", JACK_DEFAULT_MIDI_TYPE,
                              sending ? JackPortIsOutput : JackPortIsInput, 0);
    if (port == nullptr || jack_activate(client) != 0) return std::fprintf(stderr, "cannot start the client\n"), 1;
    if (!peer.empty()) {
        const int result = sending ? jack_connect(client, jack_port_name(port), peer.c_str())
                                   : jack_connect(client, peer.c_str(), jack_port_name(port));
        if (result != 0 && result != EEXIST) return std::fprintf(stderr, "cannot connect to %s\n", peer.c_str()), 1;
    }
    // Whoever started this may go on now.
    std::printf("ready\n");
    std::fflush(stdout);
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout);
    while (!done.load() && !gone.load() && (sending || std::chrono::steady_clock::now() < until))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // The answer to the last dump goes out before the instrument leaves.
    while (korg && !gone.load() && pendingHead.load() != pendingTail.load() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (korg) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    report();
    if (sending) {
        // Gone right after the period that carried the last byte.
        jack_client_close(client);
        return gone.load() ? 1 : 0;
    }
    jack_deactivate(client);
    std::ofstream file(out, std::ios::binary);
    file.write(reinterpret_cast<const char*>(rx.data()), static_cast<std::streamsize>(rxLength));
    jack_client_close(client);
    if (messages < wanted) return std::fprintf(stderr, "%d of %d messages recorded\n", messages, wanted), 1;
    return file ? 0 : 1;
}
