#pragma once
// The abstract container. It owns the container's bytes, knows where the listed directory
// lies and offers the shared operations; a concrete format supplies the geometry (where a
// block lies, the BAM, the directory order, allocation).

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "model/BlockStore.h"
#include "model/DirEntry.h"
#include "model/Interaction.h"
#include "text/Settings.h"
#include "model/UndoJournal.h"
#include "model/UndoRecord.h"

namespace tessarind {

class ImageObserver;
class VisitedSet;

enum ImageFlag : uint32_t {
    kFlagModified = 0x0001,
    kFlagErrorCodes = 0x0040,
    kFlagExtraTracks = 0x0080,
    kFlagErrorNumbers = 0x0100, // error codes stored as drive error numbers
    kFlagUndoSuspended = 0x0200,
    kFlagShowDeleted = 0x0800,
    kFlagCanGrow = 0x1000,
    kFlagUntitled = 0x2000,
};

// One entered sub-directory on the directory stack.
struct DirLevel {
    int dirTrack = 0;
    int dirSector = 0;
    int selectedIndex = 0;
    int type = 0;
    int firstTrack = 0;
    int firstSector = 0;
    int blocks = 0;
};

// Where an entry lies: its directory block and its slot number over the whole walk.
struct EntryLocation {
    int track = 0;
    int sector = 0;
    int slot = 0;
};

// Result of a chain walk; every field is filled whatever the outcome.
struct ChainWalk {
    bool complete = false; // ended on a link track of 0 (or started at track 0)
    int blocks = 0;
    uint32_t bytes = 0;
    int lastTrack = 0;
    int lastSector = 0;
    // Where an incomplete walk could not go on (a loop, a missing block, a track too high).
    int brokenTrack = 0;
    int brokenSector = 0;
};

// A file whose chain breaks off: the pair it could not go on to and the bytes read before.
struct ChainBreak {
    int track = 0;
    int sector = 0;
    uint32_t bytesRead = 0;
};

// A free directory slot found for an insertion.
struct InsertSlot {
    DirEntry slot;
    int position = 0; // list position of the slot
    int track = 0, sector = 0;
};

// One cross-linked file: the entry that owns the earlier block, this entry, the block.
struct CrossLink {
    std::array<uint8_t, kSlotSize> earlier{};
    std::array<uint8_t, kSlotSize> later{};
    int track = 0, sector = 0;
};

// Export modes of ExportAllFiles.
enum class ExportMode { Native = 0, Pc64 = 1, SeqAsText = 2 };
struct FormatRow;
// The host form a file of `typeCode` is exported in by a mode; none when the mode has none.
const FormatRow* RowForExportMode(ExportMode mode, int typeCode);
// The same for an entry: a GEOS file goes out in the Convert form whatever the mode.
const FormatRow* RowForExportMode(ExportMode mode, DirEntry entry);

// Where a format keeps the disk name and ID in the header that DiskNamePointer points at.
struct DiskHeaderShape {
    int nameLength = kNameLength;
    int idOffset = 18; // from the start of the name
    int idLength = 5;  // the two ID bytes, a blank and the two DOS type bytes
    uint8_t padding = kPad;
};

// What became of one file of an export run.
struct ExportedFile {
    // Partial: written as far as its chain could be read.
    enum class Outcome { Written, Partial, Exists, NoData, CannotCreate, WriteFailed };
    Outcome outcome = Outcome::Written;
    std::string name;   // the CBM name as the listing shows it, for messages
    std::string path;   // the host path written, or the one that was not
    std::string reason; // why it was not written
};

// One run of exports to the host. Files whose host names coincide get a numbered suffix
// ("game.prg", "game_2.prg", ...), so no file of the run replaces another; a host file that
// existed before is replaced only with `overwrite`.
struct ExportRun {
    bool overwrite = false;
    std::function<void(const ExportedFile&)> onFile; // told every file, written or not
    int written = 0, notWritten = 0;

