// Commands that make images or change them. Changes are made in memory and written back
// once, through a temporary file, only when the whole command succeeded.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "cli/Commands.h"
#include "model/FormatRegistry.h"
#include "model/SafeFile.h"
#include "model/VisitedSet.h"
#include "text/Petscii.h"

namespace tessarind::cli {

namespace {

namespace fs = std::filesystem;

using CbmNameBytes = std::array<uint8_t, kNameLength>;

// A list position typed on the command line.
int Position(const std::string& text) {
    char* end = nullptr;
    long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0 || n < 0 || n > 0xFFFF)
        throw UsageError{"--at takes a list position (0 is the first file), not " + text};
    return static_cast<int>(n);
}

// A REL record length typed on the command line.
int RecordLength(const std::string& text) {
    char* end = nullptr;
    long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0 || n < 1 || n > 254)
        throw UsageError{"--record-length takes a number from 1 to 254, not " + text};
    return static_cast<int>(n);
}

// Whether a host file is stored as a plain REL file: by --type, or by its extension (a PC64
// .r00 brings its record length in its header).
bool StoredAsRel(const std::string& file, std::optional<int> type) {
    if (type) return *type == kRel;
    const std::string name = DiskImage::FileNamePart(file);
    const size_t dot = name.rfind('.');
    const int row =
        dot == std::string::npos ? -1 : FindRowByExtension(std::string_view(name).substr(dot));
    return row >= 0 && &FormatRegistry[static_cast<size_t>(row)] == FindRowByCbmType(kRel);
}

std::string Stem(const std::string& hostPath) {
    std::string name = DiskImage::FileNamePart(hostPath);
    return name.substr(0, name.rfind('.'));
}

// Inserts one host file at a list position. Without a type the file is read by its
// extension (plain, PC64, host text); with one its bytes are stored as that type as they are.
bool InsertOne(DiskImage& image, const std::string& file, int index,
               const std::optional<CbmNameBytes>& name, std::optional<int> type, int recordLength) {
    if (type || StoredAsRel(file, type)) {
        std::vector<uint8_t> data;
        bool openFailed = false;
        if (!ReadWholeFile(file, data, openFailed)) {
            ReportError(image.owner(), openFailed ? "Unable to Open File" : "Error Reading File");
            return false;
        }
        return image.WriteFileData(name ? *name : PetsciiName(Stem(file)), index, true,
                                   std::move(data), recordLength,
                                   *FindRowByCbmType(type ? *type : kRel));
    }
    if (!image.ImportHostFile(file, index, true)) return false;
    // A PC64 file brings its own name; the one given wins.
    if (name) image.RenameEntry(image.EntryAt(index), *name, index);
    return true;
}

// Makes an entry a REL file of the given record length: its data chain gets side sectors
// (or keeps those it has, which learn the new length), and its size counts them.
bool MakeRelative(DiskImage& image, DirEntry entry, int index, int recordLength) {
    const uint8_t length = static_cast<uint8_t>(recordLength);
    std::vector<std::pair<int, int>> sides;
    const bool wasRel = entry.typeCode() == kRel;
    // The type first: the side-sector bytes of other types may mean a GEOS info block.
    image.SetFileType(entry, kRel, index);
    if (wasRel && entry.sideTrack() != 0) {
        VisitedSet seen;
        for (int t = entry.sideTrack(), s = entry.sideSector(); t != 0 && seen.Visit(t, s);) {
            const uint8_t* block = image.SectorPointer(t, s);
            if (!block) break;
            sides.emplace_back(t, s);
            t = block[0];
            s = block[1];
        }
    }
    if (!sides.empty()) {
        for (auto [t, s] : sides)
            if (image.SectorPointer(t, s)[3] != length) image.SetBytes(t, s, {&length, 1}, 3);
    } else if (entry.firstTrack() != 0) {
        std::optional<std::pair<int, int>> side =
            image.CreateSideSectors(entry.firstTrack(), entry.firstSector(), recordLength);
        if (side && side->first != 0 && image.UsesSuperSideSector())
            side = image.CreateSuperSideSector(*side);
        if (!side) {
            std::fprintf(stderr, "%s: no room for the side sectors of %s\n", image.title().c_str(),
                         NameText(entry.name()).c_str());
            return false;
        }
        image.SetSideTrack(entry, static_cast<uint8_t>(side->first), index);
        image.SetSideSector(entry, static_cast<uint8_t>(side->second), index);
        const int blocks = image.WalkChain(entry.firstTrack(), entry.firstSector()).blocks +
                           image.WalkChain(side->first, side->second).blocks;
        image.SetBlocks(entry, static_cast<uint16_t>(blocks), index);
    }
    // The record length lives in the byte GEOS files use for their structure.
    image.SetGeosStructure(entry, length, index);
    return true;
}

// Runs `edit` on the one entry FILE names and writes the image back.
int EditEntry(Context& ctx, const Args& a,
              const std::function<void(DiskImage&, DirEntry, int)>& edit) {
    return ChangeImage(ctx, a.positional[0], [&](DiskImage& image) {
        std::optional<int> index = FindSingleEntry(image, a.positional[1]);
        if (!index) return kFailed;
        edit(image, image.EntryAt(*index), *index);
        return kOk;
    });
}

