#include "catalog/ListingExport.h"

// The plain MD5 functions need none of libcrypto's provider and configuration machinery, so a
// statically linked tool stays small and starts fast.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/md5.h>

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "catalog/DirectoryListing.h"
#include "catalog/DirectoryPicture.h"
#include "model/DirectoryWalk.h"
#include "model/DiskImage.h"
#include "model/FormatRegistry.h"
#include "model/ImageObserver.h"
#include "model/Interaction.h"
#include "model/SafeFile.h"
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

// Appends one CSV field: quoted, with its quotes doubled, when it holds a comma, quote or
// line end.
void AppendCsvField(std::string& line, std::string_view text) {
    const bool quote = std::any_of(text.begin(), text.end(), [](char c) {
        return c == ',' || c == '"' || c == '\r' || c == '\n';
    });
    if (!quote) {
        line.append(text);
        return;
    }
    line.push_back('"');
    for (char c : text) {
        if (c == '"') line.push_back('"');
        line.push_back(c);
    }
    line.push_back('"');
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
    const std::span<const uint8_t> diskName = image.DiskName(), diskId = image.DiskId();
    if (diskName.empty() || diskId.size() < 5) return false;
    const bool withMd5 = settings.On(SettingId::AddMD5Hash);

    ListingOutput out(stream);
    std::string line;
    AppendCsvField(line, image.path());
    line += "\n0,";
    AppendCsvField(line, ListingText(diskName, lowerCase));
    line.push_back(',');
    AppendCsvField(line, ListingText(diskId.first(3), lowerCase));
    line.push_back(',');
    AppendCsvField(line, ListingText(diskId.subspan(3, 2), lowerCase));
    line.push_back('\n');
    bool ok = out.Write(line);
    ok = ok && WalkDirectories(
                   image, includeSubDirectories && HasSubDirectories(image), nullptr,
                   [&](DirEntry entry, int index, WalkPath) {
                       line = std::to_string(entry.blocks());
                       line.push_back(',');
                       AppendCsvField(line, ListingText(entry.name(), lowerCase));
                       line.push_back(',');
                       line += TypeName(entry.typeCode(), image.maxFileType());
                       if (withMd5) line += Md5Column(image, index);
                       line.push_back('\n');
                       return out.Write(line);
                   });
    WriteResult written = out.Finish(path);
    if (written == WriteResult::CannotCreate) ReportError(ui, "Unable to Save File");
    return ok && written == WriteResult::Ok;
}

bool ExportText(DiskImage& image, std::FILE* stream, const std::string& path, Interaction* ui,
                bool includeSubDirectories, bool lowerCase) {
    ListingOutput out(stream);
    bool first = true, rendered = true;
    bool ok = WalkDirectories(
        image, includeSubDirectories && HasSubDirectories(image),
        [&](WalkPath) {
            std::vector<uint8_t> text = ListDirectory(image, ListingForm::Ascii, lowerCase);
            if (text.empty()) {
                rendered = false;
                return false;
            }
            bool written = out.Write(first ? image.path() + "\r\n" : std::string("\n"));
            first = false;
            return written && out.Write(text);
        },
        nullptr);
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

bool Md5Digest(std::span<const uint8_t> bytes, std::array<uint8_t, 16>& digest) {
    static_assert(MD5_DIGEST_LENGTH == 16);
    MD5_CTX context;
    if (MD5_Init(&context) != 1) return false;
    if (!bytes.empty() && MD5_Update(&context, bytes.data(), bytes.size()) != 1) return false;
    return MD5_Final(digest.data(), &context) == 1;
}

std::optional<bool> WriteSaveAsListing(DiskImage& image, int id, const std::string& target,
                                       bool includeSubDirectories, bool selectionOnly) {
    if (id != FormatId::Text && id != FormatId::Csv && id != FormatId::Bitmap) return std::nullopt;
    ImageObserver* view = image.directoryView();
    const bool lowerCase = view && view->ShowsLowerCase();
    if (id == FormatId::Text)
        return ExportText(image, nullptr, target, image.owner(), includeSubDirectories, lowerCase);
    if (id == FormatId::Csv)
        return ExportCsv(image, nullptr, target, image.owner(), includeSubDirectories, lowerCase);
    BitmapExportOptions options;
    if (lowerCase) options.style.caseTable = &kLowerCaseSet;
    if (view) view->DescribeListingStyle(options.style);
    options.selectionOnly =
        selectionOnly && view && view->SelectedRange(options.selectionFirst, options.selectionLast);
    return ExportBitmap(image, target, image.owner() != nullptr, includeSubDirectories, options);
}

} // namespace tessarind
