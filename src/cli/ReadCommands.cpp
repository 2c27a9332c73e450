// Commands that read an image and leave it as it is.

#include <cstdio>
#include <filesystem>
#include <set>

#include "cli/Commands.h"
#include "model/BatchRun.h"
#include "model/FormatRegistry.h"
#include "model/ListingExport.h"
#include "model/SafeFile.h"
#include "text/BasicDetokenizer.h"
#include "text/DirectoryListing.h"
#include "text/DirectoryPicture.h"
#include "text/Petscii.h"

namespace tessarind::cli {

namespace {

namespace fs = std::filesystem;

bool WriteOutput(const std::string& target, std::span<const uint8_t> bytes) {
    if (target.empty() || target == "-")
        return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
    return WriteWholeFile(target, bytes) == WriteResult::Ok;
}

// The kind an entry is written as in an export mode; none when the mode leaves it out.
const FormatRow* RowForMode(ExportMode mode, int typeCode) {
    switch (mode) {
    case ExportMode::SeqAsText:
        return typeCode == kSeq ? FindRowById(FormatId::Text) : nullptr;
    case ExportMode::Pc64:
        return PcFormatForType(typeCode);
    case ExportMode::Native:
        break;
    }
    return FindRowByCbmType(typeCode);
}

// Prints where a file of an extraction went, or why it did not.
void ReportExtracted(const ExportedFile& file) {
    switch (file.outcome) {
    case ExportedFile::Outcome::Written:
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
        if (!subdirs) {
            text = ListDirectory(*image, ListingForm::Ascii, lower);
        } else {
            // Each level's listing, a blank line between them.
            ForEachListingLevel(*image, true, [&] {
                if (!text.empty()) text.push_back('\n');
                std::vector<uint8_t> level = ListDirectory(*image, ListingForm::Ascii, lower);
                text.insert(text.end(), level.begin(), level.end());
                return true;
            });
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
    if (format == "csv") {
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

int CmdInfo(Context& ctx, const Args& a) {
    if (a.positional.size() != 1) throw UsageError{"info needs one IMAGE"};
    auto image = OpenImage(ctx, a.positional[0]);
    if (!image) return kFailed;
    const FormatRow* row = FindRowById(image->formatId);
    const uint8_t* header = image->DiskNamePointer();
    std::string name =
        header ? HostText(std::span<const uint8_t>(header, 16), true) : std::string();
    std::string id =
        header ? HostText(std::span<const uint8_t>(header + 18, 5), true) : std::string();
    std::printf("Format: %s\n", row ? std::string(row->displayName).c_str() : "?");
    std::printf("Tracks: %d\n", image->trackCount);
    std::printf("Sector errors: %s\n", (image->flags & kFlagErrorCodes) ? "yes" : "no");
    std::printf("Disk name: %s\n", name.c_str());
    std::printf("Disk ID: %s\n", id.c_str());
    std::printf("Entries: %d\n", image->entryCount);
    std::printf("Blocks free: %d\n", image->FreeBlockCount());
    return kOk;
}

int CmdBam(Context& ctx, const Args& a) {
    if (a.positional.size() != 1) throw UsageError{"bam needs one IMAGE"};
    auto image = OpenImage(ctx, a.positional[0]);
    if (!image) return kFailed;
    // One row per track: free count by the map, then a mark per sector ("." free, "*" used).
    for (int t = 1; t <= image->trackCount; ++t) {
        std::string marks;
        int free = 0;
        for (int s = 0; s < image->maxSectors && image->SectorPointer(t, s); ++s) {
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

int CmdType(Context& ctx, const Args& a) {
    if (a.positional.size() != 2) throw UsageError{"type needs IMAGE and FILE"};
    auto image = OpenImage(ctx, a.positional[0]);
    if (!image) return kFailed;
    std::optional<int> index = FindOneEntry(*image, a.positional[1]);
    if (!index) return kFailed;
    std::string reason;
    std::optional<std::vector<uint8_t>> data = image->ReadFileBytes(*index, reason);
    if (!data) {
        ctx.ui.Message("Unable to View File: " + reason, "Error");
        return kFailed;
    }
    std::string text = HostText(*data, false);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kOk;
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
        std::set<int> named; // a file named twice is still written once
        for (size_t i = 1; i < a.positional.size(); ++i) {
            std::vector<int> indexes = FindEntries(*image, a.positional[i]);
            if (indexes.empty()) {
                std::fprintf(stderr, "%s: no such file in %s\n", a.positional[i].c_str(),
                             image->title().c_str());
                status = kFailed;
            }
            for (int index : indexes) {
                if (!named.insert(index).second) continue;
                DirEntry entry = image->EntryAt(index);
                const FormatRow* row = RowForMode(mode, entry.typeCode());
                if (!row) {
                    std::fprintf(stderr, "%s: a %s file is not extracted in %s mode; skipped\n",
                                 NameText(entry.name()).c_str(),
                                 TypeName(entry.typeCode(), image->maxFileType),
                                 a.Value("--mode", "native").c_str());
                    continue;
                }
                image->ExportInto(index, folder.string(), *row, run);
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
