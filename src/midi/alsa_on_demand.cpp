// SPDX-License-Identifier: GPL-3.0-or-later
// alsa-lib is opened when the ALSA sequencer is first asked for, not when the
// program starts (see jack_on_demand.cpp, which does the same for libjack).
// The declarations come from alsa-lib's own headers, so a definition here that
// does not match its declaration does not compile.
#include <alsa/asoundlib.h>

#include <cerrno>

#include "core/text/on_demand.h"

// clang-format off
#define TOLVEX_ALSA_FUNCTIONS(X) \
    X(long, snd_midi_event_decode, (snd_midi_event_t* d, unsigned char* b, long n, const snd_seq_event_t* e), (d, b, n, e)) \
    X(long, snd_midi_event_encode, (snd_midi_event_t* d, const unsigned char* b, long n, snd_seq_event_t* e), (d, b, n, e)) \
    X(void, snd_midi_event_free, (snd_midi_event_t* d), (d)) \
    X(int, snd_midi_event_new, (size_t n, snd_midi_event_t** d), (n, d)) \
    X(void, snd_midi_event_no_status, (snd_midi_event_t* d, int on), (d, on)) \
    X(void, snd_midi_event_reset_encode, (snd_midi_event_t* d), (d)) \
    X(int, snd_seq_client_id, (snd_seq_t* s), (s)) \
    X(int, snd_seq_client_info_get_client, (const snd_seq_client_info_t* i), (i)) \
    X(const char*, snd_seq_client_info_get_name, (snd_seq_client_info_t* i), (i)) \
    X(snd_seq_client_type_t, snd_seq_client_info_get_type, (const snd_seq_client_info_t* i), (i)) \
    X(void, snd_seq_client_info_set_client, (snd_seq_client_info_t* i, int c), (i, c)) \
    X(size_t, snd_seq_client_info_sizeof, (void), ()) \
    X(int, snd_seq_close, (snd_seq_t* s), (s)) \
    X(int, snd_seq_connect_from, (snd_seq_t* s, int p, int c, int cp), (s, p, c, cp)) \
    X(int, snd_seq_create_simple_port, (snd_seq_t* s, const char* n, unsigned int c, unsigned int t), (s, n, c, t)) \
    X(int, snd_seq_delete_simple_port, (snd_seq_t* s, int p), (s, p)) \
    X(int, snd_seq_drain_output, (snd_seq_t* s), (s)) \
    X(int, snd_seq_drop_output, (snd_seq_t* s), (s)) \
    X(int, snd_seq_event_input, (snd_seq_t* s, snd_seq_event_t** e), (s, e)) \
    X(int, snd_seq_event_input_pending, (snd_seq_t* s, int f), (s, f)) \
    X(int, snd_seq_get_any_client_info, (snd_seq_t* s, int c, snd_seq_client_info_t* i), (s, c, i)) \
    X(int, snd_seq_event_output_buffer, (snd_seq_t* s, snd_seq_event_t* e), (s, e)) \
    X(int, snd_seq_poll_descriptors, (snd_seq_t* s, struct pollfd* p, unsigned int n, short e), (s, p, n, e)) \
    X(unsigned int, snd_seq_port_info_get_capability, (const snd_seq_port_info_t* i), (i)) \
    X(const char*, snd_seq_port_info_get_name, (const snd_seq_port_info_t* i), (i)) \
    X(int, snd_seq_port_info_get_port, (const snd_seq_port_info_t* i), (i)) \
    X(void, snd_seq_port_info_set_client, (snd_seq_port_info_t* i, int c), (i, c)) \
    X(void, snd_seq_port_info_set_port, (snd_seq_port_info_t* i, int p), (i, p)) \
    X(size_t, snd_seq_port_info_sizeof, (void), ()) \
    X(void, snd_seq_port_subscribe_set_dest, (snd_seq_port_subscribe_t* i, const snd_seq_addr_t* a), (i, a)) \
    X(void, snd_seq_port_subscribe_set_sender, (snd_seq_port_subscribe_t* i, const snd_seq_addr_t* a), (i, a)) \
    X(size_t, snd_seq_port_subscribe_sizeof, (void), ()) \
    X(int, snd_seq_query_port_subscribers, (snd_seq_t* s, snd_seq_query_subscribe_t* q), (s, q)) \
    X(const snd_seq_addr_t*, snd_seq_query_subscribe_get_addr, (const snd_seq_query_subscribe_t* q), (q)) \
    X(int, snd_seq_query_subscribe_get_index, (const snd_seq_query_subscribe_t* q), (q)) \
    X(void, snd_seq_query_subscribe_set_index, (snd_seq_query_subscribe_t* q, int i), (q, i)) \
    X(void, snd_seq_query_subscribe_set_root, (snd_seq_query_subscribe_t* q, const snd_seq_addr_t* a), (q, a)) \
    X(void, snd_seq_query_subscribe_set_type, (snd_seq_query_subscribe_t* q, snd_seq_query_subs_type_t t), (q, t)) \
    X(size_t, snd_seq_query_subscribe_sizeof, (void), ()) \
    X(int, snd_seq_query_next_client, (snd_seq_t* s, snd_seq_client_info_t* i), (s, i)) \
    X(int, snd_seq_query_next_port, (snd_seq_t* s, snd_seq_port_info_t* i), (s, i)) \
    X(int, snd_seq_set_client_name, (snd_seq_t* s, const char* n), (s, n)) \
    X(int, snd_seq_set_client_pool_input, (snd_seq_t* s, size_t n), (s, n)) \
    X(int, snd_seq_set_client_pool_output, (snd_seq_t* s, size_t n), (s, n)) \
    X(int, snd_seq_set_input_buffer_size, (snd_seq_t* s, size_t n), (s, n)) \
    X(int, snd_seq_set_output_buffer_size, (snd_seq_t* s, size_t n), (s, n)) \
    X(int, snd_seq_subscribe_port, (snd_seq_t* s, snd_seq_port_subscribe_t* p), (s, p)) \
    X(int, snd_seq_unsubscribe_port, (snd_seq_t* s, snd_seq_port_subscribe_t* p), (s, p))
// clang-format on

// clang-format off
#define TOLVEX_ALSA_OWN(X) X(, snd_seq_open, , ) X(, snd_lib_error_set_handler, , )
// clang-format on

namespace {

// Opened once, on the first call that needs it, and never closed.
TOLVEX_ON_DEMAND_LIBRARY(Alsa, alsa, "libasound.so.2", TOLVEX_ALSA_FUNCTIONS, TOLVEX_ALSA_OWN)

}  // namespace

extern "C" {

// Without the library no sequencer opens, which the back-end reports as "no
// ALSA sequencer"; nothing else is ever called then.
int snd_seq_open(snd_seq_t** handle, const char* name, int streams, int mode)
{
    if (!alsa().complete) return -ENOENT;
    return alsa().snd_seq_open(handle, name, streams, mode);
}

int snd_lib_error_set_handler(snd_lib_error_handler_t handler)
{
    return alsa().complete ? alsa().snd_lib_error_set_handler(handler) : 0;
}

#define TOLVEX_FORWARD(ret, name, params, args) TOLVEX_ON_DEMAND_FORWARD(alsa, ret, name, params, args)
TOLVEX_ALSA_FUNCTIONS(TOLVEX_FORWARD)
#undef TOLVEX_FORWARD

}  // extern "C"
