#include "catalog/BatchRun.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <unistd.h>

#include "catalog/DirectoryPicture.h"
#include "catalog/FolderSearch.h"
#include "catalog/ImageOpener.h"
#include "catalog/ListingExport.h"
#include "model/FormatRegistry.h"
#include "text/AsciiCase.h"
#include "text/CbmCharset.h"

namespace tessarind {

namespace fs = std::filesystem;

namespace {

bool Cancelled(const std::atomic<bool>* cancel) {
    return cancel && cancel->load(std::memory_order_relaxed);
}

std::string_view ListingExtension(int listingFormat) {
    const FormatRow* row = FindRowById(listingFormat);
    return row ? row->extension : std::string_view();
}

// Single CBM files and text files open as containers but have no listing of their own.
bool HasOwnListing(const std::string& path) {
    if (ContainerExtension(path).empty()) return true; // a Zipcode set
    const FormatRow* row = FindRowForName(DiskImage::FileNamePart(path));
    return !row || (row->kind & 0x2) == 0;
}

// The one listing file of a run. It is written beside its final name and put in place when
// the run ends, so an earlier listing survives a run that cannot finish writing.
class SingleListingFile {
public:
    explicit SingleListingFile(const fs::path& target) : target_(target) {
        static std::atomic<unsigned> counter{0};
        temp_ = target;
        temp_ += ".ts" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
        stream_ = std::fopen(temp_.c_str(), "w");
    }
    ~SingleListingFile() {
        if (stream_) {
            std::fclose(stream_);
            std::error_code ec;
            fs::remove(temp_, ec);
        }
    }
    SingleListingFile(const SingleListingFile&) = delete;
    SingleListingFile& operator=(const SingleListingFile&) = delete;

    std::FILE* stream() const { return stream_; }
    const fs::path& temp() const { return temp_; }

    bool Commit() {
        if (!stream_) return false;
        bool ok = std::fflush(stream_) == 0;
        ok = std::fclose(stream_) == 0 && ok;
        stream_ = nullptr;
        std::error_code ec;
        if (ok) fs::rename(temp_, target_, ec);
        if (!ok || ec) {
            fs::remove(temp_, ec);
            return false;
        }
        return true;
    }

private:
    fs::path target_, temp_;
    std::FILE* stream_ = nullptr;
};

uint32_t PaletteColour(int index) {
    return PaletteRgb(static_cast<CbmColour>(std::clamp(index, 0, 15)));
}

// Writes one container's listing; false when it could not be written.
bool WriteListing(DiskImage& image, const BatchOptions& options, std::FILE* single) {
    image.SetShowDeleted(options.showDeleted);
    image.Refresh();
    const std::string target = ListingPath(image.path(), options.listingFormat);
    switch (options.listingFormat) {
    case FormatId::Text:
        return ExportText(image, single, target, nullptr, options.includeSubDirectories);
    case FormatId::Csv:
        return ExportCsv(image, single, target, nullptr, options.includeSubDirectories);
    case FormatId::Bitmap: {
        BitmapExportOptions bitmap;
        bitmap.style.caseTable = options.upperCase ? &kUpperCaseSet : &kLowerCaseSet;
        bitmap.style.background = PaletteColour(options.backgroundColour);
        bitmap.style.text = PaletteColour(options.textColour);
        return ExportBitmap(image, target, false, options.includeSubDirectories, bitmap);
    }
    default:
        return false;
    }
}

// Whether a folder is where an extraction put the files of a container beside it.
bool IsExtractionFolder(const fs::path& folder) {
    const std::string name = folder.filename().string();
    const fs::path parent = folder.parent_path();
    std::error_code ec;
    const auto containerBeside = [&](const std::string& file) {
        return fs::is_regular_file(parent / file, ec) &&
               ExtractionFolder((parent / file).string()) == folder.string();
    };
    if (name.size() > 3 && name.compare(name.size() - 3, 3, "dir") == 0 &&
        containerBeside(name.substr(0, name.size() - 3)))
        return true;
    for (size_t split = 1; split < name.size(); ++split)
        if (containerBeside(name.substr(0, split) + "." + name.substr(split))) return true;
    return false;
}

} // namespace

std::string ExtractionFolder(const std::string& containerPath) {
    const std::string extension = ContainerExtension(containerPath);
    if (extension.empty()) return containerPath + "dir";
    return containerPath.substr(0, containerPath.size() - extension.size()) + extension.substr(1);
}

std::string ListingPath(const std::string& containerPath, int listingFormat) {
    const std::string extension = ContainerExtension(containerPath);
    return containerPath.substr(0, containerPath.size() - extension.size()) +
           std::string(ListingExtension(listingFormat));
}

BatchResult RunBatch(const std::string& folder, const BatchOptions& options,
                     const Settings& settings, const BatchProgress& onProgress,
                     const std::atomic<bool>* cancel) {
    Settings own = settings; // the opened images point at it for the whole run
    BatchResult result;
    const bool listing = options.mode == BatchMode::List;

    std::unique_ptr<SingleListingFile> single;
    if (listing && options.singleFile &&
        (options.listingFormat == FormatId::Text || options.listingFormat == FormatId::Csv)) {
        std::string top = folder;
        while (top.size() > 1 && (top.back() == '/' || top.back() == '\\'))
            top.pop_back();
        fs::path target =
            fs::path(top) / ("CBMDirs" + std::string(ListingExtension(options.listingFormat)));
        std::error_code ec;
        if (fs::is_directory(fs::path(top), ec)) {
            single = std::make_unique<SingleListingFile>(target);
            result.singleFilePath = target.string();
        }
    }
    std::FILE* stream = single ? single->stream() : nullptr;

    result.listed = WalkFolder(
        folder, options.includeSubfolders,
        [&](const std::string& path) {
            const std::string name = DiskImage::FileNamePart(path);
            if (IsLaterZipcodePart(name)) return true;
            if (SameTextIgnoringCase(ContainerExtension(path), ".txt")) return true;
            if (single && path == single->temp().string()) return true;
            if (Cancelled(cancel)) return false;
            if (onProgress) onProgress(path, result.processed);
            std::unique_ptr<DiskImage> image =
                OpenContainer(nullptr, path, {}, 0, nullptr, false, &own);
            // A text document (SEQ or host text) holds no files: it is no disk.
            if (!image || !image->DiskNamePointer()) return true;
            if (!listing) {
                ExportRun run;
                run.overwrite = options.overwrite;
                run.onFile = options.onExtracted;
                image->ExportAllFiles(ExtractionFolder(path), options.extractAs, run);
                result.filesNotWritten += run.notWritten;
            } else if (HasOwnListing(path) && !WriteListing(*image, options, stream)) {
                ++result.failed;
            }
            ++result.processed;
            return true;
        },
        cancel, nullptr,
        [&](const std::string& subfolder) { return listing || !IsExtractionFolder(subfolder); });
    result.cancelled = Cancelled(cancel);
    if (!result.listed) single.reset(); // nothing was listed: leave an earlier file alone
    if (!single || !single->Commit()) result.singleFilePath.clear();
    return result;
}

} // namespace tessarind