    // The path for a file of this name in `folder`, numbered when the run has used it.
    std::string Claim(const std::string& folder, const std::string& fileName);

private:
    std::set<std::string> taken_;
};

// Name alignment modes.
enum class Align { Collapse = 0, Left = 1, Right = 2, Center = 3 };

struct FormatRow;

// Enables and checks the format's own commands.
class CommandStates {
public:
    virtual ~CommandStates() = default;
    virtual void Enable(int commandId, bool on) = 0;
    virtual void Check(int commandId, bool on) = 0;
};

// Remembers a Yes to All / No to All answer while several containers close together.
struct CloseAllState {
    bool several = false;
    std::optional<Answer> forAll;
};

class DiskImage {
public:
    explicit DiskImage(int formatId, Settings* settings = nullptr);
    virtual ~DiskImage();
    DiskImage(const DiskImage&) = delete;
    DiskImage& operator=(const DiskImage&) = delete;

    // ---- Geometry, supplied by each format --------------------------------------------
    virtual uint8_t* SectorPointer(int track, int sector) = 0;
    virtual uint8_t* DiskNamePointer() = 0;
    // Sector -1 asks for the first directory sector; -1 back means there is no further one.
    virtual bool NextDirSector(int& track, int& sector) = 0;
    virtual bool IsBlockFree(int track, int sector) = 0;
    virtual void ToggleBlock(int track, int sector) = 0;
    virtual void ClearBam() = 0;
    virtual bool CreateEmpty() = 0;
    virtual void AfterLoad() = 0;
    virtual int GetErrorCode(int track, int sector) = 0;
    virtual void SetErrorCode(int track, int sector, int code) = 0;
    virtual bool HandleCommand(int commandId) = 0;
    virtual void SnapshotBam() = 0;
    virtual void UpdateCommands(CommandStates& states) = 0;
    virtual bool IsHeaderBlock(int track, int sector) = 0;
    virtual int FreeBlockCount() = 0;
    // The blocks of a complete image of the format at its track count; 0 when the format has
    // no fixed size.
    virtual int FullBlockCount() const { return 0; }
    virtual uint8_t* AllocateBlock(int& track, int& sector, bool take) = 0;
    // The directory track whose blocks a BAM range with track 0 names (formats whose
    // partitions carry their own BAM); the listed directory's track unless a format says.
    virtual int BamTrack() const { return dirTrack_; }

    // ---- Lifecycle and files ----------------------------------------------------------
    // Without a path the container is untitled. With load the file is read; if nothing was
    // loaded and create is set a blank image is made. True when image bytes exist.
    virtual bool Open(Interaction* owner, const std::string& path, bool load, bool create);
    virtual bool LoadFile(const std::string& path);
    virtual bool LoadFromMemory(std::span<const uint8_t> data);
    virtual bool WriteFile(const std::string& path);
    // The pieces WriteFile writes, in order; `codes` holds the error bytes as written.
    virtual std::vector<std::span<const uint8_t>> FileContents(std::vector<uint8_t>& codes);
    virtual bool Save(bool saveAs);
    virtual bool QuerySave(CloseAllState* closing = nullptr);
    virtual void SetModified(bool on);
    virtual std::string DefaultExtension() const;
    virtual bool CanAcceptKind(int formatId) const;
    virtual bool SetExtendedTracks(bool) { return false; }

    // ---- Directory ----------------------------------------------------------------------
    virtual int CountEntries();
    virtual void Refresh();
    virtual DirEntry EntryAt(int index);
    virtual DirEntry EntryAtEx(int index, bool includeDeleted, EntryLocation* where = nullptr);
    virtual bool FindFreeDirSector(int& track, int& sector);
    virtual void SetDiskId(std::span<const uint8_t, 5> id);
    virtual DiskHeaderShape HeaderShape() const { return {}; }
    // The disk name and ID as the header holds them; empty when the image has no header.
    std::span<uint8_t> DiskName();
    std::span<uint8_t> DiskId();
    // Journalled edits of the header, as the directory view and the command line make them;
    // false when there is no header or nothing changed. A name or ID shorter than the
    // header's field changes its first bytes only.
    bool RenameDisk(std::span<const uint8_t> name);
    bool ChangeDiskId(std::span<const uint8_t, 5> id);
    // Formats with partitions make one at list position `index`; false when they cannot.
    virtual bool CreateSubDirectory(int) { return false; }
    bool EnterSubDirectory(int index);
    // The same for an entry a walk of the listing holds, at its list index: a walk over a
    // long directory would otherwise find each entry again from the start.
    bool EnterSubDirectory(DirEntry entry, int index);
    bool LeaveSubDirectory();

