#include <gtest/gtest.h>

#include "archives/Lynx.h"
#include "formats/D81Image.h"
#include "support/ArchiveBuilder.h"
#include "support/ImageBuilder.h"

namespace tessarind {
namespace {

using testing::BlankD64;
using testing::LynxArchive;
using testing::LynxMember;
using testing::Pattern;
using testing::RawName;

std::string CutName(DirEntry entry) {
    std::string name(entry.name().begin(), entry.name().end());
    return name.substr(0, name.find('\xA0'));
}

// Every member as it was packed: name, type, bytes, record length.
void ExpectMembers(DiskImage& image, const std::vector<LynxMember>& members, int first = 0) {
    ASSERT_EQ(image.entryCount(), first + static_cast<int>(members.size()));
    const std::string types = "DSPUR";
    for (size_t i = 0; i < members.size(); ++i) {
        const LynxMember& m = members[i];
        SCOPED_TRACE(m.name);
        const int index = first + static_cast<int>(i);
        DirEntry entry = image.EntryAt(index);
        EXPECT_EQ(CutName(entry), m.name.substr(0, 16));
        EXPECT_EQ(entry.type(), 0x80 | static_cast<int>(types.find(m.type)));
        EXPECT_EQ(image.ReadFileData(index).value_or(std::vector<uint8_t>{}), m.data);
        if (m.type == 'R') {
            EXPECT_EQ(entry.recordLength(), m.recordLength);
        }
    }
}

TEST(Lynx, UnpacksEveryMemberWithItsNameTypeAndBytes) {
    const std::vector<std::vector<LynxMember>> archives = {
        {{"ONE", 'P', Pattern(1)}},
        {{"EMPTY", 'S', {}}, {"FULL BLOCK", 'U', Pattern(254, 2)}, {"GONE", 'D', {}}},
        // 2 x 254 + 99 bytes: three blocks with 100 as the last-block number.
        {{"THREE", 'P', Pattern(607, 3)}, {"NEXT", 'S', Pattern(255, 4)}},
        // 130 data blocks need two side sectors; the member after it must not shift.
        {{"RECORDS", 'R', Pattern(130 * 254, 5), 127}, {"AFTER", 'P', Pattern(600, 6)}},
        {{"SMALL REL", 'R', Pattern(640, 7), 64}, {"TAIL", 'P', Pattern(10, 8)}},
        {{"A NAME LONGER THAN SIXTEEN", 'P', Pattern(20, 9)}},
    };
    for (const auto& members : archives) {
        SCOPED_TRACE(members.front().name);
        auto image = BlankD64();
        EXPECT_TRUE(UnpackLynx(*image, LynxArchive(members), false, nullptr));
        ExpectMembers(*image, members);
    }
}

TEST(Lynx, TypeLettersAreReadWithoutRegardToCaseAndUnknownOnesArePrograms) {
    std::vector<uint8_t> archive =
        LynxArchive({{"LOWER", 'S', Pattern(5)}, {"ODD", 'P', Pattern(5)}});
    // Rewrite the type lines "S\r" and "P\r" as "s\r" and "X\r".
    for (auto [from, to] : {std::pair{'S', 's'}, std::pair{'P', 'X'}}) {
        const uint8_t line[] = {'\r', static_cast<uint8_t>(from), '\r'};
        auto at = std::search(archive.begin(), archive.end(), std::begin(line), std::end(line));
        ASSERT_NE(at, archive.end());
        at[1] = static_cast<uint8_t>(to);
    }
    auto image = BlankD64();
    EXPECT_TRUE(UnpackLynx(*image, archive, false, nullptr));
    EXPECT_EQ(image->EntryAt(0).type(), 0x81);
    EXPECT_EQ(image->EntryAt(1).type(), 0x82);
}

// Members join the listing after what the image holds, also on a 1581 image.
TEST(Lynx, MembersFollowTheFilesAlreadyListed) {
    D81Image image;
    ASSERT_TRUE(image.Open(nullptr, "", false, true));
    testing::AddFile(image, {"OLD", 0x82, Pattern(10)});
    image.Refresh();
    const std::vector<LynxMember> members = {{"NEW", 'P', Pattern(300)}};
    EXPECT_TRUE(UnpackLynx(image, LynxArchive(members), false, nullptr));
    ExpectMembers(image, members, 1);
}

// Writers leave the directory block unpadded when the last members are empty.
TEST(Lynx, ArchivesEndingInsideTheirDirectoryBlocksUnpackWhole) {
    const std::vector<LynxMember> members = {{"EMPTY", 'P', {}}, {"ALSO EMPTY", 'S', {}}};
    std::vector<uint8_t> archive = LynxArchive(members);
    const uint8_t last[] = {' ', '0', ' ', '\r'};
    auto end = std::find_end(archive.begin(), archive.end(), std::begin(last), std::end(last));
    ASSERT_NE(end, archive.end());
    archive.erase(end + 4, archive.end());
    ASSERT_LT(archive.size(), 254u);
    auto image = BlankD64();
    EXPECT_TRUE(UnpackLynx(*image, archive, false, nullptr));
    ExpectMembers(*image, members);
}

TEST(Lynx, ArchivesThatBreakOffKeepWhatTheyHold) {
    const std::vector<LynxMember> members = {{"FIRST", 'P', Pattern(500, 1)},
                                             {"SECOND", 'S', Pattern(700, 2)}};
    const std::vector<uint8_t> whole = LynxArchive(members);
    struct Case {
        const char* what;
        size_t keep;        // bytes of the archive kept
        size_t secondBytes; // what remains of the second member
    };
    const size_t secondStart = whole.size() - 700;
    for (const Case& c : {Case{"second member cut", whole.size() - 100, 600},
                          Case{"second member gone", secondStart, 0}}) {
        SCOPED_TRACE(c.what);
        auto image = BlankD64();
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(c.keep));
        EXPECT_FALSE(UnpackLynx(*image, cut, false, nullptr));
        ASSERT_EQ(image->entryCount(), 2);
        EXPECT_EQ(image->ReadFileData(0), members[0].data);
        std::vector<uint8_t> second(members[1].data.begin(),
                                    members[1].data.begin() + static_cast<long>(c.secondBytes));
        EXPECT_EQ(image->ReadFileData(1).value_or(std::vector<uint8_t>{}), second);
    }
}

TEST(Lynx, DamagedDirectoriesWriteNothingOrWhatTheyList) {
    const std::vector<uint8_t> good =
        LynxArchive({{"ONE", 'P', Pattern(10)}, {"TWO", 'P', Pattern(10)}});
    auto replace = [&](const std::string& from, const std::string& to) {
        std::vector<uint8_t> bytes = good;
        auto at = std::search(bytes.begin(), bytes.end(), from.begin(), from.end());
        EXPECT_NE(at, bytes.end()) << from;
        if (at != bytes.end()) std::copy(to.begin(), to.end(), at);
        return bytes;
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> archive;
        int written;
    };
    std::vector<uint8_t> twoBytes(good.begin(), good.begin() + 2);
    std::vector<uint8_t> badLink = good;
    badLink[2] = 0xFF; // the first line's link points past the end
    badLink[3] = 0xFF;
    const Case cases[] = {
        {"load address only", twoBytes, 0},
        {"stub link outside", badLink, 0},
        {"no directory blocks", replace(" 1  *LYNX", " 0  *LYNX"), 0},
        // The members' data would lie past the end: they are written empty.
        {"data past the end", replace(" 1  *LYNX", " 9  *LYNX"), 2},
        {"no members", replace(" 2 \r", " 0 \r"), 0},
        // Promises nine members: the two listed are written, then the text runs out.
        {"more members promised", replace(" 2 \r", " 9 \r"), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto image = BlankD64();
        EXPECT_FALSE(UnpackLynx(*image, c.archive, false, nullptr));
        EXPECT_EQ(image->entryCount(), c.written);
    }
}

} // namespace
} // namespace tessarind
