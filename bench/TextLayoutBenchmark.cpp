// The text viewer's layout of a 64 KB SEQ file: walking it to its last line (what opening,
// resizing and every switch cost), and showing one page further down (what Page Down costs:
// the layout of the visible lines and their picture).
//
//   build-release/bench/TextLayoutBenchmark --benchmark_repetitions=5

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "catalog/TextPicture.h"
#include "text/PetsciiLayout.h"

using namespace tessarind;

namespace {

// 64 KB of prose: words of 2 to 9 letters, a colour code now and then, a quoted phrase with a
// code inside, and a carriage return after every few lines' worth of words.
std::vector<uint8_t> Prose() {
    std::vector<uint8_t> text;
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    while (text.size() < 64 * 1024) {
        const uint32_t pick = next() % 100;
        if (pick < 3) {
            text.push_back(0x1C + static_cast<uint8_t>(next() % 4 == 0 ? 0 : 2));
        } else if (pick < 5) {
            text.insert(text.end(), {'"', 0x12, 'Q', 'U', 'O', 'T', 'E', '"'});
        } else if (pick < 8) {
            text.push_back(0x0D);
            continue;
        }
        const uint32_t length = 2 + next() % 8;
        for (uint32_t i = 0; i < length; ++i)
            text.push_back(static_cast<uint8_t>('A' + next() % 26));
        text.push_back(' ');
    }
    text.resize(64 * 1024);
    return text;
}

TextLayoutOptions Options(bool codes) {
    TextLayoutOptions options;
    options.switches.interpretCodes = codes;
    options.switches.wordWrap = !codes;
    options.width = 40;
    return options;
}

void LayoutToTheLastLine(benchmark::State& state) {
    const std::vector<uint8_t> text = Prose();
    const TextLayoutOptions options = Options(state.range(0) != 0);
    int lines = 0;
    for (auto _ : state) {
        lines = LayoutText(text, options, nullptr);
        benchmark::DoNotOptimize(lines);
    }
    state.counters["lines"] = lines;
}
BENCHMARK(LayoutToTheLastLine)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void PageDown(benchmark::State& state) {
    const std::vector<uint8_t> text = Prose();
    const TextLayoutOptions options = Options(false);
    const int lines = LayoutText(text, options, nullptr);
    CbmTextStyle style;
    style.cellSize = static_cast<int>(state.range(0));
    int first = 0;
    for (auto _ : state) {
        first = first + 25 < lines ? first + 25 : 0;
        const TextScreen screen = LayoutScreen(text, options, first, 25);
        Picture picture = RenderTextScreen(screen, style);
        benchmark::DoNotOptimize(picture.pixels.data());
    }
}
BENCHMARK(PageDown)->Arg(kNormalCellSize)->Arg(kLargeCellSize)->Unit(benchmark::kMillisecond);

} // namespace
