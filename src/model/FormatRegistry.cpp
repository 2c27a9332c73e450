#include "model/FormatRegistry.h"

#include "text/AsciiCase.h"

namespace tessarind {

const std::array<FormatRow, kFormatRowCount> FormatRegistry = {{
    {FormatId::Prg, ".prg", "PRG", 0, 2, 0x1, 2},
    {FormatId::Usr, ".usr", "USR", 0, 2, 0x1, 3},
    {FormatId::Rel, ".rel", "REL", 0, 2, 0x1, 4},
    {FormatId::Seq, ".seq", "Seq File", 2, 3, 0x3, 1},
    {FormatId::Unnamed, "", "???", 0, 2, 0x0, 7},
    {FormatId::D64, ".d64", "1541", 0, 1, 0x3, 7},
    {FormatId::D71, ".d71", "1571", 0, 1, 0x3, 7},
    {FormatId::D80, ".d80", "8050", 0, 1, 0x3, 7},
    {FormatId::D81, ".d81", "1581", 1, 1, 0x3, 7},
    {FormatId::D82, ".d82", "8250", 0, 1, 0x3, 7},
    {FormatId::G64, ".g64", "GCR", 0, 1, 0x3, 7},
    {FormatId::D2m, ".d2m", "CMD FD2000", 1, 1, 0x3, 7},
    {FormatId::Dhd, ".dhd", "CMD HD", 1, 1, 0x3, 7},
    {FormatId::Zipcode, "?!*", "Zipcode", 0, 1, 0x4, 7},
    {FormatId::Arc, ".arc", "Archive", 0, 1, 0x5, 2},
    {FormatId::Sda, ".sda", "Self Dissolving Archive", 0, 1, 0x5, 2},
    {FormatId::Lha, ".lha", "LHA", 0, 1, 0x5, 2},
    {FormatId::Lynx, ".lnx", "Lynx", 0, 1, 0x5, 2},
    {FormatId::All, ".*", "All", 0, 0, 0x0, 7},
    {FormatId::P00, ".p00", "P00", 0, 2, 0x1, 2},
    {FormatId::U00, ".u00", "U00", 0, 2, 0x1, 3},
    {FormatId::R00, ".r00", "R00", 0, 2, 0x1, 4},
    {FormatId::S00, ".s00", "S00", 2, 2, 0x3, 1},
    {FormatId::Text, ".txt", "TXT", 2, 2, 0xa, 8},
    {FormatId::T64, ".t64", "Tape", 3, 0, 0x3, 7},
    {FormatId::Bitmap, ".bmp", "Bitmap", 0, 2, 0x8, 7},
    {FormatId::Csv, ".csv", "Comma Separated", 0, 2, 0x8, 7},
    {FormatId::Dnp, ".dnp", "CMD Native Partition", 0, 1, 0x3, 7},
    {FormatId::Dfi, ".dfi", "Dreamload File Archive", 0, 1, 0x3, 7},
    {FormatId::Cvt, ".cvt", "GEOS Convert File", 0, 2, 0x5, 2},
    {FormatId::Ark, ".ark", "Arkive", 0, 1, 0x5, 7},
    {FormatId::Sfx, ".sfx", "Self Extracting LHA", 0, 1, 0x5, 2},
    {FormatId::Del, ".del", "DEL", 0, 2, 0x1, 0},
    {FormatId::Cmd, ".cmd", "CMD", 0, 2, 0x1, 6},
    {FormatId::Cbm, ".cbm", "CBM", 0, 2, 0x1, 5},
    {FormatId::Wr3, ".wr3", "GEOS Wraptor", 0, 1, 0x5, 2},
}};

int FindRowByExtension(std::string_view text) {
    for (size_t i = 0; i < FormatRegistry.size(); ++i) {
        const FormatRow& row = FormatRegistry[i];
        if (!row.extension.empty() && StartsWithIgnoringCase(text, row.extension))
            return static_cast<int>(i);
    }
    return -1;
}

const FormatRow* FindRowForName(std::string_view fileName) {
    size_t dot = fileName.rfind('.');
    int row = dot == std::string_view::npos ? -1 : FindRowByExtension(fileName.substr(dot));
    return row < 0 ? nullptr : &FormatRegistry[static_cast<size_t>(row)];
}

std::string ContainerExtension(std::string_view hostPath) {
    size_t dot = hostPath.rfind('.');
    size_t separator = hostPath.find_last_of("/\\");
    if (dot == std::string_view::npos || (separator != std::string_view::npos && dot < separator))
        return {};
    return std::string(hostPath.substr(dot));
}

const FormatRow* FindRowForPath(std::string_view hostPath) {
    std::string extension = ContainerExtension(hostPath);
    if (extension.empty()) return nullptr;
    for (const FormatRow& row : FormatRegistry)
        if (SameTextIgnoringCase(extension, row.extension)) return &row;
    return nullptr;
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
    case 1: return FindRowById(FormatId::S00);
    case 2: return FindRowById(FormatId::P00);
    case 3: return FindRowById(FormatId::U00); // USR has its PC64 form too; other tools read it
    case 4: return FindRowById(FormatId::R00);
    default: return nullptr;
    }
}

} // namespace tessarind
