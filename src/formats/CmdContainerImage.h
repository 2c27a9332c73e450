#pragma once
// A CMD FD2000 or HD image: a container of partitions, each a disk of its own (native, 1541,
// 1571 or 1581). Its listed "directory" is the partition table. A partition opens as a
// child image whose sectors are the container's, so editing the child edits the container.
// The FD image is held whole; the HD image reads its sectors from the file when needed.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/DiskImage.h"

namespace tessarind {

class SectorCacheStore;

// What tells the two containers apart.
struct ContainerShape {
    int formatId;
    int trackCount;
    int lastTrackSectors;      // sectors of the last track
    int baseTrack, baseSector; // the partition table's base
    int slotCount;
    int nameTrack, nameSector, nameOffset;
    uint32_t firstFreeBlock; // the first 512-byte block partitions may use
    uint32_t reservedBlocks; // blocks of the file partitions never use
    size_t newImageBytes;    // 0: no new image of the kind
};

// A slot of the partition table.
struct PartitionSlot {
    int slot = 0; // counted from 0 over every slot visited
    int track = 0, sector = 0;
    uint8_t* bytes = nullptr; // the 32-byte entry
};

struct PartitionInfo {
    int type = 0;
    uint32_t start = 0; // in 512-byte blocks
    uint32_t size = 0;
};

class CmdContainerImage : public DiskImage {
public:
    static constexpr int kNone = 0, kNative = 1, kType1541 = 2, kType1571 = 3, kType1581 = 4,
                         kSystem = 255;
    static constexpr size_t kPartitionBlock = 512;
    static constexpr size_t kFdImageBytes = 1658880;

    CmdContainerImage(int formatId, Settings* settings = nullptr);
    ~CmdContainerImage() override;

    static const ContainerShape& ShapeOf(int formatId);
    const ContainerShape& Shape() const { return shape_; }

    uint8_t* SectorPointer(int track, int sector) override;
    uint8_t* DiskNamePointer() override;
    bool NextDirSector(int&, int&) override { return false; }
    bool IsBlockFree(int, int) override { return false; }
    void ToggleBlock(int, int) override {}
    void ClearBam() override {}
    bool CreateEmpty() override;
    void AfterLoad() override {}
    int GetErrorCode(int, int) override { return 0; }
    void SetErrorCode(int, int, int) override {}
    bool HandleCommand(int commandId) override;
    void SnapshotBam() override {}
    void UpdateCommands(CommandStates&) override {}
    bool IsHeaderBlock(int, int) override { return false; }
    // The 512-byte blocks no partition holds.
    int FreeBlockCount() override;
    uint8_t* AllocateBlock(int&, int&, bool) override { return nullptr; }
    bool LocateBlock(const uint8_t* p, int& track, int& sector) override;

    bool LoadFile(const std::string& path) override;
    bool WriteFile(const std::string& path) override;
    void SetModified(bool on) override;
    bool CanAcceptKind(int formatId) const override;

    int CountEntries() override;
    DirEntry EntryAtEx(int index, bool includeDeleted, EntryLocation* where = nullptr) override;
    bool InsertEntry(int index, std::span<const uint8_t> body) override;
    bool ClearEntry(DirEntry entry, int index) override;
    // A host folder per partition that opens, named after it, filled by the partition.
    bool ExportAllFiles(const std::string& folder, ExportMode mode, ExportRun& run) override;
    using DiskImage::ExportAllFiles;
    std::optional<std::vector<uint8_t>>
    ReadFileData(int index, std::optional<ChainBreak>* broken = nullptr) override;

    // The table's slots in chain order; `listing` keeps to the links listings follow.
    std::vector<PartitionSlot> TableSlots(bool listing);
    static PartitionInfo Info(const uint8_t* entry);
    PartitionInfo InfoAt(int index);
    static int TypeOfFormat(int formatId);
    static int FormatOfType(int type);
    // "NAT", "41 ", ..., "SYS" for a type above 8.
    static std::string TypeName(int type);

    // Free extents (start, length) in 512-byte blocks, in block order.
    std::vector<std::pair<uint32_t, uint32_t>> FreeExtents();
    uint32_t LargestFreeSpace();
    // The start of the extent that holds `blocks` with the least to spare; none when none does.
    std::optional<uint32_t> StartFor(uint32_t blocks);

    // Makes a blank partition of a kind (native, 1541, 1571, 1581 format id) at a list
    // position; false with "Not Enough Room On Disk" when it does not fit.
    bool CreatePartition(int formatId, int index);
    // Copies an image's bytes into the free space as a new partition named `name`.
    bool InsertPartition(std::span<const uint8_t> bytes, int formatId,
                         std::span<const uint8_t> name, int index, const std::string& undoName);
    bool InsertPartitionFrom(DiskImage& image, std::span<const uint8_t> name, int index);
    // A dropped native, 1541, 1571 or 1581 file becomes a partition named after the file.
    bool InsertPartitionFile(const std::string& hostPath, int index);
    // A host file given to the container (dropped, pasted) becomes a partition.
    bool ImportHostFile(const std::string& hostPath, int index, bool /*interactive*/) override {
        return InsertPartitionFile(hostPath, index);
    }
    // Zeroes an entry after its link ("Delete Partition"); the blocks stay as they were.
    bool DeletePartition(int index);
    // Whether the entry at a list position can be opened or deleted.
    bool CanOpenPartition(int index);
    // The child image of a partition, made on first use; none for a type that does not open.
    DiskImage* OpenPartition(int index);
    DiskImage* ChildAt(int index) const;
    // Forgets a child (its window closed).
    void CloseChild(DiskImage* child);
    void CloseChildren();
    // A child reports its modified flag.
    void ChildModified(bool on);

    // The text or CSV listing of the table (types 1-4 and 255).
    std::string PartitionListing(const std::string& path, bool csv);
    // The offset of the entry's partition and its bytes when opened.
    static size_t PartitionBytes(const PartitionInfo& info);

    // The HD image's sector cache (none for the FD image), for measurements.
    const SectorCacheStore* Cache() const { return cache_; }

private:
    ContainerShape shape_;
    SectorCacheStore* cache_ = nullptr; // owned by the store
    std::vector<std::unique_ptr<DiskImage>> children_;
    bool clearingChildren_ = false;
};

} // namespace tessarind
