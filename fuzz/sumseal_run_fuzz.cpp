// sumseal's whole run on a fuzzer-made image. A valid image is reported equal and left byte for
// byte as it was; any other is repaired: it grows by exactly 4 bytes, its old bytes unchanged,
// and a second run reports it valid and changes nothing. Standard input is /dev/null (see
// harness.h), so each run's key wait ends at once.
#include <cstdlib>
#include <string>

#include "fuzz/harness.h"
#include "sumseal/run.h"

namespace {

// A plain reference: the image is valid when its last 4 bytes, little-endian, equal the sum of
// the bytes before them modulo 2^32 (a shorter image: the bytes present, the rest zero).
bool reference_valid(const std::string& image) {
    const std::size_t summed = image.size() > 4 ? image.size() - 4 : 0;
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < summed; ++i) {
        sum += static_cast<std::uint8_t>(image[i]);
    }
    std::uint64_t trailer = 0;
    for (std::size_t i = summed; i < image.size(); ++i) {
        trailer |= static_cast<std::uint64_t>(static_cast<std::uint8_t>(image[i]))
                   << (8 * (i - summed));
    }
    return sum % (std::uint64_t{1} << 32) == trailer;
}

// "Checksums equal:N=N" with the same number on both sides, then CR LF.
bool reports_equal(const std::string& console) {
    const std::string prefix = "Checksums equal:";
    const std::size_t equals = console.find('=');
    if (!console.starts_with(prefix) || !console.ends_with("\r\n") || equals == std::string::npos) {
        return false;
    }
    const std::string left = console.substr(prefix.size(), equals - prefix.size());
    const std::string right = console.substr(equals + 1, console.size() - equals - 3);
    return !left.empty() && left == right;
}

int run_on_image(std::string& console) {
    fuzz::capture_console();
    platform::CommandLine command_line({"disk.scl"});
    const int status = sumseal::run_sumseal(command_line);
    console = fuzz::console_text();
    return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::enter_scratch_folder();
    const std::string image(reinterpret_cast<const char*>(data), size);
    fuzz::write_bytes("disk.scl", data, size);

    std::string console;
    if (run_on_image(console) != sumseal::kStatusDone) {
        std::abort();
    }
    const auto after = fuzz::read_bytes("disk.scl");
    if (!after) {
        std::abort();
    }
    if (reference_valid(image)) {
        if (*after != image || !reports_equal(console)) {
            std::abort();
        }
    } else {
        if (console != "Fixing...\r\ndone! press any key.\r\n" ||
            after->size() != image.size() + 4 || !after->starts_with(image) ||
            !reference_valid(*after)) {
            std::abort();
        }
        if (run_on_image(console) != sumseal::kStatusDone || !reports_equal(console) ||
            fuzz::read_bytes("disk.scl") != after) {
            std::abort();
        }
    }
    fuzz::clean_up_after_run();
    return 0;
}
