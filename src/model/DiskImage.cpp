#include "model/DiskImage.h"

#include <algorithm>
#include <cstring>

#include "model/CommandId.h"
#include "model/CompressedFile.h"
#include "model/FileBlockStore.h"
#include "model/FormatRegistry.h"
#include "model/ImageObserver.h"
#include "model/MemoryBlockStore.h"
#include "model/SafeFile.h"
#include "model/VisitedSet.h"
#include "text/AsciiCase.h"

namespace tessarind {

DiskImage::DiskImage(int id, Settings* s)
    : formatId_(id), store_(std::make_unique<MemoryBlockStore>()), settings_(s) {
    maxFileType_ = 4;
    flags_ = settings().On(SettingId::ShowDEL) ? uint32_t{kFlagShowDeleted} : 0u;
}

DiskImage::~DiskImage() = default;

// ---- Lifecycle and files ------------------------------------------------------------------

bool DiskImage::Open(Interaction* ownerWindow, const std::string& filePath, bool load, bool create) {
    owner_ = ownerWindow;
    bool loaded = false;
    flags_ &= ~kFlagUntitled;
    if (filePath.empty()) {
        path_ = "New Disk";
        flags_ |= kFlagUntitled;
    } else if (load) {
        loaded = LoadFile(filePath);
        if (!loaded) return false;
    } else {
        path_ = filePath;
    }
    if (!loaded && create && !CreateEmpty()) return false;
    if (store_->Empty() && !loaded) return false;
    AfterLoad();
    Refresh();
    return true;
}

bool DiskImage::LoadFile(const std::string& filePath) {
    path_ = filePath;
    if (modified()) SetModified(false);
    // An image opened to be read reads only the blocks it reaches from a plain file.
    std::string archive, member;
    if (ReadOnDemandScope::Active() && !IsGzipPath(filePath) &&
        !SplitZipMemberPath(filePath, archive, member)) {
        if (std::unique_ptr<FileBlockStore> onDemand = FileBlockStore::Open(filePath)) {
            store_ = std::move(onDemand);
            return true;
        }
    }
    std::vector<uint8_t> bytes;
    bool openFailed = false;
    std::string reason;
    if (!ReadHostContainer(filePath, bytes, openFailed, reason)) {
        if (!reason.empty())
            ReportSystemError("Unable to Open File " + FileNamePart(filePath) + ": " + reason);
        else
            ReportSystemError(openFailed ? "Unable to Open File " + FileNamePart(filePath)
                                         : "Error in read");
        return false;
    }
    store_->Assign(std::move(bytes));
    return true;
}

bool DiskImage::LoadFromMemory(std::span<const uint8_t> data) {
    const size_t size = store_->Size();
    const size_t n = std::min(data.size(), size);
    if (n > 0) std::copy_n(data.begin(), n, store_->At(0, n));
    AfterLoad();
    Refresh();
    return size >= data.size();
}

std::vector<std::span<const uint8_t>> DiskImage::FileContents(std::vector<uint8_t>& codes) {
    // The file is written as runs of the blocks in track order, taken where they lie: a flat
    // image is one run, and nothing is copied to write it.
    std::vector<std::span<const uint8_t>> pieces;
    const std::span<const uint8_t> whole = store_->Contents();
    const uint8_t* begin = whole.data();
    size_t at = 0;
    for (int t = 1; t <= trackCount_; ++t) {
        for (int s = 0; s < maxSectors_; ++s) {
            const uint8_t* p = SectorPointer(t, s);
            // Blocks kept outside the main bytes (extra tracks) are written afterwards.
            if (!p || !store_->OffsetOf(p, at) || at + kBlockSize > whole.size()) continue;
            if (!pieces.empty() && pieces.back().data() + pieces.back().size() == p)
                pieces.back() = std::span<const uint8_t>(pieces.back().data(), pieces.back().size() + kBlockSize);
            else
                pieces.emplace_back(p, kBlockSize);
        }
    }
    // A file of an odd size holds bytes that no block covers (part of a sector, or bytes past
    // the last track); they are kept as they were read, so an edit never shortens the file.
    const bool extensions = (flags_ & (kFlagExtraTracks | kFlagErrorCodes)) != 0;
    if (!extensions && pieces.size() <= 1 && (pieces.empty() || pieces[0].data() == begin))
        pieces.assign(1, whole);
    if ((flags_ & kFlagExtraTracks) && !extraTracks_.empty()) pieces.emplace_back(extraTracks_);
    codes.clear();
    if (flags_ & kFlagErrorCodes) {
        size_t count = std::min(static_cast<size_t>(std::max(errorByteCount_, 0)), errorBytes_.size());
        for (size_t i = 0; i < count; ++i) {
            uint8_t code = errorBytes_[i];
            if (flags_ & kFlagErrorNumbers) code = code == 1 ? 0 : static_cast<uint8_t>(code + 18);
            codes.push_back(code);
        }
        pieces.emplace_back(codes);
    }
    return pieces;
}

bool DiskImage::WriteFile(const std::string& target) {
    std::vector<uint8_t> codes;
    const std::vector<std::span<const uint8_t>> pieces = FileContents(codes);
    // The message names the file and gives the system's reason (a read-only file, a full disk).
    int error = 0;
    // A container inside a zip archive is never written back into it; it goes beside it.
    std::string archive, member;
    if (SplitZipMemberPath(target, archive, member)) {
        ReportSystemError("Unable to Save File " + target +
                          ": a zip archive is not rewritten; save the image beside it");
        return false;
    }
    // A gzip file is written compressed again, through the same safe replacement.
    std::vector<uint8_t> compressed;
    std::span<const std::span<const uint8_t>> written = pieces;
    if (IsGzipPath(target)) {
        compressed = DeflateGzip(pieces);
        if (compressed.empty()) {
            ReportSystemError("Unable to Save File " + target + ": out of memory");
            return false;
        }
    }
    const std::span<const uint8_t> whole = compressed;
    if (!compressed.empty()) written = std::span<const std::span<const uint8_t>>(&whole, 1);
    switch (WriteWholeFile(target, written, &error)) {
    case WriteResult::CannotCreate:
        ReportSystemError("Unable to Save File " + target + ": " + std::strerror(error));
        return false;
    case WriteResult::WriteFailed:
        // The previous file is untouched and the image stays modified, so closing asks again.
        ReportSystemError("Error on Save " + target + ": " + std::strerror(error));
        return false;
    case WriteResult::Ok:
        break;
    }
    SetModified(false);
    journal_.MarkSaved();
    return true;
}

bool DiskImage::Save(bool saveAs) {
    std::string before = path_;
    if (saveAs || untitled()) {
        if (!owner_) return false;
        int offered = formatId_ == FormatId::G64 ? FormatId::D64 : formatId_;
        SaveRequest request;
        Settings* s = settings_;
        request.folder = s ? s->lastSaveFolder : std::string();
        // An image inside a zip archive is offered the archive's folder: it goes beside it.
        if (std::string archive, member; SplitZipMemberPath(path_, archive, member))
            request.folder = archive.substr(0, archive.size() - FileNamePart(archive).size());
        request.proposedName = FileNamePart(SafePath());
        std::string ext = DefaultExtension();
        // An untitled image made from a single file keeps that file's name for its title;
        // offering the name as is would save the image over the file.
        if (std::string own = ContainerExtension(path_);
            untitled() && !own.empty() && !ext.empty() && !SameTextIgnoringCase(own, ext))
            request.proposedName.replace(request.proposedName.size() - own.size(), own.size(), ext);
        request.defaultExtension = ext.empty() ? ext : ext.substr(1);
        if (const FormatRow* row = FindRowById(offered))
            request.filters.push_back({std::string(row->displayName), std::string(row->extension)});
        // Then the listings a directory can be saved as.
        request.filters.push_back({"Bitmap", ".bmp"});
        request.filters.push_back({"Comma Separated", ".csv"});
        request.filters.push_back({"Text", ".txt"});
        request.includeSubDirectories = s && s->saveIncludeSubDirectories;
        request.saveSelection = s && s->saveSelection;
        bool dialogFailed = false;
        std::optional<SaveChoice> choice = owner_->ChooseSaveFile(request, dialogFailed);
        if (!choice) {
            if (dialogFailed) ReportSystemError("Unable to Save File");
            return false;
        }
        if (s) {
            s->saveIncludeSubDirectories = choice->includeSubDirectories;
            s->saveSelection = choice->saveSelection;
            std::string folder = choice->path.substr(0, choice->path.size() - FileNamePart(choice->path).size());
            s->lastSaveFolder = folder;
        }
        if (const FormatRow* row = FindRowForName(FileNamePart(choice->path));
            row && (row->flags & kFormatWriteOnly)) {
            std::optional<bool> listed = owner_->WriteListing(
                *this, row->id, choice->path, choice->includeSubDirectories, choice->saveSelection);
            if (!listed) ReportSystemError("Unable to Save File");
            return listed.value_or(false);
        }
        path_ = choice->path;
        if (directoryView_) directoryView_->SetWindowText(title() + (modified() ? " *" : ""));
    } else {
        SafePath();
    }
    if (!WriteFile(path_)) return false;
    flags_ &= ~kFlagUntitled;
    if (path_ != before && settings_) settings_->AddRecentFile(path_);
    return true;
}

bool DiskImage::QuerySave(CloseAllState* closing) {
    if (!modified() || !settings().On(SettingId::ConfirmSave)) return true;
    const std::string question = "Disk Image has changed, do you wish to save?";
    Answer answer;
    if (closing && closing->forAll) {
        answer = *closing->forAll;
    } else if (!owner_) {
        return true; // nothing to ask with; windowless images are never the user's to save
    } else if (closing && closing->several) {
        answer = owner_->Ask(question, "Confirm Save", true);
        if (answer == Answer::YesToAll || answer == Answer::NoToAll) closing->forAll = answer;
    } else {
        answer = owner_->Ask(question, "Save", false);
    }
    switch (answer) {
    case Answer::Yes:
    case Answer::YesToAll:
        if (!Save(false)) {
            ReportSystemError("Unable to save Disk Image");
            return false;
        }
        return true;
    case Answer::No:
    case Answer::NoToAll:
        return true;
    case Answer::Cancel:
        break;
    }
    return false;
}

void DiskImage::SetModified(bool on) {
    if (modified() == on) return;
    if (on)
        flags_ |= kFlagModified;
    else
        flags_ &= ~kFlagModified;
    if (directoryView_) directoryView_->SetWindowText(title() + (on ? " *" : ""));
}

std::string DiskImage::DefaultExtension() const {
    const FormatRow* row = FindRowById(formatId_);
    return row ? std::string(row->extension) : std::string();
}

bool DiskImage::CanAcceptKind(int id) const {
    const FormatRow* row = FindRowById(id);
    return row && (row->kind & 0x2) != 0;
}

std::string DiskImage::FileNamePart(const std::string& p) {
    size_t slash = p.find_last_of("/\\");
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string& DiskImage::SafePath() {
    size_t slash = path_.find_last_of("/\\");
    size_t start = slash == std::string::npos ? 0 : slash + 1;
    auto nameBegin = path_.begin() + static_cast<std::ptrdiff_t>(start);
    path_.erase(std::remove_if(nameBegin, path_.end(),
                              [](char c) { return std::strchr("?\"/\\<>*|:", c) != nullptr && c != 0; }),
               path_.end());
    return path_;
}

void DiskImage::SetShowDeleted(bool on) {
    if (on)
        flags_ |= kFlagShowDeleted;
    else
        flags_ &= ~kFlagShowDeleted;
}

// ---- Directory ----------------------------------------------------------------------------

template <class Fn> void DiskImage::ForEachSlot(bool includeDeleted, Fn&& fn) {
    VisitedSet visited;
    int t = dirTrack_, s = dirSector_;
    int blocksWalked = 0;
    while (t != 0 && t <= trackCount_) {
        if (!visited.Visit(t, s)) return;
        uint8_t* block = SectorPointer(t, s);
        if (!block) return;
        int nextT = block[0], nextS = block[1];
        for (int i = 0; i < kSlotsPerBlock; ++i) {
            uint8_t* slot = block + i * kSlotSize;
            if (includeDeleted || slot[DirEntryOffset::type] != 0) {
                if (!fn(DirEntry(slot), EntryLocation{t, s, i + kSlotsPerBlock * blocksWalked})) return;
            }
        }
        ++blocksWalked;
        t = nextT;
        s = nextS;
    }
}

int DiskImage::CountEntries() {
    int count = 0;
    ForEachSlot(showDeleted(), [&](DirEntry, const EntryLocation&) {
        ++count;
        return true;
    });
    return count;
}

std::vector<DirEntry> DiskImage::ListedEntries() {
    std::vector<DirEntry> entries;
    ForEachSlot(showDeleted(), [&](DirEntry e, const EntryLocation&) {
        entries.push_back(e);
        return true;
    });
    return entries;
}

void DiskImage::Refresh() {
    entryCount_ = CountEntries();
    if (directoryView_) directoryView_->SetEntryCount(entryCount_);
}

DirEntry DiskImage::EntryAt(int index) { return EntryAtEx(index, showDeleted()); }

DirEntry DiskImage::EntryAtEx(int index, bool includeDeleted, EntryLocation* where) {
    if (index < 0) return DirEntry();
    DirEntry found;
    int n = 0;
    ForEachSlot(includeDeleted, [&](DirEntry e, const EntryLocation& loc) {
        if (n++ < index) return true;
        found = e;
        if (where) *where = loc;
        return false;
    });
    return found;
}

bool DiskImage::FindFreeDirSector(int& track, int& sector) {
    VisitedSet visited;
    int t = dirTrack_, s = -1;
    while (NextDirSector(t, s) && s >= 0) {
        if (!visited.Visit(t, s)) return false;
        if (IsBlockFree(t, s)) {
            track = t;
            sector = s;
            return true;
        }
    }
    return false;
}

void DiskImage::SetDiskId(std::span<const uint8_t, 5> id) {
    std::span<uint8_t> field = DiskId();
    std::copy_n(id.begin(), std::min(id.size(), field.size()), field.begin());
}

std::span<uint8_t> DiskImage::DiskName() {
    uint8_t* header = DiskNamePointer();
    return header ? std::span<uint8_t>(header, static_cast<size_t>(HeaderShape().nameLength))
                  : std::span<uint8_t>();
}

std::span<uint8_t> DiskImage::DiskId() {
    uint8_t* header = DiskNamePointer();
    const DiskHeaderShape shape = HeaderShape();
    return header ? std::span<uint8_t>(header + shape.idOffset, static_cast<size_t>(shape.idLength))
                  : std::span<uint8_t>();
}

bool DiskImage::RenameDisk(std::span<const uint8_t> name) {
    std::span<uint8_t> field = DiskName();
    name = name.first(std::min(name.size(), field.size()));
    if (field.empty() || std::equal(name.begin(), name.end(), field.begin())) return false;
    if (!RecordBytes(field.data(), static_cast<int>(field.size())))
        Record(UndoKind::DiskName, 0, 0, 0, field);
    std::copy(name.begin(), name.end(), field.begin());
    SetModified(true);
    return true;
}

bool DiskImage::ChangeDiskId(std::span<const uint8_t, 5> id) {
    std::span<uint8_t> field = DiskId();
    if (field.size() < id.size() || std::equal(id.begin(), id.end(), field.begin())) return false;
    Record(UndoKind::DiskId, 0, 0, 0, field.first(id.size()));
    SetDiskId(id);
    SetModified(true);
    return true;
}

bool DiskImage::EnterSubDirectory(int index) { return EnterSubDirectory(EntryAt(index), index); }

bool DiskImage::EnterSubDirectory(DirEntry entry, int index) {
    if (!entry || (entry.typeCode() != kCbm && entry.typeCode() != kDir)) return false;
    const uint8_t* first = SectorPointer(entry.firstTrack(), entry.firstSector());
    if (!first) return false;
    if (entry.typeCode() == kCbm && entry.firstSector() != 0) return false;
    int t = first[0], s = first[1];
    if (t == dirTrack_ && s == dirSector_) return false;
    for (const DirLevel& level : dirStack_)
        if (level.dirTrack == t && level.dirSector == s) return false;
    if (!SectorPointer(t, s)) return false;
    dirStack_.push_front(DirLevel{dirTrack_, dirSector_, index, entry.typeCode(), entry.firstTrack(),
                                 entry.firstSector(), entry.blocks()});
    dirTrack_ = t;
    dirSector_ = s;
    Refresh();
    if (directoryView_) {
        directoryView_->SelectLine(0);
        directoryView_->EnableCommand(static_cast<int>(CommandId::ParentDirectory), true);
    }
    return true;
}

bool DiskImage::LeaveSubDirectory() {
    if (dirStack_.empty()) return false;
    DirLevel level = dirStack_.front();
    dirStack_.pop_front();
    dirTrack_ = level.dirTrack;
    dirSector_ = level.dirSector;
    Refresh();
    if (directoryView_) {
        directoryView_->SelectLine(level.selectedIndex);
        directoryView_->EnableCommand(static_cast<int>(CommandId::ParentDirectory), !dirStack_.empty());
    }
    return true;
}

// ---- Views --------------------------------------------------------------------------------

void DiskImage::AttachDirectoryView(ImageObserver* view) { directoryView_ = view; }
void DiskImage::AttachBamView(ImageObserver* view) { bamView_ = view; }
void DiskImage::AttachSectorEditor(ImageObserver* view) { sectorEditor_ = view; }
void DiskImage::AddChildWindow(ImageObserver* view) { childWindows_.push_back(view); }

void DiskImage::DetachView(ImageObserver* view) {
    if (directoryView_ == view)
        directoryView_ = nullptr;
    else if (bamView_ == view)
        bamView_ = nullptr;
    else if (sectorEditor_ == view)
        sectorEditor_ = nullptr;
    else
        std::erase(childWindows_, view);
}

void DiskImage::RedrawViews() {
    for (ImageObserver* v : {directoryView_, bamView_, sectorEditor_})
        if (v) v->Redraw();
    for (ImageObserver* v : childWindows_) v->Redraw();
}

} // namespace tessarind