    // ---- Chains and BAM ---------------------------------------------------------------
    // Follows the link of `block` (or of the block at track/sector when block is null).
    virtual uint8_t* NextInChain(int& track, int& sector, const uint8_t* block = nullptr);
    virtual int FileBlocks(int index);
    // Walks a chain; with toggle each block's BAM bit is flipped; with a buffer the data
    // bytes are copied while they fit.
    virtual ChainWalk WalkChain(int track, int sector, bool toggle = false,
                                std::span<uint8_t> buffer = {});
    bool FindFreeSectorOnTrack(int track, int& sector, int interleave, int sectorsOnTrack);
    // Whether any of the first sectorsOnTrack sectors of a track is free; formats with a
    // bitmap answer from its bytes, so full tracks are passed over at once.
    virtual bool AnyBlockFree(int track, int sectorsOnTrack);
    // The interleave of a block search: the custom one for the first block of a new file
    // when that setting is on, else 10.
    int SearchInterleave(int startTrack) const;
    bool WriteChain(std::span<const uint8_t> data, int& firstTrack, int& firstSector);
    void FillFreeSectors();
    // A file's bytes; none when there is nothing to read. A chain that breaks off gives the
    // bytes up to there, and `broken` (when given) says where it broke.
    virtual std::optional<std::vector<uint8_t>>
    ReadFileData(int index, std::optional<ChainBreak>* broken = nullptr);
    // "chain of NAME broken at T/S, N bytes read"
    std::string BrokenChainText(DirEntry entry, const ChainBreak& broken) const;

    // ---- File operations ----------------------------------------------------------------
    virtual void RemoveEntry(int index, bool freeBlocks);
    virtual bool ClearEntry(DirEntry entry, int index);
    // Inserts a 30-byte entry body (bytes 2-31 of a slot) at a list position.
    virtual bool InsertEntry(int index, std::span<const uint8_t> body);
    std::optional<InsertSlot> FindSlotForInsert(int index);
    // Writes a file's bytes and lists it under `name` at `index`. `row` says what the data
    // is (plain, PC64 with its header, host text, REL).
    virtual bool WriteFileData(std::span<const uint8_t, kNameLength> name, int index, bool interactive,
                               std::vector<uint8_t> data, int recordLength, const FormatRow& row);
    virtual bool ImportHostFile(const std::string& hostPath, int index, bool interactive);
    // The bytes of a file as they go to the host: its data, or none for a file that holds no
    // bytes (no first block, or a chain that ends in its first block). Fails with the reason
    // when there is nothing that can be read.
    // A chain that breaks off gives what could be read and says where in `broken`.
    std::optional<std::vector<uint8_t>> ReadFileBytes(int index, std::string& reason,
                                                      std::optional<ChainBreak>* broken = nullptr);
    // Writes an entry to the host: into a folder (the name is built from the entry) or to a
    // path; row is the target kind (none: the entry's own type).
    // A chain that breaks off is written as far as it could be read and told to the owner
    // (even without dialogs: it is data lost), `broken` says where; the result is then false.
    virtual bool ExportFile(int index, const std::string& target, bool interactive,
                            const FormatRow* row = nullptr,
                            std::optional<ChainBreak>* broken = nullptr);
    // Exports every file the mode has a form for into `folder`, the files of sub-directories
    // into folders of their own, as files of `run` (told each file, written or not). Without
    // a run of its own, host files that exist are left alone. True when every file was
    // written whole.
    virtual bool ExportAllFiles(const std::string& folder, ExportMode mode);
    virtual bool ExportAllFiles(const std::string& folder, ExportMode mode, ExportRun& run);
    // An entry as name matching and export see it: the directory slot itself, or for a format
    // whose entries are no directory slots, one built in `scratch`.
    virtual DirEntry EntryAsListed(int index, std::array<uint8_t, kSlotSize>& /*scratch*/) {
        return EntryAt(index);
    }
    // Writes one entry as `row` into `folder` under its export name, as a file of `run`.
    ExportedFile ExportInto(int index, const std::string& folder, const FormatRow& row,
                            ExportRun& run);
    // The host file name of an entry for a target kind: converted, unsafe characters and
    // trailing blanks removed, the kind's extension appended.
    std::string ExportName(DirEntry entry, const FormatRow& row) const;

