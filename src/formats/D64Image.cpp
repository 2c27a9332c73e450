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
} // namespace

const TrackLayout& D64Image::Layout() { return kLayout; }
const BamMap& D64Image::Bam() const { return kBam; }

D64Image::D64Image(Settings* settings) : DiskImage(FormatId::D64, settings) {
    dirTrack = kDirTrack;
    dirSector = 1;
    trackCount = kTracks;
    maxSectors = 21;
    headerTrack = kDirTrack;
    headerSector = 0;
}

uint8_t* D64Image::SectorPointer(int track, int sector) {
    if (track < 1 || sector < 0) return nullptr;
    if (track > kTracks && track <= kExtendedTracks && (flags & kFlagExtraTracks)) {
        size_t offset = kBlockSize * static_cast<size_t>((track - 36) * 17 + sector);
        if (sector >= 17 || offset + kBlockSize > extraTracks.size()) return nullptr;
        return extraTracks.data() + offset;
    }
    if (track > kTracks) return nullptr;
    int index = kLayout.BlockIndex(track, sector);
    if (index < 0) return nullptr;
    size_t offset = kBlockSize * static_cast<size_t>(index);
    return offset + kBlockSize <= image.size() ? image.data() + offset : nullptr;
}

uint8_t* D64Image::DiskNamePointer() {
    uint8_t* bam = SectorPointer(kDirTrack, 0);
    return bam ? bam + 0x90 : nullptr;
}

bool D64Image::NextDirSector(int& track, int& sector) {
    track = kDirTrack;
    if (sector == 0) return false;
    if (sector < 0) {
        sector = 1;
        return true;
    }
    sector += 3;
    if (sector == 19)
        sector = 2;
    else if (sector == 20)
        sector = 3;
    else if (sector >= 21)
        sector = -1;
    return true;
}

bool D64Image::IsBlockFree(int track, int sector) { return kBam.IsFree(*this, track, sector); }

void D64Image::ToggleBlock(int track, int sector) {
    if (!kBam.Toggle(*this, track, sector)) return;
    uint8_t pair[2] = {static_cast<uint8_t>(track), static_cast<uint8_t>(sector)};
    Record(UndoKind::ToggleSector, track, sector, 0, pair, "Toggle Sector");
    SetModified(true);
}

void D64Image::ClearBam() {
    SnapshotBam();
    SuspendRecording quiet(*this);
    kBam.MarkAllFree(*this);
    ToggleBlock(kDirTrack, 0);
}

bool D64Image::CreateEmpty() {
    SetModified(true);
    const uint8_t fill = FillByte();
    image.assign(kImageBytes, fill);
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
    {
        SuspendRecording quiet(*this);
        ClearBam();
        ToggleBlock(kDirTrack, 1);
    }
    SetModified(false);
    return true;
}

void D64Image::AfterLoad() {
    const size_t size = image.size();
    bool errors = false, extended = false;
    switch (size) {
    case kImageBytes + kErrorCount35: errors = true; break;
    case kImageBytes + kExtensionBytes: extended = true; break;
    case kImageBytes + kExtensionBytes + kErrorCount40: errors = extended = true; break;
    default: return; // 35 tracks, or raw sectors: sectors past the end are absent
    }
    if (errors) {
        errorByteCount = extended ? kErrorCount40 : kErrorCount35;
        errorBytes.assign(kErrorCount40, 0);
        auto tail = image.end() - errorByteCount;
        std::copy(tail, image.end(), errorBytes.begin());
        flags |= kFlagErrorCodes;
        // Drive error numbers (0 = OK, 20..29) rather than the stored codes.
        if (errorBytes[0] == 0 || errorBytes[0] > 12) {
            flags |= kFlagErrorNumbers;
            for (int i = 0; i < errorByteCount; ++i)
                errorBytes[i] = errorBytes[i] == 0 ? 1 : static_cast<uint8_t>(errorBytes[i] - 18);
        }
    }
    if (extended) {
        extraTracks.assign(image.begin() + kImageBytes, image.begin() + kImageBytes + kExtensionBytes);
        flags |= kFlagExtraTracks;
        trackCount = kExtendedTracks;
    }
    image.resize(kImageBytes);
}

int D64Image::GetErrorCode(int track, int sector) {
    if (!(flags & kFlagErrorCodes) || track > kExtendedTracks) return 0;
    int index = kLayout.BlockIndex(track, sector);
    if (index < 0 || static_cast<size_t>(index) >= errorBytes.size()) return 0;
    for (size_t row = 0; row < ErrorCodeTable.size(); ++row)
        if (ErrorCodeTable[row].code == errorBytes[index]) return static_cast<int>(row);
    return 0;
}

