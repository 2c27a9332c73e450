// Images with a byte per sector of drive error numbers (0 for a good sector, 20-29 for a
// drive error) after the sectors: read, reported per sector and written back unchanged.

#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "interop/PeerImages.h"

namespace tessarind {
namespace {

using interop::BuildWithCc1541;
using interop::ListWithCc1541;
using interop::OpenD64;
using interop::ReadHostFile;
using interop::WriteHostFile;
using testing::Pattern;
using testing::ProcessResult;
using testing::TempDir;

// One byte per sector in image order: 20 first, then mostly 0 with every error number.
std::vector<uint8_t> DriveErrorNumbers(size_t count) {
    const uint8_t cycle[] = {0, 0, 21, 0, 22, 0, 0, 23, 24, 0, 25, 0, 26, 27, 0, 0, 28, 29, 0, 20};
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = cycle[(i * 7) % std::size(cycle)];
    bytes[0] = 20;
    return bytes;
}

// The table row whose drive error number is `number`; none for 24 and 28, which have no row.
std::optional<size_t> RowOfDriveNumber(uint8_t number) {
    for (size_t row = 0; row < ErrorCodeTable.size(); ++row)
        if (ErrorCodeTable[row].driveNumber == number) return row;
    return std::nullopt;
}

void CheckRoundTrip(const std::vector<std::string>& options, size_t sectorBytes, int tracks,
                    size_t errorCount) {
    TempDir dir("tessarind-error-bytes");
    const std::vector<interop::PeerFile> files = {
        {"first", "", false, false, Pattern(3000, 31)},
        {"second", "SEQ", false, false, Pattern(255, 32)},
    };
    ProcessResult built = BuildWithCc1541(dir.path(), "base.d64", options, files);
    ASSERT_EQ(built.exitCode, 0) << "cc1541 did not build the image:\n" << built.output;

    std::vector<uint8_t> input = ReadHostFile(dir / "base.d64");
    ASSERT_EQ(input.size(), sectorBytes);
    const std::vector<uint8_t> errors = DriveErrorNumbers(errorCount);
    input.insert(input.end(), errors.begin(), errors.end());
    WriteHostFile(dir / "errors.d64", input);

    auto image = OpenD64(dir / "errors.d64");
    ASSERT_TRUE(image);
    EXPECT_TRUE(image->flags() & kFlagErrorCodes);
    EXPECT_TRUE(image->flags() & kFlagErrorNumbers);
    EXPECT_EQ(image->trackCount(), tracks);
    EXPECT_EQ(image->errorByteCount(), static_cast<int>(errorCount));

    // Track 1, sector 0 carries 20.
    EXPECT_EQ(image->GetErrorCode(1, 0), 1);
    EXPECT_EQ(ErrorCodeTable[1].name, "Header Block Not Found");

    // Every sector, in image order, reports the row of its byte; 0 is the good row 0.
    size_t index = 0;
    for (int t = 1; t <= tracks; ++t) {
        for (int s = 0; s < image->SectorsOnTrack(t); ++s, ++index) {
            ASSERT_LT(index, errors.size());
            const uint8_t byte = errors[index];
            if (byte == 0) {
                EXPECT_EQ(image->GetErrorCode(t, s), 0) << t << "/" << s;
            } else if (std::optional<size_t> row = RowOfDriveNumber(byte)) {
                EXPECT_EQ(image->GetErrorCode(t, s), static_cast<int>(*row))
                    << t << "/" << s << " carries " << int(byte);
            }
        }
    }
    EXPECT_EQ(index, errorCount);

    // The files are there as cc1541 wrote them.
    for (size_t i = 0; i < files.size(); ++i) {
        std::optional<std::vector<uint8_t>> data = image->ReadFileData(static_cast<int>(i));
        ASSERT_TRUE(data) << files[i].name;
        EXPECT_TRUE(*data == files[i].data) << files[i].name << ": bytes differ";
    }

    ASSERT_TRUE(image->WriteFile((dir / "written.d64").string()));
    std::vector<uint8_t> written = ReadHostFile(dir / "written.d64");
    ASSERT_EQ(written.size(), input.size());
    EXPECT_TRUE(written == input) << "the written image differs from the one read";

    // cc1541 lists what we wrote as it lists its own image.
    interop::ExpectSameListing(ListWithCc1541(dir / "written.d64"),
                               ListWithCc1541(dir / "base.d64"));
}

TEST(ErrorBytes, ThirtyFiveTrackImageWithDriveErrorNumbersIsWrittenBackUnchanged) {
    CheckRoundTrip({"-n", "errors", "-i", "er 2a"}, D64Image::kImageBytes, D64Image::kTracks,
                   D64Image::kErrorCount35);
}

TEST(ErrorBytes, FortyTrackImageWithDriveErrorNumbersIsWrittenBackUnchanged) {
    CheckRoundTrip(interop::kFortyTrackOptions, D64Image::kImageBytes + D64Image::kExtensionBytes,
                   D64Image::kExtendedTracks, D64Image::kErrorCount40);
}

} // namespace
} // namespace tessarind
