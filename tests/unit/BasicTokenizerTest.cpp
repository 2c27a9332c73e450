#include "text/BasicTokenizer.h"

#include <gtest/gtest.h>

#include "text/BasicDetokenizer.h"
#include "text/Petscii.h"

namespace tessarind {
namespace {

// The tokenized body of a one-line program.
std::vector<uint8_t> Body(std::string_view line) {
    const auto file = TokenizeBasic(line);
    if (!file || file->size() < 9) return {};
    return {file->begin() + 6, file->end() - 3};
}

std::string Listed(std::string_view source, uint16_t load = 0x0801) {
    const auto file = TokenizeBasic(source, load);
    if (!file) return "<refused>";
    const auto listing = DetokenizeProgram(*file, true);
    return listing ? std::string(listing->begin(), listing->end()) : "<not listed>";
}

TEST(TokenizeBasic, BuildsLinkedProgram) {
    EXPECT_EQ(TokenizeBasic("10 PRINT \"HELLO\""),
              (std::vector<uint8_t>{0x01, 0x08, 0x0F, 0x08, 10, 0, 0x99, ' ', '"', 'H', 'E', 'L',
                                    'L', 'O', '"', 0, 0, 0}));
    const auto file = TokenizeBasic("\r\n10 A=1\r\n  \n20 GOTO 10\n", 0x1C01);
    ASSERT_TRUE(file);
    EXPECT_EQ(*file,
              (std::vector<uint8_t>{0x01, 0x1C, 0x09, 0x1C, 10,  0,   'A', 0xB2, '1', 0, 0x12,
                                    0x1C, 20,   0,    0x89, ' ', '1', '0', 0,    0,   0}));
    EXPECT_EQ(TokenizeBasic(""), (std::vector<uint8_t>{0x01, 0x08, 0, 0}));
}

TEST(TokenizeBasic, PrefersLongerKeywords) {
    EXPECT_EQ(Body("1 INPUT#1,A$"), (std::vector<uint8_t>{0x84, '1', ',', 'A', '$'}));
    EXPECT_EQ(Body("1 print#1:input a"), (std::vector<uint8_t>{0x98, '1', ':', 0x85, ' ', 'A'}));
    EXPECT_EQ(Body("1 GOSUB9:GOTO9:GO TO9"),
              (std::vector<uint8_t>{0x8D, '9', ':', 0x89, '9', ':', 0xCB, ' ', 0xA4, '9'}));
    EXPECT_EQ(Body("1 ?X"), (std::vector<uint8_t>{0x99, 'X'}));
    for (int token = 0x80; token <= 0xCB; ++token)
        EXPECT_EQ(Body(std::string("1 ") + BasicKeyword(uint8_t(token))),
                  std::vector<uint8_t>{uint8_t(token)})
            << token;
}

TEST(TokenizeBasic, CopiesQuotesRemarksAndData) {
    EXPECT_EQ(Body("1 \"print?\"to"),
              (std::vector<uint8_t>{'"', 'P', 'R', 'I', 'N', 'T', '?', '"', 0xA4}));
    EXPECT_EQ(Body("1 REM to \"x\" ?"),
              (std::vector<uint8_t>{0x8F, ' ', 'T', 'O', ' ', '"', 'X', '"', ' ', '?'}));
    EXPECT_EQ(Body("1 DATA to,\"a:b\":TO"),
              (std::vector<uint8_t>{0x83, ' ', 'T', 'O', ',', '"', 'A', ':', 'B', '"', ':', 0xA4}));
    EXPECT_EQ(Body("1 \"{clear}{reverse on}{cm d}{A}{pi}{a}{x}{clear\""),
              (std::vector<uint8_t>{'"', 0x93, 0x12, 0xAC, 0xC1, 0xFF, '{', 'A', '}', '{', 'X', '}',
                                    '{', 'C', 'L', 'E', 'A', 'R', '"'}));
    EXPECT_EQ(Body("1 {home}"), (std::vector<uint8_t>{'{', 'H', 'O', 'M', 'E', '}'}));
}

TEST(TokenizeBasic, RefusesBadLines) {
    EXPECT_FALSE(TokenizeBasic("PRINT 1"));
    EXPECT_FALSE(TokenizeBasic("10 PRINT\nX=1"));
    EXPECT_FALSE(TokenizeBasic("64000 END"));
    EXPECT_TRUE(TokenizeBasic("63999 END"));
    EXPECT_TRUE(TokenizeBasic("1 REM" + std::string(251, 'X')));
    EXPECT_FALSE(TokenizeBasic("1 REM" + std::string(255, 'X')));
    EXPECT_FALSE(TokenizeBasic("1 REM" + std::string(250, 'X'), 0xFF00));
}

TEST(TokenizeBasic, ListsBackToTheSource) {
    const std::string source = "10 PRINT\"{clear}{down}HELLO {red}WORLD{pound}\"\r"
                               "20 FOR I=1 TO 10 STEP 2:PRINT#4,I;:NEXT\r"
                               "30 IF A$<>\"\" THEN GOSUB 100\r"
                               "40 DATA 1,\"{f1}\",X:REM \"{home}\" OK\r"
                               "63999 POKE 53280,PEEK(2) AND 15:SYS 64738\r";
    EXPECT_EQ(Listed(source), source);
    EXPECT_EQ(Listed(source, 0x1C01), source);
    EXPECT_EQ(Listed("10 print \"hi\"\n"), "10 PRINT \"HI\"\r");
    for (int code = 1; code < 256; ++code) {
        if (!ListedByName(uint8_t(code))) continue;
        const std::string line = std::string("1 \"{") + BasTextCodeName(uint8_t(code)) + "}\"\r";
        EXPECT_EQ(Listed(line), line) << code;
    }
}

} // namespace
} // namespace tessarind
