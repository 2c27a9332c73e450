#include "ui/DialogFilter.h"

#include <algorithm>

#include "model/FormatRegistry.h"

namespace tessarind {

namespace {

std::string Pattern(std::string_view extension) {
    std::string text;
    if (!extension.empty() && extension[0] == '.') text = "*";
    text.append(extension);
    return text;
}

} // namespace

std::vector<FilterItem> DialogFilter::Build(std::span<const FilterGroup> groups, int firstKind) {
    std::vector<FilterItem> items;
    if (firstKind != 0) {
        if (const FormatRow* row = FindRowById(firstKind)) {
            std::string pattern = "*";
            pattern.append(row->extension);
            items.push_back({std::string(row->displayName) + " (" + pattern + ")", pattern});
        }
    }
    for (const FilterGroup& group : groups) {
        std::string joined;
        size_t count = std::min(group.formatIds.size(), kMaxGroupKinds);
        for (size_t i = 0; i < count; ++i) {
            const FormatRow* row = FindRowById(group.formatIds[i]);
            if (!row) continue;
            if (!joined.empty()) joined += ';';
            joined += Pattern(row->extension);
        }
        items.push_back({std::string(group.name) + " (" + joined + ")", joined});
    }
    return items;
}

const std::vector<FilterGroup>& DialogFilter::OpenGroups() {
    return FormatCatalog::OpenFilterGroups();
}

const std::vector<FilterGroup>& DialogFilter::ImportGroups() {
    return FormatCatalog::ImportFilterGroups();
}

QStringList DialogFilter::NameFilters(const std::vector<FilterItem>& items) {
    QStringList filters;
    for (const FilterItem& item : items) {
        QString display = QString::fromStdString(item.display);
        // Qt reads the patterns inside the last parentheses, separated by blanks.
        int open = display.lastIndexOf(QLatin1Char('('));
        if (open >= 0) {
            QString patterns = display.mid(open);
            patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
            display = display.left(open) + patterns;
        }
        filters.push_back(display);
    }
    return filters;
}

} // namespace tessarind
