#include "catalog/BatchRun.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>
#include <unistd.h>

#include "catalog/DirectoryPicture.h"
#include "catalog/FolderSearch.h"
#include "catalog/ImageOpener.h"
#include "catalog/ListingExport.h"
#include "catalog/OrderedWork.h"
#include "model/CompressedFile.h"
#include "model/FileBlockStore.h"
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

bool WriteListingTo(DiskImage& image, const std::string& target, const BatchOptions& options,
                    std::FILE* single);

// Writes one container's listing; false when it could not be written.
bool WriteListing(DiskImage& image, const std::string& beside, const BatchOptions& options,
                  std::string* gathered) {
    image.SetShowDeleted(options.showDeleted);
    image.Refresh();
    const std::string target = ListingPath(beside, options.listingFormat);
    // The single file's part is made in memory, so the parts go into it in order.
    std::FILE* single = nullptr;
    char* buffer = nullptr;
    size_t length = 0;
    if (gathered) {
        single = ::open_memstream(&buffer, &length);
        if (!single) return false;
        const bool ok = WriteListingTo(image, target, options, single);
        const bool closed = std::fclose(single) == 0;
        if (buffer) gathered->assign(buffer, length);
        std::free(buffer);
        return ok && closed;
    }
    std::error_code ec;
    fs::create_directories(fs::path(target).parent_path(), ec);
    return WriteListingTo(image, target, options, nullptr);
}

// Writes one container's listing to `target`, or into `single` when given.
bool WriteListingTo(DiskImage& image, const std::string& target, const BatchOptions& options,
                    std::FILE* single) {
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

// Where the host files made from a container go: beside it, or for a container inside a zip
// archive in the archive's extraction folder ("disks.zip/game.d64" -> "diskszip/game.d64").
std::string HostSidePath(const std::string& container) {
    std::string archive, member;
    if (!SplitZipMemberPath(container, archive, member)) return container;
    return ExtractionFolder(archive) + "/" + member;
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
    return RunBatch(std::vector<std::string>{folder}, options, settings, onProgress, cancel);
}

BatchResult RunBatch(const std::vector<std::string>& folders, const BatchOptions& options,
                     const Settings& settings, const BatchProgress& onProgress,
                     const std::atomic<bool>* cancel) {
    const int workers = std::max(options.workers, 1);
    // The opened images point at their worker's copy for the whole run.
    std::vector<Settings> own(static_cast<size_t>(workers), settings);
    BatchResult result;
    result.listed = true;
    const bool listing = options.mode == BatchMode::List;

    std::unique_ptr<SingleListingFile> single;
    if (listing && options.singleFile && !folders.empty() &&
        (options.listingFormat == FormatId::Text || options.listingFormat == FormatId::Csv)) {
        std::string top = folders.front();
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
    const std::string singleTemp = single ? single->temp().string() : std::string();

    const FileSource source = [&](const std::function<bool(const std::string&)>& add) {
        for (const std::string& folder : folders) {
            if (Cancelled(cancel)) return;
            bool stopped = false;
            const bool listed = WalkFolder(
                folder, options.includeSubfolders,
                [&](const std::string& path) {
                    const std::string name = DiskImage::FileNamePart(path);
                    if (IsLaterZipcodePart(name)) return true;
                    if (SameTextIgnoringCase(ContainerExtension(path), ".txt")) return true;
                    if (single && path == singleTemp) return true;
                    stopped = !add(path);
                    return !stopped;
                },
                cancel, nullptr,
                [&](const std::string& subfolder) {
                    return listing || !IsExtractionFolder(subfolder);
                });
            result.listed = result.listed && listed;
            if (stopped) return;
        }
    };
    const FileWork work = [&](const std::string& path, int worker) -> Delivery {
        struct Processed {
            std::string container;
            bool opened = false;
            bool failed = false;
            int notWritten = 0;
            std::string gathered; // this container's part of the single listing file
        };
        auto processed = std::make_shared<std::vector<Processed>>();
        const ReadOnDemandScope onDemand;               // only the blocks reached are read
        int done = workers == 1 ? result.processed : 0; // told before opening on one thread
        for (const std::string& container : ContainersOfHostFile(path)) {
            if (Cancelled(cancel)) break;
            if (workers == 1 && onProgress) onProgress(container, done);
            Processed one{container, false, false, 0, {}};
            std::unique_ptr<DiskImage> image = OpenContainer(
                nullptr, container, {}, 0, nullptr, false, &own[static_cast<size_t>(worker)]);
            // A text document (SEQ or host text) holds no files: it is no disk.
            if (image && image->DiskNamePointer()) {
                one.opened = true;
                ++done;
                const std::string beside = HostSidePath(container);
                if (!listing) {
                    ExportRun run;
                    run.overwrite = options.overwrite;
                    run.onFile = options.onExtracted;
                    image->ExportAllFiles(ExtractionFolder(beside), options.extractAs, run);
                    one.notWritten = run.notWritten;
                } else if (HasOwnListing(WithoutGzipSuffix(container))) {
                    one.failed =
                        !WriteListing(*image, beside, options, stream ? &one.gathered : nullptr);
                }
            }
            processed->push_back(std::move(one));
        }
        return [&, processed] {
            for (const Processed& one : *processed) {
                if (workers > 1 && onProgress) onProgress(one.container, result.processed);
                if (!one.opened) continue;
                if (!one.gathered.empty() &&
                    std::fwrite(one.gathered.data(), 1, one.gathered.size(), stream) !=
                        one.gathered.size())
                    ++result.failed;
                if (one.failed) ++result.failed;
                result.filesNotWritten += one.notWritten;
                ++result.processed;
            }
        };
    };
    RunInOrder(workers, source, work, cancel);
    result.cancelled = Cancelled(cancel);
    if (!result.listed) single.reset(); // nothing was listed: leave an earlier file alone
    if (!single || !single->Commit()) result.singleFilePath.clear();
    return result;
}

} // namespace tessarind
