#pragma once
// Host text compared without regard to the case of ASCII letters (extensions, file names,
// setting names).

#include <cctype>
#include <string_view>

namespace tessarind {

inline bool SameCharIgnoringCase(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

inline bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (!SameCharIgnoringCase(text[i], prefix[i])) return false;
    return true;
}

inline bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithIgnoringCase(a, b);
}

} // namespace tessarind
