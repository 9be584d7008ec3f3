// SPDX-License-Identifier: GPL-3.0-or-later
// libjack is opened when a JACK client is first asked for, not when the
// program starts: naming or converting files never pays for loading it (and
// the libraries it pulls in). Every function the back-end calls is looked up
// at that first opening, all at once, so the process callback never waits on
// a lookup. The declarations come from JACK's own headers, so a definition
// here that does not match its declaration does not compile.
#include <jack/jack.h>
#include <jack/midiport.h>

#include <cstdarg>

#include "core/text/on_demand.h"

// clang-format off
#define TOLVEX_JACK_FUNCTIONS(X) \
    X(int, jack_activate, (jack_client_t* c), (c)) \
    X(int, jack_client_close, (jack_client_t* c), (c)) \
    X(int, jack_connect, (jack_client_t* c, const char* a, const char* b), (c, a, b)) \
    X(void, jack_free, (void* p), (p)) \
    X(jack_nframes_t, jack_frames_since_cycle_start, (const jack_client_t* c), (c)) \
    X(jack_nframes_t, jack_get_buffer_size, (jack_client_t* c), (c)) \
    X(const char**, jack_get_ports, (jack_client_t* c, const char* n, const char* t, unsigned long f), (c, n, t, f)) \
    X(jack_nframes_t, jack_get_sample_rate, (jack_client_t* c), (c)) \
    X(jack_nframes_t, jack_last_frame_time, (const jack_client_t* c), (c)) \
    X(void, jack_midi_clear_buffer, (void* b), (b)) \
    X(int, jack_midi_event_get, (jack_midi_event_t* e, void* b, uint32_t i), (e, b, i)) \
    X(jack_midi_data_t*, jack_midi_event_reserve, (void* b, jack_nframes_t t, size_t n), (b, t, n)) \
    X(uint32_t, jack_midi_get_event_count, (void* b), (b)) \
    X(uint32_t, jack_midi_get_lost_event_count, (void* b), (b)) \
    X(size_t, jack_midi_max_event_size, (void* b), (b)) \
    X(void, jack_on_info_shutdown, (jack_client_t* c, JackInfoShutdownCallback f, void* a), (c, f, a)) \
    X(jack_port_t*, jack_port_by_id, (jack_client_t* c, jack_port_id_t i), (c, i)) \
    X(jack_port_t*, jack_port_by_name, (jack_client_t* c, const char* n), (c, n)) \
    X(int, jack_port_connected, (const jack_port_t* p), (p)) \
    X(int, jack_port_connected_to, (const jack_port_t* p, const char* n), (p, n)) \
    X(void*, jack_port_get_buffer, (jack_port_t* p, jack_nframes_t n), (p, n)) \
    X(const char*, jack_port_name, (const jack_port_t* p), (p)) \
    X(jack_port_t*, jack_port_register, (jack_client_t* c, const char* n, const char* t, unsigned long f, unsigned long s), (c, n, t, f, s)) \
    X(size_t, jack_port_type_get_buffer_size, (jack_client_t* c, const char* t), (c, t)) \
    X(int, jack_set_port_connect_callback, (jack_client_t* c, JackPortConnectCallback f, void* a), (c, f, a)) \
    X(int, jack_set_port_registration_callback, (jack_client_t* c, JackPortRegistrationCallback f, void* a), (c, f, a)) \
    X(int, jack_set_process_callback, (jack_client_t* c, JackProcessCallback f, void* a), (c, f, a)) \
    X(int, jack_set_xrun_callback, (jack_client_t* c, JackXRunCallback f, void* a), (c, f, a))
// clang-format on

// clang-format off
#define TOLVEX_JACK_OWN(X) X(, jack_client_open, , ) X(, jack_set_error_function, , ) X(, jack_set_info_function, , )
// clang-format on

namespace {

// Opened once, on the first call that needs it, and never closed.
TOLVEX_ON_DEMAND_LIBRARY(Jack, jack, "libjack.so.0", TOLVEX_JACK_FUNCTIONS, TOLVEX_JACK_OWN)

}  // namespace

extern "C" {

// Without the library (or with one that lacks a function) no client opens,
// which the back-end reports as "no JACK server"; nothing else is ever called then.
jack_client_t* jack_client_open(const char* name, jack_options_t options, jack_status_t* status, ...)
{
    const Jack& j = jack();
    if (!j.complete) {
        if (status) *status = static_cast<jack_status_t>(JackFailure | JackServerFailed);
        return nullptr;
    }
    if (!(options & JackServerName)) return j.jack_client_open(name, options, status);
    std::va_list more;
    va_start(more, status);
    const char* server = va_arg(more, const char*);
    va_end(more);
    return j.jack_client_open(name, options, status, server);
}

// Called before any client is opened: without the library there is nothing to hear from.
void jack_set_error_function(void (*func)(const char*))
{
    if (jack().complete) jack().jack_set_error_function(func);
}

void jack_set_info_function(void (*func)(const char*))
{
    if (jack().complete) jack().jack_set_info_function(func);
}

#define TOLVEX_FORWARD(ret, name, params, args) TOLVEX_ON_DEMAND_FORWARD(jack, ret, name, params, args)
TOLVEX_JACK_FUNCTIONS(TOLVEX_FORWARD)
#undef TOLVEX_FORWARD

}  // extern "C"
