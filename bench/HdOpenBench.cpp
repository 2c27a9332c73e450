// Opens a 1.28 GB CMD HD image generated sparse in a temporary folder, lists its partitions,
// opens one, writes a file into it and saves: reports the time, the bytes read from the file,
// the peak memory of the process and the sectors written back.
//
//   HdOpenBench [folder]      (default: the system temporary folder)

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "catalog/ImageOpener.h"
#include "formats/CmdContainerImage.h"
#include "formats/D64Image.h"
#include "formats/SectorCacheStore.h"
#include "support/CmdBuilder.h"
#include "support/ImageBuilder.h"

using namespace tessarind;
namespace fs = std::filesystem;

namespace {

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double Milliseconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
        .count();
}

} // namespace

int main(int argc, char** argv) {
    const fs::path folder =
        fs::path(argc > 1 ? argv[1] : fs::temp_directory_path().string()) / "hd-bench";
    fs::create_directories(folder);
    const std::string path = (folder / "big.dhd").string();
    const uint64_t bytes = 19561ull * 65536; // the HD's whole track range
    std::vector<testing::PartitionLayout> partitions = {{0, 255, "SYSTEM", 0, 528}};
    uint32_t start = 528;
    for (int slot = 1; slot < 32; ++slot) {
        partitions.push_back({slot, 2, "DISK" + std::to_string(slot), start, 342});
        start += 342;
    }
    testing::WriteSparseHd(path, bytes, "BIG HD", partitions);
    {
        // Each partition holds a blank 1541 disk.
        auto blank = testing::BlankD64("BLANK");
        std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
        for (size_t i = 1; i < partitions.size(); ++i) {
            out.seekp(static_cast<std::streamoff>(partitions[i].start) * 512);
            out.write(reinterpret_cast<const char*>(blank->Store().Contents().data()),
                      D64Image::kImageBytes);
        }
    }
    const long peakBefore = PeakKilobytes();

    auto began = std::chrono::steady_clock::now();
    std::unique_ptr<DiskImage> opened =
        OpenContainer(nullptr, path, {}, 0, nullptr, false, nullptr);
    auto* image = dynamic_cast<CmdContainerImage*>(opened.get());
    if (!image) {
        std::fprintf(stderr, "HdOpenBench: the image did not open\n");
        return 1;
    }
    const std::string listing = image->PartitionListing(path, false);
    const int freeBlocks = image->FreeBlockCount();
    const double openMs = Milliseconds(began);
    const size_t openRead = image->Cache()->BytesRead();
    const long peakOpen = PeakKilobytes();

    began = std::chrono::steady_clock::now();
    DiskImage* child = image->OpenPartition(17);
    if (!child || !testing::AddFile(*child, {"BENCH", 0x82, testing::Pattern(5000)})) {
        std::fprintf(stderr, "HdOpenBench: writing into a partition failed\n");
        return 1;
    }
    const size_t changed = image->Cache()->ChangedSectors();
    const bool saved = image->WriteFile(path);
    const double editMs = Milliseconds(began);

    std::printf("image            %llu bytes (sparse), %d partitions listed, %d blocks free\n",
                static_cast<unsigned long long>(bytes), image->CountEntries(), freeBlocks);
    std::printf("open + list      %.2f ms, %zu bytes read\n", openMs, openRead);
    std::printf("peak memory      %ld KB before opening, %ld KB after listing\n", peakBefore,
                peakOpen);
    std::printf("edit + save      %.2f ms, %zu sectors changed and written back (%s), %zu bytes "
                "read in all\n",
                editMs, changed, saved ? "saved" : "NOT saved", image->Cache()->BytesRead());
    std::printf("peak memory      %ld KB at the end\n", PeakKilobytes());
    fs::remove_all(folder);
    return saved ? 0 : 1;
}
