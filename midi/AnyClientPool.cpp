#include "AnyClientPool.h"

#include <sound/asequencer.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace kaldo::midi {

int requestClientPool(int fd, int client, int& inputPool, int& inputFree) {
    snd_seq_client_pool pool;
    std::memset(&pool, 0, sizeof pool);
    pool.client = client;
    if (ioctl(fd, SNDRV_SEQ_IOCTL_GET_CLIENT_POOL, &pool) < 0) return -errno;
    inputPool = pool.input_pool;
    inputFree = pool.input_free;
    return 0;
}

}  // namespace kaldo::midi
