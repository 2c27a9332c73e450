#pragma once
// The working state of one archive reader run: the archive bytes (not owned), where reading
// stands, the image the members go into and where the next one is listed.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <array>

#include "model/DirEntry.h"

namespace tessarind {

class DiskImage;
class Interaction;

struct UnpackContext {
    UnpackContext(DiskImage& image, std::span<const uint8_t> archive, bool interactive,
                  Interaction* owner, int firstIndex)
        : target(image), bytes(archive), interactive(interactive), ui(owner),
          nextIndex(firstIndex) {}

    DiskImage& target;
    std::span<const uint8_t> bytes; // the archive from its first byte
    std::size_t cursor = 0;         // the current read position in `bytes`
    uint8_t bitMask = 0;            // the current bit of the byte at `cursor`
    bool interactive = false;       // messages may be shown and windows opened
    Interaction* ui = nullptr;
    int nextIndex = 0; // the list position of the next member

    std::size_t Remaining() const { return cursor < bytes.size() ? bytes.size() - cursor : 0; }
    // A message to the user, only when interactive.
    void Tell(const std::string& text) const;
};

// Writes one member into the target as the archive readers all do: the data into a new
// chain, side sectors for a REL member (recordLength 1-254), a closed entry of the CBM type
// code with the name (already padded with shifted spaces) and the block count of the length,
// listed at `nextIndex`, which then moves on. False, with nothing listed, when the image has
// no room for it. `finish`, when given, may change the entry before it is listed (a format
// whose records carry the type byte, block count or date of their own).
bool WriteArchiveMember(UnpackContext& context, std::span<const uint8_t, kNameLength> name,
                        int typeCode, std::span<const uint8_t> data, int recordLength = 0,
                        const std::function<void(DirEntry)>& finish = {});

// The CBM type code a member's type letter names, in either case: D, S, U, R; anything else
// is a program.
int MemberTypeOfLetter(uint8_t letter);

// A member name from the archive's bytes: at most 16 of them, the rest shifted spaces.
std::array<uint8_t, kNameLength> PaddedName(std::span<const uint8_t> bytes);

} // namespace tessarind
