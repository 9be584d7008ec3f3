// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/alsa_seq.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <mutex>
#include <thread>

namespace tolvex {

// alsa_pool.cpp: the free cells of another client's input pool (-1 when
// the kernel does not say); alsa-lib asks only for the caller's own.
int seqInputFree(int fd, int client);

namespace {

// alsa-lib prints its failures to stderr unless told otherwise.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

// Bytes the library buffers on each side: the output side holds a few SysEx
// pieces at once, the input side the largest event another program may send
// in one piece (alsa-lib's own default output buffer is 16 KiB).
constexpr std::size_t kOutputBuffer = 64 * 1024;
constexpr std::size_t kInputBuffer = 1024 * 1024;

class RealAlsaSeq final : public AlsaSeq {
public:
    RealAlsaSeq(snd_seq_t* seq, snd_midi_event_t* encoder, snd_midi_event_t* decoder, int wakeFd)
        : seq_(seq), encoder_(encoder), decoder_(decoder), wakeFd_(wakeFd)
    {
        snd_midi_event_no_status(decoder_, 1);
    }
    ~RealAlsaSeq() override
    {
        snd_midi_event_free(encoder_);
        snd_midi_event_free(decoder_);
        snd_seq_close(seq_);
        ::close(wakeFd_);
    }

    int clientId() const override { return snd_seq_client_id(seq_); }

    std::vector<SeqPortInfo> ports() override
    {
        std::vector<SeqPortInfo> out;
        snd_seq_client_info_t* client;
        snd_seq_port_info_t* port;
        snd_seq_client_info_alloca(&client);
        snd_seq_port_info_alloca(&port);
        snd_seq_client_info_set_client(client, -1);
        while (snd_seq_query_next_client(seq_, client) >= 0) {
            const int id = snd_seq_client_info_get_client(client);
            snd_seq_port_info_set_client(port, id);
            snd_seq_port_info_set_port(port, -1);
            while (snd_seq_query_next_port(seq_, port) >= 0) {
                const unsigned caps = snd_seq_port_info_get_capability(port);
                if ((caps & SND_SEQ_PORT_CAP_NO_EXPORT) != 0) continue;
                SeqPortInfo info;
                info.addr = {id, snd_seq_port_info_get_port(port)};
                info.clientName = snd_seq_client_info_get_name(client);
                info.portName = snd_seq_port_info_get_name(port);
                const unsigned read = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
                const unsigned write = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
                info.readable = (caps & read) == read;
                info.writable = (caps & write) == write;
                info.hardware = snd_seq_client_info_get_type(client) == SND_SEQ_KERNEL_CLIENT;
                out.push_back(std::move(info));
            }
        }
        return out;
    }

