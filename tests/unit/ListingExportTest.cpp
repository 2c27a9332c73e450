#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "formats/D81Image.h"
#include "catalog/ListingExport.h"
#include "model/SafeFile.h"
#include "support/ImageBuilder.h"
#include "support/Process.h"
#include "support/Recorders.h"
#include "catalog/DirectoryListing.h"

namespace tessarind {
namespace {

using testing::AddFile;
using testing::BlankD64;
using testing::Pattern;
using testing::RawName;
using testing::RecordingInteraction;
using testing::TempDir;

std::string ReadText(const std::filesystem::path& path) {
    std::vector<uint8_t> bytes;
    bool openFailed = false;
    EXPECT_TRUE(ReadWholeFile(path.string(), bytes, openFailed)) << path;
    return std::string(bytes.begin(), bytes.end());
}

std::string ReadStream(std::FILE* stream) {
    std::rewind(stream);
    std::string text;
    for (int c; (c = std::fgetc(stream)) != EOF;)
        text.push_back(static_cast<char>(c));
    return text;
}

std::string AsText(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::string Hex(const std::array<uint8_t, 16>& digest) {
    std::string text;
    for (uint8_t b : digest) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", b);
        text += pair;
    }
    return text;
}

// A 1581 disk "MAIN": TOP, the partition PART holding INSIDE, then LAST.
std::unique_ptr<D81Image> DiskWithPartition(Settings* settings = nullptr) {
    auto image = std::make_unique<D81Image>(settings);
    EXPECT_TRUE(image->Open(nullptr, "", false, true));
    std::array<uint8_t, 16> name = RawName("MAIN");
    std::copy(name.begin(), name.end(), image->DiskNamePointer());
    EXPECT_TRUE(AddFile(*image, {"TOP", 0x82, Pattern(300)}));
    EXPECT_TRUE(image->CreateSubDirectory(1));
    std::array<uint8_t, 16> partName = RawName("PART");
    std::copy(partName.begin(), partName.end(), image->EntryAt(1).name().begin());
    EXPECT_TRUE(image->EnterSubDirectory(1));
    std::copy(partName.begin(), partName.end(), image->DiskNamePointer());
    EXPECT_TRUE(AddFile(*image, {"INSIDE", 0x81, Pattern(600, 3)}));
    EXPECT_TRUE(image->LeaveSubDirectory());
    EXPECT_TRUE(AddFile(*image, {"LAST", 0x82, Pattern(10)}));
    image->SetPath("/disks/main.d81");
    return image;
}

TEST(ListingExportCsv, OneFileDiskHasThreeLines) {
    TempDir dir{"tessarind-csv"};
    auto image = BlankD64("TEST DISK", "AB 2A");
    ASSERT_TRUE(AddFile(*image, {"GAME", 0x82, Pattern(5 * 254)}));
    image->SetPath("/disks/test.d64");
    ASSERT_TRUE(ExportCsv(*image, nullptr, (dir / "test.csv").string(), nullptr, false));
    EXPECT_EQ(ReadText(dir / "test.csv"), "/disks/test.d64\n"
                                          "0,TEST DISK       ,AB ,2A\n"
                                          "5,GAME            ,PRG\n");

    // The lower/upper-case set swaps the letters; type texts stay as they are.
    ASSERT_TRUE(ExportCsv(*image, nullptr, (dir / "lower.csv").string(), nullptr, false, true));
    EXPECT_EQ(ReadText(dir / "lower.csv"), "/disks/test.d64\n"
                                           "0,test disk       ,ab ,2a\n"
                                           "5,game            ,PRG\n");
}

TEST(ListingExportCsv, TypeTextsFollowTheFormatsHighestCode) {
    auto image = BlankD64("T", "00 2A");
    AddFile(*image, {"A", 0x81, Pattern(10)});
    AddFile(*image, {"B", 0x84, {}});
    AddFile(*image, {"C", 0x85, {}}); // no partitions on a 1541
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    image->SetPath("t.d64");
    ASSERT_TRUE(ExportCsv(*image, stream, "ignored.csv", nullptr, false));
    EXPECT_EQ(ReadStream(stream), "t.d64\n"
                                  "0,T               ,00 ,2A\n"
                                  "1,A               ,SEQ\n"
                                  "0,B               ,REL\n"
                                  "0,C               ,???\n");
    std::fclose(stream);
    EXPECT_FALSE(std::filesystem::exists("ignored.csv")); // a stream is written, not the path
}

// The fields of one CSV record as RFC 4180 reads them.
std::vector<std::string> CsvFields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back().push_back('"');
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back().push_back(c);
        }
    }
    return fields;
}

