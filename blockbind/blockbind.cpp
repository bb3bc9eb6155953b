#include "blockbind/blockbind.h"

#include <cstring>

#include "platform/console.h"

namespace blockbind {

std::uint16_t length_word(std::int64_t size) {
    return static_cast<std::uint16_t>(size + 1);
}

std::uint8_t check_byte(std::span<const std::uint8_t> data) {
    // Eight bytes per step: XOR keeps the byte lanes of a word apart, so the word ends up
    // holding eight partial check bytes, which are then folded into one.
    std::uint64_t lanes = 0;
    const std::size_t whole_words = data.size() / 8 * 8;
    for (std::size_t i = 0; i < whole_words; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, data.data() + i, sizeof word);
        lanes ^= word;
    }
    lanes ^= lanes >> 32;
    lanes ^= lanes >> 16;
    lanes ^= lanes >> 8;
    auto check = static_cast<std::uint8_t>(lanes);
    for (std::size_t i = whole_words; i < data.size(); ++i) {
        check ^= data[i];
    }
    return check;
}

std::optional<std::string> input_fault(std::string_view name, const InputFacts& facts) {
    if (facts.is_output) {
        return cannot_read_line(name);
    }
    if (facts.size == -1) {
        return not_found_line(name);
    }
    if (facts.size < 0 || !facts.readable) {
        return cannot_read_line(name);
    }
    if (facts.size > kLargestInput) {
        return "File " + std::string(name) + " is too big (" + platform::decimal_text(facts.size) +
               " bytes, " + platform::decimal_text(kLargestInput) + " at most)";
    }
    return std::nullopt;
}

std::string progress_line(std::string_view name, std::int64_t size) {
    return "add file " + std::string(name) + " " + platform::decimal_text(size);
}

std::string cannot_create_line(std::string_view output_name) {
    return "Can't create " + std::string(output_name);
}

std::string cannot_write_line(std::string_view output_name) {
    return "Can't write " + std::string(output_name);
}

std::string cannot_read_line(std::string_view name) {
    return "Can't read " + std::string(name);
}

std::string not_found_line(std::string_view name) {
    return "File " + std::string(name) + " not found";
}

}  // namespace blockbind
