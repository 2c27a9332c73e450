#pragma once
// Builds archives in code: Lynx archives laid out as the Lynx writers lay them out, and the
// parts of Zipcode sets record by record.

#include <cstdint>
#include <string>
#include <vector>

namespace tessarind::testing {

struct LynxMember {
    std::string name; // raw PETSCII bytes, at most 16
    char type = 'P';  // P, S, U, D or R
    std::vector<uint8_t> data;
    int recordLength = 0; // REL only
};

// A Lynx archive: BASIC stub, directory (its side sectors counted in a REL member's blocks),
// members padded to whole blocks except the last.
std::vector<uint8_t> LynxArchive(const std::vector<LynxMember>& members);

// The directory block count a member gets (side sectors included).
int LynxBlocks(const LynxMember& member);

// Zipcode parts: the load address (the first part's with the disk ID), then records.
class ZipcodePartBuilder {
public:
    explicit ZipcodePartBuilder(bool first);
    ZipcodePartBuilder& Stored(int track, int sector, const std::vector<uint8_t>& bytes);
    ZipcodePartBuilder& Fill(int track, int sector, uint8_t value);
    ZipcodePartBuilder& Packed(int track, int sector, uint8_t marker,
                               const std::vector<uint8_t>& packed);
    ZipcodePartBuilder& None(int track, int sector);
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

} // namespace tessarind::testing
