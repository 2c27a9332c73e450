#pragma once
// BASIC V2 programs as listing text. The text keeps PETSCII byte values except where a
// keyword, a line number or a BasText name is substituted.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tessarind {

// The keyword text of a BASIC V2 token ($80-$CB), or null for any other byte.
const char* BasicKeyword(uint8_t token);

// Whether a byte inside quotes is listed by its BasText name (in braces) when BasText is on.
bool ListedByName(uint8_t code);

// Lists a program file (load address first). None when the file has no load address or it is
// neither $0801 nor $1C01. A truncated program lists up to where its data ends.
std::optional<std::vector<uint8_t>> DetokenizeProgram(std::span<const uint8_t> file,
                                                      bool useBasText);

} // namespace tessarind
