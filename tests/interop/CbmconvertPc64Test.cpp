// PC64 files (.p00, .s00, .u00, .r00: a 26-byte header with the CBM name and the record
// length, then the file's bytes) pass between cbmconvert and the editor: a PC64 file
// cbmconvert wrote imports as the plain file it came from, and the PC64 files we export are
// read back by cbmconvert with their names, bytes and record lengths.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "interop/PeerTools.h"
#include "text/Petscii.h"

namespace tessarind {
namespace {

using interop::Cbmconvert;
using interop::FilesIn;
using interop::NameOf;
using interop::NewImage;
using interop::OpenImageFile;
using interop::ReadHostFile;
using interop::Row;
using interop::WriteHostFile;
using testing::Pattern;
using testing::ProcessResult;
using testing::TempDir;
namespace fs = std::filesystem;

constexpr size_t kHeaderSize = 26;

struct HostFile {
    std::string stem;      // lower-case letters, digits and blanks map alike in both tools
    std::string extension; // of the plain file
    char pcLetter;         // first letter of the PC64 extension cbmconvert gives it
    std::vector<uint8_t> data;
};

// Sizes on both sides of the block boundaries: a PC64 header must not count as file bytes.
std::vector<HostFile> PlainFiles() {
    return {
        {"one byte", "prg", 'p', Pattern(1, 41)},
        {"exact block", "prg", 'p', Pattern(254, 42)},
        {"block and one", "seq", 's', Pattern(255, 43)},
        {"two blocks", "usr", 'u', Pattern(508, 44)},
        {"nearly two", "prg", 'p', Pattern(490, 45)},
        {"basic 64 loader", "prg", 'p', Pattern(20000, 46)},
        {"notes 1 2 3", "seq", 's', Pattern(3000, 47)},
    };
}

// The only file with the given first extension letter and "00" in a folder.
std::optional<fs::path> OnlyPcFile(const fs::path& folder, char letter) {
    std::optional<fs::path> found;
    for (const auto& item : fs::directory_iterator(folder)) {
        std::string ext = item.path().extension().string();
        if (ext.size() == 4 && ext[1] == letter && ext.substr(2) == "00") {
            if (found) return std::nullopt;
            found = item.path();
        }
    }
    return found;
}

TEST(CbmconvertPc64, PcFilesFromCbmconvertImportAsThePlainFilesTheyCameFrom) {
    TempDir dir("tessarind-pc64-in");
    auto plainImage = NewImage<D64Image>();
    auto pcImage = NewImage<D64Image>();
    auto writtenImage = NewImage<D64Image>();
    ASSERT_TRUE(plainImage && pcImage && writtenImage);

    const std::vector<HostFile> files = PlainFiles();
    for (size_t i = 0; i < files.size(); ++i) {
        const HostFile& file = files[i];
        SCOPED_TRACE(file.stem + "." + file.extension);
        // Each file converted in a folder of its own, so the PC64 file it gives is the only one.
        const fs::path folder = dir / ("f" + std::to_string(i));
        fs::create_directory(folder);
        const fs::path plain = folder / (file.stem + "." + file.extension);
        WriteHostFile(plain, file.data);
        ProcessResult converted = Cbmconvert({"-P", "-n", plain.filename().string()}, folder);
        ASSERT_EQ(converted.exitCode, 0);
        ASSERT_FALSE(interop::CbmconvertComplained(converted)) << converted.output;
        std::optional<fs::path> pc = OnlyPcFile(folder, file.pcLetter);
        ASSERT_TRUE(pc) << "cbmconvert wrote no single ." << file.pcLetter << "00 file";
        const std::vector<uint8_t> pcBytes = ReadHostFile(*pc);
        ASSERT_EQ(pcBytes.size(), file.data.size() + kHeaderSize);

        const int index = static_cast<int>(i);
        ASSERT_TRUE(plainImage->ImportHostFile(plain.string(), index, false));
        ASSERT_TRUE(pcImage->ImportHostFile(pc->string(), index, false));
        // The row says what the bytes are; the name in the PC64 header is the one listed.
        const int rowIndex = FindRowByExtension(pc->extension().string());
        ASSERT_GE(rowIndex, 0);
        const FormatRow& row = FormatRegistry[static_cast<size_t>(rowIndex)];
        ASSERT_EQ(row.cbmType, plainImage->EntryAt(index).typeCode());
        ASSERT_TRUE(
            writtenImage->WriteFileData(PetsciiName("other name"), index, false, pcBytes, 0, row));
    }

    for (DiskImage* image : {pcImage.get(), writtenImage.get()}) {
        SCOPED_TRACE(image == pcImage.get() ? "imported PC64 file" : "PC64 bytes written");
        ASSERT_EQ(image->entryCount(), static_cast<int>(files.size()));
        for (size_t i = 0; i < files.size(); ++i) {
            SCOPED_TRACE(files[i].stem);
            const int index = static_cast<int>(i);
            DirEntry plain = plainImage->EntryAt(index);
            DirEntry pc = image->EntryAt(index);
            ASSERT_TRUE(plain && pc);
            EXPECT_EQ(NameOf(pc), NameOf(plain)) << "names differ";
            EXPECT_EQ(pc.type(), plain.type()) << "types differ";
            EXPECT_EQ(pc.blocks(), plain.blocks()) << "block counts differ";
            // The plain import is the reference only if it is right itself.
            EXPECT_EQ(plain.blocks(), (files[i].data.size() + 253) / 254);
            std::optional<std::vector<uint8_t>> plainData = plainImage->ReadFileData(index);
            std::optional<std::vector<uint8_t>> pcData = image->ReadFileData(index);
            ASSERT_TRUE(plainData && pcData);
            EXPECT_TRUE(*plainData == files[i].data) << "the plain import changed the bytes";
            EXPECT_TRUE(*pcData == files[i].data) << "the PC64 import changed the bytes";
        }
    }
}

struct OurFile {
    std::string name; // PETSCII bytes
    int rowId;        // the kind it is written as
    int recordLength;
    std::vector<uint8_t> data;
    std::string hostName; // as cbmconvert writes it: unshifted letters lower case, shifted upper
};

std::vector<OurFile> OurFiles() {
    using interop::RowId::Prg, interop::RowId::Seq, interop::RowId::Usr, interop::RowId::Rel;
    return {
        {"EXPORT ONE", Prg, 0, Pattern(1, 51), "export one"},
        {"SIXTEEN CHARS 16", Seq, 0, Pattern(254, 52), "sixteen chars 16"},
        {"A\xC2\xC3 SHIFTED", Usr, 0, Pattern(255, 53), "aBC shifted"},
        {"RECORDS", Rel, 40, Pattern(40 * 70, 54), "records"},
        {"GAME+1", Prg, 0, Pattern(30000, 55), "game+1"},
    };
}

TEST(CbmconvertPc64, OurPcFilesReadBackInCbmconvertWithNameBytesAndRecordLength) {
    TempDir dir("tessarind-pc64-out");
    auto image = NewImage<D64Image>();
    ASSERT_TRUE(image);
    const std::vector<OurFile> files = OurFiles();
    for (size_t i = 0; i < files.size(); ++i) {
        const OurFile& file = files[i];
        ASSERT_TRUE(image->WriteFileData(testing::RawName(file.name), static_cast<int>(i), false,
                                         file.data, file.recordLength, Row(file.rowId)))
            << file.name;
    }

    // Each file exported under the name the editor makes for it.
    const fs::path exported = dir / "exported";
    fs::create_directory(exported);
    std::vector<std::string> exportedNames;
    for (size_t i = 0; i < files.size(); ++i) {
        DirEntry entry = image->EntryAt(static_cast<int>(i));
        ASSERT_TRUE(entry);
        const FormatRow* row = PcFormatForType(entry.typeCode());
        ASSERT_NE(row, nullptr) << files[i].name;
        ASSERT_TRUE(image->ExportFile(static_cast<int>(i), exported.string(), false, row))
            << files[i].name;
        exportedNames.push_back(image->ExportName(entry, *row));
        ASSERT_TRUE(fs::exists(exported / exportedNames.back())) << exportedNames.back();
    }
    ASSERT_EQ(FilesIn(exported).size(), files.size());

    // cbmconvert writes them into a disk image: entry, name bytes, bytes and record length.
    // Our headers pad the name with 0x00, as PC64 files do; cbmconvert copies the 16 name
    // bytes of a header as they are, so that padding stays 0x00 in its directory entries
    // rather than becoming the directory's 0xA0 (its own PC64 files are padded with 0xA0).
    std::vector<std::string> argv = {"-D4", "back.d64", "-p"};
    for (const std::string& name : exportedNames)
        argv.push_back((exported / name).string());
    ProcessResult wrote = Cbmconvert(argv, dir.path());
    ASSERT_EQ(wrote.exitCode, 0);
    EXPECT_FALSE(interop::CbmconvertComplained(wrote)) << wrote.output;
    auto back = OpenImageFile<D64Image>(dir / "back.d64");
    ASSERT_TRUE(back);
    ASSERT_EQ(back->entryCount(), static_cast<int>(files.size()));
    for (size_t i = 0; i < files.size(); ++i) {
        const OurFile& file = files[i];
        SCOPED_TRACE(file.name);
        DirEntry entry = back->EntryAt(static_cast<int>(i));
        ASSERT_TRUE(entry);
        std::array<uint8_t, kNameLength> expectedName{};
        std::copy(file.name.begin(), file.name.end(), expectedName.begin());
        EXPECT_EQ(NameOf(entry), expectedName);
        EXPECT_EQ(entry.typeCode(), Row(file.rowId).cbmType);
        if (file.rowId == interop::RowId::Rel) {
            EXPECT_EQ(entry.recordLength(), file.recordLength);
        }
        std::optional<std::vector<uint8_t>> data = back->ReadFileData(static_cast<int>(i));
        ASSERT_TRUE(data);
        EXPECT_TRUE(*data == file.data) << "bytes differ";
    }

    // cbmconvert writes them out natively: the header name (each 0x00 of its padding shown
    // as "-"), the type (a REL file as ".l" and its record length in hex) and the bytes.
    const fs::path native = dir / "native";
    argv = {"-N", "-p"};
    for (const std::string& name : exportedNames)
        argv.push_back((exported / name).string());
    ProcessResult extracted = Cbmconvert(argv, native);
    ASSERT_EQ(extracted.exitCode, 0);
    EXPECT_FALSE(interop::CbmconvertComplained(extracted)) << extracted.output;
    std::map<std::string, std::vector<uint8_t>> expected;
    for (const OurFile& file : files) {
        std::string name = file.hostName;
        name.append(kNameLength - file.name.size(), '-');
        char extension[8];
        std::snprintf(extension, sizeof extension, ".l%02X", file.recordLength);
        name += file.rowId == interop::RowId::Rel ? std::string(extension)
                                                  : std::string(Row(file.rowId).extension);
        expected[name] = file.data;
    }
    std::map<std::string, std::vector<uint8_t>> got = FilesIn(native);
    std::vector<std::string> gotNames, expectedNames;
    for (const auto& [name, data] : got)
        gotNames.push_back(name);
    for (const auto& [name, data] : expected)
        expectedNames.push_back(name);
    EXPECT_EQ(gotNames, expectedNames);
    for (const auto& [name, data] : expected)
        EXPECT_TRUE(got.count(name) && got[name] == data) << name << ": bytes differ";
}

} // namespace
} // namespace tessarind
