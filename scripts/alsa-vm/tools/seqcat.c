// SPDX-License-Identifier: GPL-3.0-or-later
/* seqcat: independent ALSA sequencer reader for the harness.
 * seqcat CLIENT:PORT OUTFILE [idle_ms]
 * Subscribes a port of its own to CLIENT:PORT, writes the bytes of every SysEx
 * event to OUTFILE (other events ignored), reports -ENOSPC overruns, exits
 * after idle_ms (default 3000) without events once something arrived. */
#include <alsa/asoundlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <poll.h>
int main(int argc, char **argv) {
  if (argc < 3) { fprintf(stderr, "usage: seqcat CLIENT:PORT OUTFILE [idle_ms]\n"); return 2; }
  int idle = argc > 3 ? atoi(argv[3]) : 3000;
  snd_seq_t *seq;
  if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_INPUT, 0) < 0) { perror("open"); return 1; }
  snd_seq_set_client_name(seq, "seqcat");
  snd_seq_set_input_buffer_size(seq, 1 << 20);
  snd_seq_set_client_pool_input(seq, 2000);
  int port = snd_seq_create_simple_port(seq, "in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE, SND_SEQ_PORT_TYPE_APPLICATION);
  snd_seq_addr_t src;
  if (snd_seq_parse_address(seq, &src, argv[1]) < 0 || snd_seq_connect_from(seq, port, src.client, src.port) < 0) { fprintf(stderr, "seqcat: cannot connect from %s\n", argv[1]); return 1; }
  FILE *out = fopen(argv[2], "wb");
  if (!out) { perror("fopen"); return 1; }
  fprintf(stderr, "seqcat: listening\n");
  int npfd = snd_seq_poll_descriptors_count(seq, POLLIN);
  struct pollfd pfd[4];
  snd_seq_poll_descriptors(seq, pfd, npfd, POLLIN);
  long events = 0, bytes = 0, overruns = 0;
  for (;;) {
    if (snd_seq_event_input_pending(seq, 1) == 0) {
      int r = poll(pfd, npfd, events ? idle : 60000);
      if (r == 0) break;
    }
    snd_seq_event_t *ev;
    int r = snd_seq_event_input(seq, &ev);
    if (r == -ENOSPC) { overruns++; fprintf(stderr, "seqcat: ENOSPC (overrun) after %ld events\n", events); continue; }
    if (r < 0) { fprintf(stderr, "seqcat: input error %d\n", r); break; }
    events++;
    if (ev->type == SND_SEQ_EVENT_SYSEX) { fwrite(ev->data.ext.ptr, 1, ev->data.ext.len, out); bytes += ev->data.ext.len; }
  }
  fclose(out);
  fprintf(stderr, "seqcat: %ld events, %ld SysEx bytes, %ld overruns\n", events, bytes, overruns);
  return overruns ? 3 : 0;
}
