// Operations on single files of a container: inserting, removing, reading out, exporting and
// changing entry fields. Every change is journalled so each operation undoes as one step.

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "model/DiskImage.h"
#include "model/FormatRegistry.h"
#include "model/GeosConvert.h"
#include "model/ImageObserver.h"
#include "model/SafeFile.h"
#include "model/DirectoryWalk.h"
#include "model/VisitedSet.h"
#include "text/Petscii.h"

namespace tessarind {

namespace {

constexpr int kBodyOffset = 2; // entry bytes 2-31 are the body that moves between slots
constexpr int kBodySize = kSlotSize - kBodyOffset;
constexpr size_t kPc64HeaderSize = 26;
constexpr char kPc64Signature[8] = {'C', '6', '4', 'F', 'i', 'l', 'e', 0};

bool IsPc64Row(int id) { return id >= FormatId::P00 && id <= FormatId::U00; }

// A PC64 file starts with its signature; without it the header bytes would be taken for a
// name and a record length.
bool HasPc64Signature(std::span<const uint8_t> data) {
    return data.size() >= kPc64HeaderSize &&
           std::equal(std::begin(kPc64Signature), std::end(kPc64Signature), data.begin());
}

} // namespace

// ---- Journalling helpers ----------------------------------------------------------------

bool DiskImage::LocateBlock(const uint8_t* p, int& track, int& sector) {
    auto holds = [p](const uint8_t* block) { return block && p >= block && p < block + kBlockSize; };
    VisitedSet visited;
    for (int t = dirTrack_, s = dirSector_; t != 0 && t <= trackCount_ && visited.Visit(t, s);) {
        const uint8_t* block = SectorPointer(t, s);
        if (!block) break;
        if (holds(block)) {
            track = t;
            sector = s;
            return true;
        }
        t = block[0];
        s = block[1];
    }
    for (int t = 1; t <= trackCount_; ++t)
        for (int s = 0; s < maxSectors_; ++s)
            if (holds(SectorPointer(t, s))) {
                track = t;
                sector = s;
                return true;
            }
    return false;
}

bool DiskImage::RecordBytes(const uint8_t* p, int length, const std::string& name) {
    if (recordingSuspended()) return false; // nothing is kept: spare the search for the block
    int t = 0, s = 0;
    if (!LocateBlock(p, t, s)) return false;
    return RecordBlock(t, s, static_cast<int>(p - SectorPointer(t, s)), length, name);
}

// ---- Removing and inserting entries -----------------------------------------------------

bool DiskImage::ClearEntry(DirEntry entry, int) {
    RecordBytes(&entry.type(), 1);
    entry.type() = 0;
    SetModified(true);
    return true;
}

void DiskImage::RemoveEntry(int index, bool freeBlocks) {
    DirEntry entry = EntryAt(index);
    if (!entry) return;
    Group group(*this);
    if (freeBlocks) {
        SnapshotBam();
        SuspendRecording quiet(*this);
        WalkChain(entry.firstTrack(), entry.firstSector(), true);
    }
    ClearEntry(entry, index);
    group.Close("Remove File");
    Refresh();
    RedrawViews();
    if (directoryView_) directoryView_->SelectLine(std::min(index, entryCount_ - 1));
}

std::optional<InsertSlot> DiskImage::FindSlotForInsert(int index) {
    VisitedSet visited;
    int remaining = std::max(index, 0);
    int position = 0;
    int t = dirTrack_, s = dirSector_;
    int lastT = 0, lastS = 0;
    while (t != 0 && t <= trackCount_ && visited.Visit(t, s)) {
        uint8_t* block = SectorPointer(t, s);
        if (!block) break;
        lastT = t;
        lastS = s;
        for (int i = 0; i < kSlotsPerBlock; ++i) {
            DirEntry slot(block + i * kSlotSize);
            bool empty = slot.type() == 0;
            if (remaining > 0) {
                if (!empty || showDeleted()) {
                    --remaining;
                    ++position;
                }
                continue;
            }
            if (empty) {
                if (IsBlockFree(t, s)) ToggleBlock(t, s);
                return InsertSlot{slot, position, t, s};
            }
            ++position;
        }
        t = block[0];
        s = block[1];
    }
    // The directory is full: link a new block from the directory track.
    uint8_t* last = SectorPointer(lastT, lastS);
    int nt = 0, ns = 0;
    if (!last || !FindFreeDirSector(nt, ns)) return std::nullopt;
    uint8_t* fresh = SectorPointer(nt, ns);
    RecordBlock(nt, ns, 0, kBlockSize);
    fresh[0] = 0;
    fresh[1] = 0xFF;
    for (int i = 0; i < kSlotsPerBlock; ++i) fresh[i * kSlotSize + DirEntryOffset::type] = 0;
    RecordBlock(lastT, lastS, 0, 2);
    last[0] = static_cast<uint8_t>(nt);
    last[1] = static_cast<uint8_t>(ns);
    ToggleBlock(nt, ns);
    UpdateParentDirectory();
    return InsertSlot{DirEntry(fresh), position, nt, ns};
}

bool DiskImage::InsertEntry(int index, std::span<const uint8_t> body) {
    if (body.size() < static_cast<size_t>(kBodySize)) return false;
    Group group(*this);
    DirEntry target;
    int targetSlot = 0, targetT = 0, targetS = 0;
    bool shifted = false;
    if (index >= 0 || CountEntries() > 0) {
        index = std::max(index, 0);
        std::optional<InsertSlot> free = FindSlotForInsert(index);
        if (!free) return false;
        // Entries from the index up to the free slot each move one slot later.
        struct Place {
            DirEntry entry;
            EntryLocation where;
        };
        std::vector<Place> run;
        for (int p = index; p < free->position; ++p) {
            EntryLocation where;
            DirEntry e = EntryAtEx(p, showDeleted(), &where);
            if (!e) break;
            run.push_back({e, where});
        }
        uint8_t* freeBlock = SectorPointer(free->track, free->sector);
        Place freePlace{free->slot,
                        {free->track, free->sector, static_cast<int>((free->slot.data() - freeBlock) / kSlotSize)}};
        RecordEntry(UndoKind::ShiftStart, index, {});
        shifted = true;
        Place dest = freePlace;
        for (auto it = run.rbegin(); it != run.rend(); ++it) {
            RecordBytes(dest.entry.data() + kBodyOffset, kBodySize);
            std::memcpy(dest.entry.data() + kBodyOffset, it->entry.data() + kBodyOffset, kBodySize);
            if (dest.entry.typeCode() == kDir) UpdateDirBackLink(dest.where.slot, dest.where.track, dest.where.sector);
            dest = *it;
        }
        target = dest.entry;
        targetSlot = dest.where.slot;
        targetT = dest.where.track;
        targetS = dest.where.sector;
    } else {
        uint8_t* first = SectorPointer(dirTrack_, dirSector_);
        if (!first) return false;
        target = DirEntry(first);
        targetT = dirTrack_;
        targetS = dirSector_;
        index = 0;
    }
    SetModified(true);
    RecordBytes(target.data() + kBodyOffset, kBodySize);
    std::memcpy(target.data() + kBodyOffset, body.data(), kBodySize);
    if (target.typeCode() == kDir) UpdateDirBackLink(targetSlot, targetT, targetS);
    Refresh();
    RedrawViews();
    if (shifted) RecordEntry(UndoKind::ShiftEnd, index, {});
    group.Close("Insert");
    return true;
}

bool DiskImage::UpdateDirBackLink(int position, int track, int sector) {
    uint8_t* block = SectorPointer(track, sector);
    if (!block) return false;
    DirEntry entry(block + (position % kSlotsPerBlock) * kSlotSize);
    if (entry.typeCode() != kDir) return false;
    uint8_t* header = SectorPointer(entry.firstTrack(), entry.firstSector());
    if (!header) return false;
    const uint8_t link[3] = {static_cast<uint8_t>(track), static_cast<uint8_t>(sector),
                             static_cast<uint8_t>((position % kSlotsPerBlock) * kSlotSize + 2)};
    if (std::memcmp(header + 36, link, 3) != 0) {
        RecordBytes(header + 36, 3);
        std::memcpy(header + 36, link, 3);
    }
    return true;
}

void DiskImage::UpdateParentDirectory() {
    if (dirStack_.empty() || dirStack_.front().type != kDir) return;
    const DirLevel& level = dirStack_.front();
    const uint8_t* header = SectorPointer(level.firstTrack, level.firstSector);
    if (!header) return;
    uint8_t* parent = SectorPointer(header[36], header[37]);
    int offset = header[38];
    if (!parent || offset < kBodyOffset || offset + kBodySize > kBlockSize) return;
    ChainWalk walk = WalkChain(level.firstTrack, level.firstSector);
    DirEntry entry(parent + offset - kBodyOffset);
    if (entry.blocks() == walk.blocks) return;
    RecordBytes(entry.data() + DirEntryOffset::blocks, 2, "Update Parent Directory");
    entry.setBlocksRaw(static_cast<uint16_t>(walk.blocks));
}

// ---- Writing files ----------------------------------------------------------------------

std::optional<std::pair<int, int>> DiskImage::CreateSideSectors(int track, int sector, int recordLength) {
    constexpr int kMaxSideSectors = 6, kPairsPerSideSector = 120;
    std::vector<std::pair<int, int>> sides;
    std::vector<int> pairsIn;
    std::optional<Group> group;
    VisitedSet visited;
    int st = 0, ss = 0;
    for (int t = track, s = sector; t != 0 && t <= trackCount_ && visited.Visit(t, s);) {
        const uint8_t* data = SectorPointer(t, s);
        if (!data) break;
        if (sides.empty() || pairsIn.back() == kPairsPerSideSector) {
            if (static_cast<int>(sides.size()) == kMaxSideSectors) return std::nullopt;
            if (!group) group.emplace(*this);
            uint8_t* side = AllocateBlock(st, ss, true);
            if (!side) return std::nullopt;
            RecordBlock(st, ss, 0, kBlockSize);
            std::memset(side, 0, kBlockSize);
            sides.emplace_back(st, ss);
            pairsIn.push_back(0);
        }
        uint8_t* side = SectorPointer(sides.back().first, sides.back().second);
        int at = 16 + 2 * pairsIn.back()++;
        side[at] = static_cast<uint8_t>(t);
        side[at + 1] = static_cast<uint8_t>(s);
        int nt = data[0], ns = data[1];
        t = nt;
        s = ns;
    }
    for (size_t i = 0; i < sides.size(); ++i) {
        uint8_t* side = SectorPointer(sides[i].first, sides[i].second);
        if (i + 1 < sides.size()) {
            side[0] = static_cast<uint8_t>(sides[i + 1].first);
            side[1] = static_cast<uint8_t>(sides[i + 1].second);
        } else {
            side[0] = 0;
            side[1] = static_cast<uint8_t>(16 + 2 * pairsIn[i] - 1);
        }
        side[2] = static_cast<uint8_t>(i);
        side[3] = static_cast<uint8_t>(recordLength);
        for (size_t j = 0; j < sides.size(); ++j) {
            side[4 + 2 * j] = static_cast<uint8_t>(sides[j].first);
            side[5 + 2 * j] = static_cast<uint8_t>(sides[j].second);
        }
    }
    if (group) group->Close("Create Side Sector");
    if (sides.empty()) return std::make_pair(0, 0);
    return sides.front();
}

std::optional<std::pair<int, int>> DiskImage::CreateSuperSideSector(std::pair<int, int> firstSide) {
    int t = firstSide.first, s = firstSide.second;
    uint8_t* super = AllocateBlock(t, s, true);
    if (!super) return std::nullopt;
    RecordBlock(t, s, 0, kBlockSize);
    std::fill(super, super + kBlockSize, 0);
    super[0] = static_cast<uint8_t>(firstSide.first);
    super[1] = static_cast<uint8_t>(firstSide.second);
    super[2] = 0xFE;
    super[3] = static_cast<uint8_t>(firstSide.first); // the only group of side sectors
    super[4] = static_cast<uint8_t>(firstSide.second);
    return std::make_pair(t, s);
}

bool DiskImage::WriteFileData(std::span<const uint8_t, kNameLength> name, int index, bool interactive,
                              std::vector<uint8_t> data, int recordLength, const FormatRow& givenRow) {
    const FormatRow* row = &givenRow;
    Interaction* ui = interactive ? owner() : nullptr;
    std::array<uint8_t, kSlotSize> entryBytes{};
    DirEntry entry(entryBytes.data());
    std::copy(name.begin(), name.end(), entry.name().begin());

    if (row->id == FormatId::Cvt) return ImportConvert(*this, data, interactive, index);
    size_t skip = 0;
    if (row->id == FormatId::Text) {
        AsciiToPetsciiName(data, false);
        row = FindRowById(FormatId::Seq);
    } else if (IsPc64Row(row->id)) {
        if (!HasPc64Signature(data)) {
            ReportError(ui, "not a PC64 file");
            return false;
        }
        for (int i = 0; i < kNameLength; ++i) {
            uint8_t c = data[8 + static_cast<size_t>(i)];
            entry.name()[static_cast<size_t>(i)] = c;
        }
        for (int i = kNameLength - 1; i >= 0 && entry.name()[static_cast<size_t>(i)] == 0; --i)
            entry.name()[static_cast<size_t>(i)] = kPad;
        recordLength = data[25];
        skip = kPc64HeaderSize;
    }

    // The entry counts the blocks the file takes on the disk: the header of a PC64 file is
    // not written, so it is not counted either.
    const int needed = static_cast<int>((data.size() - skip + 253) / 254);
    if ((flags_ & kFlagCanGrow) && FreeBlockCount() < needed) {
        for (int free = FreeBlockCount(); free < needed && SetExtendedTracks(true);) {
            int grown = FreeBlockCount();
            if (grown <= free) break;
            free = grown;
        }
    }
    if (FreeBlockCount() < needed) {
        ReportError(ui, "Not Enough Room on Disk");
        return false;
    }
    entry.setBlocksRaw(static_cast<uint16_t>(needed));

    Group group(*this);
    std::span<const uint8_t> body(data.data() + skip, data.size() - skip);
    int ft = 0, fs = 0;
    if (!body.empty() && !WriteChain(body, ft, fs)) {
        ReportError(ui, "Not Enough Room on Disk");
        return false;
    }
    entry.firstTrack() = static_cast<uint8_t>(ft);
    entry.firstSector() = static_cast<uint8_t>(fs);
    entry.type() = static_cast<uint8_t>((row->cbmType & 7) | kTypeClosed);
    if (row->cbmType == kRel) {
        std::optional<std::pair<int, int>> side = CreateSideSectors(ft, fs, recordLength);
        if (side && side->first != 0 && UsesSuperSideSector()) side = CreateSuperSideSector(*side);
        if (!side) {
            ReportError(ui, "Not Enough Room on Disk");
            return false;
        }
        entry.sideTrack() = static_cast<uint8_t>(side->first);
        entry.sideSector() = static_cast<uint8_t>(side->second);
        entry.recordLength() = static_cast<uint8_t>(recordLength);
        // Like the drive, the size of a relative file includes its side sectors.
        entry.setBlocksRaw(static_cast<uint16_t>(needed + WalkChain(side->first, side->second).blocks));
    }
    if (!InsertEntry(index, std::span<const uint8_t>(entryBytes).subspan(kBodyOffset))) {
        ReportError(ui, "Not Enough Room on Disk");
        return false;
    }
    group.Close("Import File");
    return true;
}

bool DiskImage::ImportHostFile(const std::string& hostPath, int index, bool interactive) {
    Interaction* ui = interactive ? owner() : nullptr;
    std::string fileName = FileNamePart(hostPath);
    const FormatRow* row = FindRowForName(fileName);
    if (!row) row = FindRowById(FormatId::Prg);
    size_t dot = fileName.rfind('.');
    std::vector<uint8_t> data;
    bool openFailed = false;
    if (!ReadWholeFile(hostPath, data, openFailed)) {
        ReportError(ui, openFailed ? "Unable to Open File" : "Error Reading File");
        return false;
    }
    if (IsPc64Row(row->id) && !HasPc64Signature(data)) {
        ReportError(ui, hostPath + ": not a PC64 file");
        return false;
    }
    if (row->cbmType == kCbmTypeHostText) {
        // Host text is read as text: a carriage return before a line feed is dropped.
        std::vector<uint8_t> text;
        text.reserve(data.size());
        for (size_t i = 0; i < data.size(); ++i)
            if (!(data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n')) text.push_back(data[i]);
        data = std::move(text);
    }
    std::string stem = dot == std::string::npos ? fileName : fileName.substr(0, dot);
    std::array<uint8_t, kNameLength> name = PetsciiName(stem);
    return WriteFileData(name, index, interactive, std::move(data), 0, *row);
}

// ---- Exporting --------------------------------------------------------------------------

std::string DiskImage::ExportName(DirEntry entry, const FormatRow& row) const {
    std::string name = HostFileName(entry.name(), 256, settings());
    while (!name.empty() && name.back() == ' ') name.pop_back();
    // A name with nothing a host name keeps would otherwise give a hidden ".prg".
    if (name.empty()) name.push_back('_'); // pushed: GCC 12 warns falsely about assigning "_"
    name.append(row.extension);
    return name;
}

std::string ExportRun::Claim(const std::string& folder, const std::string& fileName) {
    namespace fs = std::filesystem;
    const size_t dot = fileName.rfind('.');
    const std::string stem = dot == std::string::npos ? fileName : fileName.substr(0, dot);
    const std::string extension = dot == std::string::npos ? std::string() : fileName.substr(dot);
    for (int n = 1;; ++n) {
        const std::string candidate =
            n == 1 ? fileName : stem + "_" + std::to_string(n) + extension;
        std::string path = (fs::path(folder) / candidate).string();
        if (taken_.insert(path).second) return path;
    }
}

static std::vector<uint8_t> Pc64File(DirEntry entry, std::span<const uint8_t> data, int rowId) {
    std::vector<uint8_t> out(kPc64HeaderSize, 0);
    std::memcpy(out.data(), kPc64Signature, sizeof kPc64Signature);
    std::copy(entry.name().begin(), entry.name().end(), out.begin() + 8);
    for (int i = 8 + kNameLength - 1; i >= 8 && out[static_cast<size_t>(i)] == kPad; --i) out[static_cast<size_t>(i)] = 0;
    if (rowId == FormatId::R00) out[25] = entry.recordLength();
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::string DiskImage::BrokenChainText(DirEntry entry, const ChainBreak& broken) const {
    const auto name = entry.name();
    const std::span<const uint8_t> cut(name.begin(), std::find(name.begin(), name.end(), kPad));
    return "chain of " + PetsciiToAscii(cut, false, false, true, settings()) + " broken at " +
           std::to_string(broken.track) + "/" + std::to_string(broken.sector) + ", " +
           std::to_string(broken.bytesRead) + " bytes read";
}

// The bytes of an entry to export. A file that holds no bytes (no first block, or a chain
// that ends in its first block) exports as an empty host file. None, with the reason, when
// there is nothing that can be read.
std::optional<std::vector<uint8_t>> DiskImage::ReadFileBytes(int index, std::string& reason,
                                                             std::optional<ChainBreak>* brokenOut) {
    DirEntry entry = EntryAt(index);
    if (!entry) {
        reason = "no such entry";
        return std::nullopt;
    }
    std::optional<ChainBreak> broken;
    std::optional<std::vector<uint8_t>> data = ReadFileData(index, &broken);
    if (brokenOut) *brokenOut = broken;
    if (data) return data;
    if (broken) {
        reason = BrokenChainText(entry, *broken);
        return std::nullopt;
    }
    const int code = entry.typeCode();
    if (code == kDel) {
        reason = "a DEL file holds no data";
        return std::nullopt;
    }
    const int t = entry.firstTrack(), s = entry.firstSector();
    if (code != kCbm) {
        if (t == 0) return std::vector<uint8_t>();
        const ChainWalk walk = WalkChain(t, s);
        if (walk.complete && walk.bytes == 0) return std::vector<uint8_t>();
    }
    if (!SectorPointer(t, s))
        reason = "its first block " + std::to_string(t) + "/" + std::to_string(s) +
                 " is not on the disk";
    else
        reason = "its blocks hold no data that can be read";
    return std::nullopt;
}

namespace {

// The host file's bytes for a target kind; none for a kind that is not written this way.
std::optional<std::vector<uint8_t>> ExportForm(DiskImage& image, DirEntry entry,
                                               std::vector<uint8_t> data, const FormatRow& row) {
    if (row.id == FormatId::Text) {
        std::string text = PetsciiToAscii(data, false, false, false, image.settings());
        return std::vector<uint8_t>(text.begin(), text.end());
    }
    if (IsPc64Row(row.id)) return Pc64File(entry, data, row.id);
    if (row.id == FormatId::Bitmap) return std::nullopt;
    return data;
}

} // namespace

bool DiskImage::ExportFile(int index, const std::string& target, bool interactive,
                           const FormatRow* row, std::optional<ChainBreak>* brokenOut) {
    Interaction* ui = interactive ? owner() : nullptr;
    std::array<uint8_t, kSlotSize> scratch{};
    DirEntry entry = EntryAsListed(index, scratch);
    std::optional<ChainBreak> broken;
    std::string reason;
    std::optional<std::vector<uint8_t>> data =
        entry ? ReadFileBytes(index, reason, &broken) : std::nullopt;
    if (brokenOut) *brokenOut = broken;
    // A file cut short is data lost: the owner hears of it even when no dialogs are wanted.
    const auto reportBroken = [&] {
        if (broken) ReportError(owner(), BrokenChainText(entry, *broken));
        return !broken;
    };
    if (!data) {
        if (!broken) ReportError(ui, "Unable to Create File to Export");
        return reportBroken();
    }
    if (!row) row = RowForExportMode(ExportMode::Native, entry);
    if (!row) return false;
    std::string path = target;
    std::error_code ec;
    if (path.empty() || std::filesystem::is_directory(path, ec))
        path = (std::filesystem::path(path) / ExportName(entry, *row)).string();
    if (ui) {
        SaveRequest request;
        request.folder = std::filesystem::path(path).parent_path().string();
        request.proposedName = FileNamePart(path);
        request.defaultExtension = std::string(row->extension.substr(1));
        request.filters.push_back({std::string(row->displayName), std::string(row->extension)});
        bool dialogFailed = false;
        std::optional<SaveChoice> choice = ui->ChooseSaveFile(request, dialogFailed);
        if (!choice) {
            if (dialogFailed) ReportError(ui, "Unable to Save File");
            return false;
        }
        path = choice->path;
        if (const FormatRow* chosen = FindRowForName(FileNamePart(path))) row = chosen;
    }

    std::optional<std::vector<uint8_t>> out = ExportForm(*this, entry, std::move(*data), *row);
    if (!out) {
        ReportError(ui, "Unable to Export File");
        return false;
    }
    const WriteResult written = WriteWholeFile(path, *out);
    if (written != WriteResult::Ok) {
        if (brokenOut) brokenOut->reset(); // nothing was written: the write is what failed
        ReportError(ui, written == WriteResult::CannotCreate ? "Unable to Create File"
                                                             : "Error in saving");
        return false;
    }
    return reportBroken();
}

ExportedFile DiskImage::ExportInto(int index, const std::string& folder, const FormatRow& row,
                                   ExportRun& run) {
    namespace fs = std::filesystem;
    ExportedFile result;
    std::array<uint8_t, kSlotSize> scratch{};
    DirEntry entry = EntryAsListed(index, scratch);
    if (entry) {
        result.name = ListedName(entry.name(), false);
        result.path = run.Claim(folder, ExportName(entry, row));
    }
    std::error_code ec;
    std::optional<std::vector<uint8_t>> data;
    std::optional<ChainBreak> broken;
    if (!entry || !(data = ReadFileBytes(index, result.reason, &broken))) {
        result.outcome = ExportedFile::Outcome::NoData;
        if (result.reason.empty()) result.reason = "no such entry";
    } else if (!run.overwrite && fs::exists(fs::symlink_status(result.path, ec))) {
        result.outcome = ExportedFile::Outcome::Exists;
        result.reason = "a file of that name exists";
    } else if (std::optional<std::vector<uint8_t>> out =
                   ExportForm(*this, entry, std::move(*data), row);
               !out) {
        result.outcome = ExportedFile::Outcome::NoData;
        result.reason = "not written in this form";
    } else {
        int error = 0;
        const WriteResult written = WriteWholeFile(result.path, *out, &error);
        const std::string system = error ? std::string(": ") + std::strerror(error) : std::string();
        switch (written) {
        case WriteResult::Ok:
            // What a broken chain gave is written, and the loss said.
            if (broken) {
                result.outcome = ExportedFile::Outcome::Partial;
                result.reason = BrokenChainText(entry, *broken);
            }
            break;
        case WriteResult::CannotCreate:
            result.outcome = ExportedFile::Outcome::CannotCreate;
            result.reason = "Unable to Create File" + system;
            break;
        case WriteResult::WriteFailed:
            result.outcome = ExportedFile::Outcome::WriteFailed;
            result.reason = "Error in saving" + system;
            break;
        }
    }
    if (result.outcome == ExportedFile::Outcome::Written)
        ++run.written;
    else
        ++run.notWritten;
    if (run.onFile) run.onFile(result);
    return result;
}

const FormatRow* RowForExportMode(ExportMode mode, int typeCode) {
    switch (mode) {
    case ExportMode::SeqAsText:
        return typeCode == kSeq ? FindRowById(FormatId::Text) : nullptr;
    case ExportMode::Pc64:
        return PcFormatForType(typeCode);
    case ExportMode::Native:
        break;
    }
    return FindRowByCbmType(typeCode);
}

const FormatRow* RowForExportMode(ExportMode mode, DirEntry entry) {
    if (entry.isGeos()) return FindRowById(FormatId::Cvt);
    return RowForExportMode(mode, entry.typeCode());
}

bool DiskImage::ExportAllFiles(const std::string& folder, ExportMode mode) {
    ExportRun run;
    return ExportAllFiles(folder, mode, run);
}

bool DiskImage::ExportAllFiles(const std::string& folder, ExportMode mode, ExportRun& run) {
    namespace fs = std::filesystem;
    const int notWrittenBefore = run.notWritten;
    // The folder of each level (a sub-directory's beside its entry's files), made when the
    // first file goes into it or a level below it is entered.
    struct Folder {
        fs::path path;
        bool made = false;
    };
    std::vector<Folder> folders;
    auto make = [](Folder& f) {
        std::error_code ec;
        if (!f.made) fs::create_directories(f.path, ec);
        f.made = true;
    };
    WalkDirectories(
        *this, true,
        [&](WalkPath path) {
            folders.resize(path.size());
            if (path.empty()) {
                folders.push_back({fs::path(folder)});
                return true;
            }
            make(folders.back());
            std::string name = HostFileName(path.back().name(), 256, settings());
            while (!name.empty() && name.back() == ' ') name.pop_back();
            folders.push_back({folders.back().path / (name.empty() ? "_" : name)});
            return true;
        },
        [&](DirEntry entry, int index, WalkPath path) {
            const FormatRow* row = RowForExportMode(mode, entry);
            if (!row || (entry.typeCode() == kDel && !entry.isGeos())) return true;
            Folder& level = folders[path.size()];
            make(level);
            ExportInto(index, level.path.string(), *row, run);
            return true;
        });
    return run.notWritten == notWrittenBefore;
}

// ---- Entry fields -----------------------------------------------------------------------

namespace {

// Changes `bytes.size()` bytes of an entry at `offset`, journalled under `kind` and `name`.
bool ChangeField(DiskImage& image, DirEntry entry, int offset, std::span<const uint8_t> bytes, UndoKind kind,
                 const std::string& name, int index) {
    uint8_t* at = entry.data() + offset;
    if (std::equal(bytes.begin(), bytes.end(), at)) return false;
    const bool wasListed = entry.type() != 0;
    image.RecordEntryField(kind, index, at, static_cast<int>(bytes.size()), name);
    std::copy(bytes.begin(), bytes.end(), at);
    image.SetModified(true);
    // A type byte that becomes 0 (or stops being 0) takes the entry out of a listing that
    // hides deleted entries (or brings it back).
    if ((entry.type() != 0) != wasListed) image.Refresh();
    if (image.directoryView()) image.directoryView()->UpdateLine(index);
    if (image.sectorEditor()) image.sectorEditor()->Redraw();
    return true;
}

bool ChangeByte(DiskImage& image, DirEntry entry, int offset, uint8_t value, UndoKind kind, const std::string& name,
                int index) {
    return ChangeField(image, entry, offset, std::span<const uint8_t>(&value, 1), kind, name, index);
}

// A GEOS file mirrors some entry fields in its info block; both change as one step.
bool ChangeGeosField(DiskImage& image, DirEntry entry, int offset, uint8_t value, UndoKind kind,
                     const std::string& name, int index, int infoOffset) {
    uint8_t* info = entry.isGeos() ? image.SectorPointer(entry.sideTrack(), entry.sideSector()) : nullptr;
    if (!info) return ChangeByte(image, entry, offset, value, kind, name, index);
    DiskImage::Group group(image);
    bool changed = ChangeByte(image, entry, offset, value, kind, name, index);
    uint8_t mirrored = offset == DirEntryOffset::type ? static_cast<uint8_t>(value & 7) : value;
    if (info[infoOffset] != mirrored) {
        image.RecordBytes(info + infoOffset, 1);
        info[infoOffset] = mirrored;
        image.SetModified(true);
        changed = true;
    }
    group.Close(name); // an empty group is dropped
    return changed;
}

} // namespace

bool DiskImage::RenameEntry(DirEntry entry, std::span<const uint8_t, kNameLength> name, int index) {
    return ChangeField(*this, entry, DirEntryOffset::name, name, UndoKind::Name, "File Name", index);
}

bool DiskImage::RenameFile(DirEntry entry, std::span<const uint8_t, kNameLength> name, int index) {
    if (!entry) return false;
    bool changed = RenameEntry(entry, name, index);
    const int type = entry.typeCode();
    if (type != kCbm && type != kDir) return changed;
    constexpr int kHeaderName = 4; // the name in a partition's header block
    const int track = entry.firstTrack(), sector = entry.firstSector();
    uint8_t* header = SectorPointer(track, sector);
    if (!header || std::equal(name.begin(), name.end(), header + kHeaderName)) return changed;
    RecordBlock(track, sector, kHeaderName, kNameLength);
    std::copy(name.begin(), name.end(), header + kHeaderName);
    SetModified(true);
    return true;
}

bool DiskImage::SetBlocks(DirEntry entry, uint16_t blocks, int index) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(blocks & 0xFF), static_cast<uint8_t>(blocks >> 8)};
    return ChangeField(*this, entry, DirEntryOffset::blocks, bytes, UndoKind::Blocks, "Size", index);
}

bool DiskImage::SetLocked(DirEntry entry, bool on, int index) {
    uint8_t type = on ? entry.type() | kTypeLocked : entry.type() & ~kTypeLocked;
    return ChangeByte(*this, entry, DirEntryOffset::type, type, UndoKind::Locked, "Lock", index);
}

bool DiskImage::SetSplat(DirEntry entry, bool on, int index) {
    uint8_t type = on ? entry.type() & ~kTypeClosed : entry.type() | kTypeClosed;
    return ChangeByte(*this, entry, DirEntryOffset::type, type, UndoKind::Splat, "Splat", index);
}

bool DiskImage::SetFileType(DirEntry entry, int typeCode, int index) {
    uint8_t type = static_cast<uint8_t>((entry.type() & ~7) | (typeCode & 7));
    return ChangeGeosField(*this, entry, DirEntryOffset::type, type, UndoKind::FileType, "File Type", index, 68);
}

bool DiskImage::SetGeosType(DirEntry entry, uint8_t value, int index) {
    return ChangeGeosField(*this, entry, DirEntryOffset::geosType, value, UndoKind::GeosType, "GEOS Type", index, 69);
}

bool DiskImage::SetGeosStructure(DirEntry entry, uint8_t value, int index) {
    return ChangeGeosField(*this, entry, DirEntryOffset::recordLength, value, UndoKind::GeosStructure,
                    "GEOS File Structure", index, 70);
}

bool DiskImage::SetDate(DirEntry entry, std::span<const uint8_t, 5> date, int index) {
    uint8_t limited[5] = {date[0], date[1], date[2], date[3], date[4]};
    limited[1] = static_cast<uint8_t>(std::clamp<int>(limited[1], 1, 12));
    limited[2] = static_cast<uint8_t>(std::clamp<int>(limited[2], 1, 31));
    limited[3] = std::min<uint8_t>(limited[3], 23);
    limited[4] = std::min<uint8_t>(limited[4], 59);
    return ChangeField(*this, entry, DirEntryOffset::year, limited, UndoKind::Date, "Time", index);
}

bool DiskImage::SetFirstTrack(DirEntry entry, uint8_t value, int index) {
    return ChangeByte(*this, entry, DirEntryOffset::firstTrack, value, UndoKind::FirstTrack, "Track", index);
}

bool DiskImage::SetFirstSector(DirEntry entry, uint8_t value, int index) {
    return ChangeByte(*this, entry, DirEntryOffset::firstSector, value, UndoKind::FirstSector, "Sector", index);
}

bool DiskImage::SetSideTrack(DirEntry entry, uint8_t value, int index) {
    return ChangeByte(*this, entry, DirEntryOffset::sideTrack, value, UndoKind::SideTrack, "Side Track", index);
}

bool DiskImage::SetSideSector(DirEntry entry, uint8_t value, int index) {
    return ChangeByte(*this, entry, DirEntryOffset::sideSector, value, UndoKind::SideSector, "Side Sector", index);
}

void DiskImage::SetBytes(int track, int sector, std::span<const uint8_t> data, int offset, const std::string& name) {
    uint8_t* block = SectorPointer(track, sector);
    if (!block || data.empty() || offset < 0 || offset + data.size() > static_cast<size_t>(kBlockSize)) return;
    RecordBlock(track, sector, offset, static_cast<int>(data.size()), name.empty() ? "Set Bytes" : name);
    std::copy(data.begin(), data.end(), block + offset);
    SetModified(true);
    Refresh(); // the bytes may be the listed directory's
    if (sectorEditor_) sectorEditor_->Redraw();
}

void DiskImage::AlignName(int index, Align mode) {
    DirEntry entry = EntryAt(index);
    if (!entry) return;
    std::span<uint8_t, kNameLength> name = entry.name();
    int begin = 0, end = kNameLength;
    while (begin < end && name[static_cast<size_t>(begin)] == ' ') ++begin;
    while (end > begin && (name[static_cast<size_t>(end - 1)] == ' ' || name[static_cast<size_t>(end - 1)] == kPad)) --end;
    const int core = end - begin;
    std::array<uint8_t, kNameLength> aligned;
    aligned.fill(mode == Align::Collapse ? kPad : ' ');
    int at = 0;
    if (mode == Align::Right) at = kNameLength - core;
    if (mode == Align::Center) at = (kNameLength - core) / 2;
    std::copy(name.begin() + begin, name.begin() + end, aligned.begin() + at);
    ChangeField(*this, entry, DirEntryOffset::name, aligned, UndoKind::Name, "Expand File Name", index);
}

bool DiskImage::AutoFileSize(int index) {
    DirEntry entry = EntryAt(index);
    if (!entry) return false;
    ChainWalk data = WalkChain(entry.firstTrack(), entry.firstSector());
    int blocks = data.blocks;
    bool complete = data.complete;
    if (entry.typeCode() == kRel) {
        ChainWalk side = WalkChain(entry.sideTrack(), entry.sideSector());
        blocks += side.blocks;
        complete = complete && side.complete;
    }
    SetBlocks(entry, static_cast<uint16_t>(blocks), index);
    if (!complete) ReportError(owner(), "Unable to Walk File");
    return complete;
}

} // namespace tessarind
