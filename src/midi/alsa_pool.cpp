// SPDX-License-Identifier: GPL-3.0-or-later
// The kernel's own sequencer header, apart from alsa-lib's, whose copies of
// the same structures would clash with it.
#include <sound/asequencer.h>
#include <sys/ioctl.h>

namespace tolvex {

int seqInputFree(int fd, int client)
{
    if (fd < 0) return -1;
    snd_seq_client_pool pool{};
    pool.client = client;
    if (::ioctl(fd, SNDRV_SEQ_IOCTL_GET_CLIENT_POOL, &pool) < 0 || pool.input_pool <= 0) return -1;
    return pool.input_free;
}

}  // namespace tolvex
