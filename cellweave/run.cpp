#include "cellweave/run.h"

#include <string>

#include "cellweave/screen.h"
#include "platform/files.h"
#include "platform/memory.h"

namespace cellweave {

namespace {

constexpr int kFile = 0;
constexpr int kMessagePauseMs = 1000;

int fail(const std::string& message) {
    platform::print_line(message);
    platform::pause(kMessagePauseMs);
    return 1;
}

}  // namespace

int run_cellweave(platform::CommandLine& command_line) {
    // Usage
    if (command_line.parameter_count() < 1) {
        platform::print_line("Lacework v0.1");
        platform::print_line("pac optimisation utility");
        platform::print_line("Usage: cellweave.exe filename");
        platform::print_line("Onexit: filename.rec");
        platform::pause(kMessagePauseMs);
        return 2;
    }

    // Check the screen file
    std::string name = command_line.next_parameter();
    std::int64_t size = platform::file_size(name);
    if (!is_screen_size(size)) {
        return fail("Wrong file " + name);
    }
    if (!platform::open_file_for_reading(kFile, name)) {
        // Only a file that vanished since it was measured is "not found".
        return fail(platform::file_size(name) == -1 ? "File " + name + " not found"
                                                    : "Can't read " + name);
    }

    // Get the working blocks
    std::uint8_t* source = platform::allocate_memory(size);
    std::uint8_t* output = platform::allocate_memory(size);
    if (source == nullptr || output == nullptr) {
        return fail("Couldn't allocate the requested memory!");
    }

    // Load the screen
    platform::print_text("Loading " + name);
    if (platform::read_data(kFile, source, size) != size) {
        platform::print_line();
        return fail("Can't read " + name);
    }
    platform::print_line(" " + platform::decimal_text(size) + " bytes");
    platform::close_file(kFile);

    // Reorder
    reorder_screen(source, output, static_cast<std::size_t>(size));

    // Write name.rec
    std::string output_name = name + ".rec";
    // A name.rec that is a link to the screen itself would be emptied with the screen.
    if (platform::same_file(name, output_name) || !platform::create_file(kFile, output_name)) {
        return fail("Can't create " + output_name);
    }
    // A short write marks the file as failed, so finish_output removes it.
    bool written = platform::write_data(kFile, output, size) == size;
    if (!platform::finish_output(kFile) || !written) {
        return fail("Can't write " + output_name);
    }
    platform::free_memory(output);
    platform::free_memory(source);
    return 0;
}

}  // namespace cellweave
