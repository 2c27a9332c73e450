#include "formats/D64Image.h"

#include <algorithm>
#include <cstring>

#include "model/CommandId.h"
#include "model/FormatRegistry.h"
#include "model/ImageObserver.h"

namespace tessarind {

const std::array<ErrorCodeRow, 9> ErrorCodeTable = {{
    {1, 0, "OK"},
    {2, 20, "Header Block Not Found"},
    {3, 21, "No SYNC Character."},
    {4, 22, "Data Block Not Present"},
    {5, 23, "Checksum Error in Data Block"},
    {7, 25, "Write Verify Error"},
    {8, 26, "Write Protect On"},
    {9, 27, "Checksum Error in Header Block"},
    {11, 29, "Disk ID Mismatch"},
}};

namespace {
constexpr Zone kZones[] = {{1, 17, 21}, {18, 24, 19}, {25, 30, 18}, {31, 40, 17}};
constexpr TrackLayout kLayout(kZones);
constexpr BamRange kBamRanges[] = {{1, 35, 18, 0, 4, 4, 18, 0, 5, 4, 3}};
const BamMap kBam(kBamRanges, kLayout);
constexpr DiskGeometry kGeometry{FormatId::D64, &kLayout, &kBam, D64Image::kTracks, 21, D64Image::kDirTrack, 1,
                                 D64Image::kDirTrack, 0, 0x90, D64Image::kImageBytes};
} // namespace

const TrackLayout& D64Image::Layout() { return kLayout; }

DiskGeometry D64Image::GeometryAs(int formatId) {
    DiskGeometry geometry = kGeometry;
    geometry.formatId = formatId;
    return geometry;
}

D64Image::D64Image(Settings* settings) : ZonedDiskImage(kGeometry, settings) {}

uint8_t* D64Image::SectorPointer(int track, int sector) {
    if (track > kTracks && track <= kExtendedTracks && (flags_ & kFlagExtraTracks)) {
        size_t offset = kBlockSize * static_cast<size_t>((track - 36) * 17 + sector);
        if (sector < 0 || sector >= 17 || offset + kBlockSize > extraTracks_.size()) return nullptr;
        return extraTracks_.data() + offset;
    }
    return track <= kTracks ? ZonedDiskImage::SectorPointer(track, sector) : nullptr;
}

bool D64Image::NextDirSector(int& track, int& sector) {
    track = kDirTrack;
    if (sector == 0) return false;
    if (sector < 0) {
        sector = 1;
        return true;
    }
    // Every third sector, wrapping twice: 1, 4, ... 16, 2, 5, ... 17, 3, 6, ... 18.
    sector += 3;
    if (sector == 19)
        sector = 2;
    else if (sector == 20)
        sector = 3;
    else if (sector >= 21)
        sector = -1;
    return true;
}

void D64Image::FormatHeader() {
    uint8_t* bam = SectorPointer(kDirTrack, 0);
    bam[0] = kDirTrack;
    bam[1] = 1;
    bam[2] = 0x41;
    std::fill(bam + 0x90, bam + 0xAB, kPad);
    bam[0xA5] = '2';
    bam[0xA6] = 'A';
    uint8_t* dir = SectorPointer(kDirTrack, 1);
    std::fill(dir, dir + kBlockSize, 0);
    dir[1] = 0xFF;
}

void D64Image::AfterLoad() {
    const size_t size = Store().Size();
    bool errors = false, extended = false;
    switch (size) {
    case kImageBytes + kErrorCount35: errors = true; break;
    case kImageBytes + kExtensionBytes: extended = true; break;
    case kImageBytes + kExtensionBytes + kErrorCount40: errors = extended = true; break;
    default: return; // 35 tracks, or raw sectors: sectors past the end are absent
    }
    if (errors) {
        errorByteCount_ = extended ? kErrorCount40 : kErrorCount35;
        errorBytes_.assign(kErrorCount40, 0);
        const std::span<const uint8_t> whole = Store().Contents();
        std::copy(whole.end() - errorByteCount_, whole.end(), errorBytes_.begin());
        flags_ |= kFlagErrorCodes;
        // Drive error numbers (0 = OK, 20..29) rather than the stored codes.
        if (errorBytes_[0] == 0 || errorBytes_[0] > 12) {
            flags_ |= kFlagErrorNumbers;
            for (int i = 0; i < errorByteCount_; ++i)
                errorBytes_[i] = errorBytes_[i] == 0 ? 1 : static_cast<uint8_t>(errorBytes_[i] - 18);
        }
    }
    if (extended) {
        const std::span<const uint8_t> extra = Store().Contents().subspan(kImageBytes, kExtensionBytes);
        extraTracks_.assign(extra.begin(), extra.end());
        flags_ |= kFlagExtraTracks;
        trackCount_ = kExtendedTracks;
    }
    Store().Resize(kImageBytes);
}

int D64Image::GetErrorCode(int track, int sector) {
    if (!(flags_ & kFlagErrorCodes) || track > kExtendedTracks) return 0;
    int index = kLayout.BlockIndex(track, sector);
    if (index < 0 || static_cast<size_t>(index) >= errorBytes_.size()) return 0;
    for (size_t row = 0; row < ErrorCodeTable.size(); ++row)
        if (ErrorCodeTable[row].code == errorBytes_[index]) return static_cast<int>(row);
    return 0;
}

void D64Image::SetErrorCode(int track, int sector, int code) {
    if (!(flags_ & kFlagErrorCodes) || track > kExtendedTracks) return;
    int index = kLayout.BlockIndex(track, sector);
    if (index < 0 || static_cast<size_t>(index) >= errorBytes_.size()) return;
    uint8_t old = errorBytes_[index];
    Record(UndoKind::ErrorCode, track, sector, 0, std::span<const uint8_t>(&old, 1), "Error");
    errorBytes_[index] = static_cast<uint8_t>(code);
    SetModified(true);
}

void D64Image::ShowCommandChecks() {
    if (!directoryView_) return;
    directoryView_->CheckCommand(static_cast<int>(CommandId::SectorErrors), flags_ & kFlagErrorCodes);
    directoryView_->CheckCommand(static_cast<int>(CommandId::ExtendedTracks), flags_ & kFlagExtraTracks);
    directoryView_->CheckCommand(static_cast<int>(CommandId::WriteErrorNumbers), flags_ & kFlagErrorNumbers);
}

bool D64Image::HandleCommand(int commandId) {
    switch (static_cast<CommandId>(commandId)) {
    case CommandId::SectorErrors:
        if (!(flags_ & kFlagErrorCodes)) {
            // The table survives switching off, so its codes come back when switched on.
            errorByteCount_ = (flags_ & kFlagExtraTracks) ? kErrorCount40 : kErrorCount35;
            if (errorBytes_.empty()) errorBytes_.assign(kErrorCount40, 0);
        }
        Record(UndoKind::ErrorCodesSwitched, 0, 0, 0, {}, "Sector Errors");
        flags_ ^= kFlagErrorCodes;
        if (bamView_) bamView_->Redraw();
        SetModified(true);
        break;
    case CommandId::ExtendedTracks: {
        bool on = !(flags_ & kFlagExtraTracks);
        if (!SetExtendedTracks(on)) return true;
        Record(UndoKind::ExtraTracks, 0, 0, 0, {}, "Extended Tracks");
        break;
    }
    case CommandId::WriteErrorNumbers:
        flags_ ^= kFlagErrorNumbers;
        break;
    default:
        return false;
    }
    ShowCommandChecks();
    return true;
}


void D64Image::UpdateCommands(CommandStates& states) {
    for (CommandId id : {CommandId::SectorErrors, CommandId::ExtendedTracks, CommandId::WriteErrorNumbers})
        states.Enable(static_cast<int>(id), true);
    states.Check(static_cast<int>(CommandId::SectorErrors), flags_ & kFlagErrorCodes);
    states.Check(static_cast<int>(CommandId::ExtendedTracks), flags_ & kFlagExtraTracks);
    states.Check(static_cast<int>(CommandId::WriteErrorNumbers), flags_ & kFlagErrorNumbers);
}



void D64Image::TrackOrder(int track, std::vector<int>& order) const {
    if (track == 0) {
        // Outward from the directory track, the lower track of each pair first.
        for (int k = 1; k < kDirTrack; ++k) {
            order.push_back(kDirTrack - k);
            order.push_back(kDirTrack + k);
        }
    } else if (track < kDirTrack) {
        AppendRun(order, track, 1);
        AppendRun(order, kDirTrack + 1, kTracks);
    } else {
        if (track <= kTracks) AppendRun(order, std::max(track, kDirTrack + 1), kTracks);
        AppendRun(order, kDirTrack - 1, 1);
    }
}

bool D64Image::SetExtendedTracks(bool on) {
    if (on) {
        flags_ |= kFlagExtraTracks;
        if (extraTracks_.empty()) extraTracks_.assign(kExtensionBytes, FillByte());
    } else {
        flags_ &= ~kFlagExtraTracks;
    }
    errorByteCount_ = on ? kErrorCount40 : kErrorCount35;
    trackCount_ = on ? kExtendedTracks : kTracks;
    if (bamView_) {
        bamView_->SetTrackCount(trackCount_);
        bamView_->Redraw();
    }
    if (sectorEditor_) sectorEditor_->SetTrackCount(trackCount_);
    SetModified(true);
    return true;
}

} // namespace tessarind
