#include <gtest/gtest.h>

#include "archives/Geos.h"
#include "support/GeosBuilder.h"
#include "support/ImageBuilder.h"
#include "support/Recorders.h"

namespace tessarind {
namespace {

using testing::BlankD64;
using testing::Pattern;
using testing::RecordData;
using testing::WraptorArchive;
using testing::WraptorFile;
using testing::WraptorRecord;
using testing::WraptorWriter;

// The unpacked stream's head: structure, GEOS type, date and time, the blocks' low byte and
// one unused byte.
std::vector<uint8_t> Head(uint8_t structure, uint8_t geosType) {
    return {structure, geosType, 91, 12, 24, 18, 30, 0x77, 0x99};
}

std::vector<uint8_t> Join(std::vector<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<uint8_t> FileData(DiskImage& image, int index) {
    DirEntry entry = image.EntryAt(index);
    const ChainWalk walk = image.WalkChain(entry.firstTrack(), entry.firstSector());
    std::vector<uint8_t> data(walk.bytes);
    image.WalkChain(entry.firstTrack(), entry.firstSector(), false, data);
    return data;
}

TEST(Wraptor, MatchesCopyFromAbsoluteWindowPositionsByteAfterByte) {
    WraptorWriter w;
    w.Start("COPIES", 3);
    w.Literal(0x41);
    w.Match(1, 3); // window 0, 1, 2: each byte is there once the one before is written
    w.Literals({0, 0, 0, 0, 0});
    w.Literals({'H', 'E', 'L', 'L', 'O'});
    w.Match(10, 4); // "HELL" from window position 9 on
    w.Widen();
    w.Match(1, 2); // a 9-bit offset after widening
    w.End();
    // The next file starts again with 8-bit offsets.
    w.Start("NEXT", 2);
    w.Literals(Head(0, 0));
    w.Literal('Z');
    w.Match(10, 3);
    w.End();
    auto image = BlankD64();
    ASSERT_TRUE(UnpackWraptor(*image, w.bytes(), false, nullptr));
    ASSERT_EQ(image->entryCount(), 2);
    EXPECT_EQ(image->EntryAt(0).type(), 0x82);
    EXPECT_EQ(image->EntryAt(0).recordLength(), 0x41); // the entry bytes came from the copy
    EXPECT_EQ(FileData(*image, 0),
              (std::vector<uint8_t>{'H', 'E', 'L', 'L', 'O', 'H', 'E', 'L', 'L', 0x41, 0x41}));
    EXPECT_EQ(image->EntryAt(1).type(), 0x81);
    EXPECT_EQ(FileData(*image, 1), (std::vector<uint8_t>{'Z', 'Z', 'Z', 'Z'}));
}

TEST(Wraptor, TheWindowIsWrittenAgainFromItsStartWhenFull) {
    const std::vector<uint8_t> first = Pattern(4096 + 9, 3);
    WraptorWriter w;
    w.Start("LONG", 3);
    w.Literals(first);
    w.Widen();
    w.Widen();
    w.Widen();
    w.Widen();
    w.Match(1, 2);    // positions 0 and 1 now hold bytes 4096 and 4097
    w.Match(4000, 3); // older bytes stay in the window
    w.End();
    auto image = BlankD64();
    ASSERT_TRUE(UnpackWraptor(*image, w.bytes(), false, nullptr));
    std::vector<uint8_t> expected(first.begin() + 9, first.end());
    expected.insert(expected.end(), {first[4096], first[4097]});
    expected.insert(expected.end(), first.begin() + 3999, first.begin() + 4002);
    EXPECT_EQ(FileData(*image, 0), expected);
    EXPECT_EQ(image->EntryAt(0).blocks(), (expected.size() + 253) / 254);
}

TEST(Wraptor, GeosFilesGetTheirInfoBlockDataAndRecords) {
    const std::vector<uint8_t> info = Pattern(254, 4), index = Pattern(254, 5);
    const std::vector<uint8_t> record0 = Pattern(600, 6), record2 = Pattern(30, 7);
    const std::vector<uint8_t> sequential = Pattern(300, 8);
    const auto archive = WraptorArchive({
        {"GEOS SEQ", 4, Join({Head(0, 5), info, sequential})},
        // Record 0 in three chunks, record 1 without bytes, record 2 in one; each record's
        // last two bytes are not data.
        {"GEOS VLIR", 4,
         Join({Head(1, 6), info, index, WraptorRecord(Join({record0, {1, 2}}), 250),
               WraptorRecord({}, 10), WraptorRecord(Join({record2, {3, 4}}), 100)})},
    });
    auto image = BlankD64();
    const int freeBefore = image->FreeBlockCount();
    ASSERT_TRUE(UnpackWraptor(*image, archive, false, nullptr));
    ASSERT_EQ(image->entryCount(), 2);
    DirEntry seq = image->EntryAt(0), vlir = image->EntryAt(1);
    for (DirEntry entry : {seq, vlir}) {
        EXPECT_TRUE(entry.isGeos());
        EXPECT_EQ(entry.type(), 0x83);
        EXPECT_EQ(entry.data()[DirEntryOffset::year], 91);
        const uint8_t* infoBlock = image->SectorPointer(entry.sideTrack(), entry.sideSector());
        ASSERT_NE(infoBlock, nullptr);
        EXPECT_EQ(infoBlock[1], 0xFF);
        EXPECT_TRUE(std::equal(info.begin(), info.end(), infoBlock + 2));
    }
    EXPECT_EQ(FileData(*image, 0), sequential);
    EXPECT_EQ(seq.blocks(), 1 + 2);
    EXPECT_EQ(RecordData(*image, vlir, 0), record0);
    EXPECT_EQ(RecordData(*image, vlir, 1), std::nullopt);
    EXPECT_EQ(RecordData(*image, vlir, 2), record2);
    // Index pairs the archive brought no record for point nowhere.
    const uint8_t* indexBlock = image->SectorPointer(vlir.firstTrack(), vlir.firstSector());
    for (int k = 1; k < 127; ++k) {
        if (k == 2) continue;
        EXPECT_EQ(indexBlock[2 + 2 * k], 0) << k;
    }
    EXPECT_EQ(vlir.blocks(), 1 + 1 + 3 + 1);
    EXPECT_EQ(freeBefore - image->FreeBlockCount(), seq.blocks() + vlir.blocks());
}

TEST(Wraptor, BrokenArchivesFail) {
    const auto good = WraptorArchive({{"GOOD", 3, Join({Head(0, 0), Pattern(50)})}});
    WraptorWriter farOffset;
    farOffset.Start("FAR", 3);
    for (int i = 0; i < 5; ++i)
        farOffset.Widen();
    farOffset.Match(8000, 3);
    farOffset.End();
    std::vector<uint8_t> wrongMagic = good;
    wrongMagic[1] = 0x43;
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool told; // "Error decompressing"
        int files; // written before the fault
    };
    const std::vector<Case> cases = {
        {"wrong signature", wrongMagic, true, 0},
        {"stream breaks off", std::vector<uint8_t>(good.begin(), good.end() - 8), true, 0},
        {"offset outside the window", farOffset.bytes(), true, 0},
        {"plain file under nine bytes", WraptorArchive({{"SHORT", 2, Pattern(8)}}), false, 0},
        {"GEOS file of 518 bytes", WraptorArchive({{"SHORT GEOS", 4, Pattern(518)}}), false, 0},
        {"GEOS file of type REL",
         WraptorArchive({{"REL GEOS", 5, Join({Head(0, 5), Pattern(254), Pattern(300)})}}), false,
         0},
        {"GEOS structure 2",
         WraptorArchive({{"ODD GEOS", 4, Join({Head(2, 5), Pattern(254), Pattern(300)})}}), false,
         0},
        {"a second file without signature", Join({good, {1, 2, 3}}), true, 1},
        {"name without its end", {0xFF, 0x42, 0x4C, 0xFF, 'A', 'B'}, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto image = BlankD64();
        testing::RecordingInteraction ui;
        EXPECT_FALSE(UnpackWraptor(*image, c.bytes, true, &ui));
        EXPECT_EQ(image->entryCount(), c.files);
        ASSERT_EQ(ui.messages.size(), c.told ? 1u : 0u);
        if (c.told) {
            EXPECT_EQ(ui.messages[0].text, "Error decompressing");
        }
    }
    auto image = BlankD64();
    EXPECT_TRUE(UnpackWraptor(*image, {}, false, nullptr));
    EXPECT_EQ(image->entryCount(), 0);
}

} // namespace
} // namespace tessarind
