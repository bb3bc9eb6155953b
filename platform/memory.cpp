#include "platform/memory.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace platform {

namespace {

// Every block handed out and not yet freed, so that the end of a run can release them all.
std::vector<std::uint8_t*>& held_blocks() {
    static std::vector<std::uint8_t*> blocks;
    return blocks;
}

}  // namespace

std::uint8_t* allocate_memory(std::int64_t size) {
    if (size <= 0) {
        return nullptr;
    }
    auto* block = static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(size), 1));
    if (block != nullptr) {
        held_blocks().push_back(block);
    }
    return block;
}

void free_memory(std::uint8_t* block) {
    auto& blocks = held_blocks();
    auto found = std::find(blocks.begin(), blocks.end(), block);
    if (block == nullptr || found == blocks.end()) {
        return;
    }
    blocks.erase(found);
    std::free(block);
}

void free_all_memory() {
    for (std::uint8_t* block : held_blocks()) {
        std::free(block);
    }
    held_blocks().clear();
}

}  // namespace platform
