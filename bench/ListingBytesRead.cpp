// Bytes read per image searched: every image of a folder tree is opened and searched for "*"
// twice in one run, read whole (as a single image is opened for editing) and read on demand
// (as find and batch read them), counted by the block store and by /proc/self/io.
// usage: ListingBytesRead FOLDER [LIMIT]

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalog/FolderSearch.h"
#include "catalog/ImageOpener.h"
#include "model/FileBlockStore.h"
#include "text/Petscii.h"

using namespace tessarind;

namespace {

// The bytes this process has read through read system calls so far.
unsigned long long ReadChars() {
    std::ifstream io("/proc/self/io");
    std::string key;
    unsigned long long value = 0;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return 0;
}

struct Figures {
    unsigned long long rchar = 0, store = 0;
    int hits = 0;
};

Figures SearchAll(const std::vector<std::string>& paths, bool onDemand) {
    Settings settings;
    const std::array<uint8_t, kNameLength> all = PetsciiName("*");
    Figures figures;
    const unsigned long long rchar = ReadChars();
    const uint64_t store = FileBlockStore::BytesRead();
    for (const std::string& path : paths) {
        std::optional<ReadOnDemandScope> scope;
        if (onDemand) scope.emplace();
        std::unique_ptr<DiskImage> image =
            OpenContainer(nullptr, path, {}, 0, nullptr, false, &settings);
        if (image) figures.hits += FindFiles(*image, all, path, {});
    }
    figures.rchar = ReadChars() - rchar;
    figures.store = FileBlockStore::BytesRead() - store;
    return figures;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: ListingBytesRead FOLDER [LIMIT]\n");
        return 2;
    }
    const size_t limit = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 2000;
    std::vector<std::string> paths;
    WalkFolder(argv[1], true, [&](const std::string& path) {
        if (path.size() > 4 && path.compare(path.size() - 4, 4, ".d64") == 0) paths.push_back(path);
        return paths.size() < limit;
    });
    if (paths.empty()) return 1;
    const Figures whole = SearchAll(paths, false);
    const Figures lazy = SearchAll(paths, true);
    if (whole.hits != lazy.hits) {
        std::fprintf(stderr, "the two reads found different files: %d and %d\n", whole.hits,
                     lazy.hits);
        return 1;
    }
    const double n = static_cast<double>(paths.size());
    std::printf("%zu D64 images, %d files found each way\n", paths.size(), whole.hits);
    std::printf("read whole:     %8.0f bytes per image (/proc/self/io rchar)\n", whole.rchar / n);
    std::printf("read on demand: %8.0f bytes per image (/proc/self/io rchar), %.0f through the "
                "block store\n",
                lazy.rchar / n, lazy.store / n);
    std::printf("ratio whole / on demand: %.1f\n",
                lazy.rchar ? static_cast<double>(whole.rchar) / static_cast<double>(lazy.rchar)
                           : 0.0);
    return 0;
}
