// Imports arbitrary bytes as a GEOS Convert file into an open 1541 image, exports the file
// again and undoes the import: nothing may crash or read outside the input, a refused import
// leaves no entry, and the undo gives back every block.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

#include "formats/D64Image.h"
#include "model/GeosConvert.h"

using namespace tessarind;

namespace {

volatile size_t sink;

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "ConvertFuzzer: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    D64Image image;
    if (!image.Open(nullptr, "", false, true)) return 0;
    image.ClearJournal();
    const int freeBefore = image.FreeBlockCount();
    const bool imported = ImportConvert(image, std::span<const uint8_t>(data, size), false, 0);
    Check(image.entryCount() == (imported ? 1 : 0), "entry count after the import");
    if (!imported) return 0;
    Check(image.EntryAt(0).isGeos(), "the imported entry is no GEOS file");
    const std::optional<std::vector<uint8_t>> exported = image.ReadFileData(0);
    Check(exported.has_value(), "the imported file cannot be read back");
    // Records are never longer than in the file they came from.
    Check(exported->size() <= size + kConvertVlirHeaderSize, "the export outgrew the import");
    sink = sink + exported->size();
    Check(image.UndoOne(), "the import cannot be undone");
    Check(image.entryCount() == 0, "the undo left the entry");
    Check(image.FreeBlockCount() == freeBefore, "the undo left blocks taken");
    return 0;
}
