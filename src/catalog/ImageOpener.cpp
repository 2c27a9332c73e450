#include "catalog/ImageOpener.h"

#include <optional>

#include "catalog/FormatCatalog.h"
#include "model/CompressedFile.h"
#include "model/FormatRegistry.h"

namespace tessarind {

namespace {

// "1!NAME" to "5!NAME": one file of a Zipcode set.
bool IsZipcodePart(const std::string& path) {
    std::string name = DiskImage::FileNamePart(path);
    return name.size() >= 2 && name[0] >= '1' && name[0] <= '5' && name[1] == '!';
}

// A zip archive opens the one container it holds; with several, each is opened by its path.
std::unique_ptr<DiskImage> OpenZipArchive(const FormatCatalog& catalog, Interaction* owner,
                                          const std::string& zipPath, bool reportErrors,
                                          Settings* settings) {
    Interaction* ui = reportErrors ? owner : nullptr;
    const std::string name = DiskImage::FileNamePart(zipPath);
    std::vector<std::string> paths;
    std::string reason;
    if (!ZipContainerPaths(catalog, zipPath, paths, reason)) {
        ReportError(ui, "Unable to Open File " + name + ": " + reason);
        return nullptr;
    }
    if (paths.empty()) {
        ReportError(ui, "Unable to Open File " + name + ": it holds no disk image or CBM file");
        return nullptr;
    }
    size_t chosen = 0;
    if (paths.size() > 1) {
        // The user picks one; without an answer each is named by its path.
        std::vector<std::string> members;
        for (const std::string& path : paths)
            members.push_back(path.substr(zipPath.size() + 1));
        const std::optional<size_t> answer =
            ui ? ui->Choose(name + " holds " + std::to_string(paths.size()) +
                                " containers; open which one?",
                            members)
               : std::nullopt;
        if (!answer) {
            std::string list;
            for (const std::string& path : paths)
                list += "\n  " + path;
            ReportError(ui, "Unable to Open File " + name + ": it holds " +
                                std::to_string(paths.size()) +
                                " containers; open one of them:" + list);
            return nullptr;
        }
        chosen = *answer;
    }
    // A format id given keeps the member out of the recent files; the archive joins them.
    std::unique_ptr<DiskImage> image =
        OpenContainer(catalog, owner, paths[chosen], {}, 1, nullptr, reportErrors, settings);
    if (image && reportErrors && settings) settings->AddRecentFile(zipPath);
    return image;
}

} // namespace

bool ZipContainerPaths(const FormatCatalog& catalog, const std::string& zipPath,
                       std::vector<std::string>& paths, std::string& reason) {
    paths.clear();
    std::vector<std::string> members;
    if (!ListZipMembers(zipPath, {}, members, reason)) return false;
    for (const std::string& member : members) {
        const std::string kindPath = WithoutGzipSuffix(member);
        const CatalogRow* row = catalog.ForPath(kindPath);
        // Only what opens by itself and holds CBM files: not a host text (a readme), not
        // an archive within.
        if (row && row->open && !row->quiet && row->id != FormatId::Text && !IsGzipPath(member) &&
            !IsZipPath(member))
            paths.push_back(zipPath + "/" + member);
    }
    return true;
}

bool ZipContainerPaths(const std::string& zipPath, std::vector<std::string>& paths,
                       std::string& reason) {
    return ZipContainerPaths(FormatCatalog::Builtin(), zipPath, paths, reason);
}

std::vector<std::string> ContainersOfHostFile(const std::string& path) {
    if (!IsZipPath(path)) return {path};
    std::vector<std::string> paths;
    std::string reason;
    ZipContainerPaths(path, paths, reason);
    return paths;
}

std::unique_ptr<DiskImage> MakeDiskImage(int formatId, Settings* settings) {
    return FormatCatalog::Builtin().Make(formatId, settings);
}

std::unique_ptr<DiskImage> OpenContainer(Interaction* owner, const std::string& hostPath,
                                         std::span<const uint8_t> data, int formatId,
                                         DiskImage* parent, bool reportErrors, Settings* settings) {
    return OpenContainer(FormatCatalog::Builtin(), owner, hostPath, data, formatId, parent,
                         reportErrors, settings);
}

std::unique_ptr<DiskImage> OpenContainer(const FormatCatalog& catalog, Interaction* owner,
                                         const std::string& hostPath, std::span<const uint8_t> data,
                                         int formatId, DiskImage* parent, bool reportErrors,
                                         Settings* settings) {
    Interaction* ui = reportErrors ? owner : nullptr;
    if (data.empty() && IsZipPath(hostPath))
        return OpenZipArchive(catalog, owner, hostPath, reportErrors, settings);
    // A compressed container is named by its kind's extension before ".gz" or inside the zip.
    std::string archive, member;
    const bool inZip = data.empty() && SplitZipMemberPath(hostPath, archive, member);
    const bool gzipped = data.empty() && IsGzipPath(hostPath);
    const std::string kindPath = gzipped ? WithoutGzipSuffix(hostPath) : hostPath;
    const CatalogRow* row = catalog.ForPath(kindPath);
    const FormatRow* known = row ? &row->Info() : FindRowForPath(kindPath);
    if ((inZip || gzipped) && row && row->open && !row->make) {
        // Kinds other than images read their file themselves: they are given its bytes.
        std::vector<uint8_t> bytes;
        bool openFailed = false;
        std::string reason;
        if (!ReadHostContainer(hostPath, bytes, openFailed, reason) || bytes.empty()) {
            ReportError(ui, "Unable to Open File " + DiskImage::FileNamePart(hostPath) +
                                (reason.empty() ? "" : ": " + reason));
            return nullptr;
        }
        std::unique_ptr<DiskImage> image =
            OpenContainer(catalog, owner, kindPath, bytes, row->id, parent, reportErrors, settings);
        if (image && reportErrors && formatId == 0 && settings) settings->AddRecentFile(hostPath);
        return image;
    }
    if (!known && !data.empty()) {
        row = catalog.ById(formatId);
        known = row ? &row->Info() : FindRowById(formatId);
    }
    if (!known) {
        // Any part of a Zipcode set opens the set; its extension, if any, names no kind.
        if (IsZipcodePart(hostPath) && data.empty()) {
            const CatalogRow* set = catalog.ById(FormatId::Zipcode);
            if (!set || !set->open) return nullptr;
            std::unique_ptr<DiskImage> image =
                set->open(FactoryCall{*set, owner, hostPath, reportErrors, data, settings});
            if (image && reportErrors && formatId == 0 && settings)
                settings->AddRecentFile(hostPath);
            return image;
        }
        ReportError(ui, "Unknown File Extension " + hostPath);
        return nullptr;
    }
    if (!row || !row->open) {
        if (!row || !row->quiet)
            ReportError(ui, "Unable to Open File " + DiskImage::FileNamePart(hostPath));
        return nullptr;
    }
    std::unique_ptr<DiskImage> image =
        row->open(FactoryCall{*row, owner, hostPath, reportErrors, data, settings});
    if (!image) return nullptr;
    // A disk made to hold a single file is complete: its bytes are not the file's.
    if ((known->flags & kFormatOpenAfterFactory) && row->make) {
        if (!image->Open(ui, hostPath, data.empty(), true)) return nullptr;
        image->SetOwner(owner);
        if (!data.empty()) image->LoadFromMemory(data);
    }
    // The archive is never rewritten: saving asks where the image goes.
    if (inZip) image->SetFlag(kFlagUntitled, true);
    if (reportErrors && formatId == 0 && settings) settings->AddRecentFile(hostPath);
    return image;
}

} // namespace tessarind
