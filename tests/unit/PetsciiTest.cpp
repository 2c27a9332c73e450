#include "text/Petscii.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace tessarind {
namespace {

std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

std::string Convert(std::vector<uint8_t> src, bool fileNameMode = false, bool replace = false,
                    bool keepCase = false) {
    return PetsciiToAscii(src, fileNameMode, replace, keepCase, Settings::Defaults());
}

TEST(PetsciiCodeNames, RangesFollowTheirPattern) {
    for (int code = 0; code < 256; ++code) {
        const std::string name = BasTextCodeName(static_cast<uint8_t>(code));
        char decimal[4];
        std::snprintf(decimal, sizeof decimal, "%03d", code);
        if (code >= 0x20 && code <= 0x40) {
            EXPECT_EQ(name, std::string(1, char(code)));
        } else if (code >= 0x41 && code <= 0x5A) {
            EXPECT_EQ(name, std::string(1, char(code + 0x20)));
        } else if (code >= 0xC1 && code <= 0xDA) {
            EXPECT_EQ(name, std::string(1, char(code - 0x80)));
        } else if ((code >= 0x60 && code <= 0x80) || (code >= 0xE0 && code <= 0xFE)) {
            EXPECT_EQ(name, decimal);
        }
    }
    const std::map<int, std::string> controls = {{0x05, "white"}, {0x0D, "return"},
                                                 {0x11, "down"},  {0x12, "reverse on"},
                                                 {0x13, "home"},  {0x14, "delete"}};
    for (int code = 1; code <= 0x1A; ++code) {
        auto named = controls.find(code);
        EXPECT_EQ(BasTextCodeName(uint8_t(code)),
                  named != controls.end() ? named->second : "ct " + std::string(1, 'a' + code - 1));
    }
    const std::map<int, std::string> others = {
        {0x00, "null"},       {0x1B, "027"},         {0x1F, "blue"},     {0x5C, "pound"},
        {0x5F, "arrow left"}, {0x81, "orange"},      {0x85, "f1"},       {0x8C, "f8"},
        {0x93, "clear"},      {0x97, "dark gray"},   {0xA0, "sh space"}, {0xA9, "sh pound"},
        {0xBA, "sh @"},       {0xC0, "sh asterisk"}, {0xDE, "222"},      {0xDF, "cm asterisk"},
        {0xFF, "pi"}};
    for (const auto& [code, name] : others)
        EXPECT_EQ(BasTextCodeName(uint8_t(code)), name);
}

TEST(PetsciiCodeNames, OnlyCmDIsSharedByTwoCodes) {
    std::map<std::string, std::vector<int>> codes;
    for (int code = 0; code < 256; ++code)
        codes[BasTextCodeName(uint8_t(code))].push_back(code);
    EXPECT_EQ(codes.size(), 255u);
    EXPECT_EQ(codes["cm d"], (std::vector<int>{0xAC, 0xB9}));
}

TEST(PetsciiToAscii, MapsLettersGraphicsAndControls) {
    EXPECT_EQ(Convert(Bytes("HELLO")), "hello");
    EXPECT_EQ(Convert(Bytes("hello")), "HELLO");
    EXPECT_EQ(Convert(Bytes("HeLLo"), false, false, true), "HeLLo");
    EXPECT_EQ(Convert({0xC8, 0xA0, 0xA4, 0xE0, 0xC0, 0xDB, 0xDF}), "H _ `{");
    EXPECT_EQ(Convert({0xC8, 0xA4}, false, false, true), "h_");
    EXPECT_EQ(Convert({0x09, 0x0D, 0x01, 0x1F, 0x7F, 0x80, 0x93, 0xBF, 0xFF, 0x31}), "\t\r\n1");
}

TEST(PetsciiToAscii, FileNameModeDropsPunctuation) {
    std::vector<uint8_t> punctuation;
    for (uint8_t code = 0x20; code <= 0x2F; ++code)
        punctuation.push_back(code);
    EXPECT_EQ(Convert(punctuation, true), " !#%()-.");
    EXPECT_EQ(Convert(punctuation, false), " !\"#$%&'()*+,-./");
    // The substitution comes first, so "/" survives file-name mode as its replacement text.
    EXPECT_EQ(Convert(Bytes("A/B"), true, true), "a - b");
    EXPECT_EQ(Convert(Bytes("A/B"), false, true), "a - b");
}

TEST(PetsciiToAscii, SubstitutionPrecedesControlHandling) {
    Settings settings;
    settings.substitutions.push_back({0x93, "<clr>"});
    const std::vector<uint8_t> src = {0x93, 0x41};
    EXPECT_EQ(PetsciiToAscii(src, false, true, false, settings), "<clr>a");
    EXPECT_EQ(PetsciiToAscii(src, false, false, false, settings), "a");
}

// Converts into a buffer of `capacity` followed by guard bytes; returns the whole buffer.
std::string Bounded(std::vector<uint8_t> src, size_t capacity, size_t* written = nullptr) {
    std::string buffer(capacity + 4, '#');
    const size_t count =
        PetsciiToAscii(src, buffer.data(), capacity, false, true, false, Settings::Defaults());
    if (written) *written = count;
    return buffer;
}

TEST(PetsciiToAscii, RespectsCapacity) {
    size_t written = 0;
    EXPECT_EQ(Bounded(Bytes("ABCDEFGHIJKLMNOPQRST"), 16, &written),
              std::string("abcdefghijklmno\0####", 20));
    EXPECT_EQ(written, 15u);
    EXPECT_EQ(Bounded(Bytes("AB"), 1, &written), std::string("\0####", 5));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(Bounded(Bytes("AB"), 0), "####");
    // A line break needs three bytes of room; otherwise conversion stops, still terminated.
    EXPECT_EQ(Bounded({0x41, 0x0D}, 3), std::string("a\0#####", 7));
    EXPECT_EQ(Bounded({0x41, 0x0D, 0x41}, 4), std::string("a\r\n\0####", 8));
    // A replacement that does not fit ends conversion without a terminating zero.
    EXPECT_EQ(Bounded({0x41, 0x2F, 0x41}, 4, &written), "a#######");
    EXPECT_EQ(written, 1u);
    EXPECT_EQ(Bounded({0x41, 0x2F, 0x41}, 5), std::string("a - \0####", 9));
}

TEST(PetsciiToAscii, BothFormsAgree) {
    for (int code = 0; code < 256; ++code) {
        const std::vector<uint8_t> src(3, uint8_t(code));
        char buffer[64];
        const size_t n =
            PetsciiToAscii(src, buffer, sizeof buffer, true, true, false, Settings::Defaults());
        EXPECT_EQ(std::string(buffer, n),
                  PetsciiToAscii(src, true, true, false, Settings::Defaults()))
            << code;
    }
    EXPECT_EQ(Convert(std::vector<uint8_t>(5000, 0x0D)).size(), 10000u);
}

TEST(PetsciiNames, HostTextBecomesCbmName) {
    std::vector<uint8_t> buffer = Bytes("Hi_there\n1");
    AsciiToPetsciiName(buffer, false);
    EXPECT_EQ(buffer, (std::vector<uint8_t>{0xC8, 'I', 0xA4, 'T', 'H', 'E', 'R', 'E', 0x0D, '1'}));
    buffer = Bytes("Hi_\n");
    AsciiToPetsciiName(buffer, true);
    EXPECT_EQ(buffer, (std::vector<uint8_t>{'H', 'i', 0xA4, 0x0D}));

    std::array<uint8_t, 16> expected;
    expected.fill(0xA0);
    EXPECT_EQ(PetsciiName(""), expected);
    expected[0] = 'G', expected[1] = 'A', expected[2] = 'M', expected[3] = 'E';
    EXPECT_EQ(PetsciiName("game"), expected);
    const auto cut = PetsciiName("abcdefghijklmnopqrst");
    EXPECT_EQ(std::string(cut.begin(), cut.end()), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(HostFileName(PetsciiName("my_game"), 17, Settings::Defaults()), "my_game");
}

TEST(HostFileName, MakesNamesSafeForTheHost) {
    const Settings& defaults = Settings::Defaults();
    EXPECT_EQ(HostFileName(Bytes("A/B"), 17, defaults), "a - b");
    Settings noReplace;
    noReplace.Set(SettingId::ReplaceFilenameChars, 0);
    EXPECT_EQ(HostFileName(Bytes("A/B"), 17, noReplace), "ab");
    EXPECT_EQ(HostFileName(Bytes("?A<B>C|D:E\\F*\""), 17, defaults), "abcdef");
    Settings unsafe;
    unsafe.substitutions = {{0x41, "x:y?"}};
    EXPECT_EQ(HostFileName(Bytes("AB"), 17, unsafe), "xyb");
    EXPECT_EQ(HostFileName(std::vector<uint8_t>{0x41, 0x42, 0xA0, 0x43, 0xA0}, 17, defaults), "ab");
    EXPECT_EQ(HostFileName(Bytes("ABCDEF"), 4, defaults), "abc");
    EXPECT_EQ(HostFileName(Bytes("A/B"), 4, defaults), "a");
    EXPECT_EQ(HostFileName(Bytes("AB"), 0, defaults), "");
}

TEST(PetsciiNames, EveryLetterIsStoredAsTypedOnTheMachineAndReadsBackAsTyped) {
    // Lower case is the unshifted letter, upper case shift and the letter (0xC1-0xDA).
    for (int i = 0; i < 26; ++i) {
        std::vector<uint8_t> letters{static_cast<uint8_t>('a' + i), static_cast<uint8_t>('A' + i)};
        AsciiToPetsciiName(letters, false);
        EXPECT_EQ(letters, (std::vector<uint8_t>{static_cast<uint8_t>(0x41 + i),
                                                 static_cast<uint8_t>(0xC1 + i)}));
    }
    for (const char* typed : {"ReNamed", "GAME", "game", "mIxEd 1-2", "A_B.C"})
        EXPECT_EQ(HostFileName(PetsciiName(typed), 17, Settings::Defaults()), typed);
}

} // namespace
} // namespace tessarind
