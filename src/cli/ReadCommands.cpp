// Commands that read an image and leave it as it is.

#include <cstdio>
#include <filesystem>
#include <set>
#include <tuple>

#include "cli/Commands.h"
#include "catalog/BatchRun.h"
#include "model/FormatRegistry.h"
#include "catalog/ListingExport.h"
#include "model/SafeFile.h"
#include "model/BasicListing.h"
#include "model/DirectoryWalk.h"
#include "text/BasicDetokenizer.h"
#include "catalog/DirectoryListing.h"
#include "catalog/DirectoryPicture.h"
#include "formats/CmdContainerImage.h"
#include "text/Petscii.h"
#include "text/PetsciiLayout.h"
#include "formats/TextDocument.h"

namespace tessarind::cli {

namespace {

namespace fs = std::filesystem;

bool WriteOutput(const std::string& target, std::span<const uint8_t> bytes) {
    if (target.empty() || target == "-")
        return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
    return WriteWholeFile(target, bytes) == WriteResult::Ok;
}

// The kind an entry is written as in an export mode; none when the mode leaves it out.
// The folder a sub-directory's files are extracted into, as extracting everything names it.
std::string SubFolderName(DiskImage& image, DirEntry entry) {
    std::string name = HostFileName(entry.name(), 256, image.settings());
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name.empty() ? "_" : name;
}

// Prints where a file of an extraction went, or why it did not.
void ReportExtracted(const ExportedFile& file) {
    switch (file.outcome) {
    case ExportedFile::Outcome::Written:
        std::printf("%s\n", file.path.c_str());
        return;
    case ExportedFile::Outcome::Partial: // written as far as its chain could be read
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", file.reason.c_str());
        std::printf("%s\n", file.path.c_str());
        return;
    case ExportedFile::Outcome::Exists:
        std::fprintf(stderr, "%s: exists and is left as it is (--force replaces it)\n",
                     file.path.c_str());
        return;
    case ExportedFile::Outcome::NoData:
        std::fprintf(stderr, "%s: not extracted: %s\n", file.name.c_str(), file.reason.c_str());
        return;
    case ExportedFile::Outcome::CannotCreate:
    case ExportedFile::Outcome::WriteFailed:
        std::fprintf(stderr, "%s: %s\n", file.path.c_str(), file.reason.c_str());
        return;
    }
}

// Where a file lies: the directory it is listed in and its list index.
using EntryPlace = std::tuple<int, int, int>;

// Extracts the files a FILE argument names in the current directory; "PART/INNER" names
// INNER inside the partition or sub-directory PART, as find prints it (a "/" may also be part
// of a CBM name, so every way of reading it is tried). A file named twice is written once.
// Returns the number of files named.
int ExtractNamed(DiskImage& image, const std::string& typed, const fs::path& folder, ExportMode mode,
                 const std::string& modeWord, ExportRun& run, std::set<EntryPlace>& named) {
    int count = 0;
    for (int index : FindEntries(image, typed)) {
        ++count;
        if (!named.insert({image.dirTrack(), image.dirSector(), index}).second) continue;
        std::array<uint8_t, kSlotSize> scratch{};
        DirEntry entry = image.EntryAsListed(index, scratch);
        const FormatRow* row = RowForExportMode(mode, entry);
        if (!row) {
            std::fprintf(stderr, "%s: a %s file is not extracted in %s mode; skipped\n",
                         NameText(entry.name()).c_str(),
                         TypeName(entry.typeCode(), image.maxFileType()), modeWord.c_str());
            continue;
        }
        std::error_code ec;
        fs::create_directories(folder, ec);
        image.ExportInto(index, folder.string(), *row, run);
    }
    if (!HasSubDirectories(image)) return count;
    for (size_t slash = typed.find('/'); slash != std::string::npos;
         slash = typed.find('/', slash + 1)) {
        const std::string outer = typed.substr(0, slash), inner = typed.substr(slash + 1);
        if (outer.empty() || inner.empty()) continue;
        for (int index : FindEntries(image, outer)) {
            DirEntry entry = image.EntryAt(index);
            const int code = entry.typeCode();
            if ((code != kCbm && code != kDir) || !image.EnterSubDirectory(index)) continue;
            count += ExtractNamed(image, inner, folder / SubFolderName(image, entry), mode,
                                  modeWord, run, named);
            image.LeaveSubDirectory();
        }
    }
    return count;
}

ExportMode ParseMode(const std::string& word) {
    if (word == "native") return ExportMode::Native;
    if (word == "pc64") return ExportMode::Pc64;
    if (word == "text") return ExportMode::SeqAsText;
    throw UsageError{"unknown extract mode " + word + " (native, pc64 or text)"};
}

} // namespace

int CmdList(Context& ctx, const Args& a) {
    if (a.positional.size() != 1) throw UsageError{"list needs one IMAGE"};
    const std::string format = a.Value("--format", "text");
    if (format != "text" && format != "csv" && format != "bmp")
        throw UsageError{"unknown list format " + format + " (text, csv or bmp)"};
    if (a.Has("--md5") && format != "csv") throw UsageError{"--md5 needs --format csv"};
    const std::string target = a.Value("-o");
    const bool subdirs = a.Has("--subdirs"), lower = a.Has("--lower");
    if (format == "bmp" && target == "-" && subdirs)
        throw UsageError{"list --format bmp --subdirs writes one file per level; name one with -o"};
    if (a.Has("--deleted")) ctx.settings.Set(SettingId::ShowDEL, 1);
    if (a.Has("--md5")) ctx.settings.Set(SettingId::AddMD5Hash, 1);

    if (format == "text") {
        auto image = OpenImage(ctx, a.positional[0]);
        if (!image) return kFailed;
        std::vector<uint8_t> text;
        if (auto* container = dynamic_cast<CmdContainerImage*>(image.get())) {
            // A container lists its partition table, and with --subdirs each partition's
            // listing after it.
            const std::string table = container->PartitionListing(a.positional[0], false);
            text.assign(table.begin(), table.end());
            for (int index = 0, count = subdirs ? container->CountEntries() : 0; index < count; ++index) {
                DiskImage* child = container->OpenPartition(index);
                if (!child) continue;
                std::vector<uint8_t> level = ListDirectory(*child, ListingForm::Ascii, lower);
                text.push_back('\n');
                text.insert(text.end(), level.begin(), level.end());
            }
        } else if (!subdirs) {
            text = ListDirectory(*image, ListingForm::Ascii, lower);
        } else {
            // Each level's listing, a blank line between them.
            WalkDirectories(
                *image, HasSubDirectories(*image),
                [&](WalkPath) {
                    if (!text.empty()) text.push_back('\n');
                    std::vector<uint8_t> level = ListDirectory(*image, ListingForm::Ascii, lower);
                    text.insert(text.end(), level.begin(), level.end());
                    return true;
                },
                nullptr);
        }
        if (!WriteOutput(target, text)) {
            ctx.ui.Message("Unable to Save File", "Error");
            return kFailed;
        }
        return kOk;
    }

    // The CSV listing starts with the container's full path, so it is opened by that.
    std::error_code ec;
    fs::path full = fs::absolute(fs::path(a.positional[0]), ec).lexically_normal();
    auto image = OpenImage(ctx, ec ? a.positional[0] : full.string());
    if (!image) return kFailed;
    const int shown = ctx.ui.shown;
    bool ok = false;
    if (auto* container = dynamic_cast<CmdContainerImage*>(image.get()); container && format == "csv") {
        // A container's table: slot, name and type per partition.
        const std::string table = container->PartitionListing(image->path(), true);
        ok = WriteOutput(target, std::vector<uint8_t>(table.begin(), table.end()));
    } else if (format == "csv") {
        const bool toStdout = target.empty() || target == "-";
        ok = ExportCsv(*image, toStdout ? stdout : nullptr, target, &ctx.ui, subdirs, lower);
        if (toStdout) ok = std::fflush(stdout) == 0 && ok;
    } else {
        BitmapExportOptions options;
        if (lower) options.style.caseTable = &kLowerCaseSet;
        if (target == "-") {
            std::vector<uint8_t> bitmap = EncodeBitmap(ListingPicture(*image, options));
            ok = !bitmap.empty() && WriteOutput(target, bitmap);
        } else {
            // Without -o the picture goes beside the image, named after it.
            const std::string path =
                target.empty() ? ListingPath(a.positional[0], FormatId::Bitmap) : target;
            ok = ExportBitmap(*image, path, true, subdirs, options);
        }
    }
    if (!ok && ctx.ui.shown == shown) ctx.ui.Message("Unable to Save File", "Error");
    return ok ? kOk : kFailed;
}

// What the size of an image file means: every sector of the format, part of them (a file cut
// short), or more bytes than the sectors take; with the extension pieces that follow them.
static std::string SizeMeaning(DiskImage& image) {
    std::vector<uint8_t> codes;
    size_t fileBytes = 0;
    for (std::span<const uint8_t> piece : image.FileContents(codes))
        fileBytes += piece.size();
    int present = 0;
    size_t inImage = 0; // bytes of the main buffer that blocks cover
    for (int t = 1; t <= image.trackCount(); ++t)
        for (int s = 0; s < image.maxSectors(); ++s)
            if (const uint8_t* p = image.SectorPointer(t, s)) {
                ++present;
                if (size_t at = 0; image.Store().OffsetOf(p, at)) inImage += kBlockSize;
            }
    const int full = image.FullBlockCount() > 0 ? image.FullBlockCount() : present;
    const size_t size = image.Store().Size();
    const size_t rest = size > inImage ? size - inImage : 0;
    std::string text = std::to_string(fileBytes) + " bytes (";
    if (present < full)
        text += "partial image: " + std::to_string(present) + " of " + std::to_string(full) +
                " sectors";
    else
        text += std::to_string(present) + " sectors";
    if (rest > 0)
        text += present < full ? ", and " + std::to_string(rest) + " bytes of the next"
                               : ", and " + std::to_string(rest) + " bytes more, kept as they are";
    if ((image.flags() & kFlagErrorCodes) && !codes.empty())
        text += ", and " + std::to_string(codes.size()) + " error bytes";
    return text + ")";
}

int CmdInfo(Context& ctx, const Args& a) {
    if (a.positional.size() != 1) throw UsageError{"info needs one IMAGE"};
    auto image = OpenImage(ctx, a.positional[0]);
    if (!image) return kFailed;
    const FormatRow* row = FindRowById(image->formatId());
    std::string name = HostText(image->DiskName(), true);
    std::string id = HostText(image->DiskId(), true);
    std::printf("Format: %s\n", row ? std::string(row->displayName).c_str() : "?");
    std::printf("Tracks: %d\n", image->trackCount());
    // A single file opened as a disk has no image file of its own to describe.
    if (!image->untitled()) std::printf("Size: %s\n", SizeMeaning(*image).c_str());
    std::printf("Sector errors: %s\n", (image->flags() & kFlagErrorCodes) ? "yes" : "no");
    std::printf("Disk name: %s\n", name.c_str());
    std::printf("Disk ID: %s\n", id.c_str());
    std::printf("Entries: %d\n", image->entryCount());
    std::printf("Blocks free: %d\n", image->FreeBlockCount());
    return kOk;
}

int CmdBam(Context& ctx, const Args& a) {
    if (a.positional.size() != 1) throw UsageError{"bam needs one IMAGE"};
    auto image = OpenImage(ctx, a.positional[0]);
    if (!image) return kFailed;
    // One row per track: free count by the map, then a mark per sector ("." free, "*" used).
    for (int t = 1; t <= image->trackCount(); ++t) {
        std::string marks;
        int free = 0;
        for (int s = 0; s < image->maxSectors() && image->SectorPointer(t, s); ++s) {
            bool isFree = image->IsBlockFree(t, s);
            free += isFree;
            marks.push_back(isFree ? '.' : '*');
        }
        std::printf("%2d %2d %s\n", t, free, marks.c_str());
    }
    std::printf("%d BLOCKS FREE.\n", image->FreeBlockCount());
    return kOk;
}

int CmdBasic(Context& ctx, const Args& a) {
    if (a.positional.size() != 2) throw UsageError{"basic needs IMAGE and FILE"};
    if (a.Has("--bastext")) ctx.settings.Set(SettingId::UseBasText, 1);
    auto image = OpenImage(ctx, a.positional[0]);
    if (!image) return kFailed;
    std::optional<int> index = FindOneEntry(*image, a.positional[1]);
    if (!index) return kFailed;
    std::optional<std::vector<uint8_t>> listing = Detokenize(*image, *index);
    if (!listing) {
        ctx.ui.Message("Unable to View File", "Error");
        return kFailed;
    }
    std::string text = HostText(*listing, true);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kOk;
}

namespace {

// SEQ text as the text viewer lays it out, one screen line per host line.
void PrintLaidOut(std::span<const uint8_t> petscii, const Args& a) {
    TextLayoutOptions options;
    options.switches.interpretCodes = a.Has("--codes");
    options.width = std::stoi(a.Value("--width", "40"));
    std::string text = LayoutAsHostText(petscii, options, a.Has("--lower"));
    std::fwrite(text.data(), 1, text.size(), stdout);
}

} // namespace

int CmdType(Context& ctx, const Args& a) {
    if (a.positional.empty() || a.positional.size() > 2)
        throw UsageError{"type needs IMAGE and FILE, or a text file"};
    const std::string width = a.Value("--width", "40");
    if (width != "40" && width != "80") throw UsageError{"--width is 40 or 80"};
    auto image = OpenImage(ctx, a.positional[0]);
    if (!image) return kFailed;
    if (a.positional.size() == 1) {
        auto* document = dynamic_cast<TextDocument*>(image.get());
        if (!document) throw UsageError{"type needs FILE inside " + a.positional[0]};
        PrintLaidOut(document->Text(), a);
        return kOk;
    }
    std::optional<int> index = FindOneEntry(*image, a.positional[1]);
    if (!index) return kFailed;
    std::string reason;
    std::optional<ChainBreak> broken;
    std::optional<std::vector<uint8_t>> data = image->ReadFileBytes(*index, reason, &broken);
    if (!data && !broken) {
        ctx.ui.Message("Unable to View File: " + reason, "Error");
        return kFailed;
    }
    // What could be read is shown; a chain that breaks off is said after it.
    if (data) PrintLaidOut(*data, a);
    if (!broken) return kOk;
    std::fflush(stdout);
    ctx.ui.Message(image->BrokenChainText(image->EntryAt(*index), *broken), "Error");
    return kFailed;
}

int CmdExtract(Context& ctx, const Args& a) {
    if (a.positional.empty()) throw UsageError{"extract needs IMAGE"};
    const ExportMode mode = ParseMode(a.Value("--mode", "native"));
    auto image = OpenImage(ctx, a.positional[0]);
    if (!image) return kFailed;
    const fs::path folder = a.Value("-o", ".");
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) {
        std::fprintf(stderr, "%s: not a folder\n", folder.string().c_str());
        return kFailed;
    }
    ExportRun run;
    run.overwrite = a.Has("--force");
    run.onFile = ReportExtracted;
    int status = kOk;
    if (a.positional.size() == 1) {
        image->ExportAllFiles(folder.string(), mode, run);
    } else {
        std::set<EntryPlace> named;
        for (size_t i = 1; i < a.positional.size(); ++i) {
            if (ExtractNamed(*image, a.positional[i], folder, mode, a.Value("--mode", "native"),
                             run, named) == 0) {
                std::fprintf(stderr, "%s: no such file in %s\n", a.positional[i].c_str(),
                             image->title().c_str());
                status = kFailed;
            }
        }
    }
    if (std::fflush(stdout) != 0) return kFailed;
    return run.notWritten > 0 ? kFailed : status;
}

int CmdCrossLinks(Context& ctx, const Args& a) {
    if (a.positional.size() != 1) throw UsageError{"crosslinks needs one IMAGE"};
    auto image = OpenImage(ctx, a.positional[0]);
    if (!image) return kFailed;
    std::vector<CrossLink> links;
    image->CheckCrossLinks(links);
    if (links.empty()) std::printf("No Cross Linked Files\n");
    // Names are quoted as the listing quotes them: they may hold blanks.
    for (const CrossLink& link : links) {
        std::span<const uint8_t> earlier(link.earlier.data() + DirEntryOffset::name, kNameLength);
        std::span<const uint8_t> later(link.later.data() + DirEntryOffset::name, kNameLength);
        std::printf("\"%s\" \"%s\" %d/%d\n", NameText(earlier).c_str(), NameText(later).c_str(),
                    link.track, link.sector);
    }
    return kOk;
}

} // namespace tessarind::cli