    int createPort(const std::string& name, bool input, bool exported) override
    {
        unsigned caps = input ? SND_SEQ_PORT_CAP_WRITE : SND_SEQ_PORT_CAP_READ;
        if (exported)
            caps |= input ? SND_SEQ_PORT_CAP_SUBS_WRITE : SND_SEQ_PORT_CAP_SUBS_READ;
        else
            caps |= SND_SEQ_PORT_CAP_NO_EXPORT;
        return snd_seq_create_simple_port(seq_, name.c_str(), caps,
                                          SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    }

    void deletePort(int port) override { snd_seq_delete_simple_port(seq_, port); }

    int connect(SeqAddr sender, SeqAddr dest) override
    {
        return withSubscription(sender, dest,
                                [this](snd_seq_port_subscribe_t* sub) { return snd_seq_subscribe_port(seq_, sub); });
    }

    void disconnect(SeqAddr sender, SeqAddr dest) override
    {
        withSubscription(sender, dest,
                         [this](snd_seq_port_subscribe_t* sub) { return snd_seq_unsubscribe_port(seq_, sub); });
    }

    int watchAnnouncements(int port) override
    {
        return snd_seq_connect_from(seq_, port, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE);
    }

    int output(int port, ByteView bytes, bool sysex) override
    {
        snd_seq_event_t ev;
        snd_seq_ev_clear(&ev);
        if (sysex) {
            snd_seq_ev_set_sysex(&ev, static_cast<unsigned>(bytes.size()), const_cast<std::uint8_t*>(bytes.data()));
        } else {
            snd_midi_event_reset_encode(encoder_);
            if (snd_midi_event_encode(encoder_, bytes.data(), static_cast<long>(bytes.size()), &ev) <= 0 ||
                ev.type == SND_SEQ_EVENT_NONE)
                return -EINVAL;
        }
        snd_seq_ev_set_source(&ev, static_cast<unsigned char>(port));
        snd_seq_ev_set_subs(&ev);
        snd_seq_ev_set_direct(&ev);
        const int result = snd_seq_event_output_buffer(seq_, &ev);
        return result < 0 ? result : 0;
    }

    int drain() override
    {
        const int result = snd_seq_drain_output(seq_);
        if (result >= 0) return 0;
        // An event the sequencer refused would block every later drain.
        if (result != -EAGAIN) snd_seq_drop_output(seq_);
        return result;
    }

    void waitOutput(int timeoutMs) override { pollFor(POLLOUT, timeoutMs, false); }

    int destinationRoom(int port) override
    {
        snd_seq_query_subscribe_t* query;
        snd_seq_client_info_t* client;
        snd_seq_query_subscribe_alloca(&query);
        snd_seq_client_info_alloca(&client);
        const snd_seq_addr_t root{static_cast<unsigned char>(clientId()), static_cast<unsigned char>(port)};
        snd_seq_query_subscribe_set_root(query, &root);
        snd_seq_query_subscribe_set_type(query, SND_SEQ_QUERY_SUBS_READ);
        snd_seq_query_subscribe_set_index(query, 0);
        int room = -1;
        while (snd_seq_query_port_subscribers(seq_, query) >= 0) {
            const int peer = snd_seq_query_subscribe_get_addr(query)->client;
            if (snd_seq_get_any_client_info(seq_, peer, client) >= 0 &&
                snd_seq_client_info_get_type(client) == SND_SEQ_USER_CLIENT) {
                const int free = seqInputFree(fd(), peer);
                if (free >= 0 && (room < 0 || free < room)) room = free;
            }
            snd_seq_query_subscribe_set_index(query, snd_seq_query_subscribe_get_index(query) + 1);
        }
        return room;
    }

    bool waitInput(int timeoutMs) override
    {
        if (snd_seq_event_input_pending(seq_, 0) > 0) return true;
        return pollFor(POLLIN, timeoutMs, true);
    }

    int input(SeqEvent& event) override
    {
        snd_seq_event_t* ev = nullptr;
        const int result = snd_seq_event_input(seq_, &ev);
        if (result == -EAGAIN) return 0;
        if (result < 0) return result;
        if (ev == nullptr) return 0;
        event = SeqEvent{};
        event.source = {ev->source.client, ev->source.port};
        event.dest = {ev->dest.client, ev->dest.port};
        switch (ev->type) {
        case SND_SEQ_EVENT_SYSEX:
            event.kind = SeqEventKind::Data;
            event.bytes = ByteView(static_cast<const std::uint8_t*>(ev->data.ext.ptr), ev->data.ext.len);
            break;
        case SND_SEQ_EVENT_PORT_START:
        case SND_SEQ_EVENT_PORT_EXIT:
            event.kind = ev->type == SND_SEQ_EVENT_PORT_START ? SeqEventKind::PortStart : SeqEventKind::PortExit;
            event.source = {ev->data.addr.client, ev->data.addr.port};
            break;
        case SND_SEQ_EVENT_CLIENT_START:
        case SND_SEQ_EVENT_CLIENT_EXIT:
            event.kind = ev->type == SND_SEQ_EVENT_CLIENT_START ? SeqEventKind::ClientStart : SeqEventKind::ClientExit;
            event.source = {ev->data.addr.client, -1};
            break;
        case SND_SEQ_EVENT_PORT_UNSUBSCRIBED:
            event.kind = SeqEventKind::Unsubscribed;
            event.source = {ev->data.connect.sender.client, ev->data.connect.sender.port};
            event.dest = {ev->data.connect.dest.client, ev->data.connect.dest.port};
            break;
        default: {
            const long n = snd_midi_event_decode(decoder_, decoded_, sizeof decoded_, ev);
            if (n > 0) {
                event.kind = SeqEventKind::Data;
                event.bytes = ByteView(decoded_, static_cast<std::size_t>(n));
            }
            break;
        }
        }
        return 1;
    }

    void wake() override
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto n = ::write(wakeFd_, &one, sizeof one);
    }

