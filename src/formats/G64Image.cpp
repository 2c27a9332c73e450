#include "formats/G64Image.h"

#include <algorithm>

#include "formats/GcrDecoder.h"
#include "model/CommandId.h"
#include "model/FormatRegistry.h"

namespace tessarind {

namespace {

// The error-table code each decoding result is stored as.
uint8_t CodeOf(GcrResult result) {
    switch (result) {
    case GcrResult::Ok:
        return ErrorCodeTable[0].code;
    case GcrResult::HeaderBlockNotFound:
        return ErrorCodeTable[1].code;
    case GcrResult::DataBlockNotPresent:
        return ErrorCodeTable[3].code;
    case GcrResult::DataChecksum:
        return ErrorCodeTable[4].code;
    case GcrResult::HeaderChecksum:
        return ErrorCodeTable[7].code;
    }
    return ErrorCodeTable[1].code;
}

// The path with the 1541 extension in place of its own (or after the name when it has none).
std::string WithExtension(const std::string& path, std::string_view extension) {
    const size_t nameStart = path.size() - DiskImage::FileNamePart(path).size();
    const size_t dot = path.rfind('.');
    std::string renamed = dot == std::string::npos || dot < nameStart ? path : path.substr(0, dot);
    return renamed + std::string(extension);
}

} // namespace

G64Image::G64Image(Settings* settings) : D64Image(GeometryAs(FormatId::G64), settings) {}

bool G64Image::LoadFile(const std::string& path) {
    rawPending_ = D64Image::LoadFile(path);
    return rawPending_;
}

bool G64Image::LoadFromMemory(std::span<const uint8_t> data) {
    Store().Assign(std::vector<uint8_t>(data.begin(), data.end()));
    rawPending_ = true;
    AfterLoad();
    Refresh();
    return true;
}

std::string G64Image::DefaultExtension() const {
    return std::string(FindRowById(FormatId::D64)->extension);
}

void G64Image::AfterLoad() {
    if (!rawPending_) {
        // A blank 1541 image, made before bytes from memory are laid over it.
        D64Image::AfterLoad();
        return;
    }
    rawPending_ = false;
    SuspendRecording quiet(*this);
    Decode();
    // Nothing here is the user's edit, and the GCR file is never written back.
    ClearJournal();
    SetModified(false);
    SetFlag(kFlagUntitled, true);
}

void G64Image::Decode() {
    if (!path().empty()) SetPath(WithExtension(path(), DefaultExtension()));
    std::vector<uint8_t> sectors;
    Store().Swap(sectors);
    raw_ = std::move(sectors);
    Store().Assign(kImageBytes, FillByte());

    extraTracks_.assign(kExtensionBytes, FillByte());
    SetExtendedTracks(true);
    if (!(flags() & kFlagErrorCodes)) HandleCommand(static_cast<int>(CommandId::SectorErrors));
    errorBytes_.assign(kErrorCount40, CodeOf(GcrResult::HeaderBlockNotFound));

    const GcrTracks tracks = DecodeG64(raw_, Layout(), kExtendedTracks, FillByte());
    bool extendedFound = false;
    for (int t = 1; t <= kExtendedTracks; ++t) {
        const std::vector<GcrSector>& track = tracks[static_cast<size_t>(t - 1)];
        for (int s = 0; s < static_cast<int>(track.size()); ++s) {
            const GcrSector& sector = track[static_cast<size_t>(s)];
            if (!sector.found) continue;
            SetErrorCode(t, s, CodeOf(sector.result));
            if (uint8_t* block = SectorPointer(t, s))
                std::copy(sector.data.begin(), sector.data.end(), block);
            extendedFound = extendedFound || t > kTracks;
        }
    }
    if (!extendedFound) SetExtendedTracks(false);
}

} // namespace tessarind
