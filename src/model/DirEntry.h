#pragma once
// A 32-byte directory slot, always worked on in place inside its directory block.

#include <cstdint>
#include <cstring>
#include <span>

namespace tessarind {

inline constexpr int kBlockSize = 256;
inline constexpr int kSlotSize = 32;
inline constexpr int kSlotsPerBlock = 8;
inline constexpr int kNameLength = 16;
inline constexpr uint8_t kPad = 0xA0; // shifted space, pads names

enum FileTypeCode : int { kDel = 0, kSeq = 1, kPrg = 2, kUsr = 3, kRel = 4, kCbm = 5, kDir = 6 };
inline constexpr uint8_t kTypeClosed = 0x80;
inline constexpr uint8_t kTypeLocked = 0x40;

struct DirEntryOffset {
    static constexpr int linkTrack = 0, linkSector = 1, type = 2, firstTrack = 3, firstSector = 4,
                         name = 5, sideTrack = 21, sideSector = 22, recordLength = 23,
                         geosType = 24, year = 25, month = 26, day = 27, hour = 28, minute = 29,
                         blocks = 30;
};

class DirEntry {
public:
    DirEntry() = default;
    explicit DirEntry(uint8_t* slot) : p_(slot) {}

    explicit operator bool() const { return p_ != nullptr; }
    uint8_t* data() const { return p_; }

    uint8_t& type() const { return p_[DirEntryOffset::type]; }
    int typeCode() const { return p_[DirEntryOffset::type] & 7; }
    bool closed() const { return (type() & kTypeClosed) != 0; }
    bool locked() const { return (type() & kTypeLocked) != 0; }
    uint8_t& firstTrack() const { return p_[DirEntryOffset::firstTrack]; }
    uint8_t& firstSector() const { return p_[DirEntryOffset::firstSector]; }
    std::span<uint8_t, kNameLength> name() const {
        return std::span<uint8_t, kNameLength>(p_ + DirEntryOffset::name, kNameLength);
    }
    uint8_t& sideTrack() const { return p_[DirEntryOffset::sideTrack]; }
    uint8_t& sideSector() const { return p_[DirEntryOffset::sideSector]; }
    uint8_t& recordLength() const { return p_[DirEntryOffset::recordLength]; }
    uint8_t& geosType() const { return p_[DirEntryOffset::geosType]; }
    uint16_t blocks() const {
        return static_cast<uint16_t>(p_[DirEntryOffset::blocks] | (p_[DirEntryOffset::blocks + 1] << 8));
    }
    void setBlocksRaw(uint16_t n) const {
        p_[DirEntryOffset::blocks] = static_cast<uint8_t>(n & 0xFF);
        p_[DirEntryOffset::blocks + 1] = static_cast<uint8_t>(n >> 8);
    }
    // GEOS files: a SEQ/PRG/USR/DEL type, structure 0 or 1, and an info block.
    bool isGeos() const {
        return (type() & 4) == 0 && recordLength() <= 1 && (sideTrack() != 0 || sideSector() != 0);
    }

private:
    uint8_t* p_ = nullptr;
};

} // namespace tessarind
