#pragma once
// Shared by the interop tests: images written by cc1541 from files the test made, the
// listings cc1541 prints, and host file helpers.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "formats/D64Image.h"
#include "support/ImageBuilder.h"
#include "support/Process.h"
#include "catalog/DirectoryListing.h"

namespace tessarind::interop {

using testing::ProcessResult;
using testing::RunProcess;
using testing::TempDir;

inline std::vector<uint8_t> ReadHostFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

inline void WriteHostFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

inline std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// What `cc1541 IMAGE` prints, made comparable with our ASCII listing: the reverse-video
// escapes around the header are removed, and so are the "Adding 0 files to existing image"
// report that opens the output and the blank lines around the listing. Anything else stays.
inline std::vector<std::string> PeerListingLines(std::string output) {
    for (const std::string escape : {"\x1b[7m", "\x1b[m"}) {
        for (size_t at; (at = output.find(escape)) != std::string::npos;)
            output.erase(at, escape.size());
    }
    std::vector<std::string> lines;
    for (std::string line : SplitLines(output)) {
        if (line.empty()) continue;
        if (lines.empty() && line.rfind("Adding ", 0) == 0) continue;
        // cc1541 follows a four-digit block count with two blanks; the drive (and we) keep
        // the opening quote in column 5, so one blank goes.
        if (line.size() > 6 && std::isdigit(static_cast<unsigned char>(line[3])) && line[0] != ' ' &&
            line.compare(4, 3, "  \"") == 0)
            line.erase(4, 1);
        lines.push_back(line);
    }
    return lines;
}

// Our ASCII listing, lower-case character set, as lines.
inline std::vector<std::string> OurListingLines(DiskImage& image) {
    std::vector<uint8_t> text = ListDirectory(image, ListingForm::Ascii, true);
    return SplitLines(std::string(text.begin(), text.end()));
}

// Both listings line by line, without regard to case.
inline void ExpectSameListing(const std::vector<std::string>& ours,
                              const std::vector<std::string>& peers) {
    ASSERT_EQ(ours.size(), peers.size()) << "line counts differ";
    for (size_t i = 0; i < ours.size(); ++i)
        EXPECT_EQ(Lower(ours[i]), Lower(peers[i])) << "listing line " << i;
}

// The listing cc1541 prints for an image it re-reads.
inline std::vector<std::string> ListWithCc1541(const std::filesystem::path& image) {
    ProcessResult listed = RunProcess({"cc1541", image.string()});
    EXPECT_EQ(listed.exitCode, 0) << "cc1541 could not list " << image;
    return PeerListingLines(listed.output);
}

// One file handed to cc1541: its name as the -f argument ("#xx" is a PETSCII byte), the -T
// type (empty for PRG), the open and write-protect flags, and its contents.
struct PeerFile {
    std::string name;
    std::string type;
    bool open = false;
    bool locked = false;
    std::vector<uint8_t> data;
};

// Writes every file's contents to the directory and has cc1541 build `imageName` from them
// in order. `options` come first (disk name, ID, track count).
inline ProcessResult BuildWithCc1541(const std::filesystem::path& directory,
                                     const std::string& imageName,
                                     const std::vector<std::string>& options,
                                     const std::vector<PeerFile>& files) {
    std::vector<std::string> argv = {"cc1541"};
    argv.insert(argv.end(), options.begin(), options.end());
    for (size_t i = 0; i < files.size(); ++i) {
        const PeerFile& file = files[i];
        const std::string dataName = "data" + std::to_string(i) + ".bin";
        WriteHostFile(directory / dataName, file.data);
        argv.insert(argv.end(), {"-f", file.name});
        if (!file.type.empty()) argv.insert(argv.end(), {"-T", file.type});
        if (file.open) argv.push_back("-O");
        if (file.locked) argv.push_back("-P");
        argv.insert(argv.end(), {"-w", dataName});
    }
    argv.push_back(imageName);
    return RunProcess(argv, directory);
}

// Opens an image file the way the editor does.
inline std::unique_ptr<D64Image> OpenD64(const std::filesystem::path& path) {
    auto image = std::make_unique<D64Image>();
    if (!image->Open(nullptr, path.string(), true, false)) return nullptr;
    return image;
}

// Every byte value in turn, starting at `first`.
inline std::vector<uint8_t> Ramp(size_t size, uint8_t first = 0) {
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<uint8_t>(first + i);
    return data;
}

// Files of every type and flag, sizes around the block boundaries (254 data bytes a block)
// and up to three-digit block counts, names with shifted letters and graphic characters.
inline std::vector<PeerFile> MixedCatalogue() {
    using testing::Pattern;
    return {
        {"prgfile", "", false, false, Pattern(1, 1)},
        {"seqfile", "SEQ", false, false, Pattern(253, 2)},
        {"usrfile", "USR", false, false, Pattern(254, 3)},
        {"relfile", "REL", false, false, Pattern(255, 4)},
        {"delfile", "DEL", false, false, Pattern(508, 5)},
        {"openseq", "SEQ", true, false, Pattern(509, 6)},
        {"openprg", "", true, false, Ramp(762, 7)},
        {"lockedprg", "", false, true, Pattern(4000, 8)},
        {"lockedopenusr", "USR", true, true, Pattern(10000, 9)},
        {"a#c1#60b", "", false, false, Pattern(30000, 10)},
        {"#d3#c8#c9#c6#d4ed", "SEQ", false, false, Ramp(256)},
        {"gfx#a4#e0#a4end", "", false, false, std::vector<uint8_t>(1000, 0)},
        {"full-16-chars-ok", "USR", false, false, Pattern(2000, 11)},
        {"MiXeD CaSe 123", "", false, false, Pattern(600, 12)},
        {"@p.u/n+c;t=(1)!&", "", false, false, Ramp(3000, 0x80)},
    };
}

inline const std::vector<std::string> kMixedDiskOptions = {"-n", "Peer #c1 Disk", "-i", "pd 2a"};

// For a 40-track image: a file too big for tracks 1-35 and one after it.
inline std::vector<PeerFile> FortyTrackCatalogue() {
    using testing::Pattern;
    return {
        {"big", "", false, false, Pattern(170000, 21)},
        {"after big", "SEQ", false, false, Pattern(509, 22)},
    };
}

// cc1541's option for 40 tracks with the extra tracks' BAM kept in the SPEED DOS place.
inline const std::vector<std::string> kFortyTrackOptions = {"-4", "-n", "forty tracks", "-i",
                                                            "40 2a"};

} // namespace tessarind::interop
