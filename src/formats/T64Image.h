#pragma once
// A T64 tape image: a 64-byte header, a fixed array of 32-byte directory slots and the stored
// programs' bytes one after another. There are no sectors, BAM or chains: the tape is kept as
// one growable byte array shown to the shared code as pseudo-sectors of 256 bytes, and every
// directory and file operation edits the slots and the data area directly, journalled step by
// step.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "model/DiskImage.h"

namespace tessarind {

class T64Image : public DiskImage {
public:
    static constexpr size_t kHeaderSize = 0x40;
    static constexpr size_t kSlotBytes = 32;
    static constexpr size_t kNewTapeSize = 96;
    static constexpr int kTapeNameLength = 24;

    // One used slot in data order: its file runs to the next one's offset, the last to the
    // end of the tape.
    struct OrderRow {
        int slot = 0;   // physical slot number
        int listed = 0; // its position in the listing
        uint32_t offset = 0;
        uint32_t length = 0;
    };

    explicit T64Image(Settings* settings = nullptr);

    // ---- Geometry: pseudo-sectors over the tape bytes; no BAM ------------------------------
    uint8_t* SectorPointer(int track, int sector) override;
    uint8_t* DiskNamePointer() override;
    bool NextDirSector(int&, int&) override { return false; }
    bool IsBlockFree(int, int) override { return false; }
    void ToggleBlock(int, int) override {}
    void ClearBam() override {}
    bool CreateEmpty() override;
    void AfterLoad() override;
    int GetErrorCode(int, int) override { return 0; }
    void SetErrorCode(int, int, int) override {}
    bool HandleCommand(int) override { return false; }
    void SnapshotBam() override {}
    void UpdateCommands(CommandStates&) override {}
    bool IsHeaderBlock(int, int) override { return false; }
    int FreeBlockCount() override { return 0; }
    uint8_t* AllocateBlock(int&, int&, bool) override { return nullptr; }
    bool LocateBlock(const uint8_t* p, int& track, int& sector) override;
    DiskHeaderShape HeaderShape() const override { return {kTapeNameLength, 0, 0, 0x20}; }

    // ---- Lifecycle -----------------------------------------------------------------------
    bool Open(Interaction* owner, const std::string& path, bool load, bool create) override;
    bool LoadFile(const std::string& path) override;
    bool LoadFromMemory(std::span<const uint8_t> data) override;
    // Exactly the tape's bytes, never the spare capacity.
    std::vector<std::span<const uint8_t>> FileContents(std::vector<uint8_t>& codes) override;
    std::span<const uint8_t> TapeBytes() const { return Store().Contents().first(size_); }

    // ---- Directory ---------------------------------------------------------------------------
    int CountEntries() override;
    DirEntry EntryAtEx(int index, bool includeFree, EntryLocation* where = nullptr) override;
    // The physical slot of a listed position; none past the listing.
    std::optional<int> ListedSlot(int index);
    std::vector<OrderRow> OrderTable();
    int maxSlots() const;
    int usedSlots() const;
    // The slot bytes of a physical slot; null when it is not within the tape.
    uint8_t* SlotPointer(int slot);

    // ---- Files -------------------------------------------------------------------------------
    std::optional<std::vector<uint8_t>>
    ReadFileData(int index, std::optional<ChainBreak>* broken = nullptr) override;
    int FileBlocks(int index) override;
    bool WriteFileData(std::span<const uint8_t, kNameLength> name, int index, bool interactive,
                       std::vector<uint8_t> data, int recordLength, const FormatRow& row) override;
    // Inserts a whole 32-byte tape slot at a listed position.
    bool InsertEntry(int index, std::span<const uint8_t> slot) override;
    bool ClearEntry(DirEntry entry, int index) override;
    void RemoveEntry(int index, bool withData) override;
    bool RenameEntry(DirEntry entry, std::span<const uint8_t, kNameLength> name,
                     int index) override;
    // A tape slot has no block count, lock, splat, GEOS or chain fields: the disk edits of
    // them would write into its addresses and offset.
    bool SetBlocks(DirEntry, uint16_t, int) override { return false; }
    bool SetLocked(DirEntry, bool, int) override { return false; }
    bool SetSplat(DirEntry, bool, int) override { return false; }
    bool SetFileType(DirEntry, int, int) override { return false; }
    bool SetGeosType(DirEntry, uint8_t, int) override { return false; }
    bool SetDate(DirEntry, std::span<const uint8_t, 5>, int) override { return false; }
    bool SetFirstTrack(DirEntry, uint8_t, int) override { return false; }
    bool SetFirstSector(DirEntry, uint8_t, int) override { return false; }
    bool SetSideTrack(DirEntry, uint8_t, int) override { return false; }
    bool SetSideSector(DirEntry, uint8_t, int) override { return false; }
    bool SetGeosStructure(DirEntry, uint8_t, int) override { return false; }

    // ---- Maintenance ------------------------------------------------------------------------
    void Validate() override;
    void Sort(bool ascending, bool bySize) override;
    void MoveEntry(bool up, int index, bool updateView) override;
    bool MoveEntries(int first, int last, int target) override;
    bool ReplayFormatUndo(const UndoRecord& record) override;

    // Name matching and export see each file as a closed directory entry of its name and type.
    DirEntry EntryAsListed(int index, std::array<uint8_t, kSlotSize>& scratch) override;
    bool ExportAllFiles(const std::string& folder, ExportMode mode, ExportRun& run) override;
    using DiskImage::ExportAllFiles;

    // The listed block count of a slot: (end - start + 253) div 254.
    static int SlotBlocks(const uint8_t* slot);

private:
    uint16_t Word(size_t offset) const;
    // Journals the bytes at [offset, offset + length) under `name`, one record per pseudo-sector.
    void RecordRange(size_t offset, size_t length, const std::string& name);
    void SetWord(size_t offset, uint16_t value, const std::string& name);
    void SetLong(size_t offset, uint32_t value, const std::string& name);
    void EnsureCapacity(size_t bytes);
    // Opens a gap of `length` bytes at `offset` / closes one; the tail is refilled.
    void InsertBytes(size_t offset, size_t length);
    void EraseBytes(size_t offset, size_t length);
    void Truncate(size_t size);
    void SetSize(size_t size);
    // Marks a slot free and lowers the used count, journalled.
    void MarkDeleted(int slot);
    int PresentSlots() const;
    std::vector<int> ListedSlots();

    size_t size_ = 0;
};

} // namespace tessarind
