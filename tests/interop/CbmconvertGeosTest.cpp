// GEOS files pass between cbmconvert and the editor in the Convert form: the Convert files
// cbmconvert extracts from our image are the ones we export, and a Convert file cbmconvert
// writes into a disk image reads back through us as the same Convert file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "interop/PeerTools.h"
#include "model/GeosConvert.h"
#include "support/GeosBuilder.h"

namespace tessarind {
namespace {

using interop::Cbmconvert;
using interop::CbmconvertComplained;
using interop::FilesIn;
using interop::NewImage;
using interop::OpenImageFile;
using testing::AddGeosFile;
using testing::GeosFileSpec;
using testing::Pattern;
using testing::TempDir;
namespace fs = std::filesystem;

using Record = std::optional<std::vector<uint8_t>>;

const std::vector<GeosFileSpec>& Files() {
    static const std::vector<GeosFileSpec> files = {
        {"WRITER DOC", 0x83, 7, false, Pattern(700, 11), {}},
        {"FULL SEQ", 0x83, 7, false, Pattern(508, 12), {}},
        {"GEOWRITE APP",
         0x83,
         6,
         true,
         {},
         {Pattern(1000, 13), Record{}, Pattern(254, 14), Pattern(3, 15), Pattern(300, 16)}},
    };
    return files;
}

// The peer converts a host file to a GEOS file only when it is typed USR, as GEOS files are.
std::string HostName(std::string name) {
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name + ".usr";
}

// The bytes of a Convert file whose meaning is defined: not where the file lay on its disk
// (entry bytes 1, 2, 19, 20), nor the structure word, which the peer writes as "PRG" for
// sequential files too (the structure is the entry's byte 21).
std::vector<uint8_t> DefinedFields(std::vector<uint8_t> cvt) {
    if (cvt.size() < kConvertHeaderSize) return cvt;
    for (std::size_t at : {1u, 2u, 19u, 20u, 30u, 31u, 32u})
        cvt[at] = 0;
    return cvt;
}

// The CBM name a Convert file carries in its entry.
std::string CbmNameIn(const std::vector<uint8_t>& cvt) {
    if (cvt.size() < 19) return {};
    const auto from = cvt.begin() + 3, to = cvt.begin() + 19;
    return std::string(from, std::find(from, to, kPad));
}

TEST(CbmconvertGeos, ConvertFilesExtractedByThePeerAreTheOnesWeExport) {
    TempDir dir;
    auto image = NewImage<D64Image>();
    ASSERT_TRUE(image);
    std::map<std::string, std::vector<uint8_t>> ours;
    for (const GeosFileSpec& file : Files()) {
        ASSERT_TRUE(AddGeosFile(*image, file));
        ours[file.name] = *image->ReadFileData(image->entryCount() - 1);
    }
    ASSERT_TRUE(image->WriteFile((dir / "geos.d64").string()));
    const auto run = Cbmconvert({"-N", "-d", (dir / "geos.d64").string()}, dir / "out");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_FALSE(CbmconvertComplained(run)) << run.output;
    // The peer names its Convert files after its own scheme: they are told by the name inside.
    std::map<std::string, std::vector<uint8_t>> theirs;
    for (auto& [hostName, bytes] : FilesIn(dir / "out"))
        theirs[CbmNameIn(bytes)] = bytes;
    ASSERT_EQ(theirs.size(), ours.size()) << run.output;
    for (const auto& [name, bytes] : ours) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(theirs.count(name));
        EXPECT_EQ(DefinedFields(theirs.at(name)), DefinedFields(bytes));
    }
}

TEST(CbmconvertGeos, ConvertFilesThePeerWritesToADiskReadBackUnchanged) {
    TempDir dir;
    auto source = NewImage<D64Image>();
    ASSERT_TRUE(source);
    std::vector<std::string> arguments = {"-D4", (dir / "peer.d64").string(), "-n"};
    std::map<std::string, std::vector<uint8_t>> sent;
    for (const GeosFileSpec& file : Files()) {
        ASSERT_TRUE(AddGeosFile(*source, file));
        const std::vector<uint8_t> cvt = *source->ReadFileData(source->entryCount() - 1);
        const fs::path path = dir / HostName(file.name);
        interop::WriteHostFile(path, cvt);
        arguments.push_back(path.string());
        sent[file.name] = cvt;
    }
    const auto run = Cbmconvert(arguments, dir / "work");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    auto peer = OpenImageFile<D64Image>(dir / "peer.d64");
    ASSERT_TRUE(peer);
    ASSERT_EQ(peer->entryCount(), static_cast<int>(sent.size()));
    const int freeBefore = peer->FreeBlockCount();
    for (int i = 0; i < peer->entryCount(); ++i) {
        const auto cbmName = interop::NameOf(peer->EntryAt(i));
        const std::string name(cbmName.begin(), std::find(cbmName.begin(), cbmName.end(), kPad));
        SCOPED_TRACE(name);
        ASSERT_TRUE(sent.count(name));
        EXPECT_TRUE(peer->EntryAt(i).isGeos());
        EXPECT_EQ(DefinedFields(peer->ReadFileData(i).value_or(std::vector<uint8_t>{})),
                  DefinedFields(sent[name]));
    }
    // Validation keeps every block of the peer's GEOS files.
    peer->Validate();
    EXPECT_EQ(peer->FreeBlockCount(), freeBefore);
}

} // namespace
} // namespace tessarind
