// blockbind's whole run on fuzzer-made input files: either every input is joined (status 0, the
// image holds one block per input in order, a progress line each) or the first refused input
// is reported before anything is made (status 1, one line, an existing output as it was). The
// inputs are never changed.
//
// Input: byte 0 holds choices (bit 0: an empty parameter after input number bits 1..2; bit 3: a
// missing input at the end; bit 4: the output named among the inputs; bit 5: an output exists
// before the run; bit 6: one more input of 65534 bytes, or 65535 with bit 7), the rest is split
// into the input files at every fuzz::kFileSeparator.
#include <cstdlib>
#include <string>
#include <vector>

#include "blockbind/run.h"
#include "fuzz/harness.h"

namespace {

std::string block(const std::string& data) {
    const std::size_t length = data.size() + 1;
    std::string bytes{static_cast<char>(length & 0xFF), static_cast<char>(length >> 8)};
    char check = 0;
    for (char byte : data) {
        check ^= byte;
    }
    return bytes + data + check;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    fuzz::enter_scratch_folder();
    const std::uint8_t choices = data[0];
    const std::vector<std::string> contents = fuzz::split_files(data + 1, size - 1);

    std::vector<std::string> names;
    for (std::size_t i = 0; i < contents.size(); ++i) {
        names.push_back("in" + std::to_string(i) + ".bin");
        fuzz::write_bytes(names.back(), reinterpret_cast<const std::uint8_t*>(contents[i].data()),
                          contents[i].size());
    }
    std::vector<std::string> files = contents;  // what each name in `names` holds
    if (choices & 0x40) {
        files.push_back(std::string((choices & 0x80) ? 65535 : 65534, '\x5A'));
        names.push_back("big.bin");
        fuzz::write_bytes("big.bin", reinterpret_cast<const std::uint8_t*>(files.back().data()),
                          files.back().size());
    }
    if (choices & 0x10) {
        names.insert(names.begin() + static_cast<long>(names.size() / 2), "out.tap");
        files.insert(files.begin() + static_cast<long>(files.size() / 2), "");
    }
    if (choices & 0x08) {
        names.push_back("missing.bin");
        files.push_back("");
    }
    const std::string old_output = "an image from before";
    if (choices & 0x20) {
        fuzz::write_bytes("out.tap", reinterpret_cast<const std::uint8_t*>(old_output.data()),
                          old_output.size());
    }
    std::vector<std::string> parameters{"out.tap"};
    parameters.insert(parameters.end(), names.begin(), names.end());
    std::size_t joined_count = names.size();
    if (choices & 0x01) {
        const std::size_t at = std::min<std::size_t>((choices >> 1) & 3, names.size());
        parameters.insert(parameters.begin() + 1 + static_cast<long>(at), "");
        joined_count = at;
    }

    // What the run must do: the first refused input among those before the empty parameter.
    std::string refusal;
    std::string image;
    std::string progress;
    for (std::size_t i = 0; i < joined_count && refusal.empty(); ++i) {
        if (names[i] == "out.tap") {
            refusal = "Can't read out.tap\r\n";
        } else if (names[i] == "missing.bin") {
            refusal = "File missing.bin not found\r\n";
        } else if (files[i].size() > 65534) {
            refusal = "File " + names[i] + " is too big (" + std::to_string(files[i].size()) +
                      " bytes, 65534 at most)\r\n";
        }
        image += block(files[i]);
        progress += "add file " + names[i] + " " + std::to_string(files[i].size()) + "\r\n";
    }

    fuzz::capture_console();
    platform::CommandLine command_line(parameters);
    const int status = blockbind::run_blockbind(command_line);
    const std::string console = fuzz::console_text();
    const auto output = fuzz::read_bytes("out.tap");

    if (refusal.empty()) {
        if (status != 0 || console != progress || output != image) {
            std::abort();
        }
    } else {
        const bool existed = choices & 0x20;
        if (status != 1 || console != refusal ||
            (existed ? output != old_output : output.has_value())) {
            std::abort();
        }
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] != "out.tap" && names[i] != "missing.bin" &&
            fuzz::read_bytes(names[i]) != files[i]) {
            std::abort();
        }
    }
    if (fuzz::read_bytes("missing.bin")) {
        std::abort();
    }
    fuzz::clean_up_after_run();
    return 0;
}
