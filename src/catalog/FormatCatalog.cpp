#include "catalog/FormatCatalog.h"

#include <array>
#include <vector>

#include "archives/UnpackArchive.h"
#include "archives/Zipcode.h"
#include "formats/CmdContainerImage.h"
#include "formats/D64Image.h"
#include "formats/D71Image.h"
#include "formats/D80Image.h"
#include "formats/D81Image.h"
#include "formats/DfiImage.h"
#include "formats/DnpImage.h"
#include "formats/G64Image.h"
#include "formats/T64Image.h"
#include "formats/TextDocument.h"
#include "model/SafeFile.h"
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

// SEQ, PC64 sequential and host text files open as the text they hold.
std::unique_ptr<DiskImage> OpenTextDocument(const FactoryCall& call) {
    auto document = std::make_unique<TextDocument>(call.row.id, call.settings);
    document->SetOwner(call.reportErrors ? call.owner : nullptr);
    const bool opened = call.data.empty()
                            ? document->Open(document->owner(), call.path, true, false)
                            : document->OpenBytes(call.path, call.data);
    if (!opened) return nullptr;
    document->SetOwner(call.owner);
    return document;
}

// An archive unpacks into a new image of its own; a kind without a reader yet is refused.
std::unique_ptr<DiskImage> OpenArchive(const FactoryCall& call) {
    Interaction* ui = call.reportErrors ? call.owner : nullptr;
    const std::string name = DiskImage::FileNamePart(call.path);
    if (!ArchiveReaderFor(call.row.id)) {
        ReportError(ui, "Unable to Open File " + name + ": unpacking " +
                            std::string(call.row.Info().displayName) +
                            " files is not available yet");
        return nullptr;
    }
    std::vector<uint8_t> read;
    std::span<const uint8_t> bytes = call.data;
    if (bytes.empty()) {
        bool openFailed = false;
        if (!ReadWholeFile(call.path, read, openFailed)) {
            ReportError(ui, "Unable to Open File " + name);
            return nullptr;
        }
        bytes = read;
    }
    return UnpackArchive(bytes, call.path, call.row.id, call.owner, call.reportErrors,
                         call.settings);
}

// Any part of a Zipcode set opens the whole set.
std::unique_ptr<DiskImage> OpenZipcode(const FactoryCall& call) {
    return OpenZipcodeSet(call.owner, call.path, call.reportErrors, call.settings);
}

CatalogRow Disk(int id, ImageFactory make, std::string_view newText, int newCommand) {
    return {id, OpenImageKind, make, true, false, newText, newCommand};
}
// A kind that is only read: New does not offer it.
CatalogRow ReadOnlyDisk(int id, ImageFactory make) {
    return {id, OpenImageKind, make, false, false, {}, 0};
}
template <int Id> std::unique_ptr<DiskImage> MakeContainer(Settings* settings) {
    return std::make_unique<CmdContainerImage>(Id, settings);
}
CatalogRow SingleFile(int id) { return {id, OpenHoldingFile, nullptr, false, false, {}, 0}; }
CatalogRow TextFile(int id) {
    return {id, OpenTextDocument, nullptr, false, false, {}, 0};
}
CatalogRow Archive(int id) { return {id, OpenArchive, nullptr, false, false, {}, 0}; }
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
        ReadOnlyDisk(FormatId::G64, MakeImage<G64Image>),
        Disk(FormatId::D2m, MakeContainer<FormatId::D2m>, "D&2M", 2087),
        // HD images are only ever opened: no blank one is made.
        ReadOnlyDisk(FormatId::Dhd, MakeContainer<FormatId::Dhd>),
        Disk(FormatId::Dfi, MakeImage<DfiImage>, "D&FI", 2160),
        Disk(FormatId::Dnp, MakeImage<DnpImage>, "D&NP", 2086),
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
        TextFile(FormatId::S00),
        TextFile(FormatId::Seq),
        TextFile(FormatId::Text),
        SingleFile(FormatId::Unnamed),
        Archive(FormatId::Sda),
        Archive(FormatId::Arc),
        Archive(FormatId::Lha),
        Archive(FormatId::Lynx),
        Archive(FormatId::Cvt),
        Archive(FormatId::Sfx),
        Archive(FormatId::Ark),
        Archive(FormatId::Wr3),
        // Opened by the name of any of its parts, never by an extension.
        {FormatId::Zipcode, OpenZipcode, nullptr, false, true, {}, 0},
        // Listings written by Save As and the catch-all filter name no container at all.
        Quiet(FormatId::Bitmap),
        Quiet(FormatId::Csv),
        Quiet(FormatId::All),
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
