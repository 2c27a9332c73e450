#pragma once
// GEOS files built block by block on an image, and Wraptor archives written bit by bit, so
// each test shows its input.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/DiskImage.h"

namespace tessarind::testing {

struct GeosFileSpec {
    std::string name;     // raw PETSCII bytes
    uint8_t type = 0x83;  // closed USR, as GEOS writes most files
    uint8_t geosType = 6; // application
    bool vlir = false;
    std::vector<uint8_t> data;                                // sequential: the data chain
    std::vector<std::optional<std::vector<uint8_t>>> records; // VLIR: none = empty record
};

// 254 bytes of info block data: the icon header (3 bytes wide, 21 high, $BF), a patterned
// icon, the CBM type, GEOS type and structure, then patterned text.
std::vector<uint8_t> InfoBlockData(const GeosFileSpec& file, uint32_t seed = 7);

// Writes the info block (link $00 $FF), the data chain or the records and the index block,
// and lists the entry after the image's entries. An empty entry when the disk is full.
DirEntry AddGeosFile(DiskImage& image, const GeosFileSpec& file);

// The bytes of record `k` of a VLIR entry, read from its index block; none for an empty one.
std::optional<std::vector<uint8_t>> RecordData(DiskImage& image, DirEntry entry, int k);

// A Wraptor bit stream, most significant bit first.
class WraptorWriter {
public:
    // The signature, the name with its zero byte and the type byte of a file.
    void Start(const std::string& name, uint8_t type);
    void Literal(uint8_t byte);
    void Literals(const std::vector<uint8_t>& bytes);
    // Copies `count` bytes from window position `offset` - 1 on.
    void Match(unsigned offset, unsigned count);
    void Widen();
    // The end code, the byte boundary and the two bytes after the stream.
    void End();
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    void Bits(unsigned value, int count);
    std::vector<uint8_t> bytes_;
    int used_ = 8; // bits used of the last byte
    int width_ = 8;
};

// A Wraptor archive of files packed as literals only: (name, type byte, unpacked stream).
struct WraptorFile {
    std::string name;
    uint8_t type = 3;
    std::vector<uint8_t> unpacked;
};
std::vector<uint8_t> WraptorArchive(const std::vector<WraptorFile>& files);

// A record as a Wraptor GEOS stream holds it: chunks of at most `chunk` bytes, each with a
// two-byte header whose bit 15 says that another chunk follows.
std::vector<uint8_t> WraptorRecord(const std::vector<uint8_t>& bytes, std::size_t chunk);

} // namespace tessarind::testing
