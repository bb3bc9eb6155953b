// The screen reordering on any bytes: every output byte is the input byte the mapping names.
#include <cstdlib>
#include <vector>

#include "cellweave/screen.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::size_t screen_size =
        size > 0 && (data[0] & 1) ? cellweave::kScreenSize : cellweave::kBitmapSize;
    std::vector<std::uint8_t> source(screen_size), output(screen_size);
    for (std::size_t i = 0; i < size && i < screen_size; ++i) {
        source[i] = data[i];
    }
    cellweave::reorder_screen(source.data(), output.data(), screen_size);
    for (std::size_t k = 0; k < screen_size; ++k) {
        if (output[k] != source[cellweave::source_index(k)]) {
            std::abort();
        }
    }
    return 0;
}
