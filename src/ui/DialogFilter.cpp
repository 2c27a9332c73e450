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
    static const std::vector<FilterGroup> groups = {
        {"All Disks", {1, 2, 3, 4, 21, 30, 22, 16, 17, 23}},
        {"1541", {1}},
        {"1571", {2}},
        {"1581", {3}},
        {"CMD", {21, 30, 22}},
        {"1541 GCR", {4}},
        {"Seq Files", {5, 15, 26}},
        {"Zipcode", {6}},
        {"Compressed Files", {9, 7, 29, 10, 8, 33}},
        {"Tapes", {18}},
        {"Single Files", {12, 5, 14, 13, 15, 24, 25, 26, 27, 28}},
        {"GEOS Files", {28, 35}},
        {"8050, 8250", {16, 17}},
        {"DFI", {23}},
    };
    return groups;
}

const std::vector<FilterGroup>& DialogFilter::ImportGroups() {
    static const std::vector<FilterGroup> groups = {
        {"Single Files", {12, 5, 13, 14, 15, 24, 26, 25, 27, 28}},
        {"PRG", {12}},
        {"SEQ", {5}},
        {"REL", {13}},
        {"USR", {14}},
        {"ASCII", {15}},
        {"PC64 Files", {24, 26, 25, 27}},
        {"GEOS Files", {28}},
        {"All Files", {11}},
    };
    return groups;
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
