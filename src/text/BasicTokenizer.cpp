#include "text/BasicTokenizer.h"

#include <cstring>

#include "text/BasicDetokenizer.h"
#include "text/Petscii.h"

namespace tessarind {

namespace {

constexpr uint8_t kTokenData = 0x83;
constexpr uint8_t kTokenRem = 0x8F;
constexpr uint8_t kTokenPrint = 0x99;
constexpr unsigned kMaxLineNumber = 63999;
constexpr size_t kMaxBodyLength = 255;

constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

constexpr char ToUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c;
}

// Typed in upper-case mode, every letter is an unshifted PETSCII letter ($41-$5A).
constexpr uint8_t PetsciiOf(char c) {
    return static_cast<uint8_t>(ToUpper(c));
}

struct Match {
    uint8_t code = 0;
    size_t length = 0;
};

// The longest keyword at `pos`, so INPUT# wins over INPUT and GOTO over GO.
Match MatchKeyword(std::string_view text, size_t pos) {
    Match best;
    for (unsigned token = 0x80; token <= 0xFF; ++token) {
        const char* keyword = BasicKeyword(static_cast<uint8_t>(token));
        if (keyword == nullptr) break;
        const size_t length = std::strlen(keyword);
        if (length <= best.length || text.size() - pos < length) continue;
        bool same = true;
        for (size_t k = 0; k < length && same; ++k)
            same = ToUpper(text[pos + k]) == keyword[k];
        if (same) best = {static_cast<uint8_t>(token), length};
    }
    return best;
}

// A "{name}" escape at `pos` (which holds the brace). Only names the listing writes are
// accepted, so listing the result gives the same text back; the first code wins for a name
// used twice.
Match MatchEscape(std::string_view text, size_t pos) {
    const size_t close = text.find('}', pos + 1);
    if (close == std::string_view::npos) return {};
    const std::string_view name = text.substr(pos + 1, close - pos - 1);
    for (unsigned code = 1; code <= 0xFF; ++code) {
        if (ListedByName(static_cast<uint8_t>(code)) &&
            name == BasTextCodeName(static_cast<uint8_t>(code)))
            return {static_cast<uint8_t>(code), close - pos + 1};
    }
    return {};
}

std::vector<uint8_t> TokenizeBody(std::string_view text) {
    enum class Verbatim { No, Rem, Data };
    std::vector<uint8_t> body;
    bool quoted = false;
    Verbatim verbatim = Verbatim::No;
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '"') {
            quoted = !quoted;
            body.push_back(0x22);
            ++i;
            continue;
        }
        if (quoted) {
            if (c == '{') {
                const Match escape = MatchEscape(text, i);
                if (escape.length != 0) {
                    body.push_back(escape.code);
                    i += escape.length;
                    continue;
                }
            }
            body.push_back(PetsciiOf(c));
            ++i;
            continue;
        }
        if (verbatim == Verbatim::Data && c == ':') verbatim = Verbatim::No;
        if (verbatim != Verbatim::No) {
            body.push_back(PetsciiOf(c));
            ++i;
            continue;
        }
        if (c == '?') {
            body.push_back(kTokenPrint);
            ++i;
            continue;
        }
        const Match keyword = MatchKeyword(text, i);
        if (keyword.length != 0) {
            body.push_back(keyword.code);
            i += keyword.length;
            if (keyword.code == kTokenRem) verbatim = Verbatim::Rem;
            if (keyword.code == kTokenData) verbatim = Verbatim::Data;
            continue;
        }
        body.push_back(PetsciiOf(c));
        ++i;
    }
    return body;
}

void PutWord(std::vector<uint8_t>& out, unsigned value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

} // namespace

std::optional<std::vector<uint8_t>> TokenizeBasic(std::string_view source, uint16_t loadAddress) {
    std::vector<uint8_t> out;
    PutWord(out, loadAddress);
    unsigned address = loadAddress;

    size_t start = 0;
    while (start < source.size()) {
        size_t end = source.find('\n', start);
        if (end == std::string_view::npos) end = source.size();
        std::string_view line = source.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        size_t i = 0;
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        if (i == line.size()) continue;

        if (line[i] < '0' || line[i] > '9') return std::nullopt;
        unsigned number = 0;
        for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
            number = number * 10 + static_cast<unsigned>(line[i] - '0');
            if (number > kMaxLineNumber) return std::nullopt;
        }
        // As on the machine, spaces between the number and the statement are not stored.
        while (i < line.size() && line[i] == ' ')
            ++i;

        const std::vector<uint8_t> body = TokenizeBody(line.substr(i));
        if (body.size() > kMaxBodyLength) return std::nullopt;

        const unsigned next = address + 4 + static_cast<unsigned>(body.size()) + 1;
        // The closing link must still fit below $10000.
        if (next + 2 > 0x10000) return std::nullopt;
        PutWord(out, next);
        PutWord(out, number);
        out.insert(out.end(), body.begin(), body.end());
        out.push_back(0);
        address = next;
    }
    PutWord(out, 0);
    return out;
}

} // namespace tessarind
