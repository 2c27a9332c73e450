#include "model/FormatRegistry.h"

#include <cctype>

namespace tessarind {

const std::array<FormatRow, kFormatRowCount> FormatRegistry = {{
    {12, ".prg", "PRG", 0, 2, 0x1, 2},
    {14, ".usr", "USR", 0, 2, 0x1, 3},
    {13, ".rel", "REL", 0, 2, 0x1, 4},
    {5, ".seq", "Seq File", 2, 3, 0x3, 1},
    {37, "", "???", 0, 2, 0x0, 7},
    {1, ".d64", "1541", 0, 1, 0x3, 7},
    {2, ".d71", "1571", 0, 1, 0x3, 7},
    {16, ".d80", "8050", 0, 1, 0x3, 7},
    {3, ".d81", "1581", 1, 1, 0x3, 7},
    {17, ".d82", "8250", 0, 1, 0x3, 7},
    {4, ".g64", "GCR", 0, 1, 0x3, 7},
    {21, ".d2m", "CMD FD2000", 1, 1, 0x3, 7},
    {30, ".dhd", "CMD HD", 1, 1, 0x3, 7},
    {6, "?!*", "Zipcode", 0, 1, 0x4, 7},
    {8, ".arc", "Archive", 0, 1, 0x5, 2},
    {7, ".sda", "Self Dissolving Archive", 0, 1, 0x5, 2},
    {9, ".lha", "LHA", 0, 1, 0x5, 2},
    {10, ".lnx", "Lynx", 0, 1, 0x5, 2},
    {11, ".*", "All", 0, 0, 0x0, 7},
    {24, ".p00", "P00", 0, 2, 0x1, 2},
    {27, ".u00", "U00", 0, 2, 0x1, 3},
    {25, ".r00", "R00", 0, 2, 0x1, 4},
    {26, ".s00", "S00", 2, 2, 0x3, 1},
    {15, ".txt", "TXT", 2, 2, 0xa, 8},
    {18, ".t64", "Tape", 3, 0, 0x3, 7},
    {19, ".bmp", "Bitmap", 0, 2, 0x8, 7},
    {20, ".csv", "Comma Separated", 0, 2, 0x8, 7},
    {22, ".dnp", "CMD Native Partition", 0, 1, 0x3, 7},
    {23, ".dfi", "Dreamload File Archive", 0, 1, 0x3, 7},
    {28, ".cvt", "GEOS Convert File", 0, 2, 0x5, 2},
    {33, ".ark", "Arkive", 0, 1, 0x5, 7},
    {29, ".sfx", "Self Extracting LHA", 0, 1, 0x5, 2},
    {31, ".del", "DEL", 0, 2, 0x1, 0},
    {32, ".cmd", "CMD", 0, 2, 0x1, 6},
    {36, ".cbm", "CBM", 0, 2, 0x1, 5},
    {35, ".wr3", "GEOS Wraptor", 0, 1, 0x5, 2},
}};

static bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

int FindRowByExtension(std::string_view text) {
    for (size_t i = 0; i < FormatRegistry.size(); ++i) {
        const FormatRow& row = FormatRegistry[i];
        if (!row.extension.empty() && StartsWithIgnoringCase(text, row.extension))
            return static_cast<int>(i);
    }
    return -1;
}

const FormatRow* FindRowById(int id) {
    for (const FormatRow& row : FormatRegistry)
        if (row.id == id) return &row;
    return nullptr;
}

const FormatRow* FindRowByCbmType(int cbmType) {
    for (const FormatRow& row : FormatRegistry)
        if (row.cbmType == cbmType) return &row;
    return nullptr;
}

const FormatRow* PcFormatForType(int cbmType) {
    switch (cbmType) {
    case 1: return FindRowById(26);
    case 2: return FindRowById(24);
    case 3:
        return FindRowById(27); // USR has its PC64 form too; other tools read it
    case 4: return FindRowById(25);
    default: return nullptr;
    }
}

} // namespace tessarind
