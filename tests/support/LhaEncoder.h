#pragma once
// Writes LHA archives for the tests: a "-lh1-" coder (4 KB sliding dictionary, greedy longest
// matches, adaptive Huffman code) and level-0 member headers, so that the reader can be fed
// archives that the peer tool has checked.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tessarind::testing {

// The "-lh1-" code of `data`. The dictionary starts out as spaces, so matches may reach
// before the first byte.
std::vector<uint8_t> EncodeLh1(std::span<const uint8_t> data);

struct LhaMember {
    std::string name; // the name field as stored: may end in a zero byte and a type letter
    std::vector<uint8_t> data;
    bool packed = true;          // "-lh1-", else stored as "-lh0-"
    std::optional<uint16_t> crc; // a stored CRC other than the data's
    uint8_t level = 0;           // the level byte (the layout stays level 0)
};

// One member: its header, then its data.
std::vector<uint8_t> LhaMemberBytes(const LhaMember& member);
// The members one after the other and the zero byte that ends an archive.
std::vector<uint8_t> LhaArchive(const std::vector<LhaMember>& members);

// The name field of a member with a CBM type letter: the name, a zero byte, the letter.
std::string TypedLhaName(const std::string& name, char letter);

} // namespace tessarind::testing
