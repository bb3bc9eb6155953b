#include "blockbind/run.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "blockbind/blockbind.h"
#include "platform/files.h"
#include "platform/memory.h"

namespace blockbind {

namespace {

constexpr int kOutput = 0;
constexpr int kInput = 1;
constexpr int kFailurePause = 1000;

// The output as the inputs of a pass are compared with it, taken once for the whole pass.
struct Output {
    std::string name;
    // Nothing while the output does not exist: then only its very name can be the output.
    std::optional<platform::FileIdentity> identity;
    // A regular file is left as it was by an open for reading, so each input is opened first
    // and the opened file compared, which spares a look-up of every name. Anything else (a
    // device, a FIFO) is compared by name first, so that it is never opened as an input.
    bool open_first = false;
};

Output output_as_it_is(const std::string& name, std::optional<platform::FileIdentity> identity) {
    return {name, identity, identity && platform::file_size(name) >= 0};
}

// What the file system says about the input now. When the input can be joined it is left open
// for reading under kInput; otherwise nothing is left open under kInput.
InputFacts examine_input(const std::string& name, const Output& output) {
    InputFacts facts;
    // The output by any name (links included) once it exists; before that, by its very name.
    facts.is_output = name == output.name || (output.identity && !output.open_first &&
                                              platform::file_identity(name) == output.identity);
    if (facts.is_output) {
        return facts;
    }
    facts.readable = platform::open_file_for_reading(kInput, name);
    if (facts.readable && output.open_first &&
        platform::open_file_identity(kInput) == output.identity) {
        platform::close_file(kInput);
        facts.is_output = true;
        facts.readable = false;
        return facts;
    }
    // The length of the opened file is the one that is read; the name alone tells why not.
    facts.size = facts.readable ? platform::opened_length(kInput) : platform::file_size(name);
    if (input_fault(name, facts)) {
        platform::close_file(kInput);
    }
    return facts;
}

int fail(std::string_view line) {
    platform::print_line(line);
    platform::pause(kFailurePause);
    return 1;
}

}  // namespace

int run_blockbind(platform::CommandLine& command_line) {
    // Show the usage
    if (command_line.parameter_count() < 2) {
        for (std::string_view line : kUsageLines) {
            platform::print_line(line);
        }
        platform::pause(kFailurePause);
        return 2;
    }

    // Take the names: the output, then the inputs up to the first empty parameter
    const std::string output_name = command_line.next_parameter();
    std::vector<std::string> input_names;
    for (std::string name = command_line.next_parameter(); !name.empty();
         name = command_line.next_parameter()) {
        input_names.push_back(std::move(name));
    }

    // Check the inputs, so that a refused run leaves an existing output as it was
    const Output existing_output =
        output_as_it_is(output_name, platform::file_identity(output_name));
    for (const std::string& name : input_names) {
        InputFacts facts = examine_input(name, existing_output);
        platform::close_file(kInput);
        if (auto fault = input_fault(name, facts)) {
            return fail(*fault);
        }
    }

    // Create the output
    if (!platform::create_file(kOutput, output_name)) {
        return fail(cannot_create_line(output_name));
    }
    auto fail_after_creation = [&](std::string_view line) {
        // The incomplete image goes; through a link, the file it leads to is emptied.
        platform::discard_file(kOutput);
        return fail(line);
    };

    // Join the inputs, one block each, holding one input at a time
    const Output created_output =
        output_as_it_is(output_name, platform::open_file_identity(kOutput));
    for (const std::string& name : input_names) {
        // Read the input; it may have changed since it was checked
        InputFacts facts = examine_input(name, created_output);
        if (auto fault = input_fault(name, facts)) {
            return fail_after_creation(*fault);
        }
        const std::int64_t size = facts.size;
        std::uint8_t* buffer = platform::allocate_memory(size);
        if (size > 0 && buffer == nullptr) {
            platform::close_file(kInput);
            return fail_after_creation(kNoMemoryLine);
        }
        const bool read_whole = platform::read_data(kInput, buffer, size) == size;
        platform::close_file(kInput);
        if (!read_whole) {
            platform::free_memory(buffer);
            return fail_after_creation(cannot_read_line(name));
        }
        platform::print_line(progress_line(name, size));

        // Append the block: length word, the input's bytes, check byte
        const std::span<const std::uint8_t> data(buffer, static_cast<std::size_t>(size));
        const bool written = platform::write_word(kOutput, length_word(size)) &&
                             (size == 0 || platform::write_data(kOutput, buffer, size) == size) &&
                             platform::write_byte(kOutput, check_byte(data));
        platform::free_memory(buffer);
        if (!written) {
            return fail_after_creation(cannot_write_line(output_name));
        }
    }

    // Close the output; a write that failed late shows here, and the output is then removed
    if (!platform::finish_output(kOutput)) {
        return fail(cannot_write_line(output_name));
    }
    return 0;
}

}  // namespace blockbind
