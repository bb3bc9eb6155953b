// The inner loops of the console tools, each over the data of its usual run: cellweave's
// regrouping of one screen, blockbind's check byte and block of one 6,912-byte input, and
// sumseal's byte sum over a chunk of the size it reads.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "blockbind/blockbind.h"
#include "cellweave/screen.h"
#include "sumseal/sumseal.h"

namespace {

// Bytes that change from one to the next, so that no loop sees a constant.
std::vector<std::uint8_t> varied_bytes(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    std::uint32_t state = 12345;
    for (std::uint8_t& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(state >> 16);
    }
    return bytes;
}

void bytes_processed(benchmark::State& state, std::size_t per_iteration) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(per_iteration));
}

void BM_CellweaveReorderScreen(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    std::vector<std::uint8_t> source = varied_bytes(size);
    std::vector<std::uint8_t> output(size);
    for (auto _ : state) {
        cellweave::reorder_screen(source.data(), output.data(), size);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    bytes_processed(state, size);
}
BENCHMARK(BM_CellweaveReorderScreen)->Arg(cellweave::kBitmapSize)->Arg(cellweave::kScreenSize);

void BM_BlockbindCheckByte(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    std::vector<std::uint8_t> data = varied_bytes(size);
    for (auto _ : state) {
        std::uint8_t check = blockbind::check_byte(std::span<const std::uint8_t>(data));
        benchmark::DoNotOptimize(check);
        benchmark::ClobberMemory();
    }
    bytes_processed(state, size);
}
BENCHMARK(BM_BlockbindCheckByte)->Arg(3)->Arg(6912)->Arg(blockbind::kLargestInput);

// A whole block as the program lays it out: length word, the input's bytes, check byte.
void BM_BlockbindBuildBlock(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    std::vector<std::uint8_t> data = varied_bytes(size);
    std::vector<std::uint8_t> block(size + 3);
    for (auto _ : state) {
        const std::uint16_t word = blockbind::length_word(static_cast<std::int64_t>(size));
        block[0] = static_cast<std::uint8_t>(word);
        block[1] = static_cast<std::uint8_t>(word >> 8);
        std::copy(data.begin(), data.end(), block.begin() + 2);
        block[size + 2] = blockbind::check_byte(std::span<const std::uint8_t>(data));
        benchmark::DoNotOptimize(block.data());
        benchmark::ClobberMemory();
    }
    bytes_processed(state, size);
}
BENCHMARK(BM_BlockbindBuildBlock)->Arg(6912);

void BM_SumsealAddToSum(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    std::vector<std::uint8_t> data = varied_bytes(size);
    std::uint32_t sum = 0;
    for (auto _ : state) {
        sum = sumseal::add_to_sum(sum, data.data(), size);
        benchmark::DoNotOptimize(sum);
    }
    bytes_processed(state, size);
}
// A small image, and the 128 KiB chunk the program sums at a time.
BENCHMARK(BM_SumsealAddToSum)->Arg(6931)->Arg(128 * 1024);

}  // namespace

BENCHMARK_MAIN();