TEST(ListingExportCsv, FieldsAreQuotedAndEveryNameByteShows) {
    auto image = BlankD64("A,\"DISK\"");
    struct Case {
        const char* name;
        const char* shown; // the name field, padding as blanks
    };
    const std::vector<Case> cases = {
        {"START,8,1", "START,8,1       "},
        {"SAY \"HI\"", "SAY \"HI\"        "},
        {"X\x01\x02\xFFY", "X???Y           "},
        {"PLAIN", "PLAIN           "},
    };
    for (const Case& c : cases)
        ASSERT_TRUE(AddFile(*image, {c.name, 0x82, Pattern(10)}));
    // A name of zero bytes is sixteen characters too.
    DirEntry zeros = AddFile(*image, {"", 0x81, Pattern(10)});
    std::fill(zeros.name().begin(), zeros.name().end(), 0);
    image->SetPath("/disks/a, \"b\".d64");

    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(ExportCsv(*image, stream, "ignored.csv", nullptr, false));
    std::istringstream in(ReadStream(stream));
    std::fclose(stream);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(CsvFields(line), std::vector<std::string>{"/disks/a, \"b\".d64"});
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(CsvFields(line), (std::vector<std::string>{"0", "A,\"DISK\"        ", "00 ", "2A"}));
    for (const Case& c : cases) {
        ASSERT_TRUE(std::getline(in, line));
        EXPECT_EQ(CsvFields(line), (std::vector<std::string>{"1", c.shown, "PRG"})) << line;
    }
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(CsvFields(line), (std::vector<std::string>{"1", std::string(16, '?'), "SEQ"}));
    EXPECT_FALSE(std::getline(in, line));
}

TEST(ListingExportCsv, Md5ColumnHashesEachFileOrMarksItUnreadable) {
    TempDir dir{"tessarind-md5"};
    Settings settings;
    settings.Set(SettingId::AddMD5Hash, 1);
    auto image = BlankD64("HASHES", "00 2A", &settings);
    const std::vector<uint8_t> data = Pattern(3 * 254 + 17, 9);
    ASSERT_TRUE(AddFile(*image, {"DATA", 0x82, data}));
    ASSERT_TRUE(AddFile(*image, {"GONE", 0x80, Pattern(20)})); // a DEL entry is not read
    image->SetPath("h.d64");

    // The digest of the file's bytes as an independent tool computes it.
    const std::filesystem::path raw = dir / "data.bin";
    ASSERT_EQ(WriteWholeFile(raw.string(), data), WriteResult::Ok);
    testing::ProcessResult md5sum = testing::RunProcess({"md5sum", raw.string()});
    ASSERT_EQ(md5sum.exitCode, 0);
    const std::string expected = md5sum.output.substr(0, 32);

    ASSERT_TRUE(ExportCsv(*image, nullptr, (dir / "h.csv").string(), nullptr, false));
    EXPECT_EQ(ReadText(dir / "h.csv"), "h.d64\n"
                                       "0,HASHES          ,00 ,2A\n"
                                       "4,DATA            ,PRG," +
                                           expected +
                                           "\n"
                                           "1,GONE            ,DEL,0\n");

    settings.Set(SettingId::AddMD5Hash, 0);
    ASSERT_TRUE(ExportCsv(*image, nullptr, (dir / "h.csv").string(), nullptr, false));
    EXPECT_EQ(ReadText(dir / "h.csv").find(expected), std::string::npos);
}

