// Opens fuzzed bytes as a 1541, 1571, 1581, 8050 or 8250 image (the first byte picks the kind,
// see FuzzImage.h), runs a short sequence of edits drawn from the input on it, then undoes
// everything: the journal must give back exactly the bytes that were opened, every edit that
// fails must leave no records behind, and the journal must come to an end.
//
// Input: byte 0 the kind and options (0x10: the edits run inside the first sub-directory that
// can be entered; 0x20: deleted entries shown; 0x40: a fill byte other than 0), byte 1 the
// length N of the edit script, N bytes of script, then the image bytes.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "FuzzImage.h"
#include "formats/D81Image.h"
#include "model/CommandId.h"
#include "model/FormatRegistry.h"
#include "catalog/DirectoryListing.h"

using namespace tessarind;

namespace {

constexpr const char* kHarness = "OperationsFuzzer";
constexpr int kMaxOperations = 32;

volatile size_t sink;

void Check(bool ok, const std::string& what) {
    if (!ok) fuzz::Fail(kHarness, what);
}

// The edit script: bytes taken in order, zeros once it runs out.
class Script {
public:
    explicit Script(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    bool Done() const { return at_ >= bytes_.size(); }
    uint8_t Byte() { return at_ < bytes_.size() ? bytes_[at_++] : 0; }
    int Word() { return Byte() | (Byte() << 8); }
    // lo..hi inclusive.
    int Between(int lo, int hi) { return hi <= lo ? lo : lo + Word() % (hi - lo + 1); }
    bool Flag() { return (Byte() & 1) != 0; }

private:
    std::span<const uint8_t> bytes_;
    size_t at_ = 0;
};

// Answers the core's questions from the script: partition sizes, Yes/No, no save dialogs.
class ScriptedInteraction : public Interaction {
public:
    explicit ScriptedInteraction(Script& script) : script_(script) {}
    void Message(const std::string& text, const std::string&) override {
        sink = sink + text.size();
    }
    Answer Ask(const std::string&, const std::string&, bool) override {
        return static_cast<Answer>(script_.Byte() % 5);
    }
    std::optional<long> AskNumber(const std::string&, long initial) override {
        const uint8_t b = script_.Byte();
        if (b == 0) return std::nullopt;
        return b < 128 ? initial : static_cast<long>(script_.Word()) - 100;
    }
    std::optional<SaveChoice> ChooseSaveFile(const SaveRequest&, bool&) override {
        return std::nullopt;
    }

private:
    Script& script_;
};

// File contents are cut from one buffer of noise.
std::span<const uint8_t> Noise(size_t size, uint32_t from) {
    static const std::vector<uint8_t> noise = [] {
        std::vector<uint8_t> bytes(1 << 20);
        uint32_t x = 0x9E3779B9u;
        for (uint8_t& b : bytes) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            b = static_cast<uint8_t>(x >> 24);
        }
        return bytes;
    }();
    size = std::min(size, noise.size());
    const size_t start = from % (noise.size() - size + 1);
    return std::span<const uint8_t>(noise).subspan(start, size);
}

std::array<uint8_t, kNameLength> Name(Script& script) {
    static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .-*?";
    std::array<uint8_t, kNameLength> name;
    name.fill(kPad);
    const uint8_t how = script.Byte();
    const int length = how % (kNameLength + 1);
    for (int i = 0; i < length; ++i) {
        const uint8_t b = script.Byte();
        name[static_cast<size_t>(i)] =
            how & 0x80 ? b : static_cast<uint8_t>(kChars[b % (sizeof kChars - 1)]);
    }
    return name;
}

// A list position: nearly always one of the listed entries or just after them.
int Position(Script& script, int count) {
    const uint8_t b = script.Byte();
    if (b < 8) return -1;
    if (b < 24) return count;
    if (b < 28) return count + 1 + b % 3;
    if (b == 255) return 1000;
    return count > 0 ? script.Between(0, count - 1) : 0;
}

int Track(Script& script, const DiskImage& image) {
    const uint8_t b = script.Byte();
    return b < 240 ? 1 + b % std::max(image.trackCount(), 1) : b - 240;
}

int Sector(Script& script, const DiskImage& image) {
    return script.Byte() % (image.maxSectors() + 2);
}

constexpr int kInsertRows[] = {12, 5, 14, 13, 31, 24, 15}; // PRG SEQ USR REL DEL P00 TXT

enum class Op : uint8_t {
    Insert,
    Remove,
    Rename,
    Lock,
    Splat,
    FileType,
    Blocks,
    Date,
    Field,
    Align,
    Move,
    MoveRun,
    Sort,
    Compact,
    Validate,
    Fill,
    DiskName,
    DiskId,
    AutoSize,
    Partition,
    SetBytes,
    Toggle,
    ShowDeleted,
    Undo,
    SideSectors,
    Extension,
    ErrorCode,
    Count
};

constexpr const char* kOpNames[] = {
    "Insert",   "Remove",      "Rename",   "Lock",        "Splat",     "FileType",  "Blocks",
    "Date",     "Field",       "Align",    "Move",        "MoveRun",   "Sort",      "Compact",
    "Validate", "Fill",        "DiskName", "DiskId",      "AutoSize",  "Partition", "SetBytes",
    "Toggle",   "ShowDeleted", "Undo",     "SideSectors", "Extension", "ErrorCode"};
static_assert(std::size(kOpNames) == static_cast<size_t>(Op::Count));

// One edit. Returns false when it reported failure (it must then have left no trace).
bool Apply(Op op, Script& script, DiskImage& image, ScriptedInteraction& ui) {
    const int count = image.CountEntries();
    switch (op) {
    case Op::Insert: {
        const FormatRow& row = *FindRowById(kInsertRows[script.Byte() % std::size(kInsertRows)]);
        const uint8_t sizeClass = script.Byte();
        size_t size = 0;
        if (sizeClass < 32)
            size = 0;
        else if (sizeClass < 160)
            size = static_cast<size_t>(script.Between(1, 600));
        else if (sizeClass < 240)
            size = static_cast<size_t>(script.Between(601, 30000));
        else // about what the disk holds: fits, just fits, or is a block or two too big
            size = static_cast<size_t>(std::max(
                0, (image.FreeBlockCount() + sizeClass % 5 - 2) * 254 - script.Between(0, 253)));
        std::vector<uint8_t> bytes;
        std::span<const uint8_t> noise = Noise(size, static_cast<uint32_t>(script.Word()) * 4099u);
        bytes.assign(noise.begin(), noise.end());
        if (row.id == 24) { // PC64: a header that names the file and its record length
            std::vector<uint8_t> header(26, 0);
            std::memcpy(header.data(), "C64File", 7);
            std::array<uint8_t, kNameLength> inner = Name(script);
            std::copy(inner.begin(), inner.end(), header.begin() + 8);
            header[25] = script.Byte();
            bytes.insert(bytes.begin(), header.begin(), header.end());
        }
        const std::array<uint8_t, kNameLength> name = Name(script);
        const int recordLength = script.Byte();
        const int index = Position(script, count);
        return image.WriteFileData(name, index, script.Flag(), std::move(bytes), recordLength, row);
    }
    case Op::Remove: {
        const int index = Position(script, count);
        image.RemoveEntry(index, script.Flag());
        return true;
    }
    case Op::Rename:
    case Op::Lock:
    case Op::Splat:
    case Op::FileType:
    case Op::Blocks:
    case Op::Date:
    case Op::Field: {
        const int index = Position(script, count);
        DirEntry entry = image.EntryAt(index);
        if (!entry) return true;
        switch (op) {
        case Op::Rename:
            image.RenameEntry(entry, Name(script), index);
            break;
        case Op::Lock:
            image.SetLocked(entry, script.Flag(), index);
            break;
        case Op::Splat:
            image.SetSplat(entry, script.Flag(), index);
            break;
        case Op::FileType:
            image.SetFileType(entry, script.Byte() % 8, index);
            break;
        case Op::Blocks:
            image.SetBlocks(entry, static_cast<uint16_t>(script.Word()), index);
            break;
        case Op::Date: {
            const std::array<uint8_t, 5> date = {script.Byte(), script.Byte(), script.Byte(),
                                                 script.Byte(), script.Byte()};
            image.SetDate(entry, date, index);
            break;
        }
        default: {
            const uint8_t value = script.Byte();
            switch (script.Byte() % 6) {
            case 0:
                image.SetFirstTrack(entry, value, index);
                break;
            case 1:
                image.SetFirstSector(entry, value, index);
                break;
            case 2:
                image.SetSideTrack(entry, value, index);
                break;
            case 3:
                image.SetSideSector(entry, value, index);
                break;
            case 4:
                image.SetGeosType(entry, value, index);
                break;
            default:
                image.SetGeosStructure(entry, value, index);
                break;
            }
        }
        }
        return true;
    }
    case Op::Align: {
        const int index = Position(script, count);
        image.AlignName(index, static_cast<Align>(script.Byte() % 4));
        return true;
    }
    case Op::Move: {
        const int index = Position(script, count);
        image.MoveEntry(script.Flag(), index, script.Flag());
        return true;
    }
    case Op::MoveRun: {
        const int first = script.Between(-1, count);
        const int last = script.Flag() ? first + script.Between(0, 3) : script.Between(-1, count);
        const int target = script.Between(-1, count + 1);
        return image.MoveEntries(first, last, target);
    }
    case Op::Sort: {
        const bool ascending = script.Flag();
        image.Sort(ascending, script.Flag());
        return true;
    }
    case Op::Compact:
        image.CompactDirectory();
        return true;
    case Op::Validate:
        image.Validate();
        return true;
    case Op::Fill:
        image.FillFreeSectors();
        return true;
    case Op::DiskName: {
        // As the header editor commits a new disk name: the old bytes journalled first.
        uint8_t* name = image.DiskNamePointer();
        if (!name) return true;
        const std::array<uint8_t, kNameLength> fresh = Name(script);
        if (std::equal(fresh.begin(), fresh.end(), name)) return true;
        DiskImage::Group group(image);
        image.Record(UndoKind::DiskName, 0, 0, 0, std::span<const uint8_t>(name, kNameLength),
                     "Rename Disk");
        std::copy(fresh.begin(), fresh.end(), name);
        image.SetModified(true);
        group.Close("Rename Disk");
        return true;
    }
    case Op::DiskId: {
        uint8_t* name = image.DiskNamePointer();
        if (!name) return true;
        std::array<uint8_t, 5> id;
        for (uint8_t& b : id)
            b = script.Byte();
        std::array<uint8_t, 5> old;
        std::copy_n(name + 18, 5, old.begin());
        if (old == id) return true;
        DiskImage::Group group(image);
        image.Record(UndoKind::DiskId, 0, 0, 0, old, "Disk ID");
        image.SetDiskId(id);
        image.SetModified(true);
        group.Close("Disk ID");
        return true;
    }
    case Op::AutoSize:
        image.AutoFileSize(Position(script, count));
        return true;
    case Op::Partition: {
        const int index = Position(script, count);
        const bool asked = script.Flag();
        image.SetOwner(asked ? &ui : nullptr);
        const bool made = image.CreateSubDirectory(index);
        image.SetOwner(nullptr);
        return made;
    }
    case Op::SetBytes: {
        const int track = Track(script, image), sector = Sector(script, image);
        const int offset = script.Byte();
        std::vector<uint8_t> bytes(1 + script.Byte() % 40);
        for (uint8_t& b : bytes)
            b = script.Byte();
        image.SetBytes(track, sector, bytes, offset);
        return true;
    }
    case Op::Toggle: {
        const int track = Track(script, image);
        image.ToggleBlock(track, Sector(script, image));
        return true;
    }
    case Op::ShowDeleted:
        image.SetShowDeleted(!image.showDeleted());
        image.Refresh();
        return true;
    case Op::Undo:
        image.UndoCommand();
        return true;
    case Op::SideSectors: {
        DirEntry entry =
            count > 0 && script.Flag() ? image.EntryAt(script.Between(0, count - 1)) : DirEntry();
        const int track = entry ? entry.firstTrack() : Track(script, image);
        const int sector = entry ? entry.firstSector() : Sector(script, image);
        return image.CreateSideSectors(track, sector, script.Between(1, 254)).has_value();
    }
    case Op::Extension: {
        const CommandId id = script.Flag() ? CommandId::SectorErrors : CommandId::ExtendedTracks;
        image.HandleCommand(static_cast<int>(id));
        return true;
    }
    case Op::ErrorCode: {
        const int track = Track(script, image);
        image.SetErrorCode(track, Sector(script, image), script.Byte() % 12);
        return true;
    }
    case Op::Count:
        break;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::AddDefaultTimeout(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t options = data[0];
    const size_t scriptLength = std::min<size_t>(data[1], size - 2);
    Script script(std::span<const uint8_t>(data + 2, scriptLength));
    const std::span<const uint8_t> bytes(data + 2 + scriptLength, size - 2 - scriptLength);

    const fuzz::DiskKind& kind = fuzz::KindOf(options);
    Settings settings;
    settings.Set(SettingId::FillByte, (options & 0x40) ? 0xE5 : 0);
    static std::vector<uint8_t> spare;
    std::unique_ptr<DiskImage> image =
        fuzz::OpenDisk(kind, bytes, (options & 8) != 0, &settings, spare);
    image->SetShowDeleted((options & 0x20) != 0);
    image->Refresh();
    ScriptedInteraction ui(script);

    // Edits inside a sub-directory are undone there too: undo records of entries name list
    // positions in the directory that is listed.
    if (options & 0x10) {
        for (int i = 0; i < image->entryCount(); ++i) {
            const int code = image->EntryAt(i).typeCode();
            if ((code == kCbm || code == kDir) && image->EnterSubDirectory(i)) break;
        }
    }
    const size_t levels = image->DirStack().size();
    static fuzz::ImageState opened, before;
    opened.Capture(*image);

    for (int n = 0; n < kMaxOperations && !script.Done(); ++n) {
        const auto op = static_cast<Op>(script.Byte() % static_cast<int>(Op::Count));
        const size_t depth = image->Journal().size();
        const bool wasModified = image->modified();
        const bool checkFailure = op != Op::Undo; // an undo is checked at the end
        if (checkFailure) before.Capture(*image);
        const bool done = Apply(op, script, *image, ui);
        const std::string what =
            "edit " + std::to_string(n) + " (" + kOpNames[static_cast<int>(op)] + ")";
        if (fuzz::Tracing())
            std::fprintf(stderr, "%s: %s, %s, journal %zu -> %zu, %d entries\n", kHarness,
                         what.c_str(), done ? "done" : "failed", depth, image->Journal().size(),
                         image->entryCount());
        Check(image->DirStack().size() == levels, what + " left the directory level");
        if (op != Op::Undo) Check(image->Journal().size() >= depth, what + " shrank the journal");
        if (!done) {
            Check(image->Journal().size() == depth, what + " failed but left undo records");
            if (std::string diff = before.Difference(*image); !diff.empty())
                fuzz::Fail(kHarness, what + " failed but changed the image: " + diff);
            Check(image->modified() == wasModified, what + " failed but changed the modified flag");
        } else if (checkFailure && image->Journal().size() == depth) {
            // Nothing recorded: nothing may have changed, or undo could not take it back.
            if (std::string diff = before.Difference(*image); !diff.empty())
                fuzz::Fail(kHarness, what + " changed the image without a record: " + diff);
        } else if (checkFailure) {
            Check(image->modified(), what + " recorded a change but left the image clean");
        }
        Check(image->entryCount() == image->CountEntries(), what + " left a stale entry count");
    }
    sink = sink + ListDirectory(*image, ListingForm::Ascii, false).size();

    fuzz::TraceJournal(*image, "before undoing");
    // Undo everything, now and then switching the view of deleted entries.
    const size_t bound = image->Journal().size() + 1;
    for (size_t steps = 0; image->UndoEnabled(); ++steps) {
        Check(steps < bound, "undo does not come to an end");
        if (script.Byte() & 0x80) {
            image->SetShowDeleted(!image->showDeleted());
            image->Refresh();
        }
        image->UndoCommand();
    }
    Check(image->DirStack().size() == levels, "undo left the directory level");
    if (std::string diff = opened.Difference(*image); !diff.empty())
        fuzz::Fail(kHarness,
                   std::string("undo did not restore the ") + kind.name + " image: " + diff);
    Check(!image->modified(), "the image is still modified with an empty journal");
    fuzz::Release(image, spare);
    return 0;
}
