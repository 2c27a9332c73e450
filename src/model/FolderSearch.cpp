#include "model/FolderSearch.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

#include "model/DiskImage.h"
#include "model/ImageOpener.h"
#include "model/NameMatch.h"
#include "model/VisitedSet.h"
#include "text/DirectoryListing.h"

namespace tessarind {

namespace fs = std::filesystem;

namespace {

// A name up to its first shifted space.
std::span<const uint8_t> CutName(std::span<const uint8_t, kNameLength> name) {
    return std::span<const uint8_t>(name.begin(), std::find(name.begin(), name.end(), kPad));
}

struct FolderItem {
    std::string name;
    bool folder = false;
};

// The entries of a folder that the walk visits, sorted by name so every run sees the same
// order whatever the file system returns.
bool ListFolder(const fs::path& folder, std::vector<FolderItem>& items) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return false;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        const fs::directory_entry& entry = *it;
        std::error_code statusError;
        const bool link = entry.is_symlink(statusError);
        if (!link && entry.is_directory(statusError))
            items.push_back({entry.path().filename().string(), true});
        else if (entry.is_regular_file(statusError)) // a link to a file counts as the file
            items.push_back({entry.path().filename().string(), false});
    }
    std::sort(items.begin(), items.end(),
              [](const FolderItem& a, const FolderItem& b) { return a.name < b.name; });
    return true;
}

bool Cancelled(const std::atomic<bool>* cancel) {
    return cancel && cancel->load(std::memory_order_relaxed);
}

// The folder as given, without trailing separators (the root keeps its own).
fs::path TrimmedFolder(const std::string& folder) {
    std::string trimmed = folder;
    while (trimmed.size() > 1 && (trimmed.back() == '/' || trimmed.back() == '\\'))
        trimmed.pop_back();
    return fs::path(trimmed);
}

} // namespace

int FindFiles(DiskImage& image, std::span<const uint8_t, kNameLength> pattern,
              const std::string& containerPath, const FoundFileCallback& onMatch) {
    return FindFiles(
        image,
        [pattern](std::span<const uint8_t, kNameLength> name) {
            return MatchesPattern(pattern, name);
        },
        containerPath, onMatch);
}

int FindFiles(DiskImage& image, const NameMatcher& matches, const std::string& containerPath,
              const FoundFileCallback& onMatch) {
    // Only formats that know partitions or sub-directories are entered (see the listing).
    const bool descend = image.maxFileType > kRel;
    struct Level {
        std::vector<DirEntry> entries;
        size_t next = 0;
        std::string path;             // "PART/" for a level entered through PART
        std::vector<uint8_t> cbmPath; // the same in PETSCII
    };
    VisitedSet searched; // each directory once, however many entries lead to it
    searched.Visit(image.dirTrack, image.dirSector);
    std::vector<Level> levels;
    levels.push_back({image.ListedEntries(), 0, {}, {}});
    int hits = 0;
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.next == level.entries.size()) {
            levels.pop_back();
            if (!levels.empty()) image.LeaveSubDirectory();
            continue;
        }
        const int index = static_cast<int>(level.next++);
        const DirEntry entry = level.entries[static_cast<size_t>(index)];
        const std::span<const uint8_t> name = CutName(entry.name());
        // As the listing shows it, every byte a character, so a hit can be typed back.
        const std::string text = ListedName(name, false);
        if (matches(entry.name())) {
            FoundFile hit;
            hit.name = level.path + text;
            hit.cbmName = level.cbmPath;
            hit.cbmName.insert(hit.cbmName.end(), name.begin(), name.end());
            hit.typeCode = entry.typeCode();
            hit.typeName = TypeName(hit.typeCode, kDir);
            hit.blocks = entry.blocks();
            hit.containerPath = containerPath;
            ++hits;
            if (onMatch) onMatch(hit);
        }
        const int code = entry.typeCode();
        if (!descend || (code != kCbm && code != kDir) || !image.EnterSubDirectory(entry, index))
            continue;
        if (!searched.Visit(image.dirTrack, image.dirSector)) {
            image.LeaveSubDirectory();
            continue;
        }
        Level inner{image.ListedEntries(), 0, level.path + text + "/", level.cbmPath};
        inner.cbmPath.insert(inner.cbmPath.end(), name.begin(), name.end());
        inner.cbmPath.push_back('/');
        levels.push_back(std::move(inner)); // `level` is not used past this point
    }
    return hits;
}

bool IsLaterZipcodePart(const std::string& fileName) {
    return fileName.size() >= 2 && fileName[0] >= '2' && fileName[0] <= '5' && fileName[1] == '!';
}

bool WalkFolder(const std::string& folder, bool includeSubfolders,
                const std::function<bool(const std::string& path)>& onFile,
                const std::atomic<bool>* cancel,
                const std::function<bool(const std::string& path)>& enterFolder) {
    struct Open {
        fs::path folder;
        std::vector<FolderItem> items;
        size_t next = 0;
    };
    std::vector<Open> open(1);
    open[0].folder = TrimmedFolder(folder);
    if (!ListFolder(open[0].folder, open[0].items)) return false;
    while (!open.empty()) {
        Open& current = open.back();
        if (current.next == current.items.size()) {
            open.pop_back();
            continue;
        }
        const FolderItem& item = current.items[current.next++];
        const fs::path path = current.folder / item.name;
        if (!item.folder) {
            if (!onFile(path.string())) return true;
        } else if (includeSubfolders && (!enterFolder || enterFolder(path.string()))) {
            Open inner{path, {}, 0};
            if (ListFolder(path, inner.items)) open.push_back(std::move(inner));
        }
        if (Cancelled(cancel)) return true;
    }
    return true;
}

FolderSearchResult SearchFolder(const std::string& folder,
                                std::span<const uint8_t, kNameLength> pattern,
                                bool includeSubfolders, const Settings& settings,
                                const FoundFileCallback& onMatch,
                                const std::function<void(const std::string& path)>& onSearching,
                                const std::atomic<bool>* cancel) {
    return SearchFolder(
        folder,
        [pattern](std::span<const uint8_t, kNameLength> name) {
            return MatchesPattern(pattern, name);
        },
        includeSubfolders, settings, onMatch, onSearching, cancel);
}

FolderSearchResult SearchFolder(const std::string& folder, const NameMatcher& matches,
                                bool includeSubfolders, const Settings& settings,
                                const FoundFileCallback& onMatch,
                                const std::function<void(const std::string& path)>& onSearching,
                                const std::atomic<bool>* cancel) {
    Settings own = settings; // the opened images point at it for the whole walk
    FolderSearchResult result;
    result.listed = WalkFolder(
        folder, includeSubfolders,
        [&](const std::string& path) {
            if (IsLaterZipcodePart(DiskImage::FileNamePart(path))) return true;
            if (Cancelled(cancel)) return false;
            if (onSearching) onSearching(path);
            std::unique_ptr<DiskImage> image =
                OpenContainer(nullptr, path, {}, 0, nullptr, false, &own);
            if (!image) return true;
            ++result.searched;
            const int hits = FindFiles(*image, matches, path, onMatch);
            result.found += hits;
            if (hits > 0) ++result.withHits;
            return true;
        },
        cancel);
    result.cancelled = Cancelled(cancel);
    return result;
}

std::string SearchSummary(const FolderSearchResult& result) {
    return "Search Finished. " + std::to_string(result.found) + " file(s) found on " +
           std::to_string(result.withHits) + " of " + std::to_string(result.searched) + " disks";
}

} // namespace tessarind
