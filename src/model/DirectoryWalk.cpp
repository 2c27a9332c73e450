#include "model/DirectoryWalk.h"

#include <vector>

#include "model/DiskImage.h"
#include "model/VisitedSet.h"

namespace tessarind {

bool HasSubDirectories(const DiskImage& image) { return image.maxFileType() > kRel; }

bool WalkDirectories(DiskImage& image, bool includeSubDirectories,
                     const std::function<bool(WalkPath path)>& onLevel,
                     const std::function<bool(DirEntry entry, int index, WalkPath path)>& onEntry) {
    struct Level {
        std::vector<DirEntry> entries;
        size_t next = 0;
    };
    VisitedSet walked;
    walked.Visit(image.dirTrack(), image.dirSector());
    std::vector<Level> levels;
    std::vector<DirEntry> path; // the entry each inner level was entered through
    levels.push_back({image.ListedEntries()});
    bool ok = !onLevel || onLevel(path);
    while (ok && !levels.empty()) {
        Level& level = levels.back();
        if (level.next == level.entries.size()) {
            levels.pop_back();
            if (!levels.empty()) {
                image.LeaveSubDirectory();
                path.pop_back();
            }
            continue;
        }
        const int index = static_cast<int>(level.next++);
        const DirEntry entry = level.entries[static_cast<size_t>(index)];
        const int code = entry.typeCode();
        ok = !onEntry || onEntry(entry, index, path);
        if (!ok || !includeSubDirectories || (code != kCbm && code != kDir) || !image.EnterSubDirectory(entry, index))
            continue;
        if (!walked.Visit(image.dirTrack(), image.dirSector())) {
            image.LeaveSubDirectory();
            continue;
        }
        path.push_back(entry);
        levels.push_back({image.ListedEntries()}); // `level` is not used past this point
        ok = !onLevel || onLevel(path);
    }
    for (; levels.size() > 1; levels.pop_back())
        image.LeaveSubDirectory();
    return ok;
}

} // namespace tessarind
