#pragma once
// 1541 images with the damage that crashes, other tools and cut downloads leave behind, as the
// bytes of the image file. The tests read them, and the fuzz regressions keep them.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessarind::testing {

// LOOP: a 5,000-byte PRG whose first block links to itself. FAR: a 600-byte PRG whose second
// block links to track 99. GAP: a 600-byte SEQ whose first block links to sector 30 of its
// track, which the track does not have. WHOLE: an intact 300-byte SEQ.
std::vector<uint8_t> BrokenChainsDisk();

// Three 600-byte files with type bytes other tools write: ODD 0xFF, SEVEN 0x87 and DIRLIKE
// 0x86 (a sub-directory on disks that have them). DIRLIKE's second block reads as a directory
// that lists a file at 30/0; the BAM is right, as cc1541 leaves it.
std::vector<uint8_t> UnusualTypesDisk();

// A disk holding the 300-byte PRG ONE, cut to `size` bytes or padded to it with bytes that no
// sector covers (0x5A), as a download cut short or a tool's trailer leaves it.
std::vector<uint8_t> ResizedDisk(size_t size);

} // namespace tessarind::testing
