// Opens the input as a compressed container. The first byte's bit 0 says gzip (0) or zip (1),
// the rest is the file. It is read twice: in memory, with a small limit, by the inflater and
// the zip reader themselves; and as a host file ("disk.d64.gz" or "disks.zip") through the
// opener, whose container is then listed and searched. Nothing may crash, a refusal must
// leave nothing read, and what is read must stay within its limit. Inputs that inflate past
// the small limit are not opened as files (each would inflate 64 MB before its refusal).

#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "catalog/FolderSearch.h"
#include "catalog/ImageOpener.h"
#include "model/CompressedFile.h"
#include "model/DiskImage.h"

using namespace tessarind;

namespace {

constexpr size_t kSmallLimit = size_t{1} << 20;

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "CompressedFuzzer: %s\n", what);
    std::abort();
}

const std::filesystem::path& Folder() {
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() /
                    ("tessarind-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

void ListAndSearch(DiskImage& image, const std::string& path) {
    const int count = image.CountEntries();
    for (int i = 0; i < count; ++i)
        (void)image.EntryAt(i);
    std::array<uint8_t, kNameLength> all{};
    all.fill(kPad);
    all[0] = '*';
    FindFiles(image, all, path, {});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool zip = data[0] & 1;
    const std::span<const uint8_t> file(data + 1, size - 1);
    std::vector<uint8_t> out;
    std::string reason;
    bool large = false; // inflates past the small limit: the opener would inflate 64 MB
    if (!zip) {
        const bool ok = InflateGzip(file, out, reason, kSmallLimit);
        Check(ok || out.empty(), "a refused gzip stream left bytes");
        Check(out.size() <= kSmallLimit, "gzip bytes past the limit");
        Check(ok || !reason.empty(), "a refused gzip stream without a reason");
        large = !ok && reason.find("inflates past") != std::string::npos;
    } else {
        std::vector<std::string> names;
        if (ListZipMembers({}, file, names, reason)) {
            for (size_t i = 0; i < names.size() && i < 8; ++i) {
                const bool ok = ReadZipMember({}, file, names[i], out, reason, kSmallLimit);
                Check(ok || out.empty(), "a refused zip member left bytes");
                Check(out.size() <= kSmallLimit, "zip member bytes past the limit");
                large = large || (!ok && (reason.find("inflates past") != std::string::npos ||
                                          reason.find("larger than") != std::string::npos));
            }
        }
    }

    if (large) return 0;
    const std::filesystem::path path = Folder() / (zip ? "disks.zip" : "disk.d64.gz");
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    Settings settings;
    const std::vector<std::string> containers =
        zip ? ContainersOfHostFile(path.string()) : std::vector<std::string>{path.string()};
    for (size_t i = 0; i < containers.size() && i < 4; ++i) {
        std::unique_ptr<DiskImage> image =
            OpenContainer(nullptr, containers[i], {}, 0, nullptr, false, &settings);
        if (image && image->DiskNamePointer()) ListAndSearch(*image, containers[i]);
    }
    return 0;
}
