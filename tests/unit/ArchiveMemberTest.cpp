#include <gtest/gtest.h>

#include "archives/UnpackContext.h"
#include "support/ImageBuilder.h"

namespace tessarind {
namespace {

using testing::BlankD64;
using testing::Pattern;
using testing::RawName;

// Members land in archive order with their types, sizes and bytes; a REL member gets side
// sectors; a member that does not fit leaves the listing as it was.
TEST(ArchiveMember, WritesMembersInOrderAndRefusesWhatDoesNotFit) {
    auto image = BlankD64();
    UnpackContext context(*image, {}, false, nullptr, 0);
    struct Member {
        const char* name;
        int type;
        size_t size;
        int recordLength;
    };
    const Member members[] = {{"ONE", kPrg, 254, 0}, {"EMPTY", kSeq, 0, 0},
                              {"RECORDS", kRel, 1000, 50}, {"TWO", kUsr, 255, 0}};
    for (const Member& m : members)
        ASSERT_TRUE(WriteArchiveMember(context, RawName(m.name), m.type, Pattern(m.size, m.size)));
    ASSERT_EQ(image->entryCount(), 4);
    EXPECT_EQ(context.nextIndex, 4);
    for (int i = 0; i < 4; ++i) {
        const Member& m = members[i];
        DirEntry entry = image->EntryAt(i);
        EXPECT_EQ(entry.type(), 0x80 | m.type) << m.name;
        EXPECT_EQ(entry.blocks(), (m.size + 253) / 254) << m.name;
        EXPECT_TRUE(std::equal(entry.name().begin(), entry.name().end(), RawName(m.name).begin()));
        if (m.size) {
            EXPECT_EQ(image->ReadFileData(i), Pattern(m.size, m.size)) << m.name;
        }
    }
    DirEntry rel = image->EntryAt(2);
    EXPECT_NE(rel.sideTrack(), 0);

    EXPECT_FALSE(WriteArchiveMember(context, RawName("HUGE"), kPrg, Pattern(200000)));
    EXPECT_EQ(image->entryCount(), 4);
    EXPECT_EQ(context.nextIndex, 4);
}

} // namespace
} // namespace tessarind