TEST(ListingExportMd5, KnownDigests) {
    std::array<uint8_t, 16> digest{};
    const std::string abc = "abc";
    ASSERT_TRUE(
        Md5Digest(std::span(reinterpret_cast<const uint8_t*>(abc.data()), abc.size()), digest));
    EXPECT_EQ(Hex(digest), "900150983cd24fb0d6963f7d28e17f72");
    ASSERT_TRUE(Md5Digest({}, digest));
    EXPECT_EQ(Hex(digest), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(ListingExportText, PathListingAndLineEnds) {
    TempDir dir{"tessarind-text"};
    auto image = BlankD64("TEST DISK", "AB 2A");
    ASSERT_TRUE(AddFile(*image, {"GAME", 0x82, Pattern(5 * 254)}));
    image->SetPath("/disks/test.d64");
    ASSERT_TRUE(ExportText(*image, nullptr, (dir / "test.txt").string(), nullptr, true));
    EXPECT_EQ(ReadText(dir / "test.txt"), "/disks/test.d64\r\n"
                                          "0 \"TEST DISK       \" AB 2A\n"
                                          "5    \"GAME\"             PRG \n"
                                          "659 BLOCKS FREE.\n"
                                          "\r\n");

    // Appended to a stream, listings follow one another.
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(ExportText(*image, stream, {}, nullptr, false));
    ASSERT_TRUE(ExportText(*image, stream, {}, nullptr, false));
    const std::string one = ReadText(dir / "test.txt");
    EXPECT_EQ(ReadStream(stream), one + one);
    std::fclose(stream);
}

// A 1541 entry of type code 5 whose block links to a directory block: enterable, but the
// format has no partitions, so listings never go into it.
TEST(ListingExport, FormatWithoutPartitionsNeverListsSubDirectories) {
    auto image = BlankD64("FLAT", "00 2A");
    DirEntry fake = AddFile(*image, {"FAKE", 0x85, {}});
    ASSERT_TRUE(fake);
    fake.firstTrack() = 17;
    fake.firstSector() = 0;
    uint8_t* first = image->SectorPointer(17, 0);
    uint8_t* dir = image->SectorPointer(17, 1);
    first[0] = 17;
    first[1] = 1;
    std::fill(dir, dir + kBlockSize, 0);
    dir[1] = 0xFF;
    dir[2] = 0x82;
    std::array<uint8_t, 16> hidden = RawName("HIDDEN");
    std::copy(hidden.begin(), hidden.end(), dir + DirEntryOffset::name);
    image->SetPath("flat.d64");
    ASSERT_TRUE(image->EnterSubDirectory(0)); // the construction really is enterable
    ASSERT_TRUE(image->LeaveSubDirectory());

    auto csv = [&] {
        std::FILE* stream = std::tmpfile();
        EXPECT_TRUE(ExportCsv(*image, stream, {}, nullptr, true));
        std::string text = ReadStream(stream);
        std::fclose(stream);
        return text;
    };
    auto text = [&] {
        std::FILE* stream = std::tmpfile();
        EXPECT_TRUE(ExportText(*image, stream, {}, nullptr, true));
        std::string listing = ReadStream(stream);
        std::fclose(stream);
        return listing;
    };
    EXPECT_EQ(csv(), "flat.d64\n0,FLAT            ,00 ,2A\n0,FAKE            ,???\n");
    EXPECT_EQ(text().find("HIDDEN"), std::string::npos);

    image->SetMaxFileType(5); // the same bytes on a format with partitions are listed
    EXPECT_NE(csv().find("HIDDEN"), std::string::npos);
    EXPECT_NE(text().find("HIDDEN"), std::string::npos);
    EXPECT_TRUE(image->DirStack().empty());
}

TEST(ListingExport, PartitionListedAfterItsEntryFromItsFirstEntry) {
    auto image = DiskWithPartition();
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(ExportCsv(*image, stream, {}, nullptr, true));
    EXPECT_EQ(ReadStream(stream), "/disks/main.d81\n"
                                  "0,MAIN            ,   ,3D\n"
                                  "2,TOP             ,PRG\n"
                                  "1560,PART            ,CBM\n"
                                  "3,INSIDE          ,SEQ\n"
                                  "1,LAST            ,PRG\n");
    std::fclose(stream);
    EXPECT_TRUE(image->DirStack().empty()); // back at the top level

    stream = std::tmpfile();
    ASSERT_TRUE(ExportCsv(*image, stream, {}, nullptr, false));
    EXPECT_EQ(ReadStream(stream).find("INSIDE"), std::string::npos);
    std::fclose(stream);

    // The text form: each level's own listing, the partition's after a "\n".
    const std::string top = AsText(ListDirectory(*image, ListingForm::Ascii, false));
    ASSERT_TRUE(image->EnterSubDirectory(1));
    const std::string part = AsText(ListDirectory(*image, ListingForm::Ascii, false));
    ASSERT_TRUE(image->LeaveSubDirectory());
    ASSERT_NE(part.find("\"PART"), std::string::npos);
    ASSERT_NE(part.find("INSIDE"), std::string::npos);
    stream = std::tmpfile();
    ASSERT_TRUE(ExportText(*image, stream, {}, nullptr, true));
    EXPECT_EQ(ReadStream(stream), "/disks/main.d81\r\n" + top + "\n" + part + "\r\n");
    std::fclose(stream);
    EXPECT_TRUE(image->DirStack().empty());
}

TEST(ListingExport, CrossLinkedPartitionListedOnce) {
    auto image = DiskWithPartition();
    // A second entry that names the same partition.
    std::array<uint8_t, kSlotSize> copy{};
    std::copy_n(image->EntryAt(1).data(), kSlotSize, copy.begin());
    ASSERT_TRUE(image->InsertEntry(3, std::span<const uint8_t>(copy).subspan(2)));
    std::FILE* stream = std::tmpfile();
    ASSERT_TRUE(ExportCsv(*image, stream, {}, nullptr, true));
    const std::string csv = ReadStream(stream);
    std::fclose(stream);
    EXPECT_EQ(csv.find("INSIDE"), csv.rfind("INSIDE"));
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 7); // path, header, 5 entries
}

TEST(ListingExport, FailuresAreReportedOnlyToInteractiveCallers) {
    auto image = BlankD64("X");
    image->SetPath("x.d64");
    const std::string nowhere = "/nonexistent-tessarind-folder/x.csv";
    RecordingInteraction ui;
    EXPECT_FALSE(ExportCsv(*image, nullptr, nowhere, &ui, false));
    EXPECT_FALSE(ExportText(*image, nullptr, nowhere, &ui, false));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, "Unable to Save File");
    EXPECT_EQ(ui.messages[0].caption, "Error");
    EXPECT_EQ(ui.messages[1].text, "Unable to Save File");

    // A stream that refuses writes.
    TempDir dir{"tessarind-readonly"};
    ASSERT_EQ(WriteWholeFile((dir / "r").string(), std::vector<uint8_t>{1}), WriteResult::Ok);
    std::FILE* readOnly = std::fopen((dir / "r").c_str(), "r");
    ASSERT_NE(readOnly, nullptr);
    ui.messages.clear();
    EXPECT_FALSE(ExportText(*image, readOnly, {}, &ui, false));
    EXPECT_FALSE(ExportCsv(*image, readOnly, {}, &ui, false));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Unable to write to file");

    EXPECT_FALSE(ExportText(*image, readOnly, {}, nullptr, false)); // silent without one
    EXPECT_FALSE(ExportCsv(*image, nullptr, nowhere, nullptr, false));
    EXPECT_EQ(ui.messages.size(), 1u);
    std::fclose(readOnly);
}

} // namespace
} // namespace tessarind
