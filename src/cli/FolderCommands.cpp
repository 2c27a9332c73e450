// Commands that work on every container of a host folder tree: find and batch.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "catalog/BatchRun.h"
#include "catalog/FolderSearch.h"
#include "catalog/OrderedWork.h"
#include "cli/Commands.h"
#include "model/NameMatch.h"
#include "text/Petscii.h"

namespace tessarind::cli {

namespace {

namespace fs = std::filesystem;

// A progress line that rewrites itself; only on a terminal, so logs and pipes stay clean.
class ProgressLine {
public:
    ProgressLine() : shown_(::isatty(STDERR_FILENO) == 1) {}
    ~ProgressLine() { Clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void Show(const std::string& text) {
        if (!shown_) return;
        std::fprintf(stderr, "\r\033[K%.99s", text.c_str());
        std::fflush(stderr);
        dirty_ = true;
    }
    void Clear() {
        if (!dirty_) return;
        std::fputs("\r\033[K", stderr);
        dirty_ = false;
    }

private:
    bool shown_;
    bool dirty_ = false;
};

ExportMode ParseExtractMode(const std::string& word) {
    if (word == "native") return ExportMode::Native;
    if (word == "pc64") return ExportMode::Pc64;
    if (word == "text") return ExportMode::SeqAsText;
    throw UsageError{"unknown extract mode " + word + " (native, pc64 or text)"};
}

int ParseListingKind(const std::string& word) {
    if (word == "text") return FormatId::Text;
    if (word == "csv") return FormatId::Csv;
    if (word == "bmp") return FormatId::Bitmap;
    throw UsageError{"unknown listing kind " + word + " (text, csv or bmp)"};
}

// "-j N": worker threads; the machine's cores when not given.
int ParseWorkers(const Args& a) {
    if (!a.HasValue("-j")) return DefaultWorkerCount();
    const std::string text = a.Value("-j");
    char* end = nullptr;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0 || n < 1 || n > 256)
        throw UsageError{"-j needs a number of threads from 1 to 256, not " + text};
    return static_cast<int>(n);
}

// "N containers, R/s" for the progress line.
class Rate {
public:
    std::string Text(int done) const {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        char text[64];
        std::snprintf(text, sizeof text, "%d containers, %.0f/s", done,
                      seconds > 0 ? done / seconds : 0.0);
        return text;
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

} // namespace

int CmdFind(Context& ctx, const Args& a) {
    if (a.positional.size() < 2) throw UsageError{"find needs FOLDER and PATTERN"};
    const std::vector<std::string> folders(a.positional.begin(), a.positional.end() - 1);
    const std::string& typed = a.positional.back();
    const int workers = ParseWorkers(a);
    if (typed.size() > static_cast<size_t>(kNameLength))
        throw UsageError{"\"" + typed + "\" is longer than 16 characters"};
    const NameMatcher matches = [&](std::span<const uint8_t, kNameLength> name) {
        return MatchesTypedName(typed, name);
    };

    ProgressLine progress;
    std::string line;
    const auto print = [&](const FoundFile& hit) {
        line = hit.name;
        line += '\t';
        line += hit.typeName;
        line += '\t';
        line += std::to_string(hit.blocks);
        line += '\t';
        line += hit.containerPath;
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
    };
    const Rate rate;
    const FolderSearchResult result =
        SearchFolders(folders, matches, !a.Has("--no-subfolders"), workers, ctx.settings, print, {},
                      nullptr, [&](int searched) { progress.Show(rate.Text(searched)); });
    progress.Clear();
    if (!result.listed) {
        ctx.ui.Message(kUnableToOpenDirectory, "Error");
        return kFailed;
    }
    if (std::fflush(stdout) != 0) return kFailed;
    // A subfolder that could not be read was not searched: the search is not complete.
    for (const UnreadableFolder& skipped : result.unreadable)
        std::fprintf(stderr, "%s %s: %s\n", kUnableToOpenDirectory, skipped.path.c_str(),
                     skipped.reason.c_str());
    std::fprintf(stderr, "%s\n", SearchSummary(result).c_str());
    return result.unreadable.empty() ? kOk : kFailed;
}

int CmdBatch(Context& ctx, const Args& a) {
    if (a.positional.empty()) throw UsageError{"batch needs a FOLDER"};
    const bool list = a.HasValue("--list"), extract = a.HasValue("--extract");
    if (list == extract) throw UsageError{"batch needs either --list KIND or --extract MODE"};
    BatchOptions options;
    options.mode = list ? BatchMode::List : BatchMode::Extract;
    if (list) options.listingFormat = ParseListingKind(a.Value("--list"));
    if (extract) options.extractAs = ParseExtractMode(a.Value("--extract"));
    options.singleFile = a.Has("--single-file");
    if (options.singleFile && (extract || options.listingFormat == FormatId::Bitmap))
        throw UsageError{"--single-file gathers text and csv listings only"};
    for (const char* listingOnly : {"--subdirs", "--deleted", "--lower"})
        if (extract && a.Has(listingOnly))
            throw UsageError{std::string(listingOnly) + " applies to listings only"};
    if (list && a.Has("--force")) throw UsageError{"--force applies to --extract only"};
    options.overwrite = a.Has("--force");
    // Only what was not written is worth a line: the folders are named after the containers.
    options.onExtracted = [](const ExportedFile& file) {
        if (file.outcome == ExportedFile::Outcome::Exists)
            std::fprintf(stderr, "%s: exists and is left as it is (--force replaces it)\n",
                         file.path.c_str());
        else if (file.outcome != ExportedFile::Outcome::Written)
            std::fprintf(stderr, "%s: not extracted: %s\n", file.path.c_str(), file.reason.c_str());
    };
    options.includeSubDirectories = a.Has("--subdirs");
    options.includeSubfolders = !a.Has("--no-subfolders");
    options.showDeleted = a.Has("--deleted");
    options.upperCase = !a.Has("--lower");

    options.workers = ParseWorkers(a);

    // Listings name their containers by full path.
    std::vector<std::string> folders;
    for (const std::string& given : a.positional) {
        std::error_code ec;
        fs::path folder = fs::absolute(fs::path(given), ec).lexically_normal();
        folders.push_back(ec ? given : folder.string());
    }
    ProgressLine progress;
    const Rate rate;
    BatchResult result =
        RunBatch(folders, options, ctx.settings,
                 [&](const std::string&, int done) { progress.Show(rate.Text(done)); });
    progress.Clear();
    if (!result.listed) {
        ctx.ui.Message(kUnableToOpenDirectory, "Error");
        return kFailed;
    }
    std::fprintf(stderr, "%d container(s) %s", result.processed, list ? "listed" : "extracted");
    if (!result.singleFilePath.empty())
        std::fprintf(stderr, " into %s", result.singleFilePath.c_str());
    std::fputc('\n', stderr);
    if (options.singleFile && result.singleFilePath.empty()) {
        ctx.ui.Message("Unable to Save File", "Error");
        return kFailed;
    }
    if (result.failed > 0) {
        std::fprintf(stderr, "%d listing(s) could not be written\n", result.failed);
        return kFailed;
    }
    if (result.filesNotWritten > 0) {
        std::fprintf(stderr, "%d file(s) not extracted\n", result.filesNotWritten);
        return kFailed;
    }
    return kOk;
}

} // namespace tessarind::cli
