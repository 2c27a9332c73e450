#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "archives/Lha.h"
#include "support/ImageBuilder.h"
#include "support/LhaEncoder.h"
#include "support/Recorders.h"

namespace tessarind {
namespace {

using testing::BlankD64;
using testing::LhaArchive;
using testing::LhaMember;
using testing::LhaMemberBytes;
using testing::Pattern;
using testing::RawName;
using testing::RecordingInteraction;
using testing::TypedLhaName;

std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

std::vector<uint8_t> Concat(std::vector<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::vector<uint8_t> Repeat(std::string_view unit, std::size_t size) {
    std::vector<uint8_t> out;
    while (out.size() < size)
        out.push_back(static_cast<uint8_t>(unit[out.size() % unit.size()]));
    return out;
}

TEST(Lha, CrcIsCrc16Arc) {
    EXPECT_EQ(LhaCrc16(Bytes("123456789")), 0xBB3D);
    EXPECT_EQ(LhaCrc16({}), 0);
    EXPECT_EQ(LhaCrc16(Bytes("56789"), LhaCrc16(Bytes("1234"))), 0xBB3D);
}

// The reader gives back what the coder packed: leading spaces that match into the
// dictionary's spaces, long runs, every match distance, and more symbols than make the tree
// halve its counts.
TEST(Lha, DecodesWhatTheCoderPacked) {
    std::vector<uint8_t> distances;
    for (int d = 1; d <= 4096; d += 37) {
        const auto filler = Pattern(static_cast<std::size_t>(d), static_cast<uint32_t>(d));
        const auto unit = Pattern(8, static_cast<uint32_t>(d + 7));
        distances.insert(distances.end(), unit.begin(), unit.end());
        distances.insert(distances.end(), filler.begin(), filler.end());
        distances.insert(distances.end(), unit.begin(), unit.end());
    }
    const std::vector<std::vector<uint8_t>> inputs = {
        {},
        Bytes("x"),
        Bytes("        spaces first, then text"),
        Repeat("a", 5000),
        Repeat("the quick brown fox ", 20000),
        distances,
        Concat({Pattern(40000, 3), Repeat("abcabd", 40000)}),
    };
    for (const auto& input : inputs) {
        const std::vector<uint8_t> coded = testing::EncodeLh1(input);
        std::vector<uint8_t> out(input.size());
        ASSERT_TRUE(DecodeLh1(coded, out)) << input.size();
        EXPECT_EQ(out, input) << input.size();
    }
}

TEST(Lha, DecoderRefusesCodeBeyondItsInputAndOverlongMatches) {
    const auto input = Repeat("abcdefgh", 3000);
    std::vector<uint8_t> coded = testing::EncodeLh1(input);
    std::vector<uint8_t> out(input.size());
    EXPECT_FALSE(DecodeLh1(std::span(coded).first(coded.size() / 2), out));
    // Asking for one byte less ends inside the last match.
    std::vector<uint8_t> shorter(input.size() - 1);
    EXPECT_FALSE(DecodeLh1(coded, shorter));
    // More output than the code holds needs bits past its end.
    std::vector<uint8_t> longer(input.size() + 100);
    EXPECT_FALSE(DecodeLh1(coded, longer));
}

struct Listed {
    std::string name; // raw PETSCII bytes
    int type;
    std::vector<uint8_t> data;
};

struct Case {
    const char* what;
    std::function<std::vector<uint8_t>()> archive;
    bool interactive;
    bool succeeds;
    std::vector<Listed> entries = {};
    std::vector<std::string> messages = {};
    std::vector<std::string> shownTitles = {};
};

std::vector<uint8_t> WithHeaderByte(std::vector<uint8_t> bytes, std::size_t at, uint8_t value) {
    bytes[at] = value;
    return bytes;
}

TEST(Lha, WalksArchives) {
    const auto text = Bytes("hello hello hello hello world");
    const auto big = Repeat("0123456789", 3000);
    auto member = [](std::string name, std::vector<uint8_t> data, bool packed = true) {
        LhaMember m;
        m.name = std::move(name);
        m.data = std::move(data);
        m.packed = packed;
        return m;
    };
    auto withCrc = [](LhaMember m, uint16_t crc) {
        m.crc = crc;
        return m;
    };
    auto withLevel = [](LhaMember m, uint8_t level) {
        m.level = level;
        return m;
    };
    const std::vector<Case> cases = {
        {"typed names",
         [&] {
             return LhaArchive({member(TypedLhaName("prog", 'S'), text),
                                member(TypedLhaName("del", 'd'), text, false),
                                member(TypedLhaName("usr", 'U'), text),
                                member(TypedLhaName("rel", 'r'), big),
                                member(TypedLhaName("other", 'X'), text), member("plainAB", text),
                                member("my_name", {})});
         },
         false,
         true,
         {{"PROG", kSeq, text},
          {"DEL", kDel, text},
          {"USR", kUsr, text},
          {"REL", kRel, big},
          {"OTHER", kPrg, text},
          {"PLAIN\xC1\xC2", kPrg, text},
          {"MY\xA4NAME", kPrg, {}}}},
        {"name proper from the first 18 bytes, listed with 16",
         [&] { return LhaArchive({member(TypedLhaName("abcdefghijklmnopqrst", 'S'), text)}); },
         false,
         true,
         {{"ABCDEFGHIJKLMNOP", kSeq, text}}},
        {"a stored member's CRC is not compared",
         [&] { return LhaArchive({withCrc(member("stored", text, false), 0x1234)}); },
         true,
         true,
         {{"STORED", kPrg, text}}},
        {"a packed member's wrong CRC warns and goes on",
         [&] {
             return LhaArchive({withCrc(member("b?ad", text), 0x1234), member("next", big)});
         },
         true,
         true,
         {{"B?AD", kPrg, text}, {"NEXT", kPrg, big}},
         {"CRC error on bad, continuing"}},
        {"no warning when not interactive",
         [&] { return LhaArchive({withCrc(member("bad", text), 0x1234)}); },
         false,
         true,
         {{"BAD", kPrg, text}}},
        {"a first title is shown, a second one written",
         [&] {
             return LhaArchive({member("title", text), member("title", big)});
         },
         true,
         true,
         {{"TITLE", kPrg, big}},
         {},
         {"title"}},
        {"a title is written when not interactive",
         [&] { return LhaArchive({member("title", text)}); },
         false,
         true,
         {{"TITLE", kPrg, text}}},
        {"level 1 and 2 headers of level-0 size are read",
         [&] {
             return LhaArchive(
                 {withLevel(member("one", text), 1), withLevel(member("two", big), 2)});
         },
         false,
         true,
         {{"ONE", kPrg, text}, {"TWO", kPrg, big}}},
        {"a header of another size ends the archive",
         [&] {
             auto second = LhaMemberBytes(member("second", big));
             second[0] += 1;
             return Concat({LhaMemberBytes(member("first", text)), second});
         },
         false,
         true,
         {{"FIRST", kPrg, text}}},
        {"a first header of another size fails",
         [&] { return WithHeaderByte(LhaArchive({member("first", text)}), 0, 30); }, false, false},
        {"25 bytes or fewer hold nothing", [] { return std::vector<uint8_t>(25, 0x55); }, false,
         true},
        {"a member ending 25 bytes before the end ends the walk",
         [&] {
             return Concat({LhaMemberBytes(member("only", text)), std::vector<uint8_t>(25, 0x55)});
         },
         false,
         true,
         {{"ONLY", kPrg, text}}},
        {"unknown method", [&] { return WithHeaderByte(LhaArchive({member("x", text)}), 5, '5'); },
         false, false},
        {"bad header checksum",
         [&] { return WithHeaderByte(LhaArchive({member("x", text)}), 1, 0); }, false, false},
        {"header longer than the archive",
         [&] {
             auto bytes = LhaMemberBytes(member("a-long-name-here", text));
             bytes.resize(30);
             return bytes;
         },
         false, false},
        {"packed data past the end",
         [&] {
             auto bytes = LhaMemberBytes(member("cut", big));
             bytes.resize(bytes.size() - 1);
             return bytes;
         },
         false, false},
        {"stored data shorter than its unpacked size",
         [&] { return WithHeaderByte(LhaArchive({member("x", text, false)}), 12, 0x10); }, false,
         false},
        {"unpacked size beyond what the code can hold",
         [&] { return WithHeaderByte(LhaArchive({member("x", text)}), 14, 0x40); }, false, false},
        {"a member that does not fit the disk",
         [&] { return LhaArchive({member("huge", Pattern(200000), false)}); }, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto image = BlankD64();
        RecordingInteraction ui;
        const std::vector<uint8_t> archive = c.archive();
        ASSERT_EQ(UnpackLha(*image, archive, c.interactive, &ui), c.succeeds);
        std::vector<std::string> messages, titles;
        for (const auto& m : ui.messages)
            messages.push_back(m.text);
        for (const auto& t : ui.texts)
            titles.push_back(t.title);
        EXPECT_EQ(messages, c.messages);
        EXPECT_EQ(titles, c.shownTitles);
        if (!c.succeeds) continue;
        ASSERT_EQ(image->entryCount(), static_cast<int>(c.entries.size()));
        for (int i = 0; i < image->entryCount(); ++i) {
            const Listed& want = c.entries[i];
            DirEntry entry = image->EntryAt(i);
            EXPECT_EQ(entry.type(), 0x80 | want.type) << want.name;
            EXPECT_TRUE(
                std::equal(entry.name().begin(), entry.name().end(), RawName(want.name).begin()))
                << want.name;
            EXPECT_EQ(entry.blocks(), (want.data.size() + 253) / 254) << want.name;
            if (!want.data.empty() && want.type != kDel) { // a DEL entry's chain is not read
                EXPECT_EQ(image->ReadFileData(i), want.data) << want.name;
            }
            if (want.type == kRel) {
                EXPECT_NE(entry.sideTrack(), 0);
            }
        }
    }
}

TEST(Lha, ShownTitleHoldsTheMembersBytes) {
    auto image = BlankD64();
    RecordingInteraction ui;
    LhaMember title{"title", Bytes("\x93WELCOME\rTO THE DISK"), true, std::nullopt, 0};
    ASSERT_TRUE(UnpackLha(*image, LhaArchive({title}), true, &ui));
    ASSERT_EQ(ui.texts.size(), 1u);
    EXPECT_EQ(ui.texts[0].petscii, title.data);
    EXPECT_EQ(image->entryCount(), 0);
}

// The stub in front of a self-extracting archive: its byte 103 tells its length.
TEST(Lha, SkipsTheSelfExtractingStub) {
    const std::vector<uint8_t> lha = LhaArchive({{"inside", Bytes("data data data"), true, {}, 0}});
    struct Stub {
        uint8_t marker;
        std::size_t length;
        bool succeeds;
    };
    const Stub stubs[] = {
        {0xCE, 3721, true}, {0xC4, 3711, true}, {0xC5, 3711, false}, {0xCE, 3711, false}};
    for (const Stub& s : stubs) {
        SCOPED_TRACE(s.length);
        std::vector<uint8_t> sfx = Pattern(s.length, 9);
        sfx[103] = s.marker;
        sfx.insert(sfx.end(), lha.begin(), lha.end());
        auto image = BlankD64();
        ASSERT_EQ(UnpackSfx(*image, sfx, false, nullptr), s.succeeds);
        if (s.succeeds) {
            EXPECT_EQ(image->ReadFileData(0), Bytes("data data data"));
        }
    }
    std::vector<uint8_t> shortStub(3710, 0);
    shortStub[103] = 0xC4;
    auto image = BlankD64();
    EXPECT_FALSE(UnpackSfx(*image, shortStub, false, nullptr));
    EXPECT_EQ(SfxDataOffset(shortStub), 0u);
}

} // namespace
} // namespace tessarind
