#include "cli/CliSupport.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "catalog/ImageOpener.h"
#include "model/CompressedFile.h"
#include "model/FormatRegistry.h"
#include "model/NameMatch.h"
#include "text/Petscii.h"

namespace tessarind::cli {

void ConsoleInteraction::Message(const std::string& text, const std::string&) {
    ++shown;
    std::fprintf(stderr, "%s\n", text.c_str());
}

std::optional<SaveChoice> ConsoleInteraction::ChooseSaveFile(const SaveRequest& request, bool&) {
    SaveChoice choice;
    choice.path =
        request.folder.empty() ? request.proposedName : request.folder + "/" + request.proposedName;
    choice.includeSubDirectories = request.includeSubDirectories;
    choice.saveSelection = request.saveSelection;
    return choice;
}

std::optional<Args> ParseArgs(const std::vector<std::string>& in,
                              const std::vector<std::string>& valueOptions,
                              const std::vector<std::string>& switchOptions, std::string& error) {
    Args args;
    for (size_t i = 0; i < in.size(); ++i) {
        const std::string& a = in[i];
        if (a.size() > 1 && a[0] == '-' && a != "-") {
            if (std::find(valueOptions.begin(), valueOptions.end(), a) != valueOptions.end()) {
                if (i + 1 >= in.size()) {
                    error = a + " needs a value";
                    return std::nullopt;
                }
                args.values[a] = in[++i];
            } else if (std::find(switchOptions.begin(), switchOptions.end(), a) !=
                       switchOptions.end()) {
                args.switches[a] = true;
            } else {
                error = "unknown option " + a;
                return std::nullopt;
            }
        } else {
            args.positional.push_back(a);
        }
    }
    return args;
}

const CatalogRow* ImageKindFor(const std::string& path) {
    const CatalogRow* row = FormatCatalog::Builtin().ForPath(path);
    return row && row->make ? row : nullptr;
}

std::unique_ptr<DiskImage> OpenImage(Context& ctx, const std::string& path) {
    // The system's reason is worth more than the opener's generic text.
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        ctx.ui.Message("Unable to Open File " + path + ": " + std::strerror(EISDIR), "Error");
        return nullptr;
    }
    // A container inside a zip archive is read from the archive.
    std::string archive, member;
    const std::string& hostFile = SplitZipMemberPath(path, archive, member) ? archive : path;
    if (::access(hostFile.c_str(), R_OK) != 0) {
        ctx.ui.Message("Unable to Open File " + path + ": " + std::strerror(errno), "Error");
        return nullptr;
    }
    const int shown = ctx.ui.shown;
    std::unique_ptr<DiskImage> image =
        OpenContainer(&ctx.ui, path, {}, 0, nullptr, true, &ctx.settings);
    // The opener says nothing about some kinds it does not read; the command line must.
    if (!image && ctx.ui.shown == shown)
        ctx.ui.Message("Unable to Open File " + DiskImage::FileNamePart(path), "Error");
    return image;
}

namespace {

// Everything WriteFile puts into the file.
struct Contents {
    std::vector<uint8_t> bytes, errors, extra;
    uint32_t flags;
    int errorCount;

    static uint32_t Written(const DiskImage& image) {
        return image.flags() & (kFlagErrorCodes | kFlagExtraTracks | kFlagErrorNumbers);
    }
    explicit Contents(const DiskImage& image)
        : bytes(image.Store().Snapshot()), errors(image.errorBytes()), extra(image.extraTracks()),
          flags(Written(image)), errorCount(image.errorByteCount()) {}
    // Compared in place: a second copy of the image would cost more than the comparison.
    bool Matches(const DiskImage& image) const {
        const std::span<const uint8_t> now = image.Store().Contents();
        return std::equal(bytes.begin(), bytes.end(), now.begin(), now.end()) && errors == image.errorBytes() && extra == image.extraTracks() &&
               flags == Written(image) && errorCount == image.errorByteCount();
    }
};

} // namespace