void D64Image::SetErrorCode(int track, int sector, int code) {
    SetModified(true);
    if (!(flags & kFlagErrorCodes) || track > kExtendedTracks) return;
    int index = kLayout.BlockIndex(track, sector);
    if (index < 0 || static_cast<size_t>(index) >= errorBytes.size()) return;
    uint8_t old = errorBytes[index];
    Record(UndoKind::ErrorCode, track, sector, 0, std::span<const uint8_t>(&old, 1), "Error");
    errorBytes[index] = static_cast<uint8_t>(code);
}

void D64Image::ShowCommandChecks() {
    if (!directoryView) return;
    directoryView->CheckCommand(static_cast<int>(CommandId::SectorErrors), flags & kFlagErrorCodes);
    directoryView->CheckCommand(static_cast<int>(CommandId::ExtendedTracks), flags & kFlagExtraTracks);
    directoryView->CheckCommand(static_cast<int>(CommandId::WriteErrorNumbers), flags & kFlagErrorNumbers);
}

bool D64Image::HandleCommand(int commandId) {
    switch (static_cast<CommandId>(commandId)) {
    case CommandId::SectorErrors:
        if (!(flags & kFlagErrorCodes)) {
            // The table survives switching off, so its codes come back when switched on.
            errorByteCount = (flags & kFlagExtraTracks) ? kErrorCount40 : kErrorCount35;
            if (errorBytes.empty()) errorBytes.assign(kErrorCount40, 0);
        }
        Record(UndoKind::ErrorCodesSwitched, 0, 0, 0, {}, "Sector Errors");
        flags ^= kFlagErrorCodes;
        if (bamView) bamView->Redraw();
        SetModified(true);
        break;
    case CommandId::ExtendedTracks: {
        bool on = !(flags & kFlagExtraTracks);
        if (!SetExtendedTracks(on)) return true;
        Record(UndoKind::ExtraTracks, 0, 0, 0, {}, "Extended Tracks");
        break;
    }
    case CommandId::WriteErrorNumbers:
        flags ^= kFlagErrorNumbers;
        break;
    default:
        return false;
    }
    ShowCommandChecks();
    return true;
}

void D64Image::SnapshotBam() { RecordBam(kDirTrack, 0); }

void D64Image::UpdateCommands(CommandStates& states) {
    for (CommandId id : {CommandId::SectorErrors, CommandId::ExtendedTracks, CommandId::WriteErrorNumbers})
        states.Enable(static_cast<int>(id), true);
    states.Check(static_cast<int>(CommandId::SectorErrors), flags & kFlagErrorCodes);
    states.Check(static_cast<int>(CommandId::ExtendedTracks), flags & kFlagExtraTracks);
    states.Check(static_cast<int>(CommandId::WriteErrorNumbers), flags & kFlagErrorNumbers);
}

bool D64Image::IsHeaderBlock(int track, int sector) { return track == kDirTrack && sector == 0; }

int D64Image::FreeBlockCount() { return kBam.FreeCount(*this, kDirTrack); }

uint8_t* D64Image::AllocateBlock(int& track, int& sector, bool take) {
    const int interleave = SearchInterleave(track);
    // The order of tracks to try: outward from the directory track for a new file, else on
    // from the given track towards the edge and then the other half.
    int order[kTracks];
    int count = 0;
    int startSector = 0;
    if (track == 0) {
        for (int k = 1; k < kDirTrack; ++k) {
            order[count++] = kDirTrack - k;
            order[count++] = kDirTrack + k;
        }
    } else if (track < kDirTrack) {
        for (int t = track; t >= 1; --t) order[count++] = t;
        for (int t = kDirTrack + 1; t <= kTracks; ++t) order[count++] = t;
        startSector = sector;
    } else {
        for (int t = std::max(track, kDirTrack + 1); t <= kTracks; ++t) order[count++] = t;
        for (int t = kDirTrack - 1; t >= 1; --t) order[count++] = t;
        startSector = track <= kTracks && track != kDirTrack ? sector : 0;
    }
    for (int i = 0; i < count; ++i) {
        int t = order[i];
        int s = i == 0 ? startSector : 0;
        if (s < 0 || s >= SectorsOnTrack(t)) s = 0;
        if (!FindFreeSectorOnTrack(t, s, interleave, SectorsOnTrack(t))) continue;
        track = t;
        sector = s;
        if (take) ToggleBlock(t, s);
        return SectorPointer(t, s);
    }
    return nullptr;
}

bool D64Image::SetExtendedTracks(bool on) {
    if (on) {
        flags |= kFlagExtraTracks;
        if (extraTracks.empty()) extraTracks.assign(kExtensionBytes, FillByte());
    } else {
        flags &= ~kFlagExtraTracks;
    }
    errorByteCount = on ? kErrorCount40 : kErrorCount35;
    trackCount = on ? kExtendedTracks : kTracks;
    if (bamView) {
        bamView->SetTrackCount(trackCount);
        bamView->Redraw();
    }
    if (sectorEditor) sectorEditor->SetTrackCount(trackCount);
    SetModified(true);
    return true;
}

} // namespace tessarind