    // The entry edits; each is journalled and returns whether anything changed. A format whose
    // entries are not directory slots (a tape) replaces them.
    virtual bool RenameEntry(DirEntry entry, std::span<const uint8_t, kNameLength> name, int index);
    // Renames an entry as the user does: a partition or sub-directory keeps its name in its
    // own header block too.
    bool RenameFile(DirEntry entry, std::span<const uint8_t, kNameLength> name, int index);
    virtual bool SetBlocks(DirEntry entry, uint16_t blocks, int index);
    virtual bool SetLocked(DirEntry entry, bool on, int index);
    virtual bool SetSplat(DirEntry entry, bool on, int index);
    virtual bool SetFileType(DirEntry entry, int typeCode, int index);
    virtual bool SetGeosType(DirEntry entry, uint8_t value, int index);
    virtual bool SetDate(DirEntry entry, std::span<const uint8_t, 5> date, int index);
    virtual bool SetFirstTrack(DirEntry entry, uint8_t value, int index);
    virtual bool SetFirstSector(DirEntry entry, uint8_t value, int index);
    virtual bool SetSideTrack(DirEntry entry, uint8_t value, int index);
    virtual bool SetSideSector(DirEntry entry, uint8_t value, int index);
    virtual bool SetGeosStructure(DirEntry entry, uint8_t value, int index);
    void SetBytes(int track, int sector, std::span<const uint8_t> data, int offset,
                  const std::string& name = {});
    void AlignName(int index, Align mode);
    // Builds the side sectors of a REL file whose data starts at (track, sector).
    std::optional<std::pair<int, int>> CreateSideSectors(int track, int sector, int recordLength);
    // Formats whose relative files start with a super side sector that lists the groups.
    virtual bool UsesSuperSideSector() const { return false; }
    std::optional<std::pair<int, int>> CreateSuperSideSector(std::pair<int, int> firstSide);
    void UpdateParentDirectory();
    bool UpdateDirBackLink(int position, int track, int sector);
    // Sets an entry's block count from its chains; false (after storing what was counted)
    // when a chain does not end properly.
    bool AutoFileSize(int index);

    // ---- Directory maintenance ----------------------------------------------------------
    virtual void Validate();
    virtual void CompactDirectory();
    virtual void Sort(bool ascending, bool bySize);
    virtual void MoveEntry(bool up, int index, bool updateView);
    virtual bool MoveEntries(int first, int last, int target);
    virtual void CheckCrossLinks(std::vector<CrossLink>& results);
    void SetDirectoryChainUsed(bool used);

