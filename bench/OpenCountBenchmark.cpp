// Opening a full 1541 image (144 entries, every directory block used) from memory, then
// counting its entries and free blocks, as a window does when a file is opened.

#include <benchmark/benchmark.h>

#include <span>
#include <vector>

#include "formats/D64Image.h"
#include "support/ImageBuilder.h"

using namespace tessarind;

namespace {

constexpr int kFullDirectory = 144; // 18 directory blocks of 8 slots

// The bytes of a 1541 image holding 144 small programs, built once.
const std::vector<uint8_t>& FullImageBytes() {
    static const std::vector<uint8_t> bytes = [] {
        auto image = testing::BlankD64("FULL DISK", "FD 2A");
        for (int i = 0; i < kFullDirectory; ++i) {
            std::string name = "FILE" + std::to_string(i);
            testing::AddFile(*image, {name, 0x82, testing::Pattern(40 + static_cast<size_t>(i), i + 1)});
        }
        return image->Store().Snapshot();
    }();
    return bytes;
}

bool CheckFull(benchmark::State& state, DiskImage& image) {
    if (image.entryCount() == kFullDirectory) return true;
    state.SkipWithError("the built image does not hold 144 entries");
    return false;
}

// Open(nullptr, "", false, true) makes a blank image, LoadFromMemory puts the bytes in.
void BM_OpenFromMemoryAndCount(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = FullImageBytes();
    for (auto _ : state) {
        D64Image image;
        image.Open(nullptr, "", false, true);
        image.LoadFromMemory(bytes);
        int entries = image.CountEntries();
        int free = image.FreeBlockCount();
        benchmark::DoNotOptimize(entries);
        benchmark::DoNotOptimize(free);
        if (entries != kFullDirectory && !CheckFull(state, image)) break;
    }
}
BENCHMARK(BM_OpenFromMemoryAndCount)->Unit(benchmark::kMicrosecond);

// As loading a file does: the bytes become the image, then AfterLoad and Refresh.
void BM_LoadBytesAndCount(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = FullImageBytes();
    for (auto _ : state) {
        D64Image image;
        image.Store().Snapshot().assign(bytes.begin(), bytes.end());
        image.AfterLoad();
        image.Refresh();
        int entries = image.entryCount();
        int free = image.FreeBlockCount();
        benchmark::DoNotOptimize(entries);
        benchmark::DoNotOptimize(free);
        if (entries != kFullDirectory && !CheckFull(state, image)) break;
    }
}
BENCHMARK(BM_LoadBytesAndCount)->Unit(benchmark::kMicrosecond);

// Counting alone, on an image already open.
void BM_CountOnly(benchmark::State& state) {
    D64Image image;
    image.Store().Assign(FullImageBytes());
    image.AfterLoad();
    image.Refresh();
    if (!CheckFull(state, image)) return;
    for (auto _ : state) {
        int entries = image.CountEntries();
        int free = image.FreeBlockCount();
        benchmark::DoNotOptimize(entries);
        benchmark::DoNotOptimize(free);
    }
}
BENCHMARK(BM_CountOnly)->Unit(benchmark::kMicrosecond);

} // namespace
