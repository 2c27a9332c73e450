#pragma once
// LHA archives of the early LHarc family as the Commodore tools wrote them: level-0 member
// headers, members stored ("-lh0-") or packed with a 4 KB sliding dictionary and an adaptive
// Huffman code ("-lh1-"), and the self-extracting form with its C64 stub in front.

#include <cstddef>
#include <cstdint>
#include <span>

namespace tessarind {

class DiskImage;
class Interaction;

// Unpacks every member into `target`, listed from its current end on. True on success; a
// structural fault (short or damaged header, unknown method, data running past the end of the
// archive, a broken code, a member that does not fit) fails the whole archive without a
// message. A CRC mismatch only warns (when interactive) and goes on. When interactive, a
// first member named "title" is shown through ui->ShowText instead of being written.
bool UnpackLha(DiskImage& target, std::span<const uint8_t> archive, bool interactive,
               Interaction* ui);

// A self-extracting LHA: skips the C64 unpacker in front (its length told by the byte at
// offset 103) and unpacks the LHA data behind it.
bool UnpackSfx(DiskImage& target, std::span<const uint8_t> archive, bool interactive,
               Interaction* ui);

// Where the LHA data of a self-extracting archive begins, or 0 when the stub is not one of
// the two known ones.
std::size_t SfxDataOffset(std::span<const uint8_t> archive);

// Decodes a "-lh1-" stream into exactly out.size() bytes. False when the code needs bits
// beyond `coded` or a match would run past the end of `out`.
bool DecodeLh1(std::span<const uint8_t> coded, std::span<uint8_t> out);

// CRC-16/ARC (reflected polynomial 0xA001, initial value 0), continued from `crc`.
uint16_t LhaCrc16(std::span<const uint8_t> bytes, uint16_t crc = 0);

} // namespace tessarind
