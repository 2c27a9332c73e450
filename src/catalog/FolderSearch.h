#pragma once
// Finding files by CBM name: inside one container (with its partitions and sub-directories)
// and over every container in a host folder tree. Safe to run on a worker thread: the walk
// opens containers of its own, shows nothing and polls a cancel flag.

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "model/DirEntry.h"
#include "text/Settings.h"

namespace tessarind {

class DiskImage;

inline constexpr const char* kUnableToOpenDirectory = "Unable to Open Directory";

// One hit of a search.
struct FoundFile {
    std::string name;             // host text; sub-directory names before it, "/" between
    std::vector<uint8_t> cbmName; // the same in PETSCII, for drawing in the CBM font
    std::string typeName;         // "DEL" ... "CMD", "???"
    int typeCode = 0;
    int blocks = 0;
    std::string containerPath;
};

using FoundFileCallback = std::function<void(const FoundFile&)>;
// Whether a 16-byte CBM name (padded with shifted spaces) is one searched for.
using NameMatcher = std::function<bool(std::span<const uint8_t, kNameLength> name)>;

// Reports every listed entry of the current directory whose name matches `pattern` ("*" any
// run, "?" any one character; a typed pattern becomes PETSCII through PetsciiName), then
// searches each CBM partition or DIR sub-directory that can be entered, with its name and "/"
// before the names found there. The image is back at its own level afterwards. Returns the
// number of hits.
int FindFiles(DiskImage& image, std::span<const uint8_t, kNameLength> pattern,
              const std::string& containerPath, const FoundFileCallback& onMatch);
// The same walk with the names chosen by `matches`.
int FindFiles(DiskImage& image, const NameMatcher& matches, const std::string& containerPath,
              const FoundFileCallback& onMatch);

// "2!NAME" to "5!NAME": a later file of a Zipcode set, read together with its first file.
bool IsLaterZipcodePart(const std::string& fileName);

// Walks a host folder: every regular file in name order, and (with subfolders) each subfolder
// where its name falls, depth first. Links to folders are not followed, so a link loop cannot
// trap the walk. The walk stops when onFile returns false or the cancel flag is set (polled
// after every entry). enterFolder (may be empty) can keep the walk out of a subfolder.
// False when the folder itself cannot be listed; a subfolder that cannot be listed is passed
// over and, when `unreadable` is given, recorded there.
struct UnreadableFolder {
    std::string path;
    std::string reason; // the system's text
};
bool WalkFolder(const std::string& folder, bool includeSubfolders,
                const std::function<bool(const std::string& path)>& onFile,
                const std::atomic<bool>* cancel = nullptr,
                std::vector<UnreadableFolder>* unreadable = nullptr,
                const std::function<bool(const std::string& path)>& enterFolder = {});

struct FolderSearchResult {
    bool listed = false; // false: the folder could not be listed (kUnableToOpenDirectory)
    std::vector<UnreadableFolder> unreadable; // subfolders passed over
    bool cancelled = false;
    int found = 0;    // hits reported
    int searched = 0; // containers opened and searched
    int withHits = 0; // containers with at least one hit
};

// Searches every container of a folder (and its subfolders when asked). Each file is opened
// without messages and without joining the recent files, searched and closed again; files
// that are no container are skipped silently, later Zipcode parts are left to their first
// file. onSearching (may be empty) is told each file before it is opened. `settings` is
// copied, so the caller's object may change meanwhile.
FolderSearchResult
SearchFolder(const std::string& folder, std::span<const uint8_t, kNameLength> pattern,
             bool includeSubfolders, const Settings& settings, const FoundFileCallback& onMatch,
             const std::function<void(const std::string& path)>& onSearching = {},
             const std::atomic<bool>* cancel = nullptr);

// The same search with the names chosen by `matches`.
FolderSearchResult
SearchFolder(const std::string& folder, const NameMatcher& matches, bool includeSubfolders,
             const Settings& settings, const FoundFileCallback& onMatch,
             const std::function<void(const std::string& path)>& onSearching = {},
             const std::atomic<bool>* cancel = nullptr);

// The same search over several folders one after the other, on `workers` threads (see
// DefaultWorkerCount); hits, onSearching and the counts come out in the order one thread gives.
// `listed` is false when any folder could not be listed (the others are still searched).
// onDone (may be empty) is told the number of containers searched so far after each file.
FolderSearchResult
SearchFolders(const std::vector<std::string>& folders, const NameMatcher& matches,
              bool includeSubfolders, int workers, const Settings& settings,
              const FoundFileCallback& onMatch,
              const std::function<void(const std::string& path)>& onSearching = {},
              const std::atomic<bool>* cancel = nullptr,
              const std::function<void(int searched)>& onDone = {});

// "Search Finished. %d file(s) found on %d of %d disks"
std::string SearchSummary(const FolderSearchResult& result);

} // namespace tessarind