    // ---- Undo journal -----------------------------------------------------------------
    bool Record(UndoKind kind, int track, int sector, uint32_t offset,
                std::span<const uint8_t> bytes, const std::string& name = {});
    bool RecordEntry(UndoKind kind, int index, std::span<const uint8_t> bytes,
                     const std::string& name = {});
    // Journals a field of entry `index` that lies at `at`; undo writes it back to that
    // place, even when the change hides the entry from the walk.
    bool RecordEntryField(UndoKind kind, int index, const uint8_t* at, int length, const std::string& name);
    // Journals the current bytes of a block range before they change.
    bool RecordBlock(int track, int sector, int offset, int length, const std::string& name = {});
    // Journals `length` bytes at `p`, which must lie in a block of this image.
    bool RecordBytes(const uint8_t* p, int length, const std::string& name = {});
    // Finds the block that holds `p`: the directory chain first, then every block.
    virtual bool LocateBlock(const uint8_t* p, int& track, int& sector);
    // Journals a whole BAM block as "BAM".
    bool RecordBam(int track, int sector);
    void BeginGroup();
    // Closes a group; a group with nothing in it is dropped. `count` is kept in the record.
    void EndGroup(const std::string& name, uint32_t count = 0);
    bool UndoOne();
    void UndoCommand();
    virtual bool ReplayFormatUndo(const UndoRecord&) { return false; }
    const std::deque<UndoRecord>& Journal() const { return journal_.Records(); }
    // Forgets every step, as after a change that cannot be undone.
    void ClearJournal() { journal_.Clear(); }
    // "Undo: name" with the accelerator after a backspace, as the Edit menu shows it.
    std::string UndoItemText() const { return journal_.ItemText(); }
    bool UndoEnabled() const { return !journal_.Empty(); }

    // ---- Views --------------------------------------------------------------------------
    void AttachDirectoryView(ImageObserver* view);
    void AttachBamView(ImageObserver* view);
    void AttachSectorEditor(ImageObserver* view);
    void AddChildWindow(ImageObserver* view);
    void DetachView(ImageObserver* view);
    void RedrawViews();

    // ---- Helpers ------------------------------------------------------------------------
    // Removes ? " / \ < > * | : from the file-name part of path (in place) and returns it.
    std::string& SafePath();
    static std::string FileNamePart(const std::string& path);
    std::string title() const { return FileNamePart(path_); }
    // The host file the image was read from and is saved to; "New Disk" while untitled.
    const std::string& path() const { return path_; }
    void SetPath(std::string hostPath) { path_ = std::move(hostPath); }
    uint32_t imageSize() const { return static_cast<uint32_t>(store_->Size()); }
    // The image's bytes; formats lay their blocks out in them.
    BlockStore& Store() { return *store_; }
    const BlockStore& Store() const { return *store_; }
    // Puts the bytes somewhere else (a window into a parent container, a file read on demand).
    void ReplaceStore(std::unique_ptr<BlockStore> store) { store_ = std::move(store); }
    // The image's state bits (kFlag...).
    uint32_t flags() const { return flags_; }
    void SetFlag(uint32_t flag, bool on) { flags_ = on ? flags_ | flag : flags_ & ~flag; }
    bool showDeleted() const { return (flags_ & kFlagShowDeleted) != 0; }
    void SetShowDeleted(bool on);
    bool modified() const { return (flags_ & kFlagModified) != 0; }
    bool untitled() const { return (flags_ & kFlagUntitled) != 0; }
    bool recordingSuspended() const { return (flags_ & kFlagUndoSuspended) != 0; }
    const Settings& settings() const { return settings_ ? *settings_ : Settings::Defaults(); }
    Settings* mutableSettings() const { return settings_; }
    Interaction* owner() const { return owner_; }
    void SetOwner(Interaction* owner) { owner_ = owner; }
    const std::deque<DirLevel>& DirStack() const { return dirStack_; }
    // The entries of the current directory, as listed (deleted ones when shown).
    std::vector<DirEntry> ListedEntries();

    // Suspends journal recording for a scope, restoring the previous state afterwards.
    class SuspendRecording {
    public:
        explicit SuspendRecording(DiskImage& image)
            : image_(image), was_(image.flags_ & kFlagUndoSuspended) {
            image_.flags_ |= kFlagUndoSuspended;
        }
        ~SuspendRecording() { image_.flags_ = (image_.flags_ & ~kFlagUndoSuspended) | was_; }
        SuspendRecording(const SuspendRecording&) = delete;
        SuspendRecording& operator=(const SuspendRecording&) = delete;

