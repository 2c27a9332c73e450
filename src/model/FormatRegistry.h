#pragma once
// The fixed table of every kind of file the program reads or writes. Lookups take the first
// matching row, so the order of the rows matters.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessarind {

enum FormatFlag : uint32_t {
    kFormatSingleCbmFile = 0x1,
    kFormatOpenAfterFactory = 0x2,
    kFormatArchive = 0x4,
    kFormatWriteOnly = 0x8,
};

enum FormatKind : uint32_t {
    kKindNone = 0,
    kKindImage = 1,
    kKindSingleFile = 2,
    kKindText = 3,
};

inline constexpr int kCbmTypeNone = 7; // not a CBM file
inline constexpr int kCbmTypeHostText = 8;

struct FormatRow {
    int id;
    std::string_view extension; // with its dot; empty for the unnamed row
    std::string_view displayName;
    int viewClass;
    uint32_t kind;
    uint32_t flags;
    int cbmType;
};

inline constexpr int kFormatRowCount = 36;
extern const std::array<FormatRow, kFormatRowCount> FormatRegistry;

// Every kind of file the program knows, by its format id. Ids are kept in settings and
// association classes, so they never change; 34 is not used.
namespace FormatId {
enum Id : int {
    None = 0,
    D64 = 1,
    D71 = 2,
    D81 = 3,
    G64 = 4,
    Seq = 5,
    Zipcode = 6,
    Sda = 7,
    Arc = 8,
    Lha = 9,
    Lynx = 10,
    All = 11,
    Prg = 12,
    Rel = 13,
    Usr = 14,
    Text = 15,
    D80 = 16,
    D82 = 17,
    T64 = 18,
    Bitmap = 19,
    Csv = 20,
    D2m = 21,
    Dnp = 22,
    Dfi = 23,
    P00 = 24,
    R00 = 25,
    S00 = 26,
    U00 = 27,
    Cvt = 28,
    Sfx = 29,
    Dhd = 30,
    Del = 31,
    Cmd = 32,
    Ark = 33,
    Wr3 = 35,
    Cbm = 36,
    Unnamed = 37, // a file without an extension
};
} // namespace FormatId

// The extension of a path: the text from the last dot of its file-name part, or empty.
std::string ContainerExtension(std::string_view hostPath);
// The row whose extension equals the path's, compared without regard to case; how a file is
// opened. None when the path has no extension or no row has it.
const FormatRow* FindRowForPath(std::string_view hostPath);
// First row whose extension is a case-insensitive prefix of `text` (which starts at a dot);
// rows with an empty extension are skipped. -1 when none.
int FindRowByExtension(std::string_view text);
// The row of a host file name for saving, importing and exporting: FindRowByExtension on the
// text from its last dot. None without a dot or a matching row.
const FormatRow* FindRowForName(std::string_view fileName);
const FormatRow* FindRowById(int id);
const FormatRow* FindRowByCbmType(int cbmType);
// The PC64 row for a CBM type code: SEQ .s00, PRG .p00, USR .u00, REL .r00; none otherwise.
const FormatRow* PcFormatForType(int cbmType);

} // namespace tessarind