void NeedImageAndFile(const Args& a, const char* command) {
    if (a.positional.size() != 2) throw UsageError{std::string(command) + " needs IMAGE and FILE"};
}

void NeedImage(const Args& a, const char* command) {
    if (a.positional.size() != 1) throw UsageError{std::string(command) + " needs one IMAGE"};
}

} // namespace

int CmdNew(Context& ctx, const Args& a) {
    NeedImage(a, "new");
    const std::string& path = a.positional[0];
    std::string id = a.Value("--id");
    if (id.size() > 5) throw UsageError{"--id takes two characters, or five as \"AB 2A\""};
    std::array<uint8_t, kNameLength> name = CbmName(a.Value("--name"));
    const FormatRow* known = FindRowForPath(path);
    if (!known) {
        ctx.ui.Message("Unknown File Extension " + path, "Error");
        return kFailed;
    }
    std::error_code ec;
    if (fs::exists(path, ec)) {
        std::fprintf(stderr, "%s already exists\n", path.c_str());
        return kFailed;
    }
    const CatalogRow* kind = FormatCatalog::Builtin().ById(known->id);
    std::unique_ptr<DiskImage> image =
        kind && kind->makesBlank && kind->make ? kind->make(&ctx.settings) : nullptr;
    if (!image || !image->Open(&ctx.ui, path, false, true) || image->DiskName().empty()) {
        std::fprintf(stderr, "cannot make a blank image of this kind\n");
        return kFailed;
    }
    std::span<uint8_t> disk = image->DiskName();
    std::copy_n(name.begin(), std::min(name.size(), disk.size()), disk.begin());
    if (!id.empty() && image->DiskId().size() >= 5) {
        std::array<uint8_t, 5> bytes;
        std::copy_n(image->DiskId().begin(), 5, bytes.begin());
        std::vector<uint8_t> typed(id.begin(), id.end());
        AsciiToPetsciiName(typed, false);
        for (size_t i = 0; i < typed.size(); ++i)
            bytes[i] = typed[i] == ' ' ? kPad : typed[i];
        image->SetDiskId(bytes);
    }
    return image->WriteFile(path) ? kOk : kFailed;
}

int CmdConvert(Context& ctx, const Args& a) {
    if (a.positional.size() != 2) throw UsageError{"convert needs INPUT and OUTPUT"};
    const std::string& input = a.positional[0];
    const std::string& output = a.positional[1];
    const CatalogRow* kind = ImageKindFor(output);
    if (!kind) {
        ctx.ui.Message("Unknown File Extension " + output, "Error");
        return kFailed;
    }
    std::error_code ec;
    if (fs::exists(output, ec)) {
        std::fprintf(stderr, "%s already exists\n", output.c_str());
        return kFailed;
    }
    // An archive unpacks into the kind of image asked for, where it has a choice.
    if (kind->id == FormatId::D81) ctx.settings.Set(SettingId::DecompressTo81, 1);
    std::unique_ptr<DiskImage> image = OpenImage(ctx, input);
    if (!image) return kFailed;
    // An image read from another form (a GCR image) saves as the kind it decodes to.
    if (image->formatId() != kind->id && image->DefaultExtension() != kind->Info().extension) {
        const FormatRow* from = FindRowById(image->formatId());
        std::fprintf(stderr, "%s: converting a %s image to %s is not available yet\n",
                     input.c_str(), from ? std::string(from->displayName).c_str() : "?",
                     std::string(kind->Info().extension).c_str());
        return kFailed;
    }
    return image->WriteFile(output) ? kOk : kFailed;
}

int CmdInsert(Context& ctx, const Args& a) {
    if (a.positional.size() < 2) throw UsageError{"insert needs IMAGE and at least one FILE"};
    const std::vector<std::string> files(a.positional.begin() + 1, a.positional.end());
    std::optional<int> at;
    if (a.HasValue("--at")) at = Position(a.Value("--at"));
    std::optional<CbmNameBytes> name;
    if (a.HasValue("--name")) {
        if (files.size() != 1) throw UsageError{"--name names a single FILE"};
        name = CbmName(a.Value("--name"));
    }
    std::optional<int> type;
    if (a.HasValue("--type")) type = TypeCode(a.Value("--type"));
    const bool anyRel = std::any_of(files.begin(), files.end(),
                                    [&](const std::string& f) { return StoredAsRel(f, type); });
    int recordLength = 0;
    if (a.HasValue("--record-length")) {
        recordLength = RecordLength(a.Value("--record-length"));
        if (!anyRel) throw UsageError{"--record-length applies to REL files only"};
    } else if (anyRel) {
        throw UsageError{"a REL file needs --record-length N (1-254)"};
    }

    return ChangeImage(ctx, a.positional[0], [&](DiskImage& image) {
        std::error_code ec;
        for (const std::string& file : files) {
            if (!fs::is_regular_file(file, ec)) {
                ctx.ui.Message("Unable to Open File " + file, "Error");
                return kFailed;
            }
        }
        if (at && *at > image.entryCount()) {
            std::fprintf(stderr, "--at %d: %s lists only %d files\n", *at, image.title().c_str(),
                         image.entryCount());
            return kFailed;
        }
        // The CLI never undoes: the journal would only cost time on large insertions.
        DiskImage::SuspendRecording quiet(image);
        int index = at ? *at : image.entryCount();
        for (const std::string& file : files) {
            if (!InsertOne(image, file, index, name, type, recordLength)) {
                std::fprintf(stderr, "%s: not inserted; %s is left as it was\n", file.c_str(),
                             image.title().c_str());
                return kFailed;
            }
            index = at ? index + 1 : image.entryCount();
        }
        return kOk;
    });
}

