#include "text/BasicDetokenizer.h"

#include <cstdio>
#include <cstring>

#include "text/Petscii.h"

namespace tessarind {

namespace {

constexpr uint8_t kFirstToken = 0x80;
constexpr uint8_t kLastToken = 0xCB;

constexpr const char* kKeywords[kLastToken - kFirstToken + 1] = {
    "END",  "FOR",    "NEXT",    "DATA",   "INPUT#", "INPUT", "DIM",  "READ", "LET",  "GOTO",
    "RUN",  "IF",     "RESTORE", "GOSUB",  "RETURN", "REM",   "STOP", "ON",   "WAIT", "LOAD",
    "SAVE", "VERIFY", "DEF",     "POKE",   "PRINT#", "PRINT", "CONT", "LIST", "CLR",  "CMD",
    "SYS",  "OPEN",   "CLOSE",   "GET",    "NEW",    "TAB(",  "TO",   "FN",   "SPC(", "THEN",
    "NOT",  "STEP",   "+",       "-",      "*",      "/",     "^",    "AND",  "OR",   ">",
    "=",    "<",      "SGN",     "INT",    "ABS",    "USR",   "FRE",  "POS",  "SQR",  "RND",
    "LOG",  "EXP",    "COS",     "SIN",    "TAN",    "ATN",   "PEEK", "LEN",  "STR$", "VAL",
    "ASC",  "CHR$",   "LEFT$",   "RIGHT$", "MID$",   "GO"};

void Append(std::vector<uint8_t>& out, const char* text) {
    out.insert(out.end(), text, text + std::strlen(text));
}

enum class State { LinkLow, LinkHigh, NumberLow, NumberHigh, Body, Quoted };

} // namespace

bool ListedByName(uint8_t code) {
    return (code >= 1 && code <= 31) || code == 0x5C || code >= 0x5E;
}

const char* BasicKeyword(uint8_t token) {
    if (token < kFirstToken || token > kLastToken) return nullptr;
    return kKeywords[token - kFirstToken];
}

std::optional<std::vector<uint8_t>> DetokenizeProgram(std::span<const uint8_t> file,
                                                      bool useBasText) {
    if (file.size() < 2) return std::nullopt;
    const unsigned loadAddress = file[0] | (file[1] << 8);
    if (loadAddress != 0x0801 && loadAddress != 0x1C01) return std::nullopt;

    std::vector<uint8_t> out;
    out.reserve(file.size() + file.size() / 10);

    State state = State::LinkLow;
    unsigned lineNumber = 0;
    for (uint8_t b : file.subspan(2)) {
        switch (state) {
        case State::LinkLow:
            state = State::LinkHigh;
            break;
        case State::LinkHigh:
            // Only the high byte matters: no line lives in the zero page.
            if (b == 0) return out;
            state = State::NumberLow;
            break;
        case State::NumberLow:
            lineNumber = b;
            state = State::NumberHigh;
            break;
        case State::NumberHigh: {
            lineNumber |= static_cast<unsigned>(b) << 8;
            char text[8];
            const int length = std::snprintf(text, sizeof text, "%u ", lineNumber);
            out.insert(out.end(), text, text + length);
            state = State::Body;
            break;
        }
        case State::Body:
            if (b == 0) {
                out.push_back(0x0D);
                state = State::LinkLow;
            } else if (b == 0x22) {
                out.push_back(b);
                state = State::Quoted;
            } else if (b >= kFirstToken && b <= kLastToken) {
                Append(out, BasicKeyword(b));
            } else if (b > kLastToken && b < 0xFF) {
                // The interpreter lists these by subtracting 76, landing on $80-$B2.
                Append(out, BasicKeyword(static_cast<uint8_t>(b - 76)));
            } else {
                out.push_back(b);
            }
            break;
        case State::Quoted:
            if (b == 0) {
                out.push_back(0x0D);
                state = State::LinkLow;
            } else if (b == 0x22) {
                out.push_back(b);
                state = State::Body;
            } else if (useBasText && ListedByName(b)) {
                out.push_back('{');
                Append(out, BasTextCodeName(b));
                out.push_back('}');
            } else {
                out.push_back(b);
            }
            break;
        }
    }
    return out;
}

} // namespace tessarind
