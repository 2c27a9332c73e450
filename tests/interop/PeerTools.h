#pragma once
// Shared by the interop tests that work with cbmconvert and with the 1571 and 1581 images:
// opening image files of any class, block and chain inspection, the BAM blocks of each
// format, the side-sector layout of a REL file and the files cbmconvert writes out.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "formats/D64Image.h"
#include "formats/D71Image.h"
#include "formats/D81Image.h"
#include "interop/PeerImages.h"
#include "model/DiskImage.h"
#include "model/FormatRegistry.h"
#include "model/VisitedSet.h"

namespace tessarind::interop {

// Opens an image file of the given class the way the editor does.
template <class Image> std::unique_ptr<Image> OpenImageFile(const std::filesystem::path& path) {
    auto image = std::make_unique<Image>();
    if (!image->Open(nullptr, path.string(), true, false)) return nullptr;
    return image;
}

// A blank, untitled image of the given class.
template <class Image> std::unique_ptr<Image> NewImage() {
    auto image = std::make_unique<Image>();
    if (!image->Open(nullptr, "", false, true)) return nullptr;
    return image;
}

using Block = std::array<uint8_t, kBlockSize>;
using BlockAddress = std::pair<int, int>;

// A copy of one block; all zero when the image has no such block (the caller checks).
inline Block CopyBlock(DiskImage& image, int track, int sector) {
    Block copy{};
    if (const uint8_t* p = image.SectorPointer(track, sector))
        std::copy(p, p + kBlockSize, copy.begin());
    return copy;
}

// The blocks that hold each format's BAM, as the drive keeps it.
inline std::vector<BlockAddress> BamBlocksOf(const DiskImage& image) {
    switch (image.formatId()) {
    case 2:
        return {{18, 0}, {53, 0}}; // 1571: 18/0 and the second side's bitmaps in 53/0
    case 3:
        return {{40, 1}, {40, 2}}; // 1581: tracks 1-40 and 41-80
    default:
        return {{18, 0}}; // 1541
    }
}

inline std::vector<Block> BamCopy(DiskImage& image) {
    std::vector<Block> blocks;
    for (auto [t, s] : BamBlocksOf(image))
        blocks.push_back(CopyBlock(image, t, s));
    return blocks;
}

// Both BAM copies byte by byte, each difference named by block and offset.
inline void ExpectSameBam(const std::vector<Block>& before, const std::vector<Block>& after,
                          const std::vector<BlockAddress>& where) {
    ASSERT_EQ(before.size(), after.size());
    for (size_t b = 0; b < before.size(); ++b) {
        int reported = 0;
        for (int i = 0; i < kBlockSize; ++i) {
            if (before[b][i] == after[b][i]) continue;
            if (++reported > 16) break;
            ADD_FAILURE() << "BAM block " << where[b].first << "/" << where[b].second
                          << " offset 0x" << std::hex << i << ": was 0x" << int(before[b][i])
                          << ", now 0x" << int(after[b][i]) << std::dec;
        }
    }
}

// The blocks of a chain in link order; stops at a loop or an absent block.
inline std::vector<BlockAddress> ChainBlocks(DiskImage& image, int track, int sector) {
    std::vector<BlockAddress> chain;
    VisitedSet visited;
    for (int t = track, s = sector; t != 0 && visited.Visit(t, s);) {
        const uint8_t* block = image.SectorPointer(t, s);
        if (!block) break;
        chain.emplace_back(t, s);
        t = block[0];
        s = block[1];
    }
    return chain;
}

// The 16 name bytes of an entry.
inline std::array<uint8_t, kNameLength> NameOf(DirEntry entry) {
    std::array<uint8_t, kNameLength> name{};
    std::copy(entry.name().begin(), entry.name().end(), name.begin());
    return name;
}

// The bytes of the chain that starts at an entry (any type; DEL entries included).
inline std::vector<uint8_t> ChainData(DiskImage& image, DirEntry entry) {
    ChainWalk size = image.WalkChain(entry.firstTrack(), entry.firstSector());
    std::vector<uint8_t> data(size.bytes);
    image.WalkChain(entry.firstTrack(), entry.firstSector(), false, data);
    return data;
}

// What a REL file's side sectors say, reduced to what every writer must agree on: where the
// blocks lie is each writer's choice, so block addresses are replaced by their positions in
// the side-sector chain or in the data chain.
struct SideSectorLayout {
    int count = 0;                           // side sectors in the chain
    std::vector<int> numbers;                // byte 2 of each
    std::vector<int> recordLengths;          // byte 3 of each
    std::vector<std::vector<int>> groupList; // bytes 4-15: positions in the side-sector chain
    std::vector<std::vector<int>> dataPairs; // bytes 16-255: positions in the data chain
    std::vector<int> lastLinkSector;         // byte 1 of the last side sector
    std::vector<std::string> problems;       // anything that names no block of either chain

