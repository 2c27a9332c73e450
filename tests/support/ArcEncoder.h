#pragma once
// Writes C64 ARC and Arkive archives in code, so that the readers can be tried on every
// packing method and the peer that reads them can check what is made here.

#include <cstdint>
#include <string>
#include <vector>

namespace tessarind::testing {

// Text-like bytes, few distinct values (a BASIC listing's): squeezed to short codes.
std::vector<uint8_t> SampleText(size_t size, int seed = 0);

// Runs of every length around the packing limits, of the marker values 0xFE and 0xDB too,
// between noise.
std::vector<uint8_t> SampleRuns();

// Bits packed into bytes least significant bit first, as the ARC methods read them.
class BitWriter {
public:
    void Bit(int bit);
    // The value's bit 0 first.
    void LowFirst(uint32_t value, int count);
    // The value's top bit first.
    void HighFirst(uint32_t value, int count);
    // The bytes so far, the last one filled up with zero bits.
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    int used_ = 8; // bits used of the last byte
};

struct ArcMember {
    std::string name;      // raw PETSCII bytes
    char typeLetter = 'P'; // D, S, P, U or R
    std::vector<uint8_t> data;
    int method = 0;        // 0 stored, 1 run-length, 2 squeezed, 3 crunched, 4 squeezed and
                           // run-length, 5 one-pass crunched
    int version = 2;       // below 2: the marker byte is in the header
    uint8_t marker = 0xFE; // used for versions below 2; 2 and up always pack with 0xFE
    int recordLength = 0;  // REL, versions 2 and up
};

// The run-length form: runs of three or more and every marker byte become marker, count,
// byte (counts 1 to 255).
std::vector<uint8_t> RunLengthPack(const std::vector<uint8_t>& data, uint8_t marker);

// The squeezed form of `values`: the 256 code lengths and codes, then the codes of the
// values. Code lengths are kept within 24 bits.
void Squeeze(const std::vector<uint8_t>& values, BitWriter& out);

// The crunched form of `values`: LZW codes growing from 9 to 12 bits, then the end code and,
// for the one-pass method, the checksum and the length of the unpacked data.
void Crunch(const std::vector<uint8_t>& values, BitWriter& out, bool trailer, uint16_t checksum = 0,
            uint32_t length = 0);

// The checksum an ARC header carries for the unpacked data.
uint16_t ArcChecksum(const std::vector<uint8_t>& data, int version);

// A member's header, with K counting the header and `packed` in 254-byte blocks.
std::vector<uint8_t> ArcHeader(const ArcMember& member, size_t packedSize);

// One member: its header and packed data, not padded.
std::vector<uint8_t> EncodeArcMember(const ArcMember& member);

// The members one after another, each but the last padded to its whole blocks.
std::vector<uint8_t> BuildArc(const std::vector<ArcMember>& members);

// A self-dissolving archive: a stub of `stubBlocks` blocks (at least 4) whose BASIC line
// number tells where the ARC begins, then the ARC. `versionTwo` puts the digit "2" at byte 8
// (the ARC starts on the block); otherwise it starts one byte before.
std::vector<uint8_t> BuildSda(const std::vector<uint8_t>& arc, int stubBlocks, bool versionTwo);

struct ArkMember {
    std::string name;    // raw PETSCII bytes
    uint8_t type = 0x82; // CBM type byte
    std::vector<uint8_t> data;
    int recordLength = 0;                            // REL
    std::vector<uint8_t> stamp = {90, 4, 1, 12, 30}; // year, month, day, hour, minute
};

// An Arkive: the count and 29-byte records in whole blocks, then each member in whole blocks
// (the last one not padded), a REL member followed by its side-sector blocks.
std::vector<uint8_t> BuildArk(const std::vector<ArkMember>& members);

// The side sectors a REL file of `dataBlocks` blocks has.
int RelSideBlocks(size_t dataBlocks);

} // namespace tessarind::testing
