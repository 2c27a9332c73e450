#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tessarind {

// Matches a 16-byte CBM name against a 16-byte pattern: "*" matches any run, "?" any one
// character, and 0xA0 ends both the name and the pattern.
bool MatchesPattern(std::span<const uint8_t> pattern, std::span<const uint8_t> name);

} // namespace tessarind