    bool operator==(const SideSectorLayout&) const = default;
};

inline SideSectorLayout ReadSideSectors(DiskImage& image, DirEntry entry) {
    SideSectorLayout layout;
    const std::vector<BlockAddress> sides =
        ChainBlocks(image, entry.sideTrack(), entry.sideSector());
    const std::vector<BlockAddress> data =
        ChainBlocks(image, entry.firstTrack(), entry.firstSector());
    auto positionIn = [](const std::vector<BlockAddress>& chain, BlockAddress at) {
        auto found = std::find(chain.begin(), chain.end(), at);
        return found == chain.end() ? -1 : static_cast<int>(found - chain.begin());
    };
    layout.count = static_cast<int>(sides.size());
    for (size_t i = 0; i < sides.size(); ++i) {
        const Block side = CopyBlock(image, sides[i].first, sides[i].second);
        layout.numbers.push_back(side[2]);
        layout.recordLengths.push_back(side[3]);
        std::vector<int> group;
        for (int j = 0; j < 6; ++j) {
            BlockAddress at{side[4 + 2 * j], side[5 + 2 * j]};
            if (at.first == 0) continue;
            int position = positionIn(sides, at);
            if (position < 0)
                layout.problems.push_back("side sector " + std::to_string(i) + " lists a block " +
                                          "outside the side-sector chain");
            group.push_back(position);
        }
        layout.groupList.push_back(group);
        // A side sector holds pairs up to the end of the block, or (the last one) up to the
        // byte its link names.
        const int end = side[0] != 0 ? kBlockSize : std::min<int>(side[1] + 1, kBlockSize);
        std::vector<int> pairs;
        for (int at = 16; at + 1 < end; at += 2) {
            BlockAddress block{side[at], side[at + 1]};
            if (block.first == 0) break;
            int position = positionIn(data, block);
            if (position < 0)
                layout.problems.push_back("side sector " + std::to_string(i) + " lists a block " +
                                          "outside the data chain");
            pairs.push_back(position);
        }
        layout.dataPairs.push_back(pairs);
        if (side[0] == 0) layout.lastLinkSector.push_back(side[1]);
    }
    return layout;
}

// The layout the drive gives a REL file of `dataBlocks` blocks: one side sector a 120 data
// blocks, each listing every side sector in order, its pairs naming the data blocks in chain
// order, the last one's link naming its last used byte.
inline SideSectorLayout ExpectedSideSectors(int dataBlocks, int recordLength) {
    SideSectorLayout layout;
    layout.count = (dataBlocks + 119) / 120;
    std::vector<int> group;
    for (int i = 0; i < layout.count; ++i)
        group.push_back(i);
    for (int i = 0; i < layout.count; ++i) {
        layout.numbers.push_back(i);
        layout.recordLengths.push_back(recordLength);
        layout.groupList.push_back(group);
        std::vector<int> pairs;
        for (int b = i * 120; b < std::min(dataBlocks, (i + 1) * 120); ++b)
            pairs.push_back(b);
        layout.dataPairs.push_back(pairs);
    }
    if (layout.count > 0)
        layout.lastLinkSector.push_back(16 + 2 * static_cast<int>(layout.dataPairs.back().size()) -
                                        1);
    return layout;
}

inline void ExpectSideSectors(const SideSectorLayout& actual, const SideSectorLayout& expected,
                              const std::string& what) {
    EXPECT_TRUE(actual.problems.empty()) << what << ": " << actual.problems.front();
    EXPECT_EQ(actual.count, expected.count) << what << ": side sectors";
    EXPECT_EQ(actual.numbers, expected.numbers) << what << ": side-sector numbers (byte 2)";
    EXPECT_EQ(actual.recordLengths, expected.recordLengths) << what << ": record lengths (byte 3)";
    EXPECT_EQ(actual.groupList, expected.groupList) << what << ": side-sector list (bytes 4-15)";
    EXPECT_EQ(actual.dataPairs, expected.dataPairs) << what << ": data block pairs (bytes 16-)";
    EXPECT_EQ(actual.lastLinkSector, expected.lastLinkSector)
        << what << ": link byte of the last side sector";
}

// Every regular file in a directory by name.
inline std::map<std::string, std::vector<uint8_t>> FilesIn(const std::filesystem::path& folder) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& item : std::filesystem::directory_iterator(folder))
        if (item.is_regular_file())
            files[item.path().filename().string()] = ReadHostFile(item.path());
    return files;
}

// Runs cbmconvert inside `folder` (made when missing). Its messages (standard error) are
// captured with its output: cbmconvert reports a file it could not read properly ("error in
// side sector data") and still exits with 0, so callers check the messages as well.
inline ProcessResult Cbmconvert(const std::vector<std::string>& arguments,
                                const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    std::vector<std::string> argv = {"sh", "-c", "exec cbmconvert -v1 \"$@\" 2>&1", "cbmconvert"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return RunProcess(argv, folder);
}

// Whether cbmconvert's messages report a problem.
inline bool CbmconvertComplained(const ProcessResult& run) {
    const std::string text = Lower(run.output);
    for (const char* word : {"error", "failed", "could not", "warning"})
        if (text.find(word) != std::string::npos) return true;
    return false;
}

// Has cbmconvert write every file of an image into a fresh folder (`mode` -N for the
// native form, -P for PC64) and returns what it wrote by file name.
inline std::map<std::string, std::vector<uint8_t>>
ExtractWithCbmconvert(const std::filesystem::path& image, const std::filesystem::path& folder,
                      const std::string& mode = "-N") {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    ProcessResult run = Cbmconvert({mode, "-d", std::filesystem::absolute(image).string()}, folder);
    EXPECT_EQ(run.exitCode, 0) << "cbmconvert could not read " << image << ":\n" << run.output;
    EXPECT_FALSE(CbmconvertComplained(run)) << "cbmconvert reading " << image << ":\n"
                                            << run.output;
    return FilesIn(folder);
}

// The format row of a registry id.
inline const FormatRow& Row(int id) {
    const FormatRow* row = FindRowById(id);
    EXPECT_NE(row, nullptr) << "no format row " << id;
    return row ? *row : FormatRegistry.front();
}

// Row ids of the single-file kinds used here.
namespace RowId {
inline constexpr int Prg = 12, Seq = 5, Usr = 14, Rel = 13, P00 = 24, R00 = 25, S00 = 26, U00 = 27;
} // namespace RowId

} // namespace tessarind::interop
