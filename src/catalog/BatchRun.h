#pragma once
// The batch tool: a directory listing of every container in a folder tree (text, CSV or
// bitmap; the text and CSV listings optionally gathered in one file), or every file of every
// container extracted into a host folder beside it.

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "model/DiskImage.h"
#include "model/FormatRegistry.h"
#include "text/Settings.h"

namespace tessarind {

enum class BatchMode { List, Extract };

struct BatchOptions {
    BatchMode mode = BatchMode::List;
    // Listing kind by format id: FormatId::Bitmap, FormatId::Csv or FormatId::Text.
    int listingFormat = FormatId::Bitmap;
    ExportMode extractAs = ExportMode::Native;
    bool includeSubDirectories = true; // listings include partitions and sub-directories
    bool upperCase = true;             // bitmaps drawn with the upper-case/graphics set
    bool includeSubfolders = true;     // descend into host subfolders
    bool showDeleted = false;          // listings include deleted entries
    bool singleFile = true;            // text and CSV listings all go into one "CBMDirs" file
    bool overwrite = false;            // extraction replaces host files that exist
    // Told every file of an extraction, written or not (may be empty).
    std::function<void(const ExportedFile&)> onExtracted;
    // Colours of bitmap listings, palette indexes 0-15; the view's own light blue on blue.
    int backgroundColour = 6;
    int textColour = 14;
    // Worker threads (see DefaultWorkerCount); whatever the number, listings, progress and
    // counts come out in the order one thread gives.
    int workers = 1;
};

struct BatchResult {
    bool listed = false; // false: the folder could not be listed ("Unable to Open Directory")
    bool cancelled = false;
    int processed = 0;          // containers opened and listed or extracted
    int failed = 0;             // listings that could not be written
    int filesNotWritten = 0;    // extracted files refused or failed
    std::string singleFilePath; // the "CBMDirs" file when one was written
};

// Told the container about to be processed and how many were processed before it.
using BatchProgress = std::function<void(const std::string& path, int done)>;

// Runs the batch over `folder`. Containers are opened without messages; files that are no
// container, ".txt" files (earlier listings) and later Zipcode parts are skipped. Single CBM
// files and text files are extracted but not listed. An extraction leaves out the folders
// extractions made (a subfolder named as ExtractionFolder names a container beside it), so a
// second run does not take the files of the first for containers. A set cancel flag stops the run
// after the current container; what was written so far stays. `settings` is copied.
BatchResult RunBatch(const std::string& folder, const BatchOptions& options,
                     const Settings& settings, const BatchProgress& onProgress = {},
                     const std::atomic<bool>* cancel = nullptr);

// The same run over several folders one after the other; the "CBMDirs" file goes into the
// first. `listed` is false when any folder could not be listed (the others are still run).
BatchResult RunBatch(const std::vector<std::string>& folders, const BatchOptions& options,
                     const Settings& settings, const BatchProgress& onProgress = {},
                     const std::atomic<bool>* cancel = nullptr);

// Where a container's files are extracted: its path with the dot of the extension removed
// ("game.d64" -> "gamed64"), or followed by "dir" when it has no extension.
std::string ExtractionFolder(const std::string& containerPath);

// A container's own listing file: its path with the extension replaced by the listing's.
std::string ListingPath(const std::string& containerPath, int listingFormat);

} // namespace tessarind
