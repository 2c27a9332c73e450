#include "ui/KeyCommandTable.h"

namespace tessarind {

using namespace cmd;

// clang-format off
const std::array<KeyCommandRow, kKeyCommandRowCount> KeyCommandTable = {{
    {Qt::Key_A, true, false, SelectAll},
    {Qt::Key_C, false, false, Center},
    {Qt::Key_D, false, false, TypeDel},
    {Qt::Key_E, false, false, Rename},
    {Qt::Key_E, true, false, Export},
    {Qt::Key_I, true, false, Import},
    {Qt::Key_J, false, false, JumpToSector},
    {Qt::Key_J, false, true, JumpToSideSector},
    {Qt::Key_L, false, false, LeftJustify},
    {Qt::Key_P, false, false, TypePrg},
    {Qt::Key_R, false, false, RightJustify},
    {Qt::Key_S, false, false, TypeSeq},
    {Qt::Key_U, false, false, TypeUsr},
    {Qt::Key_V, false, false, ViewFile},
    {Qt::Key_X, false, false, Expand},
    {Qt::Key_Z, false, false, Uncompress},
    {Qt::Key_1, true, false, RunIn(1)},
    {Qt::Key_2, true, false, RunIn(2)},
    {Qt::Key_3, true, false, RunIn(3)},
    {Qt::Key_4, true, false, RunIn(4)},
    {Qt::Key_4, false, false, ListDir},
    {Qt::Key_4, false, true, ListDir},
    {Qt::Key_5, true, false, RunIn(5)},
    {Qt::Key_6, false, false, NewD64},
    {Qt::Key_6, true, false, RunIn(6)},
    {Qt::Key_7, false, false, NewD71},
    {Qt::Key_7, true, false, RunIn(7)},
    {Qt::Key_8, false, false, NewD81},
    {Qt::Key_8, true, false, RunIn(8)},
    {Qt::Key_F3, false, false, BamEditor},
    {Qt::Key_F2, false, false, Rename},
    {Qt::Key_Insert, false, false, Insert},
    {Qt::Key_Delete, false, false, Remove},
}};
// clang-format on

std::optional<CommandId> LookupKeyCommand(int key, Qt::KeyboardModifiers modifiers) {
    if (modifiers & (Qt::AltModifier | Qt::MetaModifier)) return std::nullopt;
    if (key == Qt::Key_Dollar) key = Qt::Key_4;
    const bool ctrl = (modifiers & Qt::ControlModifier) != 0;
    const bool shift = (modifiers & Qt::ShiftModifier) != 0;
    for (const KeyCommandRow& row : KeyCommandTable)
        if (row.key == key && row.ctrl == ctrl && row.shift == shift) return row.id;
    return std::nullopt;
}

} // namespace tessarind
