#pragma once
// Conversions between PETSCII and host text. Every name or text that crosses between the
// Commodore world and the host goes through these.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "text/Settings.h"

namespace tessarind {

// Converts PETSCII bytes into `dest` (capacity counts the terminating zero). Stops while
// fewer than two bytes of capacity remain. With useReplacement, bytes found in the
// substitution list of `settings` become their text. Returns the number of characters
// written (without the terminating zero).
size_t PetsciiToAscii(std::span<const uint8_t> src, char* dest, size_t capacity, bool fileNameMode,
                      bool useReplacement, bool keepCase, const Settings& settings);
// Convenience form with an unbounded destination.
std::string PetsciiToAscii(std::span<const uint8_t> src, bool fileNameMode, bool useReplacement,
                           bool keepCase, const Settings& settings);

// Converts host text to PETSCII in place (names from the host or from archives): lower-case
// letters become the unshifted letters 0x41-0x5A, upper-case ones the shifted 0xC1-0xDA,
// unless keepLetters.
void AsciiToPetsciiName(std::span<uint8_t> buffer, bool keepLetters);
// A host name as a 16-byte CBM name: converted and padded with 0xA0, cut to 16.
std::array<uint8_t, 16> PetsciiName(std::string_view host);

// A host-safe file name for a 16-byte CBM name (cut at its first 0xA0).
std::string HostFileName(std::span<const uint8_t> name, size_t capacity, const Settings& settings);

// The BasText name of a PETSCII code, written inside braces by BASIC listings.
const char* BasTextCodeName(uint8_t code);

// The one character that stands for a PETSCII code in the ASCII form of a listing, so that
// every byte of a name takes one column: its ASCII conversion where that is one printable
// character, else kListingReplacement. lowerCase selects the lower/upper-case set.
inline constexpr char kListingReplacement = '?';
char ListingCharacter(uint8_t code, bool lowerCase);
// A CBM name as the ASCII listing prints it, up to its first 0xA0.
std::string ListedName(std::span<const uint8_t> name, bool lowerCase);
// Every byte as its listing character.
std::string ListingText(std::span<const uint8_t> bytes, bool lowerCase);


} // namespace tessarind