    std::int64_t nowNs() override
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void sleepNs(std::int64_t ns) override { std::this_thread::sleep_for(std::chrono::nanoseconds(ns)); }

private:
    // Runs act on the subscription of dest to sender; the subscription lives
    // on this frame's stack only.
    template <class Act>
    static int withSubscription(SeqAddr sender, SeqAddr dest, Act act)
    {
        snd_seq_port_subscribe_t* sub;
        snd_seq_port_subscribe_alloca(&sub);
        const snd_seq_addr_t s{static_cast<unsigned char>(sender.client), static_cast<unsigned char>(sender.port)};
        const snd_seq_addr_t d{static_cast<unsigned char>(dest.client), static_cast<unsigned char>(dest.port)};
        snd_seq_port_subscribe_set_sender(sub, &s);
        snd_seq_port_subscribe_set_dest(sub, &d);
        return act(sub);
    }

    // The sequencer's file descriptor, for the one request alsa-lib has no call for.
    int fd()
    {
        pollfd p{};
        return snd_seq_poll_descriptors(seq_, &p, 1, POLLIN) == 1 ? p.fd : -1;
    }

    // True when the sequencer is ready (or the wake descriptor was written, with `wakeable`).
    bool pollFor(short events, int timeoutMs, bool wakeable)
    {
        pollfd fds[8];
        int n = snd_seq_poll_descriptors(seq_, fds, 7, events);
        if (n < 0) n = 0;
        if (wakeable) fds[n++] = pollfd{wakeFd_, POLLIN, 0};
        if (::poll(fds, static_cast<nfds_t>(n), timeoutMs) <= 0) return false;
        if (wakeable && (fds[n - 1].revents & POLLIN) != 0) {
            std::uint64_t count;
            [[maybe_unused]] const auto r = ::read(wakeFd_, &count, sizeof count);
            return false;
        }
        return true;
    }

    snd_seq_t* seq_;
    snd_midi_event_t* encoder_;
    snd_midi_event_t* decoder_;
    int wakeFd_;
    std::uint8_t decoded_[16] = {};
};

}  // namespace

std::unique_ptr<AlsaSeq> openAlsaSeq(const std::string& clientName)
{
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(quietAlsa); });
    // Asked first, so a machine without the sequencer costs one failed open.
    const int fd = ::open("/dev/snd/seq", O_RDWR | O_CLOEXEC);
    if (fd < 0) return nullptr;
    ::close(fd);
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) return nullptr;
    snd_midi_event_t* encoder = nullptr;
    snd_midi_event_t* decoder = nullptr;
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0 || snd_midi_event_new(16, &encoder) < 0 || snd_midi_event_new(16, &decoder) < 0) {
        if (encoder != nullptr) snd_midi_event_free(encoder);
        if (wakeFd >= 0) ::close(wakeFd);
        snd_seq_close(seq);
        return nullptr;
    }
    snd_seq_set_client_name(seq, clientName.c_str());
    snd_seq_set_output_buffer_size(seq, kOutputBuffer);
    snd_seq_set_input_buffer_size(seq, kInputBuffer);
    // Refused sizes leave the defaults, which still work (only less smoothly).
    snd_seq_set_client_pool_output(seq, kSeqPoolCells);
    snd_seq_set_client_pool_input(seq, kSeqPoolCells);
    return std::make_unique<RealAlsaSeq>(seq, encoder, decoder, wakeFd);
}

}  // namespace tolvex
