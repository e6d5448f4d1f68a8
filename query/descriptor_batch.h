// Module files are many and small, each read whole at once: their
// descriptors are closed afterwards in batches, each run of consecutive
// numbers in one system call, where closing each would cost a call apiece.
#pragma once

#include <fcntl.h>

#include <cstddef>

// Takes `fd` over; it is closed with the batch, at the latest once the
// batch is full. Only descriptors nothing else uses may be handed over.
void close_later(int fd);
// Closes every descriptor handed over; false when there was none.
bool close_held_descriptors();
// Opens a module file for reading, without blocking and without taking a
// terminal; when the process has no descriptor left, the held ones are
// closed and the open tried again. A relative path is taken from `dir_fd`.
int open_module_file(int dir_fd, const char* path);
inline int open_module_file(const char* path) {
  return open_module_file(AT_FDCWD, path);
}
