#pragma once
// GEOS files outside a disk: the Convert form, a directory entry, the info block, for VLIR
// files a converted record index, then the data as 254-byte blocks without their links.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "model/DirEntry.h"

namespace tessarind {

class DiskImage;
struct ChainBreak;

inline constexpr std::size_t kConvertHeaderSize = 508;     // entry block and info block
inline constexpr std::size_t kConvertVlirHeaderSize = 762; // plus the converted index

// Whether `bytes` start like a Convert file: long enough and signed.
bool IsConvertFile(std::span<const uint8_t> bytes);

// Writes a Convert file into `image` as a GEOS file listed at `index`, as one undo step
// "Insert File". False on any fault (short file, no signature, a record past the end, no
// room); what was written then stays in the abandoned undo group only.
bool ImportConvert(DiskImage& image, std::span<const uint8_t> bytes, bool interactive, int index);

// The Convert form of a GEOS entry. A chain that breaks off is read as far as it goes and
// `broken` (when given) says where; none when the info block itself cannot be read.
std::optional<std::vector<uint8_t>> ExportConvert(DiskImage& image, DirEntry entry,
                                                  std::optional<ChainBreak>* broken = nullptr);

} // namespace tessarind
