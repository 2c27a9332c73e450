#include "model/ImageOpener.h"

#include <array>
#include <cctype>
#include <string_view>
#include <vector>

#include "formats/D64Image.h"
#include "formats/D71Image.h"
#include "formats/D80Image.h"
#include "formats/D81Image.h"
#include "model/FormatRegistry.h"
#include "text/Petscii.h"

namespace tessarind {

namespace {

// What a factory is given to build a container.
struct FactoryCall {
    Interaction* owner;
    const std::string& path;
    int formatId;
    bool reportErrors;
    std::span<const uint8_t> data;
    Settings* settings;
};

using Factory = std::unique_ptr<DiskImage> (*)(const FactoryCall& call);

std::unique_ptr<DiskImage> MakeDisk(const FactoryCall& call) { return MakeDiskImage(call.formatId, call.settings); }

// The file-name part without its extension.
std::string Stem(const std::string& path) {
    std::string name = DiskImage::FileNamePart(path);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// A single CBM file is shown as a new 1541 image that holds it. The image keeps the file's
// path for its title but stays untitled, so saving asks for a name instead of writing the
// image over the file it came from.
std::unique_ptr<DiskImage> MakeD64HoldingFile(const FactoryCall& call) {
    auto image = std::make_unique<D64Image>(call.settings);
    if (!image->Open(call.owner, call.path, false, true)) return nullptr;
    bool inserted = false;
    if (!call.data.empty()) {
        const FormatRow* row = FindRowById(call.formatId);
        if (!row) return nullptr;
        // A file without a kind would list as "???"; such files are almost always programs.
        if (row->cbmType == kCbmTypeNone) row = FindRowById(FormatId::Prg);
        std::array<uint8_t, kNameLength> name = PetsciiName(Stem(call.path));
        inserted =
            image->WriteFileData(name, 0, call.reportErrors,
                                 std::vector<uint8_t>(call.data.begin(), call.data.end()), 0, *row);
    } else {
        inserted = image->ImportHostFile(call.path, 0, call.reportErrors);
    }
    if (!inserted) return nullptr;
    image->flags |= kFlagUntitled;
    return image;
}

struct FactoryRow {
    int id;
    Factory make;
};

constexpr std::array<FactoryRow, 17> kFactories = {{
    {FormatId::D64, MakeDisk},
    {2, MakeDisk},            // .d71
    {3, MakeDisk},            // .d81
    {16, MakeDisk},           // .d80
    {17, MakeDisk},           // .d82
    {12, MakeD64HoldingFile}, // .prg
    {14, MakeD64HoldingFile}, // .usr
    {13, MakeD64HoldingFile}, // .rel
    {31, MakeD64HoldingFile}, // .del
    {36, MakeD64HoldingFile}, // .cbm
    {32, MakeD64HoldingFile}, // .cmd
    {24, MakeD64HoldingFile}, // .p00
    {27, MakeD64HoldingFile}, // .u00
    {25, MakeD64HoldingFile}, // .r00
    // Sequential files until they have a viewer of their own: shown as the file they are.
    {26, MakeD64HoldingFile}, // .s00
    {5, MakeD64HoldingFile},  // .seq
    {37, MakeD64HoldingFile}, // no extension
}};

// Rows that name no container at all: listings written by Save As, the catch-all filter
// and the Zipcode pattern. Opening them fails without a word.
constexpr std::array<int, 4> kNotContainers = {19, 20, 11, 6};

Factory FactoryFor(int id) {
    for (const FactoryRow& row : kFactories)
        if (row.id == id) return row.make;
    return nullptr;
}

bool IsNotContainer(int id) {
    for (int quiet : kNotContainers)
        if (quiet == id) return true;
    return false;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

const FormatRow* RowForExtension(const std::string& extension) {
    if (extension.empty()) return nullptr;
    for (const FormatRow& row : FormatRegistry)
        if (SameIgnoringCase(extension, row.extension)) return &row;
    return nullptr;
}

// "1!NAME" to "5!NAME": one file of a Zipcode set.
bool IsZipcodePart(const std::string& path) {
    std::string name = DiskImage::FileNamePart(path);
    return name.size() >= 2 && name[0] >= '1' && name[0] <= '5' && name[1] == '!';
}

} // namespace

std::unique_ptr<DiskImage> MakeDiskImage(int formatId, Settings* settings) {
    switch (formatId) {
    case FormatId::D64: return std::make_unique<D64Image>(settings);
    case 2: return std::make_unique<D71Image>(settings);
    case 3: return std::make_unique<D81Image>(settings);
    case 16: return std::make_unique<D80Image>(settings);
    case 17: return std::make_unique<D82Image>(settings);
    default: return nullptr;
    }
}

std::string ContainerExtension(const std::string& hostPath) {
    size_t dot = hostPath.rfind('.');
    size_t separator = hostPath.find_last_of("/\\");
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) return {};
    return hostPath.substr(dot);
}

std::unique_ptr<DiskImage> OpenContainer(Interaction* owner, const std::string& hostPath,
                                         std::span<const uint8_t> data, int formatId,
                                         [[maybe_unused]] DiskImage* parent, bool reportErrors,
                                         Settings* settings) {
    Interaction* ui = reportErrors ? owner : nullptr;
    const FormatRow* row = RowForExtension(ContainerExtension(hostPath));
    if (!row && !data.empty()) row = FindRowById(formatId);
    if (!row) {
        // Zipcode sets are not read yet; the caller reports the failure.
        if (IsZipcodePart(hostPath)) return nullptr;
        ReportError(ui, "Unknown File Extension " + hostPath);
        return nullptr;
    }
    Factory make = FactoryFor(row->id);
    if (!make) {
        if (!IsNotContainer(row->id))
            ReportError(ui, "Unable to Open File " + DiskImage::FileNamePart(hostPath));
        return nullptr;
    }
    std::unique_ptr<DiskImage> image =
        make(FactoryCall{owner, hostPath, row->id, reportErrors, data, settings});
    if (!image) return nullptr;
    // A disk made to hold a single file is complete: its bytes are not the file's.
    if ((row->flags & kFormatOpenAfterFactory) && make != MakeD64HoldingFile) {
        if (!image->Open(ui, hostPath, data.empty(), true)) return nullptr;
        image->SetOwner(owner);
        if (!data.empty()) image->LoadFromMemory(data);
    }
    if (reportErrors && formatId == 0 && settings) settings->AddRecentFile(hostPath);
    return image;
}

} // namespace tessarind
