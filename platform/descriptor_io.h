// System-call helpers shared inside the platform layer.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace platform {

// Writes all count bytes to the descriptor, retrying after interruptions and short writes.
// False when the descriptor refuses some of them (full disk, a pipe without reader, ...).
bool write_all(int fd, const void* data, std::size_t count);

// One read(2) of up to count bytes, retried after an interruption: the count read, 0 at the end,
// -1 on failure.
ssize_t read_some(int fd, void* memory, std::size_t count);

}  // namespace platform
