#pragma once
// The fixed table of every kind of file the program reads or writes. Lookups take the first
// matching row, so the order of the rows matters.

#include <array>
#include <cstdint>
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

// Format ids used by name in the code.
namespace FormatId {
inline constexpr int D64 = 1;
inline constexpr int G64 = 4;
inline constexpr int Seq = 5;
inline constexpr int Prg = 12;
inline constexpr int Text = 15;
inline constexpr int Bitmap = 19;
inline constexpr int Csv = 20;
} // namespace FormatId

// First row whose extension is a case-insensitive prefix of `text` (which starts at a dot);
// rows with an empty extension are skipped. -1 when none.
int FindRowByExtension(std::string_view text);
const FormatRow* FindRowById(int id);
const FormatRow* FindRowByCbmType(int cbmType);
// The PC64 row for a CBM type code: SEQ .s00, PRG .p00, USR .u00, REL .r00; none otherwise.
const FormatRow* PcFormatForType(int cbmType);

} // namespace tessarind
