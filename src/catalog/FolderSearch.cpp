#include "catalog/FolderSearch.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

#include "catalog/DirectoryListing.h"
#include "catalog/ImageOpener.h"
#include "catalog/OrderedWork.h"
#include "model/DirectoryWalk.h"
#include "model/DiskImage.h"
#include "model/FileBlockStore.h"
#include "model/NameMatch.h"
#include "formats/CmdContainerImage.h"

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
bool ListFolder(const fs::path& folder, std::vector<FolderItem>& items,
                std::error_code* error = nullptr) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) {
        if (error) *error = ec;
        return false;
    }
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

// A CMD container: the partition names first, then each partition that opens, searched
// with the partition's name after the container's path.
static int FindInPartitions(CmdContainerImage& container, const NameMatcher& matches,
                            const std::string& containerPath, const FoundFileCallback& onMatch) {
    int hits = 0;
    const int count = container.CountEntries();
    for (int index = 0; index < count; ++index) {
        DirEntry entry = container.EntryAt(index);
        if (!entry || !matches(entry.name())) continue;
        const std::span<const uint8_t> name = CutName(entry.name());
        const PartitionInfo info = CmdContainerImage::Info(entry.data());
        FoundFile hit;
        hit.name = ListedName(name, false);
        hit.cbmName.assign(name.begin(), name.end());
        hit.typeCode = info.type;
        hit.typeName = CmdContainerImage::TypeName(info.type);
        hit.blocks = static_cast<int>(info.size);
        hit.containerPath = containerPath;
        ++hits;
        if (onMatch) onMatch(hit);
    }
    for (int index = 0; index < count; ++index) {
        if (!container.CanOpenPartition(index)) continue;
        const bool wasOpen = container.ChildAt(index) != nullptr;
        DiskImage* child = container.OpenPartition(index);
        if (!child) continue;
        const std::string name = ListedName(CutName(container.EntryAt(index).name()), false);
        hits += FindFiles(*child, matches, containerPath + "/" + name, onMatch);
        if (!wasOpen) container.CloseChild(child);
    }
    return hits;
}

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
    if (auto* container = dynamic_cast<CmdContainerImage*>(&image))
        return FindInPartitions(*container, matches, containerPath, onMatch);
    struct LevelPath {
        std::string text;             // "PART/" on a level entered through PART
        std::vector<uint8_t> petscii; // the same in PETSCII
    };
    std::vector<LevelPath> levels; // one per level from the image's own
    int hits = 0;
    WalkDirectories(
        image, HasSubDirectories(image),
        [&](WalkPath path) {
            levels.resize(path.size());
            LevelPath inner = levels.empty() ? LevelPath{} : levels.back();
            if (!path.empty()) {
                const std::span<const uint8_t> name = CutName(path.back().name());
                inner.text += ListedName(name, false) + "/";
                inner.petscii.insert(inner.petscii.end(), name.begin(), name.end());
                inner.petscii.push_back('/');
            }
            levels.push_back(std::move(inner));
            return true;
        },
        [&](DirEntry entry, int, WalkPath path) {
            if (!matches(entry.name())) return true;
            const LevelPath& level = levels[path.size()];
            const std::span<const uint8_t> name = CutName(entry.name());
            FoundFile hit;
            hit.name = level.text + ListedName(name, false);
            hit.cbmName = level.petscii;
            hit.cbmName.insert(hit.cbmName.end(), name.begin(), name.end());
            hit.typeCode = entry.typeCode();
            hit.typeName = TypeName(hit.typeCode, kDir);
            hit.blocks = entry.blocks();
            hit.containerPath = containerPath;
            ++hits;
            if (onMatch) onMatch(hit);
            return true;
        });
    return hits;
}

bool IsLaterZipcodePart(const std::string& fileName) {
    return fileName.size() >= 2 && fileName[0] >= '2' && fileName[0] <= '5' && fileName[1] == '!';
}

bool WalkFolder(const std::string& folder, bool includeSubfolders,
                const std::function<bool(const std::string& path)>& onFile,
                const std::atomic<bool>* cancel, std::vector<UnreadableFolder>* unreadable,
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
            std::error_code error;
            if (ListFolder(path, inner.items, &error))
                open.push_back(std::move(inner));
            else if (unreadable)
                unreadable->push_back({path.string(), error.message()});
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
    return SearchFolders({folder}, matches, includeSubfolders, 1, settings, onMatch, onSearching,
                         cancel);
}

FolderSearchResult SearchFolders(const std::vector<std::string>& folders,
                                 const NameMatcher& matches, bool includeSubfolders, int workers,
                                 const Settings& settings, const FoundFileCallback& onMatch,
                                 const std::function<void(const std::string& path)>& onSearching,
                                 const std::atomic<bool>* cancel,
                                 const std::function<void(int searched)>& onDone) {
    workers = std::max(workers, 1);
    // The opened images point at their worker's copy for the whole walk.
    std::vector<Settings> own(static_cast<size_t>(workers), settings);
    FolderSearchResult result;
    result.listed = true;
    const FileSource source = [&](const std::function<bool(const std::string&)>& add) {
        for (const std::string& folder : folders) {
            if (Cancelled(cancel)) return;
            bool stopped = false;
            const bool listed = WalkFolder(
                folder, includeSubfolders,
                [&](const std::string& path) {
                    if (IsLaterZipcodePart(DiskImage::FileNamePart(path))) return true;
                    stopped = !add(path);
                    return !stopped;
                },
                cancel, &result.unreadable);
            result.listed = result.listed && listed;
            if (stopped) return;
        }
    };
    const FileWork work = [&](const std::string& path, int worker) -> Delivery {
        struct Searched {
            std::string container;
            bool opened = false;
            std::vector<FoundFile> hits;
        };
        auto searched = std::make_shared<std::vector<Searched>>();
        const ReadOnDemandScope onDemand; // only the blocks reached are read
        for (const std::string& container : ContainersOfHostFile(path)) {
            if (Cancelled(cancel)) break;
            // On one thread the caller hears of each file before it is opened.
            if (workers == 1 && onSearching) onSearching(container);
            Searched one{container, false, {}};
            std::unique_ptr<DiskImage> image = OpenContainer(
                nullptr, container, {}, 0, nullptr, false, &own[static_cast<size_t>(worker)]);
            // A text document (SEQ or host text) holds no files: it is no disk.
            if (image && image->DiskNamePointer()) {
                one.opened = true;
                FindFiles(*image, matches, container,
                          [&](const FoundFile& hit) { one.hits.push_back(hit); });
            }
            searched->push_back(std::move(one));
        }
        return [&, searched] {
            for (const Searched& one : *searched) {
                if (workers > 1 && onSearching) onSearching(one.container);
                if (!one.opened) continue;
                ++result.searched;
                result.found += static_cast<int>(one.hits.size());
                if (!one.hits.empty()) ++result.withHits;
                if (onMatch)
                    for (const FoundFile& hit : one.hits)
                        onMatch(hit);
            }
            if (onDone) onDone(result.searched);
        };
    };
    RunInOrder(workers, source, work, cancel);
    result.cancelled = Cancelled(cancel);
    return result;
}

std::string SearchSummary(const FolderSearchResult& result) {
    return "Search Finished. " + std::to_string(result.found) + " file(s) found on " +
           std::to_string(result.withHits) + " of " + std::to_string(result.searched) + " disks";
}

} // namespace tessarind
