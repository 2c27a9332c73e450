#include "model/NameMatch.h"

#include <string>

#include "model/DirEntry.h"
#include "text/Petscii.h"

namespace tessarind {

namespace {

size_t NameLength(std::span<const uint8_t> s) {
    size_t n = 0;
    while (n < s.size() && s[n] != kPad) ++n;
    return n;
}

// The shifted letters have two codes each; one stands for both.
constexpr uint8_t Folded(uint8_t c) {
    return c >= 0x61 && c <= 0x7A ? static_cast<uint8_t>(c + 0x60) : c;
}

// Iterative glob with one backtrack point: linear enough for 16 characters, no recursion.
template <class Char, class Same>
bool Glob(const Char* pattern, size_t plen, const Char* name, size_t nlen, Same same) {
    size_t p = 0, n = 0, starP = SIZE_MAX, starN = 0;
    while (n < nlen) {
        if (p < plen && (pattern[p] == '?' || same(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (p < plen && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != SIZE_MAX) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < plen && pattern[p] == '*') ++p;
    return p == plen;
}

} // namespace

bool MatchesPattern(std::span<const uint8_t> pattern, std::span<const uint8_t> name) {
    return Glob(pattern.data(), NameLength(pattern), name.data(), NameLength(name),
                [](uint8_t a, uint8_t b) { return Folded(a) == Folded(b); });
}

bool MatchesTypedName(std::string_view typed, std::span<const uint8_t> name) {
    const auto same = [](char a, char b) { return a == b; };
    for (bool lowerCase : {false, true}) {
        const std::string listed = ListedName(name, lowerCase);
        if (Glob(typed.data(), typed.size(), listed.data(), listed.size(), same)) return true;
        // A quote in a name closes it in the listing, as the padding does: what the quotes
        // enclose is the name a user reads.
        const size_t quote = listed.find('"');
        if (quote != std::string::npos &&
            Glob(typed.data(), typed.size(), listed.data(), quote, same))
            return true;
    }
    return typed.size() <= static_cast<size_t>(kNameLength) &&
           MatchesPattern(PetsciiName(typed), name);
}

} // namespace tessarind
