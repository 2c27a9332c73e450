// Whole-directory maintenance: rebuilding the BAM from the directory, closing gaps,
// sorting, moving entries and finding blocks that two files share.

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "model/DiskImage.h"
#include "model/ImageObserver.h"
#include "model/VisitedSet.h"

namespace tessarind {

namespace {

using SlotBytes = std::array<uint8_t, kSlotSize>;

// One slot of the current directory with the block that holds it.
struct SlotRef {
    uint8_t* p = nullptr;
    int track = 0, sector = 0;
    int offset = 0; // of the slot in its block
};

// Every slot of the current directory in chain order, empty ones included; the walk ends
// where the listing does (loops, track 0, high tracks, absent blocks).
std::vector<SlotRef> CollectSlots(DiskImage& image) {
    std::vector<SlotRef> slots;
    VisitedSet visited;
    int t = image.dirTrack(), s = image.dirSector();
    while (t != 0 && t <= image.trackCount() && visited.Visit(t, s)) {
        uint8_t* block = image.SectorPointer(t, s);
        if (!block) break;
        for (int i = 0; i < kSlotsPerBlock; ++i)
            slots.push_back({block + i * kSlotSize, t, s, i * kSlotSize});
        t = block[0];
        s = block[1];
    }
    return slots;
}

bool IsEmpty(const SlotRef& slot) {
    return slot.p[DirEntryOffset::type] == 0;
}

// Marks a block used. A block that is already used stays so: two chains reaching it must
// not free it again.
void Take(DiskImage& image, int t, int s) {
    if (t >= 1 && t <= image.trackCount() && image.IsBlockFree(t, s)) image.ToggleBlock(t, s);
}

void TakeChain(DiskImage& image, int t, int s) {
    VisitedSet visited;
    while (t != 0 && t <= image.trackCount() && visited.Visit(t, s)) {
        const uint8_t* block = image.SectorPointer(t, s);
        if (!block) return;
        Take(image, t, s);
        t = block[0];
        s = block[1];
    }
}

// A partition holds its blocks in a row, track after track, with no links.
void TakePartition(DiskImage& image, int t, int s, int blocks) {
    while (blocks > 0 && t >= 1 && t <= image.trackCount()) {
        if (!image.SectorPointer(t, s)) {
            ++t;
            s = 0;
            continue;
        }
        Take(image, t, s);
        --blocks;
        ++s;
    }
}

// The record index of a VLIR file lists the first block of each record.
void TakeVlirRecords(DiskImage& image, int t, int s) {
    if (t < 1 || t > image.trackCount()) return;
    const uint8_t* index = image.SectorPointer(t, s);
    if (!index) return;
    for (int offset = 2; offset < kBlockSize - 1; offset += 2) {
        int rt = index[offset], rs = index[offset + 1];
        if (rt == 0 && rs == 0) break;
        if (rt != 0) TakeChain(image, rt, rs);
    }
}

// Takes the blocks of the current directory and of everything listed in it. `entered`
// holds the directories already walked, so a sub-directory that several entries point at
// is walked once.
void TakeDirectory(DiskImage& image, VisitedSet& entered) {
    // On the heap: nested sub-directories recurse, and each level needs its own set.
    auto visited = std::make_unique<VisitedSet>();
    const bool listDeleted = image.showDeleted();
    int t = image.dirTrack(), s = image.dirSector();
    int listIndex = 0;
    while (t != 0 && t <= image.trackCount() && visited->Visit(t, s)) {
        uint8_t* block = image.SectorPointer(t, s);
        if (!block) return;
        Take(image, t, s);
        for (int i = 0; i < kSlotsPerBlock; ++i) {
            DirEntry entry(block + i * kSlotSize);
            const bool listed = listDeleted || entry.type() != 0;
            const int index = listIndex;
            if (listed) ++listIndex;
            if (entry.isGeos()) {
                // Judged by the type code alone, so a scratched GEOS file keeps its blocks.
                TakeChain(image, entry.sideTrack(), entry.sideSector());
                TakeChain(image, entry.firstTrack(), entry.firstSector());
                if (entry.recordLength() == 1)
                    TakeVlirRecords(image, entry.firstTrack(), entry.firstSector());
                continue;
            }
            switch (entry.typeCode()) {
            case kDel: // a closed DEL file has a chain; an empty slot (type byte 0) has none
                if (entry.type() != 0) TakeChain(image, entry.firstTrack(), entry.firstSector());
                break;
            case kSeq:
            case kPrg:
            case kUsr:
                TakeChain(image, entry.firstTrack(), entry.firstSector());
                break;
            case kRel:
                TakeChain(image, entry.firstTrack(), entry.firstSector());
                TakeChain(image, entry.sideTrack(), entry.sideSector());
                break;
            case kCbm:
                if (entry.blocks() != 0)
                    TakePartition(image, entry.firstTrack(), entry.firstSector(), entry.blocks());
                break;
            case kDir:
                TakeChain(image, entry.firstTrack(), entry.firstSector());
                // Only a format that has sub-directories enters one, as its listing does:
                // elsewhere the type code is damage or another tool's, and the entry is a
                // file like any other.
                if (image.maxFileType() > kRel && listed && image.EnterSubDirectory(entry, index)) {
                    if (entered.Visit(image.dirTrack(), image.dirSector()))
                        TakeDirectory(image, entered);
                    image.LeaveSubDirectory();
                }
                break;
            default:
                // A type code no format knows (7; other tools write it): a closed entry keeps
                // the blocks of its chain, or the next insert would overwrite the file.
                if (entry.type() & kTypeClosed) TakeChain(image, entry.firstTrack(), entry.firstSector());
                break;
            }
        }
        t = block[0];
        s = block[1];
    }
}

bool NameBefore(const SlotBytes& a, const SlotBytes& b) {
    const auto* x = a.data() + DirEntryOffset::name;
    const auto* y = b.data() + DirEntryOffset::name;
    return std::lexicographical_compare(x, x + kNameLength, y, y + kNameLength);
}

uint16_t BlocksOf(const SlotBytes& e) {
    return static_cast<uint16_t>(e[DirEntryOffset::blocks] | (e[DirEntryOffset::blocks + 1] << 8));
}

constexpr int kBodySize = kSlotSize - 2; // bytes 2-31: a slot without its link bytes

} // namespace

// ---- Validate ------------------------------------------------------------------------------

void DiskImage::Validate() {
    ClearBam();
    static constexpr char kGeosSignature[] = "GEOS format V";
    if (const uint8_t* header = SectorPointer(headerTrack_, headerSector_);
        header && std::memcmp(header + 173, kGeosSignature, sizeof kGeosSignature - 1) == 0)
        Take(*this, header[171], header[172]); // the GEOS border block
    {
        SuspendRecording quiet(*this);
        VisitedSet entered;
        entered.Visit(dirTrack_, dirSector_);
        TakeDirectory(*this, entered);
    }
    RedrawViews();
}

// ---- Compact -------------------------------------------------------------------------------

void DiskImage::CompactDirectory() {
    std::vector<SlotRef> slots = CollectSlots(*this);
    std::optional<Group> group;
    auto openGroup = [&] {
        if (!group) group.emplace(*this);
    };
    bool moved = false;
    size_t next = 0; // scan position for the next entry to pull forward
    for (size_t i = 0; i < slots.size(); ++i) {
        if (!IsEmpty(slots[i])) continue;
        next = std::max(next, i + 1);
        while (next < slots.size() && IsEmpty(slots[next]))
            ++next;
        if (next >= slots.size()) break;
        openGroup();
        SlotRef& to = slots[i];
        SlotRef& from = slots[next];
        RecordBlock(to.track, to.sector, to.offset + 2, kBodySize);
        std::memcpy(to.p + 2, from.p + 2, kBodySize);
        if (DirEntry(to.p).typeCode() == kDir)
            UpdateDirBackLink(static_cast<int>(i), to.track, to.sector);
        // Every slot before i is filled, those between i and next are empty: the list index
        // of the slot pulled from is i + 1 unless empty slots are listed.
        const int fromIndex = showDeleted() ? static_cast<int>(next) : static_cast<int>(i) + 1;
        ClearEntry(DirEntry(from.p), fromIndex);
        moved = true;
    }

    int filled = 0;
    for (SlotRef& slot : slots) {
        if (!IsEmpty(slot)) {
            ++filled;
            continue;
        }
        if (std::all_of(slot.p + 2, slot.p + kSlotSize, [](uint8_t b) { return b == 0; })) continue;
        openGroup();
        RecordBlock(slot.track, slot.sector, slot.offset + 2, kBodySize);
        std::memset(slot.p + 2, 0, kBodySize);
    }

    if (moved) {
        // Free the old chain, end it after the block of the last entry, take the rest again.
        SetDirectoryChainUsed(false);
        const SlotRef& lastBlock =
            slots[static_cast<size_t>((filled - 1) / kSlotsPerBlock * kSlotsPerBlock)];
        RecordBlock(lastBlock.track, lastBlock.sector, 0, 2);
        lastBlock.p[0] = 0;
        lastBlock.p[1] = 0xFF;
        SetDirectoryChainUsed(true);
    }
    UpdateParentDirectory(); // before closing, so it undoes with the rest
    if (group) {
        group->Close("Compact Directory");
        SetModified(true);
        Refresh();
    }
    RedrawViews();
}

void DiskImage::SetDirectoryChainUsed(bool used) {
    if (!recordingSuspended()) SnapshotBam();
    SuspendRecording quiet(*this);
    VisitedSet visited;
    int t = dirTrack_, s = dirSector_;
    while (t != 0 && t <= trackCount_ && visited.Visit(t, s)) {
        const uint8_t* block = SectorPointer(t, s);
        if (!block) return;
        if (IsBlockFree(t, s) == used) ToggleBlock(t, s);
        t = block[0];
        s = block[1];
    }
}

// ---- Sort ----------------------------------------------------------------------------------

void DiskImage::Sort(bool ascending, bool bySize) {
    std::vector<SlotBytes> entries;
    for (const DirEntry& e : ListedEntries()) {
        SlotBytes bytes;
        std::memcpy(bytes.data(), e.data(), kSlotSize);
        entries.push_back(bytes);
    }
    if (entries.empty()) return;
    if (bySize)
        std::stable_sort(
            entries.begin(), entries.end(),
            [](const SlotBytes& a, const SlotBytes& b) { return BlocksOf(a) < BlocksOf(b); });
    else
        std::stable_sort(entries.begin(), entries.end(), NameBefore);
    if (!ascending) std::reverse(entries.begin(), entries.end());

    // The sorted list goes into the first blocks of the format's directory order. Find them
    // all first: writing stops nowhere half-way with entries lost.
    const size_t needed = (entries.size() + kSlotsPerBlock - 1) / kSlotsPerBlock;
    std::vector<std::pair<int, int>> blocks;
    VisitedSet seen;
    for (int t = dirTrack_, s = -1; blocks.size() < needed && NextDirSector(t, s) && s >= 0;) {
        if (!seen.Visit(t, s) || !SectorPointer(t, s)) break;
        blocks.emplace_back(t, s);
    }
    if (blocks.empty() || blocks.front() != std::pair{dirTrack_, dirSector_}) {
        // That order is another directory's (a sub-directory is listed): sorting into it
        // would overwrite that directory, so this one keeps to its own chain.
        blocks.clear();
        for (const SlotRef& slot : CollectSlots(*this))
            if (slot.offset == 0) blocks.emplace_back(slot.track, slot.sector);
    }
    if (blocks.size() < needed) return;

    Group group(*this);
    const uint8_t fill = FillByte();
    uint8_t* block = nullptr;
    for (size_t j = 0; j < entries.size(); ++j) {
        const auto [t, s] = blocks[j / kSlotsPerBlock];
        if (j % kSlotsPerBlock == 0) {
            uint8_t* fresh = SectorPointer(t, s);
            if (block) {
                block[0] = static_cast<uint8_t>(t);
                block[1] = static_cast<uint8_t>(s);
            }
            RecordBlock(t, s, 0, kBlockSize);
            std::memset(fresh + 2, fill, kBlockSize - 2);
            for (int k = 1; k < kSlotsPerBlock; ++k)
                fresh[k * kSlotSize] = fresh[k * kSlotSize + 1] = 0;
            block = fresh;
        }
        uint8_t* slot = block + (j % kSlotsPerBlock) * kSlotSize;
        std::memcpy(slot + 2, entries[j].data() + 2, kBodySize);
        if (DirEntry(slot).typeCode() == kDir) UpdateDirBackLink(static_cast<int>(j), t, s);
    }
    block[0] = 0;
    block[1] = 0xFF;
    // Slots after the last entry would otherwise show the fill byte as entries.
    for (size_t k = (entries.size() - 1) % kSlotsPerBlock + 1; k < kSlotsPerBlock; ++k)
        std::memset(block + k * kSlotSize + 2, 0, kBodySize);

    UpdateParentDirectory();
    group.Close("Sort");
    SetModified(true);
    RedrawViews();
    Refresh();
}

// ---- Moving entries ------------------------------------------------------------------------

void DiskImage::MoveEntry(bool up, int index, bool updateView) {
    if (up ? index < 1 : index < 0) return;
    const int neighbour = up ? index - 1 : index + 1;
    // The bounds come from the listing itself: during an undo replay entryCount_ may have
    // been counted under the other show-deleted setting.
    DirEntry entry = EntryAt(index);
    DirEntry other = EntryAt(neighbour);
    if (!entry || !other) return;
    SetModified(true);
    RecordEntry(up ? UndoKind::MoveUp : UndoKind::MoveDown, neighbour, {},
                up ? "Move Up" : "Move Down");
    std::swap_ranges(entry.data() + 2, entry.data() + kSlotSize, other.data() + 2);
    if (directoryView_) {
        directoryView_->UpdateLine(index);
        directoryView_->UpdateLine(neighbour);
        if (updateView) directoryView_->SelectLine(neighbour);
    }
    if (sectorEditor_) sectorEditor_->Redraw();
}

bool DiskImage::MoveEntries(int first, int last, int target) {
    const int count = CountEntries();
    if (first < 0 || last < 0 || last < first || first >= count || last >= count) return false;
    if (target < 0 || target > count) return false;
    // Inside the run or right after it: the order would not change.
    if (target >= first && target <= last + 1) return true;

    Group group(*this);
    RecordEntry(UndoKind::ShiftStart, first, {});
    // A cleared slot leaves the listing only while deleted entries are hidden; then taking
    // an entry out before the target moves the target, and the run's next entry, up by one.
    // Shown, the cleared slot stays listed and both simply advance.
    const bool holesListed = showDeleted();
    if (target > first && !holesListed) --target;
    for (int n = last - first + 1; n > 0; --n) {
        DirEntry entry = EntryAt(first);
        if (!entry) {
            group.Abandon();
            return false;
        }
        SlotBytes copy;
        std::memcpy(copy.data(), entry.data(), kSlotSize);
        if (!ClearEntry(entry, first) ||
            !InsertEntry(target, std::span<const uint8_t>(copy.data() + 2, kBodySize))) {
            group.Abandon();
            return false;
        }
        if (target < first || holesListed) {
            ++first;
            ++target;
        }
    }
    RecordEntry(UndoKind::ShiftEnd, target, {});
    group.Close("Move File");
    SetModified(true);
    Refresh();
    RedrawViews();
    return true;
}

// ---- Cross-links ---------------------------------------------------------------------------

void DiskImage::CheckCrossLinks(std::vector<CrossLink>& results) {
    results.clear();
    std::vector<SlotBytes> files;
    // The directory chain takes part under a name of its own.
    SlotBytes directory{};
    static constexpr char kDirectoryName[] = "DIRECTORY";
    std::fill_n(directory.begin() + DirEntryOffset::name, kNameLength, kPad);
    std::memcpy(directory.data() + DirEntryOffset::name, kDirectoryName, sizeof kDirectoryName - 1);
    directory[DirEntryOffset::firstTrack] = static_cast<uint8_t>(dirTrack_);
    directory[DirEntryOffset::firstSector] = static_cast<uint8_t>(dirSector_);
    files.push_back(directory);
    for (const SlotRef& slot : CollectSlots(*this)) {
        if (IsEmpty(slot)) continue;
        SlotBytes bytes;
        std::memcpy(bytes.data(), slot.p, kSlotSize);
        files.push_back(bytes);
    }

    // Which file reached each (track, sector) first; -1 for none.
    std::vector<int> owner(256 * 256, -1);
    for (size_t f = 0; f < files.size(); ++f) {
        int t = files[f][DirEntryOffset::firstTrack], s = files[f][DirEntryOffset::firstSector];
        while (t != 0 && t <= trackCount_) {
            const uint8_t* block = SectorPointer(t, s);
            if (!block) break;
            int& who = owner[static_cast<size_t>(t - 1) * 256 + static_cast<size_t>(s)];
            if (who >= 0) {
                results.push_back({files[static_cast<size_t>(who)], files[f], t, s});
                break;
            }
            who = static_cast<int>(f);
            t = block[0];
            s = block[1];
        }
    }
}

} // namespace tessarind
