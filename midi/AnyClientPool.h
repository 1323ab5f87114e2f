#pragma once
// The input queue of any sequencer client, not only our own: ALSA's library asks the kernel only for
// the caller's, so this makes the kernel's request itself. Apart from the library's headers, whose
// types clash with the kernel's.
namespace kaldo::midi {

// On the sequencer opened as fd: the size of client's input queue and its free cells, in cells.
// Zero, or a negative errno.
int requestClientPool(int fd, int client, int& inputPool, int& inputFree);

}  // namespace kaldo::midi
