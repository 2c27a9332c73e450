#pragma once
// Turns BASIC V2 source text (lines "10 PRINT ...", ASCII) into a tokenized program file
// with its load address; used to build the demo disk from text sources.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tessarind {

// Lines keep their order; letters become unshifted PETSCII letters, and "{name}" inside quotes
// stands for the code of that BasText name. None when a non-blank line does not start with a
// line number (0-63999), when a line tokenizes to more than 255 bytes, or when the program
// would run past $FFFF.
std::optional<std::vector<uint8_t>> TokenizeBasic(std::string_view source,
                                                  uint16_t loadAddress = 0x0801);

} // namespace tessarind