int ChangeImage(Context& ctx, const std::string& path,
                const std::function<int(DiskImage&)>& change) {
    std::unique_ptr<DiskImage> image = OpenImage(ctx, path);
    if (!image) return kFailed;
    if (std::string archive, member; SplitZipMemberPath(path, archive, member)) {
        std::fprintf(stderr,
                     "%s is inside a zip archive, which is never rewritten; copy it out first: "
                     "tessarind-cli convert %s %s\n",
                     path.c_str(), path.c_str(), DiskImage::FileNamePart(path).c_str());
        return kFailed;
    }
    if (image->untitled()) {
        std::string target = path.substr(0, path.size() - ContainerExtension(path).size()) +
                             image->DefaultExtension();
        // An image kind that opens untitled is one that is only read (a GCR image).
        const FormatRow* row = FindRowForPath(path);
        const char* what = row && row->kind == kKindImage ? "is only read, never written"
                                                          : "is a single file, not a disk image";
        std::fprintf(stderr,
                     "%s %s, and is left as it is; convert it first: tessarind-cli convert %s %s\n",
                     path.c_str(), what, path.c_str(), target.c_str());
        return kFailed;
    }
    // Compared by contents: some changes mark the image modified and change nothing (a
    // rebuilt BAM that was right), others the other way round.
    const Contents before(*image);
    int status = change(*image);
    if (status != kOk || before.Matches(*image)) return status;
    return image->WriteFile(path) ? kOk : kFailed;
}

std::vector<int> FindEntries(DiskImage& image, const std::string& typed) {
    std::vector<int> found;
    // "#N" is a list index (0 the first file); "#" followed by anything else is a name.
    if (typed.size() > 1 && typed[0] == '#' && std::isdigit(static_cast<unsigned char>(typed[1]))) {
        char* end = nullptr;
        long n = std::strtol(typed.c_str() + 1, &end, 10);
        if (*end == 0) {
            if (n >= 0 && n < image.entryCount()) found.push_back(static_cast<int>(n));
            return found;
        }
    }
    std::array<uint8_t, kSlotSize> scratch{};
    for (int i = 0; i < image.entryCount(); ++i) {
        DirEntry e = image.EntryAsListed(i, scratch);
        if (e && MatchesTypedName(typed, e.name())) found.push_back(i);
    }
    return found;
}

std::optional<int> FindOneEntry(DiskImage& image, const std::string& typed) {
    std::vector<int> found = FindEntries(image, typed);
    if (found.empty()) {
        std::fprintf(stderr, "%s: no such file in %s\n", typed.c_str(), image.title().c_str());
        return std::nullopt;
    }
    return found.front();
}

std::optional<int> FindSingleEntry(DiskImage& image, const std::string& typed) {
    std::vector<int> found = FindEntries(image, typed);
    if (found.size() > 1) {
        std::fprintf(stderr, "%s names %zu files in %s; name one, or use #N\n", typed.c_str(),
                     found.size(), image.title().c_str());
        return std::nullopt;
    }
    return FindOneEntry(image, typed);
}

std::array<uint8_t, kNameLength> CbmName(const std::string& typed) {
    if (typed.size() > static_cast<size_t>(kNameLength))
        throw UsageError{"\"" + typed + "\" is longer than 16 characters"};
    return PetsciiName(typed);
}

int TypeCode(const std::string& word) {
    static const char* const kWords[] = {"del", "seq", "prg", "usr", "rel"};
    for (int code = 0; code < 5; ++code)
        if (word == kWords[code]) return code;
    throw UsageError{"unknown file type " + word + " (del, seq, prg, usr or rel)"};
}

std::string HostText(std::span<const uint8_t> petscii, bool keepCase) {
    std::string text = PetsciiToAscii(petscii, false, false, keepCase, Settings::Defaults());
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out.push_back(text[i]);
    return out;
}

std::string NameText(std::span<const uint8_t> name) {
    auto end = std::find(name.begin(), name.end(), kPad);
    return HostText(std::span<const uint8_t>(name.begin(), end), true);
}

} // namespace tessarind::cli
