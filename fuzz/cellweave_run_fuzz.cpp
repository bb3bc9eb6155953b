// cellweave's whole run on a fuzzer-made screen file: the .rec appears exactly when the run says
// it succeeded, and then holds the reordered screen.
#include <cstdlib>
#include <string>

#include "cellweave/run.h"
#include "cellweave/screen.h"
#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::enter_scratch_folder();
    fuzz::write_bytes("pic.scr", data, size);
    platform::CommandLine command_line({"pic.scr"});
    int status = cellweave::run_cellweave(command_line);
    auto output = fuzz::read_bytes("pic.scr.rec");
    bool right_size = cellweave::is_screen_size(static_cast<std::int64_t>(size));
    if ((status == 0) != right_size || output.has_value() != right_size) {
        std::abort();
    }
    if (output) {
        for (std::size_t k = 0; k < size; ++k) {
            if (static_cast<std::uint8_t>((*output)[k]) != data[cellweave::source_index(k)]) {
                std::abort();
            }
        }
    }
    fuzz::clean_up_after_run();
    return 0;
}
