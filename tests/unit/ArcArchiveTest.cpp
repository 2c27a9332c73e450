#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archives/Arc.h"
#include "support/ArcEncoder.h"
#include "support/ImageBuilder.h"
#include "support/UnpackedMembers.h"

namespace tessarind {
namespace {

using testing::ArcHeader;
using testing::ArcMember;
using testing::BitWriter;
using testing::BlankTarget;
using testing::BuildArc;
using testing::BuildSda;
using testing::Pattern;
using testing::RawName;
using testing::SampleRuns;
using testing::SampleText;
using testing::UnpackedMembers;
using Bytes = std::vector<uint8_t>;

// Every method of both header versions, into a 1541 and a 1581 image: members of each type
// (the letter in either case), one without data, one with a name longer than 16 bytes, REL
// records, data of every kind, enough noise to fill the crunch dictionary.
TEST(ArcArchive, EveryMethodOfEveryVersionUnpacksWhatWentIn) {
    for (int version : {1, 2})
        for (int method = 0; method <= 5; ++method)
            for (bool large : {false, true}) {
                SCOPED_TRACE("version " + std::to_string(version) + " method " +
                             std::to_string(method) + (large ? " 1581" : " 1541"));
                const uint8_t marker = version < 2 ? 0xDB : 0xFE;
                std::vector<ArcMember> members = {
                    {"TEXT", 'S', SampleText(3000), method, version, marker},
                    {"RUNS", 'P', SampleRuns(), method, version, marker},
                    {"NOISE", 'u', Pattern(40000, 7), method, version, marker},
                    {"EMPTY", 'D', {}, method, version, marker},
                    {"A NAME LONGER THAN SIXTEEN", 'x', SampleText(10), method, version, marker},
                    {"RECORDS", 'R', Pattern(40 * 50, 9), method, version, marker, 40},
                };
                auto image = BlankTarget(large);
                ASSERT_TRUE(UnpackArc(*image, BuildArc(members), false, nullptr));
                const auto unpacked = UnpackedMembers(*image);
                ASSERT_EQ(unpacked.size(), members.size());
                const uint8_t types[] = {0x81, 0x82, 0x83, 0x80, 0x82, 0x84};
                for (size_t i = 0; i < members.size(); ++i) {
                    SCOPED_TRACE(members[i].name);
                    EXPECT_EQ(unpacked[i].name, RawName(members[i].name.substr(0, 16)));
                    EXPECT_EQ(unpacked[i].type, types[i]);
                    EXPECT_EQ(unpacked[i].blocks, (members[i].data.size() + 253) / 254);
                    EXPECT_TRUE(unpacked[i].data == members[i].data);
                }
                // Only version 2 headers carry a record length; without one a record is a byte.
                EXPECT_TRUE(unpacked[5].hasSideSectors);
                EXPECT_EQ(unpacked[5].recordLength, version < 2 ? 1 : 40);
            }
}

// A member header of the given method and unpacked length, followed by `body`.
Bytes Member(int version, int method, size_t length, const Bytes& body, uint8_t marker = 0xFE) {
    ArcMember member{"M", 'P', Bytes(length), method, version, marker};
    Bytes out = ArcHeader(member, body.size());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// Codes of the given widths, top bit first.
Bytes Codes(std::initializer_list<std::pair<uint32_t, int>> codes) {
    BitWriter bits;
    for (auto [code, width] : codes)
        bits.HighFirst(code, width);
    return bits.Bytes();
}

// A squeeze table giving codes (length, code read bit 0 first) to some byte values, then the
// data bits in reading order.
Bytes Squeezed(std::initializer_list<std::tuple<uint8_t, int, uint32_t>> table,
               std::initializer_list<int> dataBits) {
    BitWriter bits;
    for (int value = 0; value < 256; ++value) {
        int length = 0;
        uint32_t code = 0;
        for (auto [v, l, c] : table)
            if (v == value) length = l, code = c;
        bits.LowFirst(static_cast<uint32_t>(length), 5);
        bits.LowFirst(code, length);
    }
    for (int bit : dataBits)
        bits.Bit(bit);
    return bits.Bytes();
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.resize((a.size() + 253) / 254 * 254, 0);
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Repeat(size_t n, char c) {
    return Bytes(n, static_cast<uint8_t>(c));
}
Bytes Chars(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

struct HandMade {
    const char* what;
    Bytes archive;
    bool unpacks;
    std::vector<Bytes> members;
};

// Archives put together byte by byte, each showing one rule of the methods or the walk.
TEST(ArcArchive, HandMadeMembersUnpackByTheRules) {
    const Bytes good = Member(2, 0, 3, Chars("ABC"));
    Bytes noBlocks = good;
    noBlocks[7] = noBlocks[8] = 0;
    Bytes pastEnd = good;
    pastEnd[7] = 2;
    const HandMade cases[] = {
        {"marker, count and byte repeat the byte",
         Member(2, 1, 5, {0xFE, 5, 'A'}),
         true,
         {Repeat(5, 'A')}},
        {"a count of 0 is 256 from version 2",
         Member(2, 1, 256, {0xFE, 0, 'A'}),
         true,
         {Repeat(256, 'A')}},
        {"a count of 0 is 255 in version 1",
         Member(1, 1, 300, {0xFE, 0, 'A'}),
         true,
         {Repeat(255, 'A')}},
        {"version 1 packs with the marker of its header",
         Member(1, 1, 4, {'A', ' ', 3, 'B'}, ' '),
         true,
         {Chars("ABBB")}},
        {"version 0 counts 0 as 256",
         Member(0, 1, 300, {0x20, 0, 'A'}, 0x20),
         true,
         {Repeat(256, 'A')}},
        {"stored data keeps the marker", Member(1, 0, 3, {0xFE, 5, 'A'}), true, {{0xFE, 5, 'A'}}},
        {"squeezed data keeps the marker",
         Member(2, 2, 3, Squeezed({{0xFE, 1, 0}, {'A', 1, 1}}, {0, 0, 1})),
         true,
         {{0xFE, 0xFE, 'A'}}},
        {"the header's length cuts the data", Member(2, 0, 2, Chars("ABCD")), true, {Chars("AB")}},
        {"data running out gives what was read",
         Member(2, 0, 10, Chars("ABC")),
         true,
         {Chars("ABC")}},
        {"a run cut short ends the data", Member(2, 1, 10, {'A', 0xFE, 5}), true, {Chars("A")}},
        {"a code equal to the next free one is the previous string and its first byte",
         Member(2, 3, 10, Codes({{'A', 9}, {258, 9}, {256, 9}})),
         true,
         {Chars("AAA")}},
        {"a code not in the dictionary repeats the previous string",
         Member(2, 3, 10, Codes({{'A', 9}, {'B', 9}, {300, 9}, {257, 9}, {258, 9}, {256, 9}})),
         true,
         {Chars("ABBBAB")}},
        {"a first code that is no byte ends the data",
         Member(2, 3, 10, Codes({{258, 9}, {'A', 9}})),
         true,
         {{}}},
        {"crunched and packed",
         Member(2, 3, 10, Codes({{'A', 9}, {0xFE, 9}, {4, 9}, {'B', 9}, {256, 9}})),
         true,
         {Chars("ABBBB")}},
        {"the one-pass method takes its length from the end",
         Member(2, 5, 999, Codes({{'A', 9}, {'B', 9}, {'C', 9}, {256, 9}, {0xBEEF, 16}, {2, 24}})),
         true,
         {Chars("AB")}},
        {"the one-pass method without its trailer keeps what was decoded",
         Member(2, 5, 999, Codes({{'A', 9}, {'B', 9}, {256, 9}})),
         true,
         {Chars("AB")}},
        {"the shortest matching squeeze code wins, of equal codes the lower byte",
         Member(2, 2, 4,
                Squeezed({{'X', 1, 0}, {'Y', 2, 0}, {'Z', 2, 1}, {'W', 2, 3}, {'P', 2, 3}},
                         {0, 1, 0, 1, 1, 0})),
         true,
         {Chars("XZPX")}},
        {"squeezed and packed",
         Member(2, 4, 4, Squeezed({{0xFE, 1, 0}, {3, 2, 1}, {'A', 2, 3}}, {1, 1, 0, 1, 0, 1, 1})),
         true,
         {Chars("AAAA")}},
        {"squeezed bits matching no code end the data",
         Member(2, 2, 10, Squeezed({{'X', 2, 0}}, {0, 0, 1, 1, 0, 0})),
         true,
         {Chars("X")}},
        {"a squeeze code longer than 24 bits ends the walk",
         Concat(good, Member(2, 2, 1, Squeezed({{'X', 25, 0}}, {0}))),
         true,
         {Chars("ABC")}},
        {"a squeeze table running past the end ends the walk",
         Member(2, 4, 10, Bytes(100, 0x55)),
         false,
         {}},
        {"a method above 5 gives an empty member", Member(2, 6, 3, Chars("ABC")), true, {{}}},
        {"a header counting no blocks ends the walk", Concat(good, noBlocks), true, {Chars("ABC")}},
        {"a header whose blocks lie past the end ends the walk",
         Concat(good, pastEnd),
         true,
         {Chars("ABC")}},
        {"a header cut short ends the walk",
         Concat(good, Bytes(good.begin(), good.begin() + 12)),
         true,
         {Chars("ABC")}},
        {"an archive shorter than a header", Bytes(10, 2), false, {}},
    };
    for (const HandMade& c : cases) {
        SCOPED_TRACE(c.what);
        auto image = BlankTarget(false);
        EXPECT_EQ(UnpackArc(*image, c.archive, false, nullptr), c.unpacks);
        const auto unpacked = UnpackedMembers(*image);
        ASSERT_EQ(unpacked.size(), c.members.size());
        for (size_t i = 0; i < unpacked.size(); ++i)
            EXPECT_EQ(unpacked[i].data, c.members[i]);
    }
}

// Single-byte codes, each as wide as the reader must then read them: 9 bits until entry 510
// has been added, 10 until 1022, 11 until 2046, then 12, also once the dictionary is full.
TEST(ArcArchive, CrunchCodesGrowWiderAsTheDictionaryFills) {
    BitWriter bits;
    Bytes expected;
    int width = 9;
    const int count = 4200;
    for (int i = 0; i < count; ++i) {
        const uint8_t value = static_cast<uint8_t>((i * 7 + i / 256) % 250); // never the marker
        bits.HighFirst(value, width);
        expected.push_back(value);
        const int added = i >= 1 ? 258 + i - 1 : 0; // the entry this code made
        if (added == 510 || added == 1022 || added == 2046) ++width;
    }
    bits.HighFirst(256, width);
    auto image = BlankTarget(false);
    ASSERT_EQ(width, 12);
    ASSERT_TRUE(UnpackArc(*image, Member(2, 3, count, bits.Bytes()), false, nullptr));
    const auto unpacked = UnpackedMembers(*image);
    ASSERT_EQ(unpacked.size(), 1u);
    EXPECT_TRUE(unpacked[0].data == expected);
}

// The stub's line number (blocks + 6) and the digit at byte 8 place the archive; a file too
// short to be one, a stub that cannot be one, or one that points past the end opens nothing.
TEST(ArcArchive, SelfDissolvingStubIsSkipped) {
    const std::vector<ArcMember> members = {{"ONE", 'P', SampleText(500), 3},
                                            {"TWO", 'S', SampleRuns(), 1}};
    const Bytes arc = BuildArc(members);
    const Bytes small = BuildArc({members[0]});
    struct Case {
        const char* what;
        Bytes archive;
        size_t unpacked;
    };
    Bytes lineTooSmall = BuildSda(arc, 4, true);
    lineTooSmall[4] = 5;
    Bytes pastEnd = BuildSda(arc, 4, true);
    pastEnd[4] = 255;
    Bytes longEnough = BuildSda(small, 1, true);
    const Bytes tooShort = longEnough;
    longEnough.resize(1016, 0);
    const Case cases[] = {
        {"4 blocks, version 2", BuildSda(arc, 4, true), 2},
        {"4 blocks, version 1", BuildSda(arc, 4, false), 2},
        {"9 blocks, version 2", BuildSda(arc, 9, true), 2},
        {"9 blocks, version 1", BuildSda(arc, 9, false), 2},
        {"1 block, 1016 bytes in all", longEnough, 1},
        {"1 block, shorter than any stub", tooShort, 0},
        {"line number below the stub's own", lineTooSmall, 0},
        {"line number past the end", pastEnd, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto image = BlankTarget(false);
        ASSERT_EQ(UnpackSda(*image, c.archive, false, nullptr), c.unpacked > 0);
        const auto unpacked = UnpackedMembers(*image);
        ASSERT_EQ(unpacked.size(), c.unpacked);
        for (size_t i = 0; i < unpacked.size(); ++i)
            EXPECT_EQ(unpacked[i].data, members[i].data);
    }
}

// A member too big for the disk fails the archive.
TEST(ArcArchive, MemberBeyondTheDiskFails) {
    auto image = BlankTarget(false);
    const Bytes archive =
        BuildArc({{"SMALL", 'P', SampleText(100), 0}, {"HUGE", 'P', Bytes(200000, 1), 1}});
    EXPECT_FALSE(UnpackArc(*image, archive, false, nullptr));
}

} // namespace
} // namespace tessarind
