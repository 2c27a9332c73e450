#include "text/BasicDetokenizer.h"

#include <gtest/gtest.h>
#include <utility>

#include "text/Petscii.h"

namespace tessarind {
namespace {

using Line = std::pair<uint16_t, std::vector<uint8_t>>;

// A program file with correctly chained links and the closing zero link.
std::vector<uint8_t> Program(uint16_t load, const std::vector<Line>& lines) {
    std::vector<uint8_t> file = {uint8_t(load), uint8_t(load >> 8)};
    unsigned address = load;
    for (const auto& [number, body] : lines) {
        address += 4 + unsigned(body.size()) + 1;
        file.insert(file.end(), {uint8_t(address), uint8_t(address >> 8), uint8_t(number),
                                 uint8_t(number >> 8)});
        file.insert(file.end(), body.begin(), body.end());
        file.push_back(0);
    }
    file.insert(file.end(), {0, 0});
    return file;
}

std::optional<std::string> List(const std::vector<uint8_t>& file, bool basText) {
    auto listing = DetokenizeProgram(file, basText);
    if (!listing) return std::nullopt;
    return std::string(listing->begin(), listing->end());
}

const std::vector<uint8_t> kClearHi = {0x99, 0x22, 0x93, 'H', 'I', 0x22};

TEST(DetokenizeProgram, AcceptsOnlyBasicLoadAddresses) {
    EXPECT_FALSE(List(Program(0x0401, {{10, kClearHi}}), true));
    EXPECT_FALSE(List({0x01}, true));
    EXPECT_FALSE(List({}, true));
    EXPECT_EQ(List({0x01, 0x08}, true), "");
    EXPECT_EQ(List(Program(0x1C01, {{10, kClearHi}}), true), "10 PRINT\"{clear}HI\"\r");
    EXPECT_EQ(List(Program(0x0801, {{10, kClearHi}}), false), "10 PRINT\"\x93HI\"\r");
}

TEST(DetokenizeProgram, UnclosedQuoteEndsAtLineEnd) {
    const auto file = Program(0x0801, {{10, {0x99, 0x22, 0x93}}, {65535, {0x99, 0x9E}}});
    EXPECT_EQ(List(file, true), "10 PRINT\"{clear}\r65535 PRINTSYS\r");
    EXPECT_EQ(List(file, false), "10 PRINT\"\x93\r65535 PRINTSYS\r");
}

TEST(DetokenizeProgram, ListsKeywordsOutsideQuotes) {
    EXPECT_EQ(List(Program(0x0801, {{1, {0x41, 0xAB, 0x31, 0x3A, 0x8F, 0xCB, 0xFF, 0x7F}}}), true),
              "1 A-1:REMGO\xFF\x7F\r");
    // $CC-$FE list as the keyword 76 below them.
    for (int code = 0xCC; code <= 0xFE; ++code) {
        const auto listing = List(Program(0x0801, {{2, {uint8_t(code)}}}), false);
        EXPECT_EQ(listing, std::string("2 ") + BasicKeyword(uint8_t(code - 76)) + "\r") << code;
    }
    EXPECT_STREQ(BasicKeyword(0xCC - 76), "END");
    EXPECT_EQ(BasicKeyword(0xCC), nullptr);
    EXPECT_EQ(BasicKeyword(0x7F), nullptr);
}

TEST(DetokenizeProgram, NamesQuotedCodesOnlyWithBasText) {
    for (int code = 1; code < 256; ++code) {
        if (code == 0x22) continue;
        const auto file = Program(0x0801, {{5, {0x22, uint8_t(code)}}});
        const bool named = code < 0x20 || code == 0x5C || code >= 0x5E;
        const std::string inner = named ? std::string("{") + BasTextCodeName(uint8_t(code)) + "}"
                                        : std::string(1, char(code));
        EXPECT_EQ(List(file, true), "5 \"" + inner + "\r") << code;
        EXPECT_EQ(List(file, false), "5 \"" + std::string(1, char(code)) + "\r") << code;
    }
}

TEST(DetokenizeProgram, StopsAtZeroLinkHighByte) {
    auto file = Program(0x0801, {{10, {0x80}}});
    file.insert(file.end(), {0x20, 0x08, 20, 0, 0x80, 0});
    EXPECT_EQ(List(file, true), "10 END\r");
    file = {0x01, 0x08, 0x00, 0x09, 10, 0, 0x80, 0, 0x50, 0x00, 20, 0, 0x80, 0};
    EXPECT_EQ(List(file, true), "10 END\r");
}

TEST(DetokenizeProgram, TruncatedProgramsListTheirPrefix) {
    const auto file = Program(0x0801, {{10, kClearHi}, {20, {0x89, '1', '0'}}});
    const std::string full = *List(file, true);
    EXPECT_EQ(full, "10 PRINT\"{clear}HI\"\r20 GOTO10\r");
    for (size_t length = 2; length <= file.size(); ++length) {
        // An exact-size copy, so a read past the end is caught by the sanitizer.
        const std::vector<uint8_t> prefix(file.begin(), file.begin() + length);
        const auto listing = List(prefix, true);
        ASSERT_TRUE(listing) << length;
        EXPECT_EQ(full.compare(0, listing->size(), *listing), 0) << length;
    }
    EXPECT_EQ(List({0x01, 0x08, 0x0F, 0x08, 10, 0, 0x99, 0x22}, true), "10 PRINT\"");
}

} // namespace
} // namespace tessarind
