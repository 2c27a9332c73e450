#include "formats/T64Image.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "model/FormatRegistry.h"
#include "model/ImageObserver.h"
#include "model/SafeFile.h"

namespace tessarind {

namespace {

constexpr std::string_view kSignature = "C64S tape image file";
constexpr size_t kMaxOffset = 0x22, kUsedOffset = 0x24, kNameOffset = 0x28;
constexpr size_t kSlotStart = 2, kSlotEnd = 4, kSlotData = 8, kSlotName = 16;
constexpr size_t kPseudoTrack = 65536;
constexpr size_t kPc64HeaderSize = 26;
constexpr uint32_t kMaxRecordBytes = 65535; // the most one undo record keeps

constexpr UndoKind FormatKind(int n) {
    return static_cast<UndoKind>(static_cast<int>(UndoKind::FormatBase) + n);
}
// The tape's own undo kinds: directory bytes to take out again, a size to cut back to, and
// removed data bytes to put back.
constexpr UndoKind kUndoDirBytes = FormatKind(1);
constexpr UndoKind kUndoTruncate = FormatKind(2);
constexpr UndoKind kUndoReinsert = FormatKind(3);

uint32_t Long(const uint8_t* p) {
    return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) |
           (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Word(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

} // namespace

T64Image::T64Image(Settings* settings) : DiskImage(FormatId::T64, settings) {
    maxSectors_ = 256;
    trackCount_ = 1;
    dirTrack_ = 0; // no directory chain: the shared walks find nothing to walk
    dirSector_ = 0;
}

// ---- Bytes --------------------------------------------------------------------------------

uint16_t T64Image::Word(size_t offset) const {
    if (offset + 2 > size_) return 0;
    return tessarind::Word(Store().Contents().data() + offset);
}

int T64Image::maxSlots() const {
    return Word(kMaxOffset);
}
int T64Image::usedSlots() const {
    return Word(kUsedOffset);
}

int T64Image::PresentSlots() const {
    if (size_ < kHeaderSize) return 0;
    return static_cast<int>(
        std::min<size_t>(static_cast<size_t>(maxSlots()), (size_ - kHeaderSize) / kSlotBytes));
}

uint8_t* T64Image::SlotPointer(int slot) {
    if (slot < 0 || slot >= PresentSlots()) return nullptr;
    return Store().At(kHeaderSize + kSlotBytes * static_cast<size_t>(slot), kSlotBytes);
}

void T64Image::SetSize(size_t size) {
    size_ = size;
    trackCount_ = static_cast<int>(size_ / kPseudoTrack) + 1;
    if (sectorEditor_) sectorEditor_->SetTrackCount(trackCount_);
}

void T64Image::EnsureCapacity(size_t bytes) {
    // Whole pseudo-sectors, so that the last, partial one of the tape still has 256 bytes.
    const size_t capacity = Store().Size();
    const size_t grown = (bytes + kBlockSize - 1) / kBlockSize * kBlockSize;
    if (grown <= capacity) return;
    Store().Resize(grown);
    std::memset(Store().At(capacity, grown - capacity), FillByte(), grown - capacity);
}

void T64Image::InsertBytes(size_t offset, size_t length) {
    if (length == 0) return;
    offset = std::min(offset, size_);
    EnsureCapacity(size_ + length);
    uint8_t* base = Store().At(0, size_ + length);
    std::memmove(base + offset + length, base + offset, size_ - offset);
    SetSize(size_ + length);
}

void T64Image::EraseBytes(size_t offset, size_t length) {
    if (offset >= size_) return;
    length = std::min(length, size_ - offset);
    uint8_t* base = Store().At(0, size_);
    std::memmove(base + offset, base + offset + length, size_ - offset - length);
    std::memset(base + size_ - length, FillByte(), length);
    SetSize(size_ - length);
}

void T64Image::Truncate(size_t size) {
    if (size >= size_) return;
    std::memset(Store().At(size, size_ - size), FillByte(), size_ - size);
    SetSize(size);
}

void T64Image::RecordRange(size_t offset, size_t length, const std::string& name) {
    if (recordingSuspended()) return;
    const std::span<const uint8_t> bytes = Store().Contents();
    for (size_t end = std::min(offset + length, size_); offset < end;) {
        const size_t piece = std::min(end - offset, kBlockSize - offset % kBlockSize);
        Record(UndoKind::Block, static_cast<int>(offset / kPseudoTrack) + 1,
               static_cast<int>(offset % kPseudoTrack / kBlockSize),
               static_cast<uint32_t>(offset % kBlockSize), bytes.subspan(offset, piece), name);
        offset += piece;
    }
}

void T64Image::SetWord(size_t offset, uint16_t value, const std::string& name) {
    uint8_t* p = Store().At(offset, 2);
    if (!p || offset + 2 > size_) return;
    RecordRange(offset, 2, name);
    p[0] = static_cast<uint8_t>(value & 0xFF);
    p[1] = static_cast<uint8_t>(value >> 8);
}

void T64Image::SetLong(size_t offset, uint32_t value, const std::string& name) {
    uint8_t* p = Store().At(offset, 4);
    if (!p || offset + 4 > size_) return;
    RecordRange(offset, 4, name);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// ---- Geometry and lifecycle ---------------------------------------------------------------

uint8_t* T64Image::SectorPointer(int track, int sector) {
    if (track < 1 || sector < 0 || sector >= maxSectors_) return nullptr;
    const size_t offset =
        static_cast<size_t>(track - 1) * kPseudoTrack + static_cast<size_t>(sector) * kBlockSize;
    if (offset >= size_) return nullptr;
    // The capacity is whole pseudo-sectors, so a last, partial one still has 256 bytes.
    return Store().At(offset, kBlockSize);
}

uint8_t* T64Image::DiskNamePointer() {
    return size_ >= kNameOffset + kTapeNameLength ? Store().At(kNameOffset, kTapeNameLength)
                                                  : nullptr;
}

bool T64Image::LocateBlock(const uint8_t* p, int& track, int& sector) {
    size_t offset = 0;
    if (!Store().OffsetOf(p, offset) || offset >= size_) return false;
    track = static_cast<int>(offset / kPseudoTrack) + 1;
    sector = static_cast<int>(offset % kPseudoTrack / kBlockSize);
    return true;
}

bool T64Image::Open(Interaction* owner, const std::string& path, bool load, bool create) {
    if (!DiskImage::Open(owner, path, load, create)) return false;
    if (path.empty()) SetPath("New Tape");
    return true;
}

bool T64Image::LoadFile(const std::string& path) {
    if (!DiskImage::LoadFile(path)) return false;
    SetSize(Store().Size());
    EnsureCapacity(size_);
    return true;
}

bool T64Image::LoadFromMemory(std::span<const uint8_t> data) {
    Store().Assign(std::vector<uint8_t>(data.begin(), data.end()));
    SetSize(data.size());
    EnsureCapacity(size_);
    AfterLoad();
    Refresh();
    return true;
}

std::vector<std::span<const uint8_t>> T64Image::FileContents(std::vector<uint8_t>& codes) {
    codes.clear();
    return {TapeBytes()};
}

bool T64Image::CreateEmpty() {
    Store().Assign(kBlockSize, FillByte());
    uint8_t* p = Store().At(0, kNewTapeSize);
    std::memset(p, 0, kNewTapeSize);
    std::memcpy(p, kSignature.data(), kSignature.size());
    p[0x21] = 0x01; // version 0x0100
    std::memset(p + kNameOffset, 0x20, kTapeNameLength);
    SetSize(kNewTapeSize);
    SetModified(false);
    return true;
}

void T64Image::AfterLoad() {
    SetSize(size_);
}

// ---- Directory ------------------------------------------------------------------------------

std::vector<int> T64Image::ListedSlots() {
    std::vector<int> slots;
    const int present = PresentSlots();
    for (int k = 0; k < present; ++k)
        if (showDeleted() || SlotPointer(k)[0] != 0) slots.push_back(k);
    return slots;
}

std::optional<int> T64Image::ListedSlot(int index) {
    const std::vector<int> slots = ListedSlots();
    if (index < 0 || static_cast<size_t>(index) >= slots.size()) return std::nullopt;
    return slots[static_cast<size_t>(index)];
}

int T64Image::CountEntries() {
    return static_cast<int>(ListedSlots().size());
}

DirEntry T64Image::EntryAtEx(int index, bool includeFree, EntryLocation* where) {
    if (index < 0 || index >= (includeFree ? maxSlots() : usedSlots())) return DirEntry();
    const int present = PresentSlots();
    for (int k = 0, n = 0; k < present; ++k) {
        uint8_t* slot = SlotPointer(k);
        if (!includeFree && slot[0] == 0) continue;
        if (n++ < index) continue;
        if (where) {
            const size_t offset = kHeaderSize + kSlotBytes * static_cast<size_t>(k);
            *where = {1 + static_cast<int>(offset / kPseudoTrack),
                      static_cast<int>(offset % kPseudoTrack / kBlockSize), k};
        }
        return DirEntry(slot);
    }
    return DirEntry();
}

std::vector<T64Image::OrderRow> T64Image::OrderTable() {
    std::vector<OrderRow> rows;
    const int present = PresentSlots();
    int listed = 0;
    for (int k = 0; k < present; ++k) {
        const uint8_t* slot = SlotPointer(k);
        const bool used = slot[0] != 0;
        if (used) {
            const uint32_t offset = Long(slot + kSlotData);
            // A file whose bytes would start past the end of the tape has no place in the order.
            if (offset <= size_) rows.push_back({k, listed, offset, 0});
        }
        if (used || showDeleted()) ++listed;
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const OrderRow& a, const OrderRow& b) { return a.offset < b.offset; });
    for (size_t i = 0; i < rows.size(); ++i) {
        const uint32_t next =
            i + 1 < rows.size() ? rows[i + 1].offset : static_cast<uint32_t>(size_);
        rows[i].length = next - rows[i].offset;
    }
    return rows;
}

int T64Image::SlotBlocks(const uint8_t* slot) {
    const int length = static_cast<uint16_t>(tessarind::Word(slot + kSlotEnd) -
                                             tessarind::Word(slot + kSlotStart));
    return (length + 253) / 254;
}

int T64Image::FileBlocks(int index) {
    const std::optional<int> slot = ListedSlot(index);
    return slot ? SlotBlocks(SlotPointer(*slot)) : 0;
}

// ---- Files ----------------------------------------------------------------------------------

std::optional<std::vector<uint8_t>> T64Image::ReadFileData(int index,
                                                           std::optional<ChainBreak>* broken) {
    if (broken) broken->reset();
    const std::optional<int> slot = ListedSlot(index);
    if (!slot) return std::nullopt;
    for (const OrderRow& row : OrderTable()) {
        if (row.slot != *slot) continue;
        const uint8_t* p = SlotPointer(row.slot);
        std::vector<uint8_t> data = {p[kSlotStart], p[kSlotStart + 1]};
        const std::span<const uint8_t> bytes = TapeBytes().subspan(row.offset, row.length);
        data.insert(data.end(), bytes.begin(), bytes.end());
        return data;
    }
    return std::nullopt;
}

bool T64Image::WriteFileData(std::span<const uint8_t, kNameLength> name, int index, bool,
                             std::vector<uint8_t> data, int, const FormatRow& row) {
    std::array<uint8_t, kNameLength> fileName;
    std::copy(name.begin(), name.end(), fileName.begin());
    size_t skip = 0;
    // A PC64 file brings its own name; its header is no part of the program.
    if (row.id >= FormatId::P00 && row.id <= FormatId::U00 && data.size() >= kPc64HeaderSize &&
        std::memcmp(data.data(), "C64File", 8) == 0) {
        std::copy_n(data.begin() + 8, kNameLength, fileName.begin());
        for (int i = kNameLength - 1; i >= 0 && fileName[static_cast<size_t>(i)] == 0; --i)
            fileName[static_cast<size_t>(i)] = kPad;
        skip = kPc64HeaderSize;
    }
    if (data.size() <= skip + 1) return false; // no load address and bytes to store
    const std::span<const uint8_t> file(data.data() + skip, data.size() - skip);
    const int cbmType = row.cbmType >= kDel && row.cbmType <= kRel ? row.cbmType : kPrg;

    std::array<uint8_t, kSlotBytes> slot{};
    slot[0] = 1;
    slot[1] = static_cast<uint8_t>(kTypeClosed | cbmType);
    const uint16_t start = tessarind::Word(file.data());
    const auto end = static_cast<uint16_t>(start + file.size() - 2);
    slot[kSlotStart] = file[0];
    slot[kSlotStart + 1] = file[1];
    slot[kSlotEnd] = static_cast<uint8_t>(end & 0xFF);
    slot[kSlotEnd + 1] = static_cast<uint8_t>(end >> 8);
    for (int i = 0; i < 4; ++i)
        slot[kSlotData + static_cast<size_t>(i)] = static_cast<uint8_t>(size_ >> (8 * i));
    size_t nameEnd = kNameLength;
    while (nameEnd > 0 && fileName[nameEnd - 1] == kPad)
        --nameEnd;
    for (size_t i = 0; i < kNameLength; ++i)
        slot[kSlotName + i] = i < nameEnd ? fileName[i] : 0x20;

    Group group(*this);
    Record(kUndoTruncate, 0, 0, static_cast<uint32_t>(size_), {}, "Append File");
    const size_t at = size_;
    EnsureCapacity(size_ + file.size() - 2);
    if (file.size() > 2)
        std::memcpy(Store().At(at, file.size() - 2), file.data() + 2, file.size() - 2);
    SetSize(size_ + file.size() - 2);
    if (!InsertEntry(index, slot)) {
        group.Abandon();
        Truncate(at); // when nothing was journalled to undo the append
        return false;
    }
    group.Close("Insert File");
    return true;
}

bool T64Image::InsertEntry(int index, std::span<const uint8_t> given) {
    if (given.size() < kSlotBytes) return false;
    const int max = maxSlots();
    // A directory the tape does not hold whole leaves no safe place for a slot.
    if (size_ < kHeaderSize || max > PresentSlots() || max >= 0xFFFF) return false;
    std::array<uint8_t, kSlotBytes> fresh;
    std::copy_n(given.begin(), kSlotBytes, fresh.begin());

    const std::vector<int> listed = ListedSlots();
    int j = 0;
    if (index >= 0 && static_cast<size_t>(index) < listed.size()) {
        j = listed[static_cast<size_t>(index)];
    } else {
        for (int k = 0; k < max; ++k)
            if (SlotPointer(k)[0] != 0) j = k + 1;
    }
    int freeSlot = -1;
    for (int k = 0; k < max; ++k)
        if (SlotPointer(k)[0] == 0 && (freeSlot < 0 || std::abs(k - j) < std::abs(freeSlot - j)))
            freeSlot = k;

    Group group(*this);
    const auto slotOffset = [](int k) { return kHeaderSize + kSlotBytes * static_cast<size_t>(k); };
    int target = j;
    if (freeSlot < 0) {
        for (int k = 0; k < max; ++k)
            if (const uint8_t* p = SlotPointer(k); p[0] != 0)
                SetLong(slotOffset(k) + kSlotData, Long(p + kSlotData) + kSlotBytes,
                        "Increment Offset");
        const uint32_t offset = Long(fresh.data() + kSlotData) + kSlotBytes;
        for (int i = 0; i < 4; ++i)
            fresh[kSlotData + static_cast<size_t>(i)] = static_cast<uint8_t>(offset >> (8 * i));
        SetWord(kMaxOffset, static_cast<uint16_t>(max + 1), "Increment Max Files");
        target = std::min(j, max);
        Record(kUndoDirBytes, 0, 0, static_cast<uint32_t>(slotOffset(target)), {},
               "Add Tape Entry");
        InsertBytes(slotOffset(target), kSlotBytes);
    }
    SetWord(kUsedOffset, static_cast<uint16_t>(usedSlots() + 1), "Increment Used Files");
    if (freeSlot >= 0) {
        // The slots between the free one and j move one place towards it.
        const int low = std::min(freeSlot, j), high = std::max(freeSlot, j == max ? max - 1 : j);
        RecordRange(slotOffset(low), slotOffset(high + 1) - slotOffset(low), "Insert Tape Entry");
        uint8_t* base = Store().At(0, size_);
        if (freeSlot >= j) {
            std::memmove(base + slotOffset(j + 1), base + slotOffset(j),
                         slotOffset(freeSlot) - slotOffset(j));
        } else {
            target = j - 1;
            std::memmove(base + slotOffset(freeSlot), base + slotOffset(freeSlot + 1),
                         slotOffset(target) - slotOffset(freeSlot));
        }
    }
    std::memcpy(Store().At(slotOffset(target), kSlotBytes), fresh.data(), kSlotBytes);
    group.Close("Insert File");
    SetModified(true);
    Refresh();
    return true;
}

void T64Image::MarkDeleted(int slot) {
    const size_t offset = kHeaderSize + kSlotBytes * static_cast<size_t>(slot);
    RecordRange(offset, 1, "Make file as Deleted");
    Store().At(offset, 1)[0] = 0;
    const int used = usedSlots();
    SetWord(kUsedOffset, static_cast<uint16_t>(used > 0 ? used - 1 : 0), "Decrement Used Files");
}

bool T64Image::ClearEntry(DirEntry, int index) {
    const std::optional<int> slot = ListedSlot(index);
    if (!slot || SlotPointer(*slot)[0] == 0) return false;
    Group group(*this);
    MarkDeleted(*slot);
    group.Close("Delete File");
    SetModified(true);
    Refresh();
    return true;
}

void T64Image::RemoveEntry(int index, bool withData) {
    const std::optional<int> slot = ListedSlot(index);
    if (!slot || SlotPointer(*slot)[0] == 0) return;
    Group group(*this);
    if (withData) {
        const std::vector<OrderRow> table = OrderTable();
        const auto row = std::find_if(table.begin(), table.end(),
                                      [&](const OrderRow& r) { return r.slot == *slot; });
        const size_t dirEnd = kHeaderSize + kSlotBytes * static_cast<size_t>(maxSlots());
        // Without its place in the order (or with bytes inside the directory) the file's
        // extent is unknown: nothing is removed.
        if (row == table.end() || row->offset < dirEnd) return;
        const uint32_t pos = row->offset, length = row->length;
        const int present = PresentSlots();
        for (int k = 0; k < present && length > 0; ++k) {
            const uint32_t offset = Long(SlotPointer(k) + kSlotData);
            if (k != *slot && offset >= pos + length)
                SetLong(kHeaderSize + kSlotBytes * static_cast<size_t>(k) + kSlotData,
                        offset - length, "Remove File");
        }
        // Undo puts the bytes back piece by piece, first piece first.
        const std::span<const uint8_t> bytes = TapeBytes();
        const uint32_t pieces = (length + kMaxRecordBytes - 1) / kMaxRecordBytes;
        for (uint32_t i = pieces; i-- > 0;) {
            const uint32_t from = i * kMaxRecordBytes;
            Record(kUndoReinsert, 0, 0, pos + from,
                   bytes.subspan(pos + from, std::min(kMaxRecordBytes, length - from)),
                   "Remove File");
        }
        EraseBytes(pos, length);
    }
    MarkDeleted(*slot);
    group.Close("Remove File");
    SetModified(true);
    Refresh();
    if (directoryView_) directoryView_->SelectLine(std::min(index, std::max(entryCount(), 1) - 1));
}

bool T64Image::RenameEntry(DirEntry, std::span<const uint8_t, kNameLength> name, int index) {
    const std::optional<int> slot = ListedSlot(index);
    if (!slot) return false;
    std::array<uint8_t, kNameLength> padded;
    size_t nameEnd = kNameLength;
    while (nameEnd > 0 && name[nameEnd - 1] == kPad)
        --nameEnd;
    for (size_t i = 0; i < kNameLength; ++i)
        padded[i] = i < nameEnd ? name[i] : 0x20;
    uint8_t* p = SlotPointer(*slot) + kSlotName;
    if (std::equal(padded.begin(), padded.end(), p)) return false;
    RecordRange(kHeaderSize + kSlotBytes * static_cast<size_t>(*slot) + kSlotName, kNameLength,
                "File Name");
    std::copy(padded.begin(), padded.end(), p);
    SetModified(true);
    if (directoryView_) directoryView_->UpdateLine(index);
    return true;
}

// ---- Maintenance --------------------------------------------------------------------------

void T64Image::Validate() {
    int used = 0;
    const int present = PresentSlots();
    for (int k = 0; k < present; ++k)
        used += SlotPointer(k)[0] != 0 ? 1 : 0;
    if (used == usedSlots() || size_ < kUsedOffset + 2) return;
    SetWord(kUsedOffset, static_cast<uint16_t>(used), "Validate");
    SetModified(true);
    Refresh();
}

void T64Image::Sort(bool ascending, bool bySize) {
    const std::vector<int> slots = ListedSlots();
    using Slot = std::array<uint8_t, kSlotBytes>;
    std::vector<Slot> sorted(slots.size());
    for (size_t i = 0; i < slots.size(); ++i)
        std::copy_n(SlotPointer(slots[i]), kSlotBytes, sorted[i].begin());
    const auto size = [](const Slot& s) {
        return static_cast<uint16_t>(tessarind::Word(&s[kSlotEnd]) -
                                     tessarind::Word(&s[kSlotStart]));
    };
    std::stable_sort(sorted.begin(), sorted.end(), [&](const Slot& a, const Slot& b) {
        if (bySize) return size(a) < size(b);
        return std::lexicographical_compare(a.begin() + kSlotName, a.end(), b.begin() + kSlotName,
                                            b.end());
    });
    if (!ascending) std::reverse(sorted.begin(), sorted.end());
    Group group(*this);
    bool changed = false;
    for (size_t i = 0; i < slots.size(); ++i) {
        uint8_t* p = SlotPointer(slots[i]);
        if (std::equal(sorted[i].begin(), sorted[i].end(), p)) continue;
        RecordRange(kHeaderSize + kSlotBytes * static_cast<size_t>(slots[i]), kSlotBytes,
                    "Swap File");
        std::copy(sorted[i].begin(), sorted[i].end(), p);
        changed = true;
    }
    group.Close("Sort");
    if (!changed) return;
    SetModified(true);
    RedrawViews();
}

void T64Image::MoveEntry(bool up, int index, bool updateView) {
    const std::optional<int> a = ListedSlot(index), b = ListedSlot(up ? index - 1 : index + 1);
    if (!a || !b) return;
    const std::string name = up ? "Move Up" : "Move Down";
    Group group(*this);
    for (int k : {*a, *b})
        RecordRange(kHeaderSize + kSlotBytes * static_cast<size_t>(k), kSlotBytes, name);
    std::swap_ranges(SlotPointer(*a), SlotPointer(*a) + kSlotBytes, SlotPointer(*b));
    group.Close(name);
    SetModified(true);
    if (updateView && directoryView_) {
        directoryView_->UpdateLine(index);
        directoryView_->SelectLine(up ? index - 1 : index + 1);
    }
    RedrawViews();
}

bool T64Image::MoveEntries(int first, int last, int target) {
    const std::vector<int> listed = ListedSlots();
    const int count = static_cast<int>(listed.size());
    if (first < 0 || first > last || last >= count || target < 0 || target > count) return false;
    for (int i = first; i <= last; ++i)
        if (SlotPointer(listed[static_cast<size_t>(i)])[0] == 0) return false; // only files move
    // Free slots take part in the listing while deleted entries are shown, but a freed source
    // slot would then keep its place: the move runs over the files alone.
    const auto filesBefore = [&](int position) {
        int files = 0;
        for (int i = 0; i < position; ++i)
            files += SlotPointer(listed[static_cast<size_t>(i)])[0] != 0 ? 1 : 0;
        return files;
    };
    const int length = last - first;
    first = filesBefore(first);
    last = first + length;
    target = filesBefore(target);
    if (target >= first && target <= last + 1) return false;
    const bool shown = showDeleted();
    SetShowDeleted(false);
    Group group(*this);
    bool moved = true;
    for (int k = 0; k <= length && moved; ++k) {
        const int source = target < first ? first + k : first;
        // The source leaves the listing, so a later target comes one place nearer.
        const int to = target < first ? target + k : target - 1;
        const int slot = *ListedSlot(source);
        std::array<uint8_t, kSlotBytes> copy;
        std::copy_n(SlotPointer(slot), kSlotBytes, copy.begin());
        MarkDeleted(slot);
        moved = InsertEntry(to, copy);
    }
    if (moved)
        group.Close("Move File");
    else
        group.Abandon();
    SetShowDeleted(shown);
    if (!moved) return false;
    SetModified(true);
    Refresh();
    RedrawViews();
    return true;
}

bool T64Image::ReplayFormatUndo(const UndoRecord& r) {
    if (r.kind == kUndoDirBytes) {
        EraseBytes(r.offset, kSlotBytes);
    } else if (r.kind == kUndoTruncate) {
        Truncate(r.offset);
    } else if (r.kind == kUndoReinsert) {
        if (r.offset > size_) return true;
        if (r.data.empty()) return true;
        InsertBytes(r.offset, r.data.size());
        std::memcpy(Store().At(r.offset, r.data.size()), r.data.data(), r.data.size());
    } else {
        return false;
    }
    return true;
}

DirEntry T64Image::EntryAsListed(int index, std::array<uint8_t, kSlotSize>& scratch) {
    const std::optional<int> listed = ListedSlot(index);
    const uint8_t* slot = listed ? SlotPointer(*listed) : nullptr;
    if (!slot) return DirEntry();
    scratch.fill(0);
    DirEntry entry(scratch.data());
    const int code = slot[1] & 7;
    entry.type() = static_cast<uint8_t>(kTypeClosed | (code == kSeq || code == kUsr ? code : kPrg));
    // Tape names are padded with blanks; a disk name with shifted spaces.
    int end = kNameLength;
    while (end > 0 && slot[kSlotName + static_cast<size_t>(end) - 1] == 0x20) --end;
    for (int i = 0; i < kNameLength; ++i)
        entry.name()[static_cast<size_t>(i)] = i < end ? slot[kSlotName + static_cast<size_t>(i)] : kPad;
    entry.setBlocksRaw(static_cast<uint16_t>(FileBlocks(index)));
    return entry;
}

bool T64Image::ExportAllFiles(const std::string& folder, ExportMode mode, ExportRun& run) {
    const int notWrittenBefore = run.notWritten;
    std::error_code ec;
    bool made = false;
    std::array<uint8_t, kSlotSize> scratch{};
    for (int index = 0; index < CountEntries(); ++index) {
        const DirEntry entry = EntryAsListed(index, scratch);
        const FormatRow* row = entry ? RowForExportMode(mode, entry.typeCode()) : nullptr;
        if (!row) continue;
        if (!made) {
            std::filesystem::create_directories(folder, ec);
            made = true;
        }
        ExportInto(index, folder, *row, run);
    }
    return run.notWritten == notWrittenBefore;
}

} // namespace tessarind
