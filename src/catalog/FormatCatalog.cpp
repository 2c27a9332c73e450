#include "catalog/FormatCatalog.h"

#include <array>
#include <vector>

#include "formats/D64Image.h"
#include "formats/D71Image.h"
#include "formats/D80Image.h"
#include "formats/D81Image.h"
#include "formats/DfiImage.h"
#include "formats/T64Image.h"
#include "text/AsciiCase.h"
#include "text/Petscii.h"

namespace tessarind {

namespace {

// The file-name part without its extension.
std::string Stem(const std::string& path) {
    std::string name = DiskImage::FileNamePart(path);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// A single CBM file is shown as a new 1541 image that holds it. The image keeps the file's
// path for its title but stays untitled, so saving asks for a name instead of writing the
// image over the file it came from.
std::unique_ptr<DiskImage> OpenHoldingFile(const FactoryCall& call) {
    auto image = std::make_unique<D64Image>(call.settings);
    if (!image->Open(call.owner, call.path, false, true)) return nullptr;
    bool inserted = false;
    if (!call.data.empty()) {
        const FormatRow* row = &call.row.Info();
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
    image->SetFlag(kFlagUntitled, true);
    return image;
}

CatalogRow Disk(int id, ImageFactory make, std::string_view newText, int newCommand) {
    return {id, OpenImageKind, make, true, false, newText, newCommand};
}
// A kind New offers that cannot be made yet: its item stays greyed.
CatalogRow NotYetMade(int id, std::string_view newText, int newCommand) {
    return {id, nullptr, nullptr, false, false, newText, newCommand};
}
CatalogRow SingleFile(int id) { return {id, OpenHoldingFile, nullptr, false, false, {}, 0}; }
CatalogRow Quiet(int id) { return {id, nullptr, nullptr, false, true, {}, 0}; }

} // namespace

std::unique_ptr<DiskImage> OpenImageKind(const FactoryCall& call) {
    return call.row.make ? call.row.make(call.settings) : nullptr;
}

const FormatRow& CatalogRow::Info() const {
    if (ownInfo) return *ownInfo;
    const FormatRow* row = FindRowById(id);
    return row ? *row : *FindRowById(FormatId::Unnamed);
}

const FormatCatalog& FormatCatalog::Builtin() {
    // The New menu lists its kinds in this order.
    static const FormatCatalog catalog({
        Disk(FormatId::D64, MakeImage<D64Image>, "D&64\t6", 2057),
        Disk(FormatId::D71, MakeImage<D71Image>, "D&71\t7", 2058),
        Disk(FormatId::D80, MakeImage<D80Image>, "D&80", 2116),
        Disk(FormatId::D81, MakeImage<D81Image>, "D&81\t8", 2059),
        Disk(FormatId::D82, MakeImage<D82Image>, "D&82", 2117),
        NotYetMade(FormatId::D2m, "D&2M", 2087),
        Disk(FormatId::Dfi, MakeImage<DfiImage>, "D&FI", 2160),
        NotYetMade(FormatId::Dnp, "D&NP", 2086),
        Disk(FormatId::T64, MakeImage<T64Image>, "&T64", 2180),
        SingleFile(FormatId::Prg),
        SingleFile(FormatId::Usr),
        SingleFile(FormatId::Rel),
        SingleFile(FormatId::Del),
        SingleFile(FormatId::Cbm),
        SingleFile(FormatId::Cmd),
        SingleFile(FormatId::P00),
        SingleFile(FormatId::U00),
        SingleFile(FormatId::R00),
        // Sequential files until they have a viewer of their own: shown as the file they are.
        SingleFile(FormatId::S00),
        SingleFile(FormatId::Seq),
        SingleFile(FormatId::Unnamed),
        // Listings written by Save As, the catch-all filter and the Zipcode pattern name no
        // container at all.
        Quiet(FormatId::Bitmap),
        Quiet(FormatId::Csv),
        Quiet(FormatId::All),
        Quiet(FormatId::Zipcode),
    });
    return catalog;
}

const CatalogRow* FormatCatalog::ById(int id) const {
    for (const CatalogRow& row : rows_)
        if (row.id == id) return &row;
    return nullptr;
}

const CatalogRow* FormatCatalog::ForPath(const std::string& path) const {
    const std::string extension = ContainerExtension(path);
    if (extension.empty()) return nullptr;
    for (const CatalogRow& row : rows_)
        if (row.ownInfo && SameTextIgnoringCase(extension, row.ownInfo->extension)) return &row;
    const FormatRow* known = FindRowForPath(path);
    return known ? ById(known->id) : nullptr;
}

std::unique_ptr<DiskImage> FormatCatalog::Make(int id, Settings* settings) const {
    const CatalogRow* row = ById(id);
    return row && row->make ? row->make(settings) : nullptr;
}

bool FormatCatalog::MakesBlank(int id) const {
    const CatalogRow* row = ById(id);
    return row && row->make && row->makesBlank;
}

const std::vector<FilterGroup>& FormatCatalog::OpenFilterGroups() {
    using namespace FormatId;
    static const std::vector<FilterGroup> groups = {
        {"All Disks", {D64, D71, D81, G64, D2m, Dhd, Dnp, D80, D82, Dfi}},
        {"1541", {D64}},
        {"1571", {D71}},
        {"1581", {D81}},
        {"CMD", {D2m, Dhd, Dnp}},
        {"1541 GCR", {G64}},
        {"Seq Files", {Seq, Text, S00}},
        {"Zipcode", {Zipcode}},
        {"Compressed Files", {Lha, Sda, Sfx, Lynx, Arc, Ark}},
        {"Tapes", {T64}},
        {"Single Files", {Prg, Seq, Usr, Rel, Text, P00, R00, S00, U00, Cvt}},
        {"GEOS Files", {Cvt, Wr3}},
        {"8050, 8250", {D80, D82}},
        {"DFI", {Dfi}},
    };
    return groups;
}

const std::vector<FilterGroup>& FormatCatalog::ImportFilterGroups() {
    using namespace FormatId;
    static const std::vector<FilterGroup> groups = {
        {"Single Files", {Prg, Seq, Rel, Usr, Text, P00, S00, R00, U00, Cvt}},
        {"PRG", {Prg}},
        {"SEQ", {Seq}},
        {"REL", {Rel}},
        {"USR", {Usr}},
        {"ASCII", {Text}},
        {"PC64 Files", {P00, S00, R00, U00}},
        {"GEOS Files", {Cvt}},
        {"All Files", {All}},
    };
    return groups;
}

FormatCatalog FormatCatalog::With(const CatalogRow& row) const {
    std::vector<CatalogRow> rows;
    rows.reserve(rows_.size() + 1);
    rows.push_back(row);
    rows.insert(rows.end(), rows_.begin(), rows_.end());
    return FormatCatalog(std::move(rows));
}

} // namespace tessarind
