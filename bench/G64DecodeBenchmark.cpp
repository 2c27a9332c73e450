// Decoding a 42-track GCR image (tracks 1-40 of a 1541 disk with files, 41 and 42 formatted,
// half tracks empty), by the decoder alone and by opening the image from memory.

#include <benchmark/benchmark.h>

#include <vector>

#include "formats/G64Image.h"
#include "formats/GcrDecoder.h"
#include "support/G64Builder.h"
#include "support/ImageBuilder.h"

using namespace tessarind;

namespace {

const std::vector<uint8_t>& FortyTwoTracks() {
    static const std::vector<uint8_t> file = [] {
        auto disk = testing::BlankD64("FORTY TWO", "42 2A");
        disk->SetExtendedTracks(true);
        testing::AddFile(*disk, {"BIG", 0x82, testing::Pattern(150000, 7)});
        std::vector<std::vector<uint8_t>> entries = testing::EntriesOf(*disk, 40);
        for (int t = 41; t <= 42; ++t) {
            testing::GcrTrackWriter w;
            for (int s = 0; s < 17; ++s)
                w.Sector(t, s, testing::Pattern(256, static_cast<uint32_t>(t * 32 + s)));
            entries[static_cast<size_t>(2 * (t - 1))] = w.Bytes();
        }
        return testing::BuildG64(entries);
    }();
    return file;
}

void BM_DecodeG64(benchmark::State& state) {
    const std::vector<uint8_t>& file = FortyTwoTracks();
    for (auto _ : state) {
        GcrTracks tracks = DecodeG64(file, D64Image::Layout(), D64Image::kExtendedTracks, 0);
        benchmark::DoNotOptimize(tracks.data());
    }
}
BENCHMARK(BM_DecodeG64)->Unit(benchmark::kMillisecond);

void BM_OpenG64FromMemory(benchmark::State& state) {
    const std::vector<uint8_t>& file = FortyTwoTracks();
    for (auto _ : state) {
        G64Image image;
        image.Open(nullptr, "bench.g64", false, true);
        image.LoadFromMemory(file);
        if (image.trackCount() != 40 || image.GetErrorCode(40, 16) != 0) {
            state.SkipWithError("the image did not decode to 40 good tracks");
            break;
        }
        benchmark::DoNotOptimize(image.entryCount());
    }
}
BENCHMARK(BM_OpenG64FromMemory)->Unit(benchmark::kMillisecond);

} // namespace
