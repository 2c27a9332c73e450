#pragma once
// The filter list of the open and save dialogs, built from the catalog's groups of kinds.

#include <QStringList>
#include <span>
#include <string>
#include <vector>

#include "catalog/FormatCatalog.h"

namespace tessarind {

// One entry of the dialog's list: the text shown and the patterns, joined by ";".
struct FilterItem {
    std::string display;
    std::string pattern;
};

class DialogFilter {
public:
    static constexpr size_t kMaxGroupKinds = 38;

    // With firstKind (a format id, not 0) its own item comes first: "%s (*%s)" and "*%s".
    // Each group then gives "Name (*.a;*.b)" and "*.a;*.b"; an extension that does not start
    // with a dot (the Zipcode pattern) gets no "*".
    static std::vector<FilterItem> Build(std::span<const FilterGroup> groups, int firstKind = 0);

    // The groups of the Open dialog, in list order.
    static const std::vector<FilterGroup>& OpenGroups();
    // The groups of the Import dialog (host files to insert), in list order.
    static const std::vector<FilterGroup>& ImportGroups();

    // The items in the form Qt's file dialogs read: patterns separated by blanks.
    static QStringList NameFilters(const std::vector<FilterItem>& items);
};

} // namespace tessarind
