#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tessarind {

// Matches a 16-byte CBM name against a 16-byte pattern: "*" matches any run, "?" any one
// character, and 0xA0 ends both the name and the pattern. The two codes of each shifted
// letter, 0x61-0x7A and 0xC1-0xDA, match alike: they look the same in every listing.
bool MatchesPattern(std::span<const uint8_t> pattern, std::span<const uint8_t> name);

// Matches a name typed on the host ("*" and "?" as above) against a CBM name: the typed text
// may be the name as the ASCII listing prints it (either character set; up to a quote in the
// name, where the listing closes it, or whole) or the name converted as host names are, so
// whatever a listing shows or an extracted file is called can be typed back.
bool MatchesTypedName(std::string_view typed, std::span<const uint8_t> name);

} // namespace tessarind
