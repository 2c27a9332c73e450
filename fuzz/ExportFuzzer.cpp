// Opens arbitrary bytes as a 1541 image and exports every file in each mode into a scratch
// folder, as `tessarind-cli extract` does with no file named. Every reported path lies in the
// folder and every directory block is walked once, so entries that share sub-directories or
// loop back cannot make the export run away.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "FuzzImage.h"
#include "formats/D64Image.h"

using namespace tessarind;

namespace {

constexpr const char* kHarness = "ExportFuzzer";

const std::filesystem::path& Scratch() {
    static const std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "ts-export-XXXXXX").string();
        if (!mkdtemp(pattern.data())) fuzz::Fail(kHarness, "no scratch folder");
        return std::filesystem::path(pattern);
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::AddDefaultTimeout(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Settings settings;
    D64Image image(&settings);
    if (!image.Open(nullptr, "", false, true)) fuzz::Fail(kHarness, "a blank disk did not open");
    image.LoadFromMemory({data, size});
    // A directory block holds eight entries, and each block is walked once.
    const size_t most = (image.imageSize() / 256 + 1) * 8;
    for (ExportMode mode : {ExportMode::Native, ExportMode::Pc64, ExportMode::SeqAsText}) {
        std::error_code ec;
        std::filesystem::remove_all(Scratch(), ec);
        const std::string folder = (Scratch() / "out").string();
        size_t reported = 0;
        ExportRun run;
        run.onFile = [&](const ExportedFile& file) {
            if (file.path.compare(0, folder.size(), folder) != 0)
                fuzz::Fail(kHarness, "an exported file left its folder: " + file.path);
            if (++reported > most) fuzz::Fail(kHarness, "more files exported than the disk lists");
        };
        image.ExportAllFiles(folder, mode, run);
        if (!image.DirStack().empty()) fuzz::Fail(kHarness, "the export left a sub-directory entered");
    }
    std::error_code ec;
    std::filesystem::remove_all(Scratch(), ec);
    return 0;
}