int CmdRemove(Context& ctx, const Args& a) {
    if (a.positional.size() < 2) throw UsageError{"remove needs IMAGE and at least one FILE"};
    return ChangeImage(ctx, a.positional[0], [&](DiskImage& image) {
        std::vector<int> indexes;
        for (size_t i = 1; i < a.positional.size(); ++i) {
            std::vector<int> found = FindEntries(image, a.positional[i]);
            if (found.empty()) {
                std::fprintf(stderr, "%s: no such file in %s\n", a.positional[i].c_str(),
                             image.title().c_str());
                return kFailed;
            }
            indexes.insert(indexes.end(), found.begin(), found.end());
        }
        // From the last entry up, so the positions still to remove stay where they were.
        std::sort(indexes.begin(), indexes.end(), std::greater<>());
        indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
        for (int index : indexes)
            image.RemoveEntry(index, true);
        return kOk;
    });
}

int CmdRename(Context& ctx, const Args& a) {
    if (a.positional.size() != 3) throw UsageError{"rename needs IMAGE, FILE and NEWNAME"};
    const CbmNameBytes name = CbmName(a.positional[2]);
    return EditEntry(ctx, a, [&](DiskImage& image, DirEntry entry, int index) {
        image.RenameFile(entry, name, index);
    });
}

int CmdLock(Context& ctx, const Args& a) {
    NeedImageAndFile(a, "lock");
    return EditEntry(ctx, a, [](DiskImage& image, DirEntry entry, int index) {
        image.SetLocked(entry, true, index);
    });
}

int CmdUnlock(Context& ctx, const Args& a) {
    NeedImageAndFile(a, "unlock");
    return EditEntry(ctx, a, [](DiskImage& image, DirEntry entry, int index) {
        image.SetLocked(entry, false, index);
    });
}

int CmdSplat(Context& ctx, const Args& a) {
    NeedImageAndFile(a, "splat");
    return EditEntry(ctx, a, [](DiskImage& image, DirEntry entry, int index) {
        image.SetSplat(entry, true, index);
    });
}

int CmdUnsplat(Context& ctx, const Args& a) {
    NeedImageAndFile(a, "unsplat");
    return EditEntry(ctx, a, [](DiskImage& image, DirEntry entry, int index) {
        image.SetSplat(entry, false, index);
    });
}

int CmdRetype(Context& ctx, const Args& a) {
    if (a.positional.size() != 3) throw UsageError{"retype needs IMAGE, FILE and TYPE"};
    const int code = TypeCode(a.positional[2]);
    int recordLength = 0;
    if (a.HasValue("--record-length")) {
        recordLength = RecordLength(a.Value("--record-length"));
        if (code != kRel) throw UsageError{"--record-length applies to REL files only"};
    } else if (code == kRel) {
        throw UsageError{"retype to rel needs --record-length N (1-254)"};
    }
    return ChangeImage(ctx, a.positional[0], [&](DiskImage& image) {
        std::optional<int> index = FindSingleEntry(image, a.positional[1]);
        if (!index) return kFailed;
        DirEntry entry = image.EntryAt(*index);
        if (code != kRel) {
            image.SetFileType(entry, code, *index);
            return kOk;
        }
        return MakeRelative(image, entry, *index, recordLength) ? kOk : kFailed;
    });
}

int CmdValidate(Context& ctx, const Args& a) {
    NeedImage(a, "validate");
    return ChangeImage(ctx, a.positional[0], [](DiskImage& image) {
        image.Validate();
        return kOk;
    });
}

int CmdCompact(Context& ctx, const Args& a) {
    NeedImage(a, "compact");
    return ChangeImage(ctx, a.positional[0], [](DiskImage& image) {
        image.CompactDirectory();
        return kOk;
    });
}

int CmdSort(Context& ctx, const Args& a) {
    NeedImage(a, "sort");
    const std::string by = a.Value("--by", "name");
    if (by != "name" && by != "size") throw UsageError{"sort --by takes name or size, not " + by};
    const bool ascending = !a.Has("--descending");
    return ChangeImage(ctx, a.positional[0], [&](DiskImage& image) {
        image.Sort(ascending, by == "size");
        return kOk;
    });
}

int CmdFill(Context& ctx, const Args& a) {
    NeedImage(a, "fill");
    return ChangeImage(ctx, a.positional[0], [](DiskImage& image) {
        image.FillFreeSectors();
        return kOk;
    });
}

} // namespace tessarind::cli
