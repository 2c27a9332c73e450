#pragma once
// The one place that knows every container kind: for each format id, how a file of that kind
// is opened, whether an empty image of it can be made, and how the New menu offers it. The
// facts every layer needs (extension, display name, CBM type) are the registry's; a kind the
// registry does not know brings its own row of them.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/FormatRegistry.h"

namespace tessarind {

class DiskImage;
class Interaction;
class Settings;
struct CatalogRow;

// What a factory is given to build a container.
struct FactoryCall {
    const CatalogRow& row;
    Interaction* owner;
    const std::string& path;
    bool reportErrors;
    std::span<const uint8_t> data;
    Settings* settings;
};

// Builds the container a file (or bytes in memory) of the row's kind opens as; none on failure.
using ContainerFactory = std::unique_ptr<DiskImage> (*)(const FactoryCall& call);
// An empty object of an image kind, to be opened or made blank.
using ImageFactory = std::unique_ptr<DiskImage> (*)(Settings* settings);

template <class Image> std::unique_ptr<DiskImage> MakeImage(Settings* settings) {
    return std::make_unique<Image>(settings);
}

// The factory of the disk and tape kinds: the row's empty image, which the opener then loads.
std::unique_ptr<DiskImage> OpenImageKind(const FactoryCall& call);

struct CatalogRow {
    int id = FormatId::None;
    ContainerFactory open = nullptr; // none: the kind opens nothing (yet)
    ImageFactory make = nullptr;     // none: not an image kind (or not read yet)
    bool makesBlank = false;         // Make and Open with create gives a blank image
    bool quiet = false;              // opening it fails without a word (listings, "All", Zipcode)
    std::string_view newMenuText;    // the New item; empty when New does not offer the kind
    int newCommand = 0;              // the New item's command id
    const FormatRow* ownInfo = nullptr; // the facts of a kind outside the registry

    // The registry facts of the kind (or its own).
    const FormatRow& Info() const;
};

// One item of an open or import dialog's filter list: a name and the kinds it shows.
struct FilterGroup {
    std::string_view name;
    std::vector<int> formatIds; // at most 38
};

class FormatCatalog {
public:
    explicit FormatCatalog(std::vector<CatalogRow> rows) : rows_(std::move(rows)) {}
    // Every kind the program reads or makes.
    static const FormatCatalog& Builtin();

    std::span<const CatalogRow> Rows() const { return rows_; }
    const CatalogRow* ById(int id) const;
    // The row whose extension equals the path's (compared without regard to case).
    const CatalogRow* ForPath(const std::string& path) const;
    // An empty image object of the kind; none when the kind is no image.
    std::unique_ptr<DiskImage> Make(int id, Settings* settings) const;
    bool MakesBlank(int id) const;
    // The filter groups of the Open dialog and of the Import dialog (host files to insert), in
    // list order.
    static const std::vector<FilterGroup>& OpenFilterGroups();
    static const std::vector<FilterGroup>& ImportFilterGroups();
    // A copy of the catalog with one more kind, tried before the others.
    FormatCatalog With(const CatalogRow& row) const;

private:
    std::vector<CatalogRow> rows_;
};

} // namespace tessarind
