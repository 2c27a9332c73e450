#include "catalog/ImageOpener.h"

#include "catalog/FormatCatalog.h"
#include "model/FormatRegistry.h"

namespace tessarind {

namespace {

// "1!NAME" to "5!NAME": one file of a Zipcode set.
bool IsZipcodePart(const std::string& path) {
    std::string name = DiskImage::FileNamePart(path);
    return name.size() >= 2 && name[0] >= '1' && name[0] <= '5' && name[1] == '!';
}

} // namespace

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
                                         const std::string& hostPath,
                                         std::span<const uint8_t> data, int formatId,
                                         [[maybe_unused]] DiskImage* parent, bool reportErrors,
                                         Settings* settings) {
    Interaction* ui = reportErrors ? owner : nullptr;
    const CatalogRow* row = catalog.ForPath(hostPath);
    const FormatRow* known = row ? &row->Info() : FindRowForPath(hostPath);
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
    if (reportErrors && formatId == 0 && settings) settings->AddRecentFile(hostPath);
    return image;
}

} // namespace tessarind
