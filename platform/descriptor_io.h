// System-call helpers shared inside the platform layer.
#pragma once

#include <cstddef>

namespace platform {

// Writes all count bytes to the descriptor, retrying after interruptions and short writes.
// False when the descriptor refuses some of them (full disk, a pipe without reader, ...).
bool write_all(int fd, const void* data, std::size_t count);

}  // namespace platform
