// blockbind's block on any bytes: the block made of length_word, the data and check_byte reads
// back as exactly that data with a passing check, and input_fault gives the one refusal line
// that applies first, the name byte for byte, or accepts an input whose size a word can hold.
//
// Input: byte 0 holds the facts (bit 0: the input is the output, bit 1: readable, bits 2..3:
// the size is the data's, -1, -2 or -3), bytes 1..2 a size offset added to the data's size (so
// that sizes beyond the largest block are reached), then a name up to the first 0 byte, then
// the data.
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "blockbind/blockbind.h"

namespace {

// The block as the program writes it.
std::vector<std::uint8_t> make_block(std::span<const std::uint8_t> data) {
    std::uint16_t word = blockbind::length_word(static_cast<std::int64_t>(data.size()));
    std::vector<std::uint8_t> block{static_cast<std::uint8_t>(word & 0xFF),
                                    static_cast<std::uint8_t>(word >> 8)};
    block.insert(block.end(), data.begin(), data.end());
    block.push_back(blockbind::check_byte(data));
    return block;
}

// Reads the block back as a tape loader would: the length word counts the bytes after it, the
// last of which is the check byte; all of them XOR to 0. Aborts on any mismatch.
void check_block(const std::vector<std::uint8_t>& block, std::span<const std::uint8_t> data) {
    std::size_t length = block[0] | (block[1] << 8);
    if (length != block.size() - 2 || length != data.size() + 1) {
        std::abort();
    }
    std::uint8_t parity = 0;
    for (std::size_t i = 2; i < block.size(); ++i) {
        parity ^= block[i];
    }
    if (parity != 0 || !std::equal(data.begin(), data.end(), block.begin() + 2)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    const std::uint8_t facts_byte = data[0];
    const std::int64_t offset = data[1] | (data[2] << 8);
    std::string_view rest(reinterpret_cast<const char*>(data + 3), size - 3);
    const std::size_t name_end = std::min(rest.find('\0'), rest.size());
    const std::string name(rest.substr(0, name_end));
    rest.remove_prefix(std::min(name_end + 1, rest.size()));
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(rest.data()),
                                              rest.size());

    // Every input the fuzzer can give fits a block (inputs are far below 65534 bytes).
    if (bytes.size() <= static_cast<std::size_t>(blockbind::kLargestInput)) {
        check_block(make_block(bytes), bytes);
    }

    blockbind::InputFacts facts;
    facts.is_output = facts_byte & 1;
    facts.readable = facts_byte & 2;
    const std::int64_t sizes[] = {static_cast<std::int64_t>(bytes.size()) + offset * 2, -1, -2, -3};
    facts.size = sizes[(facts_byte >> 2) & 3];
    const auto fault = blockbind::input_fault(name, facts);

    // The refusal the program must print, the first that applies winning.
    std::optional<std::string> expected;
    if (facts.is_output) {
        expected = "Can't read " + name;
    } else if (facts.size == -1) {
        expected = "File " + name + " not found";
    } else if (facts.size < 0 || !facts.readable) {
        expected = "Can't read " + name;
    } else if (facts.size > blockbind::kLargestInput) {
        expected = "File " + name + " is too big (" + std::to_string(facts.size) +
                   " bytes, 65534 at most)";
    }
    if (fault != expected) {
        std::abort();
    }
    // What is accepted is what a length word can say: the word gives the size back.
    if (!fault && blockbind::length_word(facts.size) != facts.size + 1) {
        std::abort();
    }
    return 0;
}
