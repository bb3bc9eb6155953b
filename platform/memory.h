// Memory blocks by pointer, all released at the end of a run.
#pragma once

#include <cstdint>

namespace platform {

// A zero-filled block of size bytes; nullptr when size is 0 or less or memory is short.
std::uint8_t* allocate_memory(std::int64_t size);

// Releases a block of allocate_memory; nullptr and unknown pointers are ignored.
void free_memory(std::uint8_t* block);

// Releases every block still held.
void free_all_memory();

inline int peek_byte(const std::uint8_t* address) {
    return *address;
}
inline void poke_byte(std::uint8_t* address, int value) {
    *address = static_cast<std::uint8_t>(value);
}

}  // namespace platform
