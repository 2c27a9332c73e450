#include "model/NameMatch.h"

#include "model/DirEntry.h"

namespace tessarind {

static size_t NameLength(std::span<const uint8_t> s) {
    size_t n = 0;
    while (n < s.size() && s[n] != kPad) ++n;
    return n;
}

bool MatchesPattern(std::span<const uint8_t> pattern, std::span<const uint8_t> name) {
    const size_t plen = NameLength(pattern), nlen = NameLength(name);
    // Iterative glob with one backtrack point: linear enough for 16 bytes, no recursion.
    size_t p = 0, n = 0, starP = SIZE_MAX, starN = 0;
    while (n < nlen) {
        if (p < plen && (pattern[p] == '?' || pattern[p] == name[n])) {
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

} // namespace tessarind
