// SPDX-License-Identifier: GPL-3.0-or-later
/* rawput: write a file to a rawmidi device in chunks, draining after each, so
 * the kernel never copies new bytes while the device is still transmitting
 * (Debian 6.1 + snd-virmidi resends stale ring-buffer bytes otherwise).
 * rawput FILE DEVICE [chunk=256] */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <sound/asound.h>
int main(int argc, char **argv) {
  if (argc < 3) { fprintf(stderr, "usage: rawput FILE DEVICE [chunk]\n"); return 2; }
  size_t chunk = argc > 3 ? (size_t)atol(argv[3]) : 256;
  int in = open(argv[1], O_RDONLY), out = open(argv[2], O_WRONLY);
  if (in < 0 || out < 0) { perror("open"); return 1; }
  char *buf = malloc(chunk);
  ssize_t n;
  long total = 0;
  while ((n = read(in, buf, chunk)) > 0) {
    for (ssize_t off = 0; off < n;) {
      ssize_t w = write(out, buf + off, n - off);
      if (w < 0) { perror("write"); return 1; }
      off += w;
    }
    int stream = SNDRV_RAWMIDI_STREAM_OUTPUT;
    if (ioctl(out, SNDRV_RAWMIDI_IOCTL_DRAIN, &stream) < 0) { perror("drain"); return 1; }
    total += n;
  }
  close(out);
  fprintf(stderr, "rawput: %ld bytes\n", total);
  return 0;
}
