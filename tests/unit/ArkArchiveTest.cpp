#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archives/Ark.h"
#include "support/ArcEncoder.h"
#include "support/ImageBuilder.h"
#include "support/UnpackedMembers.h"

namespace tessarind {
namespace {

using testing::ArkMember;
using testing::BlankTarget;
using testing::BuildArk;
using testing::Pattern;
using testing::RawName;
using testing::UnpackedMembers;
using Bytes = std::vector<uint8_t>;

std::vector<ArkMember> Members() {
    return {
        {"PROGRAM", 0x82, Pattern(1000, 1)},
        {"LOCKED SEQ", 0xC1, Pattern(300, 2), 0, {86, 12, 24, 23, 59}},
        {"ONE BYTE", 0x83, {0x42}},
        {"FULL BLOCK", 0x82, Pattern(254, 3)},
        {"BLOCK AND ONE", 0x82, Pattern(255, 4)},
        {"RECORDS", 0x84, Pattern(50 * 700, 5), 50},
        {"AFTER RECORDS", 0x81, Pattern(600, 6)},
        {"STRAY BITS", 0x3A, Pattern(10, 7)}, // only type, lock and closed bits are kept
        {"NINTH", 0x82, Pattern(2000, 8)},    // a second directory block
    };
}

// Eight members keep the directory in one block, nine need two; into a 1541 and a 1581
// image. Each entry keeps the record's type byte (masked), block count and date; REL
// members get side sectors of their own and the ones in the archive are stepped over.
TEST(ArkArchive, MembersUnpackWithTheirDirectoryRecords) {
    for (size_t count : {8, 9})
        for (bool large : {false, true}) {
            SCOPED_TRACE(std::to_string(count) + (large ? " members, 1581" : " members, 1541"));
            std::vector<ArkMember> members = Members();
            members.resize(count);
            auto image = BlankTarget(large);
            ASSERT_TRUE(UnpackArk(*image, BuildArk(members), false, nullptr));
            const auto unpacked = UnpackedMembers(*image);
            ASSERT_EQ(unpacked.size(), count);
            for (size_t i = 0; i < count; ++i) {
                const ArkMember& m = members[i];
                SCOPED_TRACE(m.name);
                EXPECT_EQ(unpacked[i].name, RawName(m.name));
                EXPECT_EQ(unpacked[i].type, m.type & 0xC7);
                EXPECT_EQ(unpacked[i].blocks, (m.data.size() + 253) / 254);
                EXPECT_TRUE(std::equal(m.stamp.begin(), m.stamp.end(), unpacked[i].stamp.begin()));
                EXPECT_TRUE(unpacked[i].data == m.data);
                EXPECT_EQ(unpacked[i].hasSideSectors, (m.type & 7) == 4);
                if ((m.type & 7) == 4) {
                    EXPECT_EQ(unpacked[i].recordLength, m.recordLength);
                }
            }
        }
}

// One record with the given block count and last block value over `dataBytes` bytes of data.
Bytes OneRecord(uint16_t blocks, uint8_t last, size_t dataBytes) {
    Bytes archive(254, 0);
    archive[0] = 1;
    archive[1] = 0x82;
    archive[2] = last;
    std::fill(archive.begin() + 3, archive.begin() + 19, 0xA0);
    archive[28] = static_cast<uint8_t>(blocks);
    archive[29] = static_cast<uint8_t>(blocks >> 8);
    const Bytes data = Pattern(dataBytes, 11);
    archive.insert(archive.end(), data.begin(), data.end());
    return archive;
}

// The last block value is the link byte of the member's last block: the bytes used plus one.
TEST(ArkArchive, LastBlockValueCountsTheLinkByte) {
    struct Case {
        uint16_t blocks;
        uint8_t last;
        size_t dataBytes;
        bool unpacks;
        size_t length;
    };
    const Case cases[] = {
        {2, 100, 508, true, 353}, {1, 255, 254, true, 254}, {1, 2, 1, true, 1},
        {3, 2, 509, true, 509},   {0, 5, 4, true, 4},       {3, 2, 508, false, 0},
        {2, 255, 507, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.blocks) + " blocks, last " + std::to_string(c.last));
        auto image = BlankTarget(false);
        const Bytes archive = OneRecord(c.blocks, c.last, c.dataBytes);
        ASSERT_EQ(UnpackArk(*image, archive, false, nullptr), c.unpacks);
        if (!c.unpacks) continue;
        const auto unpacked = UnpackedMembers(*image);
        ASSERT_EQ(unpacked.size(), 1u);
        EXPECT_EQ(unpacked[0].data, Bytes(archive.begin() + 254, archive.begin() + 254 + c.length));
    }
}

// Too short for a record, for its directory blocks, or for a member's data: nothing is
// unpacked. No members at all is an empty archive, not a damaged one.
TEST(ArkArchive, DamagedArchivesFail) {
    Bytes nine = BuildArk(Members());
    struct Case {
        const char* what;
        Bytes archive;
        bool unpacks;
    };
    Bytes empty(254, 0);
    Bytes lastCut = nine;
    lastCut.pop_back();
    Bytes manyRecords(300, 0);
    manyRecords[0] = 9;
    const Case cases[] = {
        {"shorter than one record", Bytes(29, 0), false},
        {"shorter than its directory", manyRecords, false},
        {"the last member cut by one byte", lastCut, false},
        {"no members", empty, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto image = BlankTarget(false);
        EXPECT_EQ(UnpackArk(*image, c.archive, false, nullptr), c.unpacks);
        if (c.unpacks) {
            EXPECT_EQ(image->entryCount(), 0);
        }
    }
}

} // namespace
} // namespace tessarind
