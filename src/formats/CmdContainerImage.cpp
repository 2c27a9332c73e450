#include "formats/CmdContainerImage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "formats/D64Image.h"
#include "formats/D71Image.h"
#include "formats/D81Image.h"
#include "formats/DnpImage.h"
#include "formats/SectorCacheStore.h"
#include "model/FormatRegistry.h"
#include "model/ImageObserver.h"
#include "model/SafeFile.h"
#include "model/VisitedSet.h"
#include "text/Petscii.h"

namespace tessarind {

namespace {

constexpr ContainerShape kFd{
    FormatId::D2m, 26, 128, 25, 8, 32, 26, 5, 0xF0, 0, 40, CmdContainerImage::kFdImageBytes};
constexpr ContainerShape kHd{FormatId::Dhd, 19561, 256, 4, 0, 256, 4, 60, 0xCA, 528, 1056, 0};
constexpr size_t kTrackBytes = 65536;
constexpr int kSaveCommand = 2013;

// Entry fields.
constexpr int kTypeOffset = 2, kNameOffset = 5, kStartOffset = 21, kSizeOffset = 30;
constexpr int kBodyOffset = 2, kBodySize = kSlotSize - kBodyOffset; // what moves between slots

// A partition's bytes as a window into its container: the child sees them from offset 0.
class PartitionStore final : public BlockStore {
public:
    PartitionStore(CmdContainerImage& container, size_t base, size_t size)
        : container_(container), base_(base), size_(size) {}

