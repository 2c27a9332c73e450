#include "archives/Zipcode.h"

#include <algorithm>
#include <array>

#include "formats/D64Image.h"
#include "model/SafeFile.h"

namespace tessarind {

namespace {

constexpr int kSectorSize = 256;
constexpr std::size_t kRecordMinimum = 3;
constexpr std::size_t kMaxSetName = 16;

enum Method { kStored = 0, kFill = 1, kPacked = 2, kNone = 3 };

// Reads the records of a part through a cursor that never leaves its bytes.
struct PartReader {
    std::span<const uint8_t> bytes;
    std::size_t at = 0;

    std::size_t Remaining() const { return at < bytes.size() ? bytes.size() - at : 0; }
    uint8_t Next() { return at < bytes.size() ? bytes[at++] : 0; }
};

// A packed sector: runs of the marker byte's count and value, other bytes as they are. A run
// that would pass the end of the sector ends the sector there.
void UnpackSector(std::span<const uint8_t> packed, uint8_t marker,
                  std::array<uint8_t, kSectorSize>& sector, int& filled) {
    filled = 0;
    for (std::size_t i = 0; i < packed.size() && filled < kSectorSize;) {
        if (packed[i] != marker) {
            sector[filled++] = packed[i++];
            continue;
        }
        if (i + 2 >= packed.size()) break;
        const int count = packed[i + 1];
        const uint8_t value = packed[i + 2];
        i += 3;
        if (filled + count > kSectorSize) break;
        std::fill_n(sector.begin() + filled, count, value);
        filled += count;
    }
}

} // namespace

int ZipcodePartNumber(std::string_view fileName) {
    if (fileName.size() < 2 || fileName[1] != '!' || fileName[0] < '1' || fileName[0] > '5')
        return 0;
    return fileName[0] - '0';
}

std::string ZipcodeSetName(std::string_view fileName) {
    std::string name(fileName.substr(std::min<std::size_t>(2, fileName.size()), kMaxSetName));
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

bool DecodeZipcodePart(DiskImage& image, std::span<const uint8_t> part) {
    if (part.size() < 2) return false;
    PartReader reader{part, 2};
    if (part[0] == 0xFE && part[1] == 0x03)
        reader.at += 2; // the disk ID: the image keeps the one it was formatted with
    else if (part[0] != 0x00 || part[1] != 0x04)
        return false;
    std::array<uint8_t, kSectorSize> sector{};
    while (reader.Remaining() >= kRecordMinimum) {
        const uint8_t first = reader.Next();
        const int track = first & 0x3F;
        const int number = reader.Next();
        // A record for a sector the image lacks is read past and dropped.
        uint8_t* target = image.SectorPointer(track, number);
        switch (first >> 6) {
        case kStored:
            if (reader.Remaining() < kSectorSize) return true;
            if (target) std::copy_n(part.begin() + reader.at, kSectorSize, target);
            reader.at += kSectorSize;
            break;
        case kFill: {
            const uint8_t value = reader.Next();
            if (target) std::fill_n(target, kSectorSize, value);
            break;
        }
        case kPacked: {
            const std::size_t length = reader.Next();
            const uint8_t marker = reader.Next();
            const std::span<const uint8_t> packed =
                part.subspan(std::min(reader.at, part.size()))
                    .first(std::min(length, reader.Remaining()));
            reader.at += packed.size();
            int filled = 0;
            UnpackSector(packed, marker, sector, filled);
            if (target) std::copy_n(sector.begin(), filled, target);
            break;
        }
        default: // the record only names the sector
            break;
        }
    }
    return true;
}

std::unique_ptr<DiskImage> BuildZipcodeSet(const ZipcodeSource& source, const std::string& name,
                                           Interaction* owner, bool interactive,
                                           Settings* settings) {
    auto image = std::make_unique<D64Image>(settings);
    if (!image->Open(owner, name.empty() ? std::string("New Disk") : name, false, true))
        return nullptr;
    {
        DiskImage::SuspendRecording quiet(*image);
        for (int part = kZipcodeParts; part >= 1; --part) {
            std::optional<std::vector<uint8_t>> bytes = source.read(part);
            if (!bytes) {
                if (part < kZipcodeParts && interactive && owner)
                    ReportError(owner, "Unable to Open File " + source.name(part));
                continue;
            }
            if (part == kZipcodeParts) image->SetExtendedTracks(true);
            DecodeZipcodePart(*image, *bytes);
        }
    }
    image->ClearJournal();
    image->SetFlag(kFlagUntitled, true);
    image->Refresh();
    image->SetModified(true);
    return image;
}

std::unique_ptr<DiskImage> OpenZipcodeSet(Interaction* owner, const std::string& hostPath,
                                          bool interactive, Settings* settings) {
    const std::string fileName = DiskImage::FileNamePart(hostPath);
    if (ZipcodePartNumber(fileName) == 0) return nullptr;
    const std::string folder = hostPath.substr(0, hostPath.size() - fileName.size());
    auto partName = [fileName](int part) {
        std::string name = fileName;
        name[0] = static_cast<char>('0' + part);
        return name;
    };
    ZipcodeSource source{[&](int part) -> std::optional<std::vector<uint8_t>> {
                             std::vector<uint8_t> bytes;
                             bool openFailed = false;
                             if (!ReadWholeFile(folder + partName(part), bytes, openFailed))
                                 return std::nullopt;
                             return bytes;
                         },
                         partName};
    return BuildZipcodeSet(source, ZipcodeSetName(fileName), owner, interactive, settings);
}

} // namespace tessarind
