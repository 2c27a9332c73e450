#include "model/ListingExport.h"

// The plain MD5 functions need none of libcrypto's provider and configuration machinery, so a
// statically linked tool stays small and starts fast.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/md5.h>

#include <optional>
#include <string_view>
#include <vector>

#include "model/DiskImage.h"
#include "model/Interaction.h"
#include "model/SafeFile.h"
#include "model/VisitedSet.h"
#include "text/DirectoryListing.h"
#include "text/Petscii.h"

namespace tessarind {

namespace {

// Collects a listing for a file of its own, or appends it to the caller's stream.
class ListingOutput {
public:
    explicit ListingOutput(std::FILE* stream) : stream_(stream) {}

    bool Write(std::string_view text) {
        if (failed_) return false;
        if (!stream_)
            buffer_.insert(buffer_.end(), text.begin(), text.end());
        else if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stream_) != text.size())
            failed_ = true;
        return !failed_;
    }
    bool Write(const std::vector<uint8_t>& bytes) {
        return Write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }

    // Puts a collected listing into its file; a stream is only checked.
    WriteResult Finish(const std::string& path) {
        if (stream_ || failed_) return failed_ ? WriteResult::WriteFailed : WriteResult::Ok;
        return WriteWholeFile(path, buffer_);
    }

private:
    std::FILE* stream_;
    std::vector<uint8_t> buffer_;
    bool failed_ = false;
};

// Lists the current level and, when asked, every sub-directory that can be entered, depth
// first: onLevel() as each level starts, onEntry(entry, index) for each of its entries. A
// directory reached twice (cross-linked entries) is listed once, which keeps the work bounded
// on a damaged disk. The image is back at its own level afterwards. False when a callback
// stopped the walk.
template <class OnLevel, class OnEntry>
bool WalkLevels(DiskImage& image, bool includeSubDirectories, OnLevel&& onLevel,
                OnEntry&& onEntry) {
    // Formats whose type codes end at REL have no partitions: a code 5 there is damage.
    const bool descend = includeSubDirectories && image.maxFileType > kRel;
    struct Level {
        std::vector<DirEntry> entries;
        size_t next = 0;
    };
    VisitedSet listed;
    listed.Visit(image.dirTrack, image.dirSector);
    std::vector<Level> levels;
    levels.push_back({image.ListedEntries()});
    bool ok = onLevel();
    while (ok && !levels.empty()) {
        Level& level = levels.back();
        if (level.next == level.entries.size()) {
            levels.pop_back();
            if (!levels.empty()) image.LeaveSubDirectory();
            continue;
        }
        const int index = static_cast<int>(level.next++);
        const DirEntry entry = level.entries[static_cast<size_t>(index)];
        const int code = entry.typeCode();
        ok = onEntry(entry, index);
        if (!ok || !descend || (code != kCbm && code != kDir) ||
            !image.EnterSubDirectory(entry, index))
            continue;
        if (!listed.Visit(image.dirTrack, image.dirSector)) {
            image.LeaveSubDirectory();
            continue;
        }
        levels.push_back({image.ListedEntries()});
        ok = onLevel();
    }
    for (; levels.size() > 1; levels.pop_back())
        image.LeaveSubDirectory();
    return ok;
}

// PETSCII as the listing shows it: one character for every byte, so nothing vanishes.
std::string Converted(std::span<const uint8_t> bytes, bool lowerCase) {
    std::string text;
    for (uint8_t code : bytes)
        text.push_back(ListingCharacter(code, lowerCase));
    return text;
}

// One CSV field: quoted, with its quotes doubled, when it holds a comma, quote or line end.
std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted.push_back('"');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return quoted;
}

std::string Md5Column(DiskImage& image, int index) {
    std::optional<std::vector<uint8_t>> data = image.ReadFileData(index);
    std::array<uint8_t, 16> digest{};
    if (!data || !Md5Digest(*data, digest)) return ",0";
    std::string text = ",";
    for (uint8_t b : digest) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%2.2x", b);
        text += hex;
    }
    return text;
}

} // namespace

bool ExportCsv(DiskImage& image, std::FILE* stream, const std::string& path, Interaction* ui,
               bool includeSubDirectories, bool lowerCase) {
    const Settings& settings = image.settings();
    const uint8_t* diskName = image.DiskNamePointer();
    if (!diskName) return false;
    const bool withMd5 = settings.On(SettingId::AddMD5Hash);

    ListingOutput out(stream);
    bool ok = out.Write(CsvField(image.path) + "\n");
    ok = ok && out.Write("0," + CsvField(Converted({diskName, kNameLength}, lowerCase)) + "," +
                         CsvField(Converted({diskName + 18, 3}, lowerCase)) + "," +
                         CsvField(Converted({diskName + 21, 2}, lowerCase)) + "\n");
    ok = ok && WalkLevels(
                   image, includeSubDirectories, [] { return true; },
                   [&](DirEntry entry, int index) {
                       std::string line = std::to_string(entry.blocks()) + "," +
                                          CsvField(Converted(entry.name(), lowerCase)) + "," +
                                          TypeName(entry.typeCode(), image.maxFileType);
                       if (withMd5) line += Md5Column(image, index);
                       return out.Write(line + "\n");
                   });
    WriteResult written = out.Finish(path);
    if (written == WriteResult::CannotCreate) ReportError(ui, "Unable to Save File");
    return ok && written == WriteResult::Ok;
}

bool ExportText(DiskImage& image, std::FILE* stream, const std::string& path, Interaction* ui,
                bool includeSubDirectories, bool lowerCase) {
    ListingOutput out(stream);
    bool first = true, rendered = true;
    bool ok = WalkLevels(
        image, includeSubDirectories,
        [&] {
            std::vector<uint8_t> text = ListDirectory(image, ListingForm::Ascii, lowerCase);
            if (text.empty()) {
                rendered = false;
                return false;
            }
            bool written = out.Write(first ? image.path + "\r\n" : std::string("\n"));
            first = false;
            return written && out.Write(text);
        },
        [](DirEntry, int) { return true; });
    if (!rendered) {
        ReportError(ui, "Unable to generate text");
        return false;
    }
    ok = ok && out.Write("\r\n");
    switch (out.Finish(path)) {
    case WriteResult::Ok:
        return ok;
    case WriteResult::CannotCreate:
        ReportError(ui, "Unable to Save File");
        return false;
    case WriteResult::WriteFailed:
        ReportError(ui, "Unable to write to file");
        return false;
    }
    return false;
}

bool ForEachListingLevel(DiskImage& image, bool includeSubDirectories,
                         const std::function<bool()>& onLevel) {
    return WalkLevels(image, includeSubDirectories, onLevel, [](DirEntry, int) { return true; });
}

bool Md5Digest(std::span<const uint8_t> bytes, std::array<uint8_t, 16>& digest) {
    static_assert(MD5_DIGEST_LENGTH == 16);
    MD5_CTX context;
    if (MD5_Init(&context) != 1) return false;
    if (!bytes.empty() && MD5_Update(&context, bytes.data(), bytes.size()) != 1) return false;
    return MD5_Final(digest.data(), &context) == 1;
}

} // namespace tessarind