    size_t Size() const override { return size_; }
    uint8_t* At(size_t offset, size_t length) override {
        if (offset > size_ || length > size_ - offset) return nullptr;
        const size_t at = base_ + offset;
        if (at % kBlockSize + length <= kBlockSize) {
            uint8_t* sector = container_.SectorPointer(static_cast<int>(at / kTrackBytes) + 1,
                                                       static_cast<int>((at / kBlockSize) % 256));
            return sector ? sector + at % kBlockSize : nullptr;
        }
        return container_.Store().At(
            at, length); // runs of sectors, where the container holds them whole
    }
    bool OffsetOf(const uint8_t* p, size_t& offset) const override {
        size_t at = 0;
        if (!container_.Store().OffsetOf(p, at) || at < base_ || at - base_ >= size_) return false;
        offset = at - base_;
        return true;
    }
    void Assign(std::vector<uint8_t> bytes) override {
        for (size_t at = 0; at < std::min(bytes.size(), size_); at += kBlockSize) {
            const size_t n = std::min<size_t>(kBlockSize, std::min(bytes.size(), size_) - at);
            if (uint8_t* p = At(at, n)) std::memcpy(p, bytes.data() + at, n);
        }
    }
    void Assign(size_t, uint8_t fill) override {
        for (size_t at = 0; at + kBlockSize <= size_; at += kBlockSize)
            if (uint8_t* p = At(at, kBlockSize)) std::memset(p, fill, kBlockSize);
    }
    void Resize(size_t) override {} // a partition keeps its size
    std::span<const uint8_t> Contents() const override {
        // Gathered on demand: the sectors need not lie together in memory.
        copy_.assign(size_, 0);
        auto* self = const_cast<PartitionStore*>(this);
        for (size_t at = 0; at < size_; at += kBlockSize) {
            const size_t n = std::min<size_t>(kBlockSize, size_ - at);
            if (const uint8_t* p = self->At(at, n)) std::memcpy(copy_.data() + at, p, n);
        }
        return copy_;
    }
    bool Swap(std::vector<uint8_t>&) override { return false; }

private:
    CmdContainerImage& container_;
    size_t base_, size_;
    mutable std::vector<uint8_t> copy_;
};

// An ordinary image of its kind that tells its container when it changes.
template <class Base> class PartitionChild final : public Base {
public:
    PartitionChild(CmdContainerImage& container, Settings* settings)
        : Base(settings), container_(container) {}
    void SetModified(bool on) override {
        Base::SetModified(on);
        container_.ChildModified(on);
    }
    // Save has nowhere to go but the container; Save As writes the partition on its own.
    void UpdateCommands(CommandStates& states) override {
        Base::UpdateCommands(states);
        states.Enable(kSaveCommand, false);
    }

private:
    CmdContainerImage& container_;
};

std::unique_ptr<DiskImage> MakeChild(int type, CmdContainerImage& container, Settings* settings) {
    switch (type) {
    case CmdContainerImage::kNative:
        return std::make_unique<PartitionChild<DnpImage>>(container, settings);
    case CmdContainerImage::kType1541:
        return std::make_unique<PartitionChild<D64Image>>(container, settings);
    case CmdContainerImage::kType1571:
        return std::make_unique<PartitionChild<D71Image>>(container, settings);
    case CmdContainerImage::kType1581:
        return std::make_unique<PartitionChild<D81Image>>(container, settings);
    default:
        return nullptr;
    }
}

uint32_t BigEndian(const uint8_t* p, int n) {
    uint32_t value = 0;
    for (int i = 0; i < n; ++i)
        value = value << 8 | p[i];
    return value;
}

bool Openable(int type) {
    return type >= CmdContainerImage::kNative && type <= CmdContainerImage::kType1581;
}

} // namespace

const ContainerShape& CmdContainerImage::ShapeOf(int formatId) {
    return formatId == FormatId::Dhd ? kHd : kFd;
}

CmdContainerImage::CmdContainerImage(int formatId, Settings* settings)
    : DiskImage(formatId, settings), shape_(ShapeOf(formatId)) {
    trackCount_ = shape_.trackCount;
    maxSectors_ = 256;
    maxFileType_ = 255;
    dirTrack_ = 0; // no directory chain: the table is walked here
    children_.resize(static_cast<size_t>(shape_.slotCount));
}

CmdContainerImage::~CmdContainerImage() {
    CloseChildren();
}

uint8_t* CmdContainerImage::SectorPointer(int track, int sector) {
    if (track < 1 || track > shape_.trackCount || sector < 0 || sector > 255) return nullptr;
    if (track == shape_.trackCount && sector >= shape_.lastTrackSectors) return nullptr;
    return Store().At((static_cast<size_t>(track - 1) * 256 + static_cast<size_t>(sector)) *
                          kBlockSize,
                      kBlockSize);
}

uint8_t* CmdContainerImage::DiskNamePointer() {
    uint8_t* sector = SectorPointer(shape_.nameTrack, shape_.nameSector);
    return sector ? sector + shape_.nameOffset : nullptr;
}

bool CmdContainerImage::LocateBlock(const uint8_t* p, int& track, int& sector) {
    size_t offset = 0;
    if (!Store().OffsetOf(p, offset)) return false;
    track = static_cast<int>(offset / kTrackBytes) + 1;
    sector = static_cast<int>((offset / kBlockSize) % 256);
    return SectorPointer(track, sector) != nullptr;
}

bool CmdContainerImage::CreateEmpty() {
    if (shape_.newImageBytes == 0) return false;
    Store().Assign(shape_.newImageBytes, FillByte());
    uint8_t* system = SectorPointer(26, 5);
    std::fill(system, system + 0xD0, 0xFF);
    system[0x38] = 0x00;
    system[0x39] = 0x00;
    system[0x70] = 0x00;
    system[0x71] = 0x0C;
    system[0xA8] = 0x00;
    system[0xA9] = 0x80;
    std::memcpy(system + 0xF0, "CMD FD SERIES   ", 16);
    uint8_t* table = SectorPointer(26, 8);
    const uint8_t first[] = {0x01, 0x01, 0xFF, 0x00, 0x00, 'S', 'Y', 'S', 'T', 'E', 'M'};
    std::memcpy(table, first, sizeof first);
    std::fill(table + sizeof first, table + sizeof first + 10, kPad);
    const uint8_t links[][2] = {{1, 2}, {1, 3}, {0, 0xFF}};
    for (int i = 0; i < 3; ++i) {
        uint8_t* next = SectorPointer(26, 9 + i);
        next[0] = links[i][0];
        next[1] = links[i][1];
    }
    SetModified(false);
    return true;
}

bool CmdContainerImage::LoadFile(const std::string& path) {
    if (formatId_ != FormatId::Dhd) return DiskImage::LoadFile(path);
    SetPath(path);
    if (modified()) SetModified(false);
    auto store = std::make_unique<SectorCacheStore>();
    if (!store->OpenFile(path)) {
        ReportSystemError("Unable to Open File " + FileNamePart(path));
        return false;
    }
    cache_ = store.get();
    ReplaceStore(std::move(store));
    return true;
}

bool CmdContainerImage::WriteFile(const std::string& path) {
    if (!cache_) return DiskImage::WriteFile(path);
    int error = 0;
    const bool ok = ResolveLinks(path) == ResolveLinks(cache_->FilePath())
                        ? cache_->WriteBack(&error)
                        : cache_->CopyTo(path, &error);
    if (!ok) {
        ReportSystemError("Unable to Save File " + path + ": " + std::strerror(error));
        return false;
    }
    SetModified(false);
    return true;
}

void CmdContainerImage::SetModified(bool on) {
    DiskImage::SetModified(on);
    if (on) return;
    // Saved: what the children changed is in the file now.
    clearingChildren_ = true;
    for (auto& child : children_)
        if (child) child->SetModified(false);
    clearingChildren_ = false;
}

void CmdContainerImage::ChildModified(bool on) {
    if (on && !clearingChildren_) DiskImage::SetModified(true);
}

bool CmdContainerImage::CanAcceptKind(int formatId) const {
    return TypeOfFormat(formatId) != kNone;
}

int CmdContainerImage::TypeOfFormat(int formatId) {
    switch (formatId) {
    case FormatId::D64:
        return kType1541;
    case FormatId::D71:
        return kType1571;
    case FormatId::D81:
        return kType1581;
    case FormatId::Dnp:
        return kNative;
    default:
        return kNone;
    }
}

int CmdContainerImage::FormatOfType(int type) {
    switch (type) {
    case kType1541:
        return FormatId::D64;
    case kType1571:
        return FormatId::D71;
    case kType1581:
        return FormatId::D81;
    case kNative:
        return FormatId::Dnp;
    default:
        return FormatId::None;
    }
}

std::string CmdContainerImage::TypeName(int type) {
    static const char* const names[] = {"NONE", "NAT", "41 ", "71 ", "81 ", "C81", "PRN", "FOR"};
    return type >= 0 && type < 8 ? names[type] : "SYS";
}

std::vector<PartitionSlot> CmdContainerImage::TableSlots(bool listing) {
    std::vector<PartitionSlot> slots;
    VisitedSet visited;
    int t = shape_.baseTrack + 1, s = shape_.baseSector;
    int slot = 0;
    while (visited.Visit(t, s)) {
        uint8_t* block = SectorPointer(t, s);
        if (!block) break;
        for (int i = 0; i < kSlotsPerBlock; ++i)
            slots.push_back({slot++, t, s, block + i * kSlotSize});
        const int lt = block[0], ls = block[1];
        if (lt == 0 || (listing && ls > 3)) break;
        t = shape_.baseTrack + lt;
        s = shape_.baseSector + ls;
    }
    return slots;
}

PartitionInfo CmdContainerImage::Info(const uint8_t* entry) {
    if (!entry) return {};
    return {entry[kTypeOffset], BigEndian(entry + kStartOffset, 3),
            BigEndian(entry + kSizeOffset, 2)};
}

PartitionInfo CmdContainerImage::InfoAt(int index) {
    DirEntry entry = EntryAt(index);
    return entry ? Info(entry.data()) : PartitionInfo{};
}

int CmdContainerImage::CountEntries() {
    int count = 0;
    for (const PartitionSlot& slot : TableSlots(false))
        count += showDeleted() || slot.bytes[kTypeOffset] != 0;
    return count;
}

DirEntry CmdContainerImage::EntryAtEx(int index, bool includeDeleted, EntryLocation* where) {
    if (index < 0) return DirEntry();
    int n = 0;
    for (const PartitionSlot& slot : TableSlots(false)) {
        if (!includeDeleted && slot.bytes[kTypeOffset] == 0) continue;
        if (n++ < index) continue;
        if (where) *where = EntryLocation{slot.track, slot.sector, slot.slot};
        return DirEntry(slot.bytes);
    }
    return DirEntry();
}

bool CmdContainerImage::InsertEntry(int index, std::span<const uint8_t> body) {
    if (body.size() < static_cast<size_t>(kBodySize)) return false;
    std::vector<PartitionSlot> slots = TableSlots(true);
    // The slot the list position names, or the one after the last listed entry.
    size_t first = slots.size();
    int n = 0;
    for (size_t i = 0; i < slots.size(); ++i) {
        if (!showDeleted() && slots[i].bytes[kTypeOffset] == 0) continue;
        if (n++ == std::max(index, 0)) {
            first = i;
            break;
        }
    }
    if (first == slots.size()) {
        first = 0;
        for (size_t i = 0; i < slots.size(); ++i)
            if (slots[i].bytes[kTypeOffset] != 0) first = i + 1;
    }
    size_t empty = first;
    while (empty < slots.size() && slots[empty].bytes[kTypeOffset] != 0)
        ++empty;
    if (empty >= slots.size()) return false;
    Group group(*this);
    for (size_t i = empty; i > first; --i) {
        RecordBlock(
            slots[i].track, slots[i].sector,
            static_cast<int>(slots[i].bytes - SectorPointer(slots[i].track, slots[i].sector)) +
                kBodyOffset,
            kBodySize);
        std::memcpy(slots[i].bytes + kBodyOffset, slots[i - 1].bytes + kBodyOffset, kBodySize);
    }
    uint8_t* target = slots[first].bytes;
    RecordBlock(slots[first].track, slots[first].sector,
                static_cast<int>(target - SectorPointer(slots[first].track, slots[first].sector)) +
                    kBodyOffset,
                kBodySize);
    std::memcpy(target + kBodyOffset, body.data(), kBodySize);
    SetModified(true);
    Refresh();
    RedrawViews();
    group.Close("Insert");
    return true;
}

bool CmdContainerImage::ClearEntry(DirEntry entry, int) {
    if (!entry) return false;
    if (!RecordBytes(entry.data() + kBodyOffset, kBodySize, "Delete Partition")) return false;
    std::memset(entry.data() + kBodyOffset, 0, kBodySize);
    SetModified(true);
    return true;
}

bool CmdContainerImage::DeletePartition(int index) {
    if (!CanOpenPartition(index)) return false;
    Group group(*this);
    if (!ClearEntry(EntryAt(index), index)) return false;
    group.Close("Delete Partition");
    Refresh();
    RedrawViews();
    return true;
}

size_t CmdContainerImage::PartitionBytes(const PartitionInfo& info) {
    switch (info.type) {
    case kType1541:
        return D64Image::kImageBytes;
    case kType1571:
        return D71Image::kImageBytes;
    case kType1581:
        return D81Image::kImageBytes;
    case kNative:
        return info.size * kPartitionBlock;
    default:
        return 0;
    }
}

bool CmdContainerImage::CanOpenPartition(int index) {
    const PartitionInfo info = InfoAt(index);
    return Openable(info.type) && static_cast<size_t>(info.start) * kPartitionBlock < imageSize();
}

std::optional<std::vector<uint8_t>> CmdContainerImage::ReadFileData(int index,
                                                                    std::optional<ChainBreak>*) {
    const PartitionInfo info = InfoAt(index);
    const size_t begin = static_cast<size_t>(info.start) * kPartitionBlock;
    const size_t size = static_cast<size_t>(info.size) * kPartitionBlock;
    if (info.type == kNone || begin >= imageSize()) return std::nullopt;
    std::vector<uint8_t> bytes;
    const size_t end = std::min<size_t>(begin + size, imageSize());
    bytes.reserve(end - begin);
    for (size_t at = begin; at < end; at += kBlockSize) {
        const uint8_t* p = SectorPointer(static_cast<int>(at / kTrackBytes) + 1,
                                         static_cast<int>((at / kBlockSize) % 256));
        if (!p) break;
        bytes.insert(bytes.end(), p, p + std::min<size_t>(kBlockSize, end - at));
    }
    return bytes;
}

bool CmdContainerImage::ExportAllFiles(const std::string& folder, ExportMode mode, ExportRun& run) {
    bool whole = true;
    for (int index = 0, count = CountEntries(); index < count; ++index) {
        if (!CanOpenPartition(index)) continue;
        const bool wasOpen = ChildAt(index) != nullptr;
        DiskImage* child = OpenPartition(index);
        if (!child) continue;
        std::string name = HostFileName(EntryAt(index).name(), 256, settings());
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        whole =
            child->ExportAllFiles(folder + "/" + (name.empty() ? "_" : name), mode, run) && whole;
        if (!wasOpen) CloseChild(child); // a partition open in a window stays open
    }
    return whole;
}

std::vector<std::pair<uint32_t, uint32_t>> CmdContainerImage::FreeExtents() {
    const uint64_t fileBlocks = imageSize() / kPartitionBlock;
    uint64_t first = shape_.firstFreeBlock, count = 0;
    if (fileBlocks > shape_.reservedBlocks) count = fileBlocks - shape_.reservedBlocks;
    std::vector<std::pair<uint64_t, uint64_t>> used; // [begin, end)
    for (const PartitionSlot& slot : TableSlots(false)) {
        const PartitionInfo info = Info(slot.bytes);
        if (Openable(info.type)) used.emplace_back(info.start, uint64_t{info.start} + info.size);
    }
    std::sort(used.begin(), used.end());
    std::vector<std::pair<uint32_t, uint32_t>> free;
    uint64_t at = first;
    const uint64_t end = first + count;
    for (auto [b, e] : used) {
        if (b > at && at < end)
            free.emplace_back(static_cast<uint32_t>(at),
                              static_cast<uint32_t>(std::min(b, end) - at));
        at = std::max(at, e);
    }
    if (at < end) free.emplace_back(static_cast<uint32_t>(at), static_cast<uint32_t>(end - at));
    return free;
}

uint32_t CmdContainerImage::LargestFreeSpace() {
    uint32_t largest = 0;
    for (auto [start, length] : FreeExtents())
        largest = std::max(largest, length);
    return largest;
}

std::optional<uint32_t> CmdContainerImage::StartFor(uint32_t blocks) {
    std::optional<uint32_t> best;
    uint32_t spare = 0;
    for (auto [start, length] : FreeExtents())
        if (length >= blocks && (!best || length - blocks < spare)) {
            best = start;
            spare = length - blocks;
        }
    return best;
}

int CmdContainerImage::FreeBlockCount() {
    int free = 0;
    for (auto [start, length] : FreeExtents())
        free += static_cast<int>(length);
    return free;
}

bool CmdContainerImage::InsertPartition(std::span<const uint8_t> bytes, int formatId,
                                        std::span<const uint8_t> name, int index,
                                        const std::string& undoName) {
    const int type = TypeOfFormat(formatId);
    if (type == kNone || bytes.empty()) return false;
    const size_t blocks = (bytes.size() + kPartitionBlock - 1) / kPartitionBlock;
    if (blocks > 0xFFFF) return false; // the entry's size field has two bytes
    const std::optional<uint32_t> start = StartFor(static_cast<uint32_t>(blocks));
    if (!start) return false;
    std::array<uint8_t, kSlotSize> entry{};
    entry[kTypeOffset] = static_cast<uint8_t>(type);
    std::fill(entry.begin() + kNameOffset, entry.begin() + kNameOffset + kNameLength, kPad);
    std::copy_n(name.begin(), std::min<size_t>(name.size(), kNameLength),
                entry.begin() + kNameOffset);
    entry[kStartOffset] = static_cast<uint8_t>(*start >> 16);
    entry[kStartOffset + 1] = static_cast<uint8_t>(*start >> 8);
    entry[kStartOffset + 2] = static_cast<uint8_t>(*start);
    entry[kSizeOffset] = static_cast<uint8_t>(blocks >> 8);
    entry[kSizeOffset + 1] = static_cast<uint8_t>(blocks);

    Group group(*this);
    if (!InsertEntry(index, std::span<const uint8_t>(entry).subspan(kBodyOffset))) return false;
    const size_t base = static_cast<size_t>(*start) * kPartitionBlock;
    for (size_t at = 0; at < bytes.size(); at += kBlockSize) {
        const size_t where = base + at;
        const int t = static_cast<int>(where / kTrackBytes) + 1,
                  s = static_cast<int>((where / kBlockSize) % 256);
        uint8_t* sector = SectorPointer(t, s);
        if (!sector) return false; // the group undoes what was done
        const size_t n = std::min<size_t>(kBlockSize, bytes.size() - at);
        RecordBlock(t, s, 0, kBlockSize);
        std::memcpy(sector, bytes.data() + at, n);
    }
    SetModified(true);
    group.Close(undoName);
    Refresh();
    RedrawViews();
    return true;
}

bool CmdContainerImage::InsertPartitionFrom(DiskImage& image, std::span<const uint8_t> name,
                                            int index) {
    std::vector<uint8_t> codes;
    std::vector<uint8_t> bytes;
    for (std::span<const uint8_t> piece : image.FileContents(codes))
        bytes.insert(bytes.end(), piece.begin(), piece.end());
    // Only the disk itself goes in: error bytes and extra tracks have no place in a partition.
    if (image.formatId() == FormatId::D64)
        bytes.resize(std::min(bytes.size(), D64Image::kImageBytes));
    return InsertPartition(bytes, image.formatId(), name, index, "Insert File");
}

bool CmdContainerImage::InsertPartitionFile(const std::string& hostPath, int index) {
    const FormatRow* row = FindRowForPath(hostPath);
    if (!row || TypeOfFormat(row->id) == kNone) return false;
    std::vector<uint8_t> bytes;
    bool openFailed = false;
    if (!ReadWholeFile(hostPath, bytes, openFailed)) return false;
    std::string stem = FileNamePart(hostPath);
    if (size_t dot = stem.rfind('.'); dot != std::string::npos) stem.resize(dot);
    const std::array<uint8_t, kNameLength> name = PetsciiName(stem);
    if (row->id == FormatId::D64) bytes.resize(std::min(bytes.size(), D64Image::kImageBytes));
    return InsertPartition(bytes, row->id, name, index, "Insert File");
}

bool CmdContainerImage::CreatePartition(int formatId, int index) {
    const uint32_t largest = LargestFreeSpace();
    std::unique_ptr<DiskImage> blank;
    bool made = false;
    if (largest > 0) {
        if (formatId == FormatId::Dnp) {
            auto native = std::make_unique<DnpImage>(mutableSettings());
            native->SetOwner(owner());
            made = native->CreateSized(static_cast<long>(largest) * 2, owner() != nullptr);
            blank = std::move(native);
        } else if (TypeOfFormat(formatId) != kNone) {
            if (formatId == FormatId::D64) blank = std::make_unique<D64Image>(mutableSettings());
            if (formatId == FormatId::D71) blank = std::make_unique<D71Image>(mutableSettings());
            if (formatId == FormatId::D81) blank = std::make_unique<D81Image>(mutableSettings());
            made = blank->Open(nullptr, {}, false, true);
        }
    }
    if (largest == 0 ||
        (made && !InsertPartition(blank->Store().Contents(), formatId, {}, index, "Insert File"))) {
        ReportError(owner(), "Not Enough Room On Disk");
        return false;
    }
    if (!made) return false;
    if (directoryView_) {
        int firstSelected = 0, lastSelected = 0;
        if (!directoryView_->SelectedRange(firstSelected, lastSelected))
            directoryView_->SelectLine(0);
        directoryView_->StartRename(std::max(index, 0));
    }
    return true;
}

DiskImage* CmdContainerImage::ChildAt(int index) const {
    return index >= 0 && static_cast<size_t>(index) < children_.size()
               ? children_[static_cast<size_t>(index)].get()
               : nullptr;
}

DiskImage* CmdContainerImage::OpenPartition(int index) {
    if (index < 0 || static_cast<size_t>(index) >= children_.size()) return nullptr;
    if (DiskImage* open = ChildAt(index)) return open;
    if (!CanOpenPartition(index)) return nullptr;
    DirEntry entry = EntryAt(index);
    const PartitionInfo info = Info(entry.data());
    const size_t base = static_cast<size_t>(info.start) * kPartitionBlock;
    const size_t bytes = PartitionBytes(info);
    if (bytes == 0 || base + bytes > imageSize()) return nullptr;
    std::unique_ptr<DiskImage> child = MakeChild(info.type, *this, mutableSettings());
    child->ReplaceStore(std::make_unique<PartitionStore>(*this, base, bytes));
    const std::string title = this->title() + " : " + ListedName(entry.name(), false);
    if (!child->Open(owner(), title, false, false)) return nullptr;
    // Save goes nowhere but Save As: the partition is written out as an image of its own.
    child->SetFlag(kFlagUntitled, true);
    children_[static_cast<size_t>(index)] = std::move(child);
    return children_[static_cast<size_t>(index)].get();
}

void CmdContainerImage::CloseChild(DiskImage* child) {
    for (auto& slot : children_)
        if (slot.get() == child) {
            slot->SetModified(false);
            slot.reset();
        }
}

void CmdContainerImage::CloseChildren() {
    clearingChildren_ = true;
    for (auto& slot : children_)
        if (slot) {
            slot->SetModified(false);
            slot.reset();
        }
    clearingChildren_ = false;
}

bool CmdContainerImage::HandleCommand(int commandId) {
    int first = 0, last = 0;
    const bool selected = directoryView_ && directoryView_->SelectedRange(first, last);
    const int position = selected ? first : 0;
    switch (commandId) {
    case 2079:
        return CreatePartition(FormatId::Dnp, position);
    case 2080:
        return CreatePartition(FormatId::D64, position);
    case 2081:
        return CreatePartition(FormatId::D71, position);
    case 2082:
        return CreatePartition(FormatId::D81, position);
    case 2084:
        return selected && OpenPartition(position) != nullptr;
    case 2088:
        return selected && DeletePartition(position);
    default:
        return false;
    }
}

std::string CmdContainerImage::PartitionListing(const std::string& path, bool csv) {
    std::string out = path + "\n";
    char line[96];
    for (const PartitionSlot& slot : TableSlots(true)) {
        const int type = slot.bytes[kTypeOffset];
        if (!Openable(type) && type != kSystem) continue;
        const std::string name =
            ListedName(std::span<const uint8_t>(slot.bytes + kNameOffset, kNameLength), false);
        std::snprintf(line, sizeof line, csv ? "%02d,%s,%s\n" : "%02d %-16s %s\n", slot.slot,
                      name.c_str(), TypeName(type).c_str());
        out += line;
    }
    return out;
}

} // namespace tessarind