    private:
        DiskImage& image_;
        uint32_t was_;
    };

    // A journal group that is undone at once unless it was closed with a name.
    class Group {
    public:
        explicit Group(DiskImage& image) : image_(image), wasModified_(image.modified()) {
            image_.BeginGroup();
        }
        ~Group() {
            if (!closed_) Abandon();
        }
        void Close(const std::string& name, uint32_t count = 0) {
            image_.EndGroup(name, count);
            closed_ = true;
        }
        void Abandon(uint32_t count = 0);
        Group(const Group&) = delete;
        Group& operator=(const Group&) = delete;

    private:
        DiskImage& image_;
        bool wasModified_;
        bool closed_ = false;
    };

    // ---- State ------------------------------------------------------------------------
    ImageObserver* directoryView() const { return directoryView_; }
    ImageObserver* bamView() const { return bamView_; }
    ImageObserver* sectorEditor() const { return sectorEditor_; }
    // The error code of each block (formats that keep them) and the tracks past the standard
    // ones, each in effect while its flag is set.
    const std::vector<uint8_t>& errorBytes() const { return errorBytes_; }
    int errorByteCount() const { return errorByteCount_; }
    const std::vector<uint8_t>& extraTracks() const { return extraTracks_; }
    // For tests that give an image codes or extra tracks of their own.
    void SetErrorBytes(std::vector<uint8_t> codes, int count) {
        errorBytes_ = std::move(codes);
        errorByteCount_ = count;
    }
    void SetExtraTracks(std::vector<uint8_t> bytes) { extraTracks_ = std::move(bytes); }

    // The geometry and the listed directory, read here and set by the format.
    int formatId() const { return formatId_; }
    int trackCount() const { return trackCount_; }
    int maxSectors() const { return maxSectors_; }
    int maxFileType() const { return maxFileType_; }
    int dirTrack() const { return dirTrack_; }
    int dirSector() const { return dirSector_; }
    // Entries of the listed directory, as Refresh counted them.
    int entryCount() const { return entryCount_; }
    // For tests that show the same bytes as a format with other type codes or no directory.
    void SetMaxFileType(int highest) { maxFileType_ = highest; }
    void SetDirTrack(int track) { dirTrack_ = track; }

protected:
    ImageObserver* bamView_ = nullptr;
    ImageObserver* sectorEditor_ = nullptr;
    ImageObserver* directoryView_ = nullptr;
    std::vector<ImageObserver*> childWindows_;
    std::vector<uint8_t> errorBytes_;
    int errorByteCount_ = 0;
    std::vector<uint8_t> extraTracks_;
    int replayDepth_ = 0;
    int headerSector_ = 0, headerTrack_ = 0;
    std::deque<DirLevel> dirStack_;
    int formatId_ = 0;
    int trackCount_ = 0;
    int maxSectors_ = 0;
    int maxFileType_ = 4;
    int dirTrack_ = 0, dirSector_ = 0;
    int entryCount_ = 0;
    uint32_t flags_ = 0;
    std::string path_;

    uint8_t FillByte() const { return static_cast<uint8_t>(settings().Get(SettingId::FillByte)); }
    void ReplayRecord(const UndoRecord& record);
    // Calls fn(entry, location) for every listed slot of the current directory in chain
    // order; fn returns false to stop. Loops, absent blocks and high tracks end the walk.
    template <class Fn> void ForEachSlot(bool includeDeleted, Fn&& fn);
    void ReportSystemError(const std::string& text) const { ReportError(owner_, text); }
    void NotifyUndoText();

private:
    std::unique_ptr<BlockStore> store_;
    Settings* settings_ = nullptr;
    Interaction* owner_ = nullptr;
    // Journal depth at the last successful write; -1 once undo went below it.
    UndoJournal journal_;
    int replayNesting_ = 0;
};

} // namespace tessarind
