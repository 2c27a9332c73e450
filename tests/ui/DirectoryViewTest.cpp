// The directory view: its picture against the core renderer, the keys, the mouse selection,
// the in-place editor and the commands that change the container through it.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QKeySequence>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QtTest>
#include <functional>
#include <map>

#include "UiTestSupport.h"
#include "model/DiskImage.h"
#include "model/FormatRegistry.h"
#include "support/ArchiveBuilder.h"
#include "catalog/ImageOpener.h"
#include "text/CbmFont.h"
#include "catalog/DirectoryListing.h"
#include "ui/BamView.h"
#include "ui/SectorEditorView.h"
#include "ui/CbmEdit.h"
#include "ui/CommandActions.h"
#include "ui/CommandEnableTable.h"
#include "ui/CrossLinkDialog.h"
#include "ui/DialogFilter.h"
#include "ui/DirPreview.h"
#include "ui/DirectoryView.h"
#include "ui/ImageDocument.h"
#include "ui/InPlaceEditor.h"
#include "ui/KeyCommandTable.h"

using namespace tessarind;
using namespace tessarind::testing;

namespace {

// A disk with four files: two plain ones, a locked one and a closed DEL entry.
std::string WriteSampleDisk(const QString& path) {
    auto image = BlankD64("SAMPLE DISK", "SD 2A");
    AddFile(*image, {"FIRST", 0x82, Pattern(300)});
    AddFile(*image, {"SECOND", 0x81, Pattern(100, 2)});
    AddFile(*image, {"LOCKED", 0xC2, Pattern(20, 3)});
    AddFile(*image, {"GONE", 0x80, {}});
    image->WriteFile(path.toStdString());
    return path.toStdString();
}

std::string NameOf(DiskImage& image, int index) {
    DirEntry entry = image.EntryAt(index);
    if (!entry) return {};
    std::string name(entry.name().begin(), entry.name().end());
    return name.substr(0, name.find('\xA0'));
}

struct ViewFixture : FrameFixture {
    DirectoryView* view = nullptr;
    DiskImage* image = nullptr;
    bool windowActive = false;

    ViewFixture() {
        frame->OpenPath(WriteSampleDisk(Path(QStringLiteral("sample.d64"))));
        view = dynamic_cast<DirectoryView*>(frame->activeView());
        image = view ? view->Image() : nullptr;
        // Focus matters to the click-to-rename and to the in-place editor.
        frame->activateWindow();
        windowActive = QTest::qWaitForWindowActive(frame.get());
        if (view) view->setFocus();
    }
    // The middle of an entry's row while the header is the top row.
    QPoint RowPoint(int index) const {
        const int cell = view->cellSize();
        return {cell * 8, (index + 1) * cell + cell / 2};
    }
    void Click(int index, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, RowPoint(index));
    }
    CbmEdit* Editor() const { return frame->inPlaceEditor().edit(); }
};

// Whether the frame has a child window of that title.
bool HasWindowTitled(MainFrame& frame, const QString& title) {
    for (QMdiSubWindow* window : frame.client()->subWindowList())
        if (window->windowTitle() == title) return true;
    return false;
}

// What the view should show, rendered by the core on its own.
QImage Expected(DiskImage& image, const CbmTextStyle& style, int rows, int first, int last) {
    DirectoryViewport viewport;
    viewport.position = -1;
    viewport.rows = rows;
    viewport.selectionFirst = first;
    viewport.selectionLast = last;
    Picture picture = RenderDirectory(image, style, viewport);
    QImage expected(picture.width, picture.height, QImage::Format_RGB32);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            expected.setPixel(x, y, 0xFF000000u | picture.At(x, y));
    return expected;
}

// The painted client area, cut to the size of the expected picture.
QImage Painted(DirectoryView& view, QSize size) {
    QImage shown = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    return shown.copy(QRect(QPoint(0, 0), size));
}

} // namespace

class DirectoryViewTest : public QObject {
    Q_OBJECT

private slots:
    // ---- Picture and window -----------------------------------------------------------------

    void paintsWhatTheCoreRendersInBothSizesAndCaseSets() {
        ViewFixture f;
        QVERIFY(f.view);
        for (int round = 0; round < 4; ++round) {
            if (round == 1 || round == 3) f.frame->ExecuteCommand(cmd::ToggleCase);
            if (round == 2) f.frame->ExecuteCommand(cmd::ToggleFontSize);
            QApplication::processEvents();
            CbmTextStyle style;
            style.caseTable = f.view->ShowsUpperCase() ? &kUpperCaseSet : &kLowerCaseSet;
            style.cellSize = f.view->largeFont() ? kLargeCellSize : kNormalCellSize;
            style.text = PaletteRgb(CbmColour::LtBlue);
            style.background = PaletteRgb(CbmColour::Blue);
            style.selection = PaletteRgb(CbmColour::White);
            const int rows = f.view->viewport()->height() / style.cellSize;
            QVERIFY(rows >= 6);
            QImage expected = Expected(*f.image, style, rows, 0, 0);
            QCOMPARE(Painted(*f.view, expected.size()), expected);
        }
        // Large, upper case, then small, lower case, then small upper case again.
        QVERIFY(!f.view->largeFont());
        QVERIFY(f.view->ShowsUpperCase());
    }

    // A name of sixteen characters has no padding; its closing quote still stands in column 22.
    void fullNameClosesItsQuoteInColumnTwentyTwo() {
        FrameFixture f;
        auto image = BlankD64("QUOTES", "QU 2A");
        AddFile(*image, {"SIXTEEN LETTERS!", 0x82, Pattern(10)});
        AddFile(*image, {"SHORT", 0x82, Pattern(10)});
        image->WriteFile(f.PathText(QStringLiteral("quotes.d64")));
        f.frame->OpenPath(f.PathText(QStringLiteral("quotes.d64")));
        auto* view = dynamic_cast<DirectoryView*>(f.frame->activeView());
        QVERIFY(view);
        QCOMPARE(NameOf(*view->Image(), 0).size(), size_t{16});
        view->SelectIndex(1); // the full name is drawn unselected, the short one selected
        for (int size = 0; size < 2; ++size) {
            if (size == 1) f.frame->ExecuteCommand(cmd::ToggleFontSize);
            QApplication::processEvents();
            const QImage shown =
                view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            const int cell = view->cellSize();
            const int scale = cell / kGlyphSize;
            // Whether the cell at (column, row) shows the glyph; the selected row is reversed.
            auto showsGlyph = [&](int column, int row, uint8_t code) {
                const uint32_t ink = PaletteRgb(row == 2 ? CbmColour::Blue : CbmColour::LtBlue);
                const Glyph& glyph = CbmGlyph(code);
                for (int y = 0; y < cell; ++y)
                    for (int x = 0; x < cell; ++x) {
                        const bool set = (glyph[y / scale] >> (7 - x / scale)) & 1;
                        const uint32_t pixel =
                            shown.pixel(column * cell + x, row * cell + y) & 0xFFFFFF;
                        if ((pixel == ink) != set) return false;
                    }
                return true;
            };
            // Row 1 is the first entry under the header: 1, two blanks, the quoted name.
            QVERIFY(showsGlyph(5, 1, '"'));
            QVERIFY(showsGlyph(6, 1, 'S'));
            QVERIFY(showsGlyph(21, 1, '!'));
            QVERIFY(showsGlyph(22, 1, '"'));
            QVERIFY(showsGlyph(24, 1, 'P'));
            // The short name closes right after its last letter.
            QVERIFY(showsGlyph(11, 2, '"'));
            QVERIFY(!showsGlyph(22, 2, '"'));
        }
    }

    void windowIsTwentyEightCellsWideAndOnlyItsHeightChanges() {
        ViewFixture f;
        QMdiSubWindow* window = f.view->Window();
        const int cell = f.view->cellSize();
        QCOMPARE(f.view->viewport()->width(), 28 * cell);
        QCOMPARE(f.view->viewport()->height(), 25 * cell);
        const int width = window->width();
        window->resize(width + 100, 300);
        QCOMPARE(window->width(), width);
        QCOMPARE(window->height(), 300);
        window->resize(width - 50, 40);
        QCOMPARE(window->width(), width);
        QCOMPARE(window->height(), 160);
        // Toggling the font size makes it 28 by 25 cells of the other size.
        f.frame->ExecuteCommand(cmd::ToggleFontSize);
        QCOMPARE(f.view->viewport()->width(), 28 * 8);
        QCOMPARE(f.view->viewport()->height(), 25 * 8);
        QVERIFY(window->width() < width);
    }

    void colourListsRepaintTheView() {
        ViewFixture f;
        f.frame->colourList(cmd::BackgroundColour)->setCurrentIndex(0); // Black
        f.frame->ExecuteCommand(cmd::BackgroundColour);
        f.frame->colourList(cmd::TextColour)->setCurrentIndex(7); // Yellow
        f.frame->ExecuteCommand(cmd::TextColour);
        QApplication::processEvents();
        QImage shown = f.view->viewport()->grab().toImage();
        // The "0" of the header in yellow on black, the space beside it black.
        bool yellow = false;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                yellow |= (shown.pixel(x, y) & 0xFFFFFF) == PaletteRgb(CbmColour::Yellow);
        QVERIFY(yellow);
        QCOMPARE(shown.pixel(16 + 8, 8) & 0xFFFFFF, PaletteRgb(CbmColour::Black));
    }

    // ---- Keys -------------------------------------------------------------------------------

    void keyTableHasItsRowsWithExactModifiers() {
        QCOMPARE(KeyCommandTable.size(), size_t{33});
        QCOMPARE(LookupKeyCommand(Qt::Key_A, Qt::ControlModifier), std::optional(cmd::SelectAll));
        QCOMPARE(LookupKeyCommand(Qt::Key_A, {}), std::nullopt);
        QCOMPARE(LookupKeyCommand(Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier),
                 std::nullopt);
        QCOMPARE(LookupKeyCommand(Qt::Key_E, {}), std::optional(cmd::Rename));
        QCOMPARE(LookupKeyCommand(Qt::Key_E, Qt::ControlModifier), std::optional(cmd::Export));
        QCOMPARE(LookupKeyCommand(Qt::Key_J, Qt::ShiftModifier),
                 std::optional(cmd::JumpToSideSector));
        QCOMPARE(LookupKeyCommand(Qt::Key_4, Qt::ShiftModifier), std::optional(cmd::ListDir));
        QCOMPARE(LookupKeyCommand(Qt::Key_Dollar, Qt::ShiftModifier), std::optional(cmd::ListDir));
        QCOMPARE(LookupKeyCommand(Qt::Key_4, Qt::ControlModifier), std::optional(cmd::RunIn(4)));
        QCOMPARE(LookupKeyCommand(Qt::Key_6, {}), std::optional(cmd::NewD64));
        QCOMPARE(LookupKeyCommand(Qt::Key_8, Qt::ControlModifier), std::optional(cmd::RunIn(8)));
        QCOMPARE(LookupKeyCommand(Qt::Key_F2, {}), std::optional(cmd::Rename));
        QCOMPARE(LookupKeyCommand(Qt::Key_Delete, {}), std::optional(cmd::Remove));
        QCOMPARE(LookupKeyCommand(Qt::Key_Delete, Qt::AltModifier), std::nullopt);
    }

    // Each row's key, pressed on a fresh view, sends the row's command and, where that command
    // works already, does what the command does. Commands of later work are sent but disabled.
    void everyRowOfTheKeyTableFiresItsCommand() {
        for (const KeyCommandRow& row : KeyCommandTable) {
            ViewFixture f;
            // Run In: entry 1 names a program no machine has, the others none.
            for (EmulatorEntry& entry : f.settings.emulators)
                entry.program.clear();
            f.settings.emulators[0].program = "tessarind-test-no-such-emulator";
            f.frame->RebuildRunInTexts();
            const CommandId id = row.id;
            const QByteArray what = QByteArray::number(cmd::Number(id)) + " from key " +
                                    QKeySequence(row.key).toString().toLatin1();
            // The type rows need an entry of another type: SECOND is the SEQ file.
            f.view->SelectIndex(id == cmd::TypeSeq ? 0 : 1);
            const int current = f.view->currentIndex();
            auto nameBytes = [&] {
                auto name = f.image->EntryAt(current).name();
                return std::vector<uint8_t>(name.begin(), name.end());
            };
            const std::vector<uint8_t> nameBefore = nameBytes();
            std::vector<CommandId> sent;
            QObject::connect(f.view, &ImageView::commandSent,
                             [&](CommandId command) { sent.push_back(command); });
            bool modalShown = false;
            if (id == cmd::Import) {
                QTimer::singleShot(0, [&] {
                    if (QWidget* modal = QApplication::activeModalWidget()) {
                        modalShown = true;
                        modal->close();
                    }
                });
            }
            Qt::KeyboardModifiers modifiers;
            if (row.ctrl) modifiers |= Qt::ControlModifier;
            if (row.shift) modifiers |= Qt::ShiftModifier;
            QTest::keyClick(f.view, Qt::Key(row.key), modifiers);
            QVERIFY2(sent == std::vector<CommandId>{id}, what.constData());

            const int typeCode = f.image->EntryAt(current).typeCode();
            bool done = true;
            if (id == cmd::SelectAll) {
                done = f.view->selectionFirst() == 0 && f.view->selectionLast() == 3;
            } else if (id == cmd::Center || id == cmd::LeftJustify || id == cmd::RightJustify ||
                       id == cmd::Expand) {
                done = nameBytes() != nameBefore && f.image->modified();
            } else if (id == cmd::TypeDel || id == cmd::TypePrg || id == cmd::TypeSeq ||
                       id == cmd::TypeUsr) {
                done = typeCode == cmd::Number(id) - cmd::Number(cmd::TypeDel) &&
                       f.frame->IsChecked(id);
            } else if (id == cmd::Rename) {
                done = f.frame->inPlaceEditor().active();
            } else if (id == cmd::Insert) {
                done = f.image->entryCount() == 5 && f.frame->inPlaceEditor().active();
            } else if (id == cmd::Remove) {
                done = f.image->entryCount() == 3 && NameOf(*f.image, 1) == "LOCKED";
            } else if (id == cmd::Export) {
                done = f.ui.saveRequests.size() == 1 &&
                       f.ui.saveRequests[0].proposedName == "second.seq";
            } else if (id == cmd::Import) {
                done = modalShown;
            } else if (id == cmd::ListDir) {
                done = HasWindowTitled(*f.frame, QStringLiteral("sample.d64: DIR"));
            } else if (id == cmd::ViewFile) {
                // SECOND is the SEQ file: its data open in a text view.
                done = HasWindowTitled(*f.frame, QStringLiteral("second.seq"));
            } else if (id == cmd::NewD64 || id == cmd::NewD71 || id == cmd::NewD81) {
                const int formatId = id == cmd::NewD64 ? 1 : id == cmd::NewD71 ? 2 : 3;
                done = f.frame->openImages().size() == 2 && f.frame->activeView() != f.view &&
                       f.frame->activeView()->Image()->formatId() == formatId;
            } else if (id == cmd::Uncompress) {
                // SECOND holds no archive.
                done = f.HasMessage("Unable to Decompress File") && f.frame->activeView() == f.view;
            } else if (id == cmd::JumpToSector) {
                const DirEntry entry = f.image->EntryAt(current);
                auto* editor = dynamic_cast<SectorEditorView*>(f.frame->activeView());
                done = editor && editor->editor()->track() == entry.firstTrack() &&
                       editor->editor()->sector() == entry.firstSector();
            } else if (id == cmd::BamEditor) {
                done = dynamic_cast<BamView*>(f.frame->activeView()) != nullptr;
            } else {
                // The side-sector jump (SECOND has no side sectors) and Run In (enabled with a
                // program; one that cannot start changes nothing).
                done = f.frame->IsEnabled(id) == (id == cmd::RunIn(1)) && !f.image->modified() &&
                       f.frame->activeView() == f.view;
            }
            QVERIFY2(done, what.constData());
        }
    }

    void keysChangeTheCurrentEntry() {
        ViewFixture f;
        QCOMPARE(f.view->currentIndex(), 0);
        QTest::keyClick(f.view, Qt::Key_D);
        QCOMPARE(f.image->EntryAt(0).typeCode(), int{kDel});
        QTest::keyClick(f.view, Qt::Key_S);
        QCOMPARE(f.image->EntryAt(0).typeCode(), int{kSeq});
        // Ctrl must match exactly: Ctrl+P is no key of the table.
        QTest::keyClick(f.view, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(f.image->EntryAt(0).typeCode(), int{kSeq});
        QTest::keyClick(f.view, Qt::Key_P);
        QCOMPARE(f.image->EntryAt(0).typeCode(), int{kPrg});
        QTest::keyClick(f.view, Qt::Key_Asterisk, Qt::ShiftModifier);
        QVERIFY(!f.image->EntryAt(0).closed());
        QVERIFY(f.frame->IsChecked(cmd::Splat));
        QTest::keyClick(f.view, Qt::Key_Less, Qt::ShiftModifier);
        QVERIFY(f.image->EntryAt(0).locked());
        QVERIFY(f.frame->IsChecked(cmd::Lock));
        QVERIFY(f.image->modified());
        // Down and End move the current index; Shift+Down moves the file itself.
        QTest::keyClick(f.view, Qt::Key_Down);
        QCOMPARE(f.view->currentIndex(), 1);
        QTest::keyClick(f.view, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(NameOf(*f.image, 2), std::string("SECOND"));
        QCOMPARE(f.view->currentIndex(), 2);
        QTest::keyClick(f.view, Qt::Key_End);
        QCOMPARE(f.view->currentIndex(), 3);
        QVERIFY(!f.frame->IsEnabled(cmd::MoveFileDown));
        QTest::keyClick(f.view, Qt::Key_Home);
        QCOMPARE(f.view->currentIndex(), 0);
        QVERIFY(!f.frame->IsEnabled(cmd::MoveFileUp));
        // Delete removes the current file.
        QTest::keyClick(f.view, Qt::Key_Delete);
        QCOMPARE(f.image->entryCount(), 3);
        QCOMPARE(NameOf(*f.image, 0), std::string("LOCKED"));
        QCOMPARE(f.frame->actions().Get(cmd::Undo)->text(),
                 QStringLiteral("&Undo: Remove File\tCTRL+Z"));
        // Ctrl+A selects every row.
        QTest::keyClick(f.view, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(f.view->selectionFirst(), 0);
        QCOMPARE(f.view->selectionLast(), 2);
    }

    // End, and Page Down as far as it goes, bring the free blocks below the last of forty files
    // wholly into view, in either cell size and with a row cut off at the bottom.
    void endAndPageDownShowTheFreeBlocks() {
        FrameFixture f;
        auto image = BlankD64("FORTY");
        for (int i = 0; i < 40; ++i)
            AddFile(*image, {"FILE" + std::to_string(i), 0x82, Pattern(300, i)});
        image->WriteFile(f.PathText(QStringLiteral("forty.d64")));
        f.frame->resize(1024, 800);
        f.frame->OpenPath(f.PathText(QStringLiteral("forty.d64")));
        auto* view = dynamic_cast<DirectoryView*>(f.frame->activeView());
        QVERIFY(view);
        QCOMPARE(view->RowCount(), 40);
        for (bool large : {true, false}) {
            if (view->largeFont() != large) f.frame->ExecuteCommand(cmd::ToggleFontSize);
            const int cell = view->cellSize();
            for (int cut : {0, cell / 2}) {
                view->Window()->resize(view->Window()->width(), view->Window()->height() - cut);
                for (Qt::Key key : {Qt::Key_End, Qt::Key_PageDown}) {
                    QTest::keyClick(view, Qt::Key_Home); // back to the header
                    QCOMPARE(view->position(), -1);
                    for (int press = 0; press < (key == Qt::Key_End ? 1 : 10); ++press)
                        QTest::keyClick(view, key);
                    if (key == Qt::Key_End) QCOMPARE(view->currentIndex(), 39);
                    // The free blocks line follows the last entry.
                    const int freeRow = view->RowOfIndex(view->RowCount());
                    const QString what = QStringLiteral("cell %1, cut %2, key %3: row %4")
                                             .arg(cell)
                                             .arg(cut)
                                             .arg(key)
                                             .arg(freeRow);
                    QVERIFY2(freeRow >= 0, qPrintable(what));
                    QVERIFY2((freeRow + 1) * cell <= view->viewport()->height(), qPrintable(what));
                    // And the screen is full: no scrolling past the end.
                    QVERIFY2((freeRow + 2) * cell > view->viewport()->height(), qPrintable(what));
                }
                view->FitWindow(true);
            }
        }
    }

    void keysReachTheFrameAndToggleTheCase() {
        ViewFixture f;
        // "$" lists the directory in a text window.
        QTest::keyClick(f.view, Qt::Key_4, Qt::ShiftModifier);
        QVERIFY(HasWindowTitled(*f.frame, QStringLiteral("sample.d64: DIR")));
        f.frame->client()->setActiveSubWindow(f.view->Window());
        // "6" makes a new 1541 image through the frame.
        QTest::keyClick(f.view, Qt::Key_6);
        QCOMPARE(f.frame->openImages().size(), size_t{2});
        f.frame->client()->setActiveSubWindow(f.view->Window());
        QCOMPARE(f.frame->activeView(), f.view);
        // Letting go of Ctrl while Shift is held switches the case set.
        QVERIFY(f.view->ShowsUpperCase());
        QTest::keyRelease(f.view, Qt::Key_Control, Qt::ShiftModifier);
        QVERIFY(!f.view->ShowsUpperCase());
        QVERIFY(!f.frame->IsChecked(cmd::ToggleCase));
        QTest::keyRelease(f.view, Qt::Key_Shift, Qt::ControlModifier);
        QVERIFY(f.view->ShowsUpperCase());
        QTest::keyRelease(f.view, Qt::Key_Shift);
        QVERIFY(f.view->ShowsUpperCase());
    }

    // ---- Mouse ------------------------------------------------------------------------------

    void shiftClickSelectsARangeFromTheCurrentIndex() {
        ViewFixture f;
        f.Click(1);
        QCOMPARE(f.view->currentIndex(), 1);
        f.Click(3, Qt::ShiftModifier);
        QCOMPARE(f.view->selectionFirst(), 1);
        QCOMPARE(f.view->selectionLast(), 3);
        QCOMPARE(f.view->currentIndex(), 1);
        f.Click(0, Qt::ShiftModifier);
        QCOMPARE(f.view->selectionFirst(), 0);
        QCOMPARE(f.view->selectionLast(), 1);
        // The selected rows are painted in the selection colour.
        QImage shown = f.view->viewport()->grab().toImage();
        const int cell = f.view->cellSize();
        QCOMPARE(shown.pixel(27 * cell + 1, 1 * cell + 1) & 0xFFFFFF, PaletteRgb(CbmColour::White));
        QCOMPARE(shown.pixel(27 * cell + 1, 3 * cell + 1) & 0xFFFFFF, PaletteRgb(CbmColour::Blue));
        // A plain click makes one row the selection again; clicks on the header are ignored.
        f.Click(2);
        QCOMPARE(f.view->selectionFirst(), 2);
        QCOMPARE(f.view->selectionLast(), 2);
        QTest::mouseClick(f.view->viewport(), Qt::LeftButton, {}, QPoint(10, 2));
        QCOMPARE(f.view->currentIndex(), 2);
    }

    void slowSecondClickRenamesAndDoubleClickDoesNot() {
        ViewFixture f;
        f.Click(1);
        QVERIFY(!f.view->renamePending());
        f.Click(1);
        QVERIFY(f.view->renamePending());
        QTRY_VERIFY(f.frame->inPlaceEditor().active());
        QVERIFY(!f.view->renamePending());
        QTest::keyClick(f.Editor(), Qt::Key_Escape);
        QVERIFY(!f.frame->inPlaceEditor().active());
        // A double click stops the pending rename.
        f.Click(1);
        QVERIFY(f.view->renamePending());
        QTest::mouseDClick(f.view->viewport(), Qt::LeftButton, {}, f.RowPoint(1));
        QVERIFY(!f.view->renamePending());
        QVERIFY(!f.frame->inPlaceEditor().active());
    }

    // ---- Enable states ----------------------------------------------------------------------

    void enableStatesFollowTheSelectedEntry() {
        ViewFixture f;
        f.view->SelectIndex(3); // closed DEL
        QVERIFY(f.frame->IsChecked(cmd::TypeDel));
        QVERIFY(!f.frame->IsChecked(cmd::TypePrg));
        QVERIFY(f.frame->IsEnabled(cmd::Rename));
        QVERIFY(!f.frame->IsEnabled(cmd::Export));
        QVERIFY(!f.frame->IsEnabled(cmd::MoveFileDown));
        QVERIFY(f.frame->IsEnabled(cmd::MoveFileUp));
        QVERIFY(!f.frame->IsEnabled(cmd::TypeCbm)); // a 1541 has no CBM files
        QVERIFY(!f.frame->IsEnabled(cmd::CreateSubDir));
        f.view->SelectIndex(2); // locked PRG
        QVERIFY(f.frame->IsChecked(cmd::Lock));
        QVERIFY(!f.frame->IsChecked(cmd::Splat));
        QVERIFY(f.frame->IsChecked(cmd::TypePrg));
        QVERIFY(f.frame->IsEnabled(cmd::Export));
        QVERIFY(f.frame->IsEnabled(cmd::MoveFileDown));
        // Short names expand.
        QVERIFY(f.frame->IsEnabled(cmd::Expand));
        QCOMPARE(f.frame->actions().Get(cmd::Expand)->text(), QStringLiteral("Expand\tX"));
        f.frame->ExecuteCommand(cmd::Expand);
        QCOMPARE(NameOf(*f.image, 2), std::string("LOCKED          "));
        QCOMPARE(f.frame->actions().Get(cmd::Expand)->text(), QStringLiteral("Collapse\tX"));
        QVERIFY(f.frame->IsChecked(cmd::LeftJustify));
        f.frame->ExecuteCommand(cmd::Center);
        QCOMPARE(NameOf(*f.image, 2), std::string("     LOCKED     "));
        QVERIFY(f.frame->IsChecked(cmd::Center));
        QVERIFY(!f.frame->IsChecked(cmd::LeftJustify));
        f.frame->ExecuteCommand(cmd::Expand); // collapses
        QCOMPARE(NameOf(*f.image, 2), std::string("LOCKED"));
        // A full name without blanks at its ends cannot be aligned.
        DirEntry entry = f.image->EntryAt(0);
        std::array<uint8_t, 16> full = RawName("ABCDEFGHIJKLMNOP");
        f.image->RenameEntry(entry, full, 0);
        f.view->SelectIndex(0);
        QVERIFY(!f.frame->IsEnabled(cmd::Expand));
        QVERIFY(!f.frame->IsEnabled(cmd::Center));
        // The entry's own commands.
        QVERIFY(f.frame->IsEnabled(cmd::Uncompress));
        for (CommandId id : {cmd::BamEditor, cmd::JumpToSector})
            QVERIFY(f.frame->IsEnabled(id));
        // Run In: the entries with a program (the first three by default).
        for (int entry = 1; entry <= 8; ++entry)
            QCOMPARE(f.frame->IsEnabled(cmd::RunIn(entry)), entry <= 3);
    }

    // An entry whose name marks an archive opens unpacked in a window of its own; any other
    // entry says it cannot.
    void uncompressOpensTheArchiveAnEntryHolds() {
        ViewFixture f;
        std::array<uint8_t, 16> name = RawName("PACKED.LNX");
        QVERIFY(f.image->WriteFileData(name, 0, false, LynxArchive({{"INSIDE", 'P', Pattern(50)}}),
                                       0, *FindRowById(FormatId::Prg)));
        f.view->SelectIndex(0);
        f.frame->ExecuteCommand(cmd::Uncompress);
        auto* unpacked = dynamic_cast<DirectoryView*>(f.frame->activeView());
        QVERIFY(unpacked && unpacked != f.view);
        QCOMPARE(unpacked->Image()->title(), std::string("packed"));
        QCOMPARE(NameOf(*unpacked->Image(), 0), std::string("INSIDE"));
        QVERIFY(f.ui.messages.empty());

        f.view->SelectIndex(1); // FIRST: no archive
        QVERIFY(f.view->HandleCommand(cmd::Uncompress));
        QVERIFY(f.HasMessage("Unable to Decompress File"));
        QCOMPARE(f.frame->activeView(), static_cast<ViewWindow*>(unpacked));
    }

    // ---- In-place editing -------------------------------------------------------------------

    void renameCommitsOneUndoStepAndEscapeDiscards() {
        ViewFixture f;
        f.view->SelectIndex(1);
        const size_t journal = f.image->Journal().size();
        f.frame->ExecuteCommand(cmd::Rename);
        CbmEdit* edit = f.Editor();
        QVERIFY(edit);
        QCOMPARE(edit->TextLength(), 6);
        // The editor lies over the name cells of the row.
        const int cell = f.view->cellSize();
        QCOMPARE(edit->geometry(), QRect(6 * cell - 2, 2 * cell - 2, 16 * cell + 4, cell + 4));
        QTest::keyClicks(edit, QStringLiteral("new"));
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(!f.frame->inPlaceEditor().active());
        // Typed host letters become unshifted PETSCII letters.
        QCOMPARE(NameOf(*f.image, 1), std::string("NEW"));
        QVERIFY(f.image->modified());
        QCOMPARE(f.image->Journal().back().name, std::string("Rename File"));
        QCOMPARE(f.frame->actions().Get(cmd::Undo)->text(),
                 QStringLiteral("&Undo: Rename File\tCTRL+Z"));
        f.frame->ExecuteCommand(cmd::Undo);
        QCOMPARE(NameOf(*f.image, 1), std::string("SECOND"));
        QCOMPARE(f.image->Journal().size(), journal);

        // Upper case is the shifted letter, as the command-line tool stores it too.
        f.frame->ExecuteCommand(cmd::Rename);
        QTest::keyClicks(f.Editor(), QStringLiteral("ReN"));
        QTest::keyClick(f.Editor(), Qt::Key_Return);
        QCOMPARE(NameOf(*f.image, 1), std::string("\322E\316"));
        f.frame->ExecuteCommand(cmd::Undo);
        QCOMPARE(NameOf(*f.image, 1), std::string("SECOND"));

        // Escape leaves the name and the journal alone.
        f.frame->ExecuteCommand(cmd::Rename);
        QTest::keyClicks(f.Editor(), QStringLiteral("xyz"));
        QTest::keyClick(f.Editor(), Qt::Key_Escape);
        QCOMPARE(NameOf(*f.image, 1), std::string("SECOND"));
        QCOMPARE(f.image->Journal().size(), journal);
        // Committing an unchanged name adds no step either.
        f.frame->ExecuteCommand(cmd::Rename);
        QTest::keyClick(f.Editor(), Qt::Key_Enter);
        QCOMPARE(f.image->Journal().size(), journal);
    }

    void clickOutsideAndAnotherViewCommitTheEdit() {
        ViewFixture f;
        f.view->SelectIndex(0);
        f.frame->ExecuteCommand(cmd::Rename);
        QTest::keyClicks(f.Editor(), QStringLiteral("x"));
        f.Click(2);
        QCOMPARE(NameOf(*f.image, 0), std::string("X"));
        QCOMPARE(f.view->currentIndex(), 2);
        f.frame->ExecuteCommand(cmd::Rename);
        QTest::keyClicks(f.Editor(), QStringLiteral("y"));
        f.frame->ExecuteCommand(cmd::NewD64); // activates the new image's view
        QVERIFY(!f.frame->inPlaceEditor().active());
        QCOMPARE(NameOf(*f.image, 2), std::string("Y"));
    }

    // A command from the toolbar, the menu or a key of the frame first commits the edit, as a
    // click elsewhere does, and then acts on the list the user sees.
    void commandsFinishAnOpenEditFirst() {
        ViewFixture f;
        auto toolbarClick = [&](CommandId id) {
            QWidget* button = f.frame->toolBar()->widgetForAction(f.frame->actions().Get(id));
            QVERIFY(button);
            QTest::mouseClick(button, Qt::LeftButton);
        };
        auto menuItem = [&](CommandId id) { f.frame->actions().Get(id)->trigger(); };
        auto routed = [&](CommandId id) { f.frame->ExecuteCommand(id); };
        const struct {
            CommandId id;
            std::function<void(CommandId)> send;
        } cases[] = {
            {cmd::ToggleCase, toolbarClick},   {cmd::ToggleFontSize, toolbarClick},
            {cmd::ShowDeletedFiles, menuItem}, {cmd::SortNameDescending, menuItem},
            {cmd::MoveFileDown, routed},       {cmd::Validate, routed},
        };
        int round = 0;
        for (const auto& c : cases) {
            const std::string name = "R" + std::to_string(round++); // typed in lower case
            f.view->SelectIndex(1);
            f.frame->ExecuteCommand(cmd::Rename);
            QVERIFY(f.frame->inPlaceEditor().active());
            QTest::keyClicks(f.Editor(), QString::fromStdString(name).toLower());
            const bool upper = f.view->ShowsUpperCase();
            c.send(c.id);
            QVERIFY2(!f.frame->inPlaceEditor().active(),
                     qPrintable(QString::number(cmd::Number(c.id))));
            bool renamed = false;
            for (int i = 0; i < f.image->entryCount(); ++i)
                renamed |= NameOf(*f.image, i) == name;
            QVERIFY2(renamed, name.c_str());
            if (c.id == cmd::ToggleCase) QCOMPARE(f.view->ShowsUpperCase(), !upper);
        }
    }

    // Once the last container has closed, every item of the enable table reads, and is
    // checked, as it was before any container opened.
    void lastCloseResetsTextsAndChecks() {
        FrameFixture f;
        std::map<int, QString> before; // nothing is checked before
        for (const EnableRow& row : CommandEnableTable)
            before[cmd::Number(row.id)] = f.frame->actions().Get(row.id)->text();
        f.frame->OpenPath(WriteSampleDisk(f.Path(QStringLiteral("sample.d64"))));
        f.frame->ExecuteCommand(cmd::Splat);
        f.frame->ExecuteCommand(cmd::ShowDeletedFiles);
        QVERIFY(f.frame->IsChecked(cmd::Splat));
        QVERIFY(f.frame->IsChecked(cmd::ToggleCase));
        QVERIFY(f.frame->IsChecked(cmd::ToggleFontSize));
        QVERIFY(f.frame->IsChecked(cmd::ShowDeletedFiles));
        QVERIFY(f.frame->actions().Get(cmd::Undo)->text() != before[cmd::Number(cmd::Undo)]);
        f.ui.answers = {Answer::No};
        f.frame->ExecuteCommand(cmd::Close);
        QVERIFY(f.frame->openImages().empty());
        for (const EnableRow& row : CommandEnableTable) {
            QAction* action = f.frame->actions().Get(row.id);
            const QString& was = before[cmd::Number(row.id)];
            const QString what = QString::number(cmd::Number(row.id)) + QLatin1Char(' ') + was;
            QVERIFY2(!action->isEnabled(), qPrintable(what));
            QVERIFY2(!action->isChecked(), qPrintable(what));
            QCOMPARE(action->text(), was);
        }
        QCOMPARE(f.frame->actions().Get(cmd::Undo)->text(), QStringLiteral("&Undo\tCTRL+Z"));
    }

    void insertStartsRenamingABlankEntry() {
        ViewFixture f;
        f.view->SelectIndex(1);
        QTest::keyClick(f.view, Qt::Key_Insert);
        QCOMPARE(f.image->entryCount(), 5);
        QCOMPARE(f.view->currentIndex(), 1);
        QVERIFY(f.frame->inPlaceEditor().active());
        QCOMPARE(f.Editor()->TextLength(), 0);
        QTest::keyClicks(f.Editor(), QStringLiteral("added"));
        QTest::keyClick(f.Editor(), Qt::Key_Return);
        QCOMPARE(NameOf(*f.image, 1), std::string("ADDED"));
        QCOMPARE(NameOf(*f.image, 2), std::string("SECOND"));
        QCOMPARE(f.image->EntryAt(1).type(), uint8_t{0x82});
    }

    void fileSizeTakesDigitsOnly() {
        ViewFixture f;
        f.view->SelectIndex(0);
        f.frame->ExecuteCommand(cmd::ChangeFileSize);
        CbmEdit* edit = f.Editor();
        QVERIFY(edit->digitsOnly());
        QCOMPARE(edit->length(), 5);
        QCOMPARE(edit->geometry().x(), -2);
        QTest::keyClick(edit, Qt::Key_Delete); // the selected "2"
        QTest::keyClicks(edit, QStringLiteral("3a0b0"));
        QCOMPARE(edit->TextLength(), 3);
        QTest::keyClick(edit, Qt::Key_Return);
        DirEntry entry = f.image->EntryAt(0);
        QCOMPARE(entry.data()[DirEntryOffset::blocks], uint8_t{0x2C});
        QCOMPARE(entry.data()[DirEntryOffset::blocks + 1], uint8_t{0x01});
        QCOMPARE(f.image->Journal().back().name, std::string("File Size"));
    }

    void diskNameAndIdAreEditedInTheHeader() {
        ViewFixture f;
        f.frame->ExecuteCommand(cmd::RenameDisk);
        const int cell = f.view->cellSize();
        QCOMPARE(f.Editor()->geometry().topLeft(), QPoint(3 * cell - 2, -2));
        QTest::keyClick(f.Editor(), Qt::Key_End);
        QTest::keyClicks(f.Editor(), QStringLiteral("!"));
        QTest::keyClick(f.Editor(), Qt::Key_Return);
        const uint8_t* name = f.image->DiskNamePointer();
        QCOMPARE(std::string(name, name + 12), std::string("SAMPLE DISK!"));
        QCOMPARE(f.image->Journal().back().name, std::string("Rename Disk"));

        f.frame->ExecuteCommand(cmd::EditDiskId);
        QCOMPARE(f.Editor()->geometry().topLeft(), QPoint(21 * cell - 2, -2));
        QCOMPARE(f.Editor()->length(), 5);
        // Overwrite the first two characters.
        QTest::keyClick(f.Editor(), Qt::Key_Home);
        QTest::keyClick(f.Editor(), Qt::Key_Insert);
        QTest::keyClicks(f.Editor(), QStringLiteral("zz"));
        QTest::keyClick(f.Editor(), Qt::Key_Return);
        QCOMPARE(name[18], uint8_t{'Z'});
        QCOMPARE(name[19], uint8_t{'Z'});
        QCOMPARE(name[20], uint8_t{0xA0});
        QCOMPARE(f.image->Journal().back().name, std::string("Disk ID"));
        f.frame->ExecuteCommand(cmd::Undo);
        QCOMPARE(name[18], uint8_t{'S'});
        f.frame->ExecuteCommand(cmd::Undo);
        QCOMPARE(name[11], uint8_t{0xA0});
    }

    // ---- The edit field ---------------------------------------------------------------------

    void editFieldKeysAndClipboard() {
        CbmEdit edit;
        const std::string start = "ABCDEFGHIJKLMN"; // 14 of 16
        edit.SetBytes(std::span(reinterpret_cast<const uint8_t*>(start.data()), start.size()));
        QCOMPARE(edit.TextLength(), 14);
        QCOMPARE(edit.bytes()[15], uint8_t{0xA0});
        // Shift+End selects to the end of the text; copying gives the bytes as they are.
        QTest::keyClick(&edit, Qt::Key_Right);
        QTest::keyClick(&edit, Qt::Key_End, Qt::ShiftModifier);
        QCOMPARE(edit.selectionStart(), 1);
        QCOMPARE(edit.selectionEnd(), 14);
        edit.SetSelection(0, 2);
        edit.Copy();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("AB"));
        // Pasting goes in at the caret, only as far as the padding reaches.
        QApplication::clipboard()->setText(QStringLiteral("xyzw"));
        edit.SetSelection(0, 0);
        edit.Paste();
        const std::vector<uint8_t>& bytes = edit.bytes();
        QCOMPARE(std::string(bytes.begin(), bytes.end()), std::string("xyABCDEFGHIJKLMN"));
        QCOMPARE(edit.caret(), 2);
        edit.Paste(); // full: nothing happens
        QCOMPARE(std::string(bytes.begin(), bytes.end()), std::string("xyABCDEFGHIJKLMN"));
        QMenu* menu = edit.MakeContextMenu(&edit);
        QCOMPARE(menu->title(), QStringLiteral("Copy"));
        QCOMPARE(menu->actions()[0]->text(), QStringLiteral("Cu&t"));
        QVERIFY(!menu->actions()[0]->isEnabled()); // no selection
        QVERIFY(menu->actions()[2]->isEnabled());
        delete menu;
        // Cut removes the selection and closes the gap with padding.
        edit.SetSelection(0, 2);
        edit.Cut();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("xy"));
        QCOMPARE(edit.TextLength(), 14);
        // Backspace and Delete, a double click selecting everything.
        QTest::keyClick(&edit, Qt::Key_End);
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QTest::keyClick(&edit, Qt::Key_Home);
        QTest::keyClick(&edit, Qt::Key_Delete);
        QCOMPARE(edit.TextLength(), 12);
        QCOMPARE(edit.bytes()[0], uint8_t{'B'});
        QTest::mouseDClick(&edit, Qt::LeftButton);
        QCOMPARE(edit.selectionEnd() - edit.selectionStart(), 12);
        // Typed characters belong to the field, not to the frame's "/" and "?" accelerators.
        for (auto [key, text] : {std::pair{Qt::Key_Slash, "/"}, std::pair{Qt::Key_Question, "?"}}) {
            QKeyEvent override(QEvent::ShortcutOverride, key, Qt::NoModifier,
                               QString::fromLatin1(text));
            QApplication::sendEvent(&edit, &override);
            QVERIFY(override.isAccepted());
        }
        QKeyEvent plainCtrl(QEvent::ShortcutOverride, Qt::Key_O, Qt::ControlModifier);
        plainCtrl.ignore();
        QApplication::sendEvent(&edit, &plainCtrl);
        QVERIFY(!plainCtrl.isAccepted());
        // A code from the CBM tool goes in unconverted.
        edit.SetSelection(12, 12);
        QVERIFY(edit.InsertCode(0x61));
        QCOMPARE(edit.bytes()[12], uint8_t{0x61});
    }

    // ---- Commands ---------------------------------------------------------------------------

    void crossLinkCheckReportsOrLists() {
        ViewFixture f;
        f.frame->ExecuteCommand(cmd::CrossLinks);
        QCOMPARE(f.ui.messages.back().text, std::string("No Cross Linked Files"));
        QCOMPARE(f.ui.messages.back().caption, std::string("Cross Link Check"));
        // The second file shares the first one's chain.
        DirEntry first = f.image->EntryAt(0), second = f.image->EntryAt(1);
        second.firstTrack() = first.firstTrack();
        second.firstSector() = first.firstSector();
        const size_t messages = f.ui.messages.size();
        f.frame->ExecuteCommand(cmd::CrossLinks);
        QCOMPARE(f.ui.messages.size(), messages);
        auto* dialog = f.frame->findChild<CrossLinkDialog*>();
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("sample.d64: Cross Link List"));
        QVERIFY(!dialog->isModal());
        QCOMPARE(dialog->table()->rowCount(), 1);
        QCOMPARE(dialog->table()->item(0, 2)->text(), QString::number(first.firstTrack()));
        // A click on a row shows the block in the sector editor.
        emit dialog->table()->cellClicked(0, 3);
        auto* editor = dynamic_cast<SectorEditorView*>(f.frame->activeView());
        QVERIFY(editor);
        QCOMPARE(editor->editor()->track(), int{first.firstTrack()});
        QCOMPARE(editor->editor()->sector(), int{first.firstSector()});
        CrossLink link;
        link.earlier[DirEntryOffset::firstTrack] = 3;
        link.later[DirEntryOffset::firstSector] = 9;
        link.track = 17;
        QCOMPARE(CrossLinkDialog::BlockForCell(link, 0), std::make_pair(3, 0));
        QCOMPARE(CrossLinkDialog::BlockForCell(link, 1), std::make_pair(0, 9));
        QCOMPARE(CrossLinkDialog::BlockForCell(link, 2), std::make_pair(17, 0));
        dialog->close();
    }

    void exportWritesEachSelectedFile() {
        ViewFixture f;
        f.view->SelectIndex(0);
        f.view->SelectRange(1);
        SaveChoice one, two;
        one.path = f.PathText(QStringLiteral("first.prg"));
        two.path = f.PathText(QStringLiteral("missing/second.seq"));
        f.ui.saveChoices = {one, two};
        f.frame->ExecuteCommand(cmd::Export);
        QCOMPARE(f.ui.saveRequests.size(), size_t{2});
        QCOMPARE(f.ui.saveRequests[0].proposedName, std::string("first.prg"));
        QCOMPARE(f.ui.saveRequests[1].filters.front().displayName, std::string("PETSCII"));
        QFile exported(f.Path(QStringLiteral("first.prg")));
        QVERIFY(exported.open(QIODevice::ReadOnly));
        std::vector<uint8_t> data = Pattern(300);
        QCOMPARE(exported.readAll(), QByteArray(reinterpret_cast<const char*>(data.data()), 300));
        QCOMPARE(f.ui.messages.back().text, std::string("Unable to Export File second"));
    }

    void exportOfABrokenChainWritesWhatCouldBeReadAndSaysSo() {
        ViewFixture f;
        DirEntry first = f.image->EntryAt(0);
        uint8_t* block = f.image->SectorPointer(first.firstTrack(), first.firstSector());
        QVERIFY(block);
        block[0] = first.firstTrack(); // the chain links to itself
        block[1] = first.firstSector();
        f.view->SelectIndex(0);
        SaveChoice one;
        one.path = f.PathText(QStringLiteral("first.prg"));
        f.ui.saveChoices = {one};
        const size_t before = f.ui.messages.size();
        f.frame->ExecuteCommand(cmd::Export);
        QFile exported(f.Path(QStringLiteral("first.prg")));
        QVERIFY(exported.open(QIODevice::ReadOnly));
        std::vector<uint8_t> data = Pattern(300);
        QCOMPARE(exported.readAll(), QByteArray(reinterpret_cast<const char*>(data.data()), 254));
        QCOMPARE(f.ui.messages.size(), before + 1);
        const std::string pair = std::to_string(first.firstTrack()) + "/" + std::to_string(first.firstSector());
        QCOMPARE(f.ui.messages.back().text, "chain of " + NameOf(*f.image, 0) + " broken at " + pair + ", 254 bytes read");
    }

    void importInsertsHostFilesAtTheCurrentIndex() {
        ViewFixture f;
        auto write = [&](const QString& name, const QByteArray& bytes) {
            QFile file(f.Path(name));
            file.open(QIODevice::WriteOnly);
            file.write(bytes);
            return f.Path(name);
        };
        const QString program = write(QStringLiteral("game.prg"), QByteArray(600, '\x11'));
        const QString notes = write(QStringLiteral("notes.seq"), QByteArray("HELLO"));
        f.view->SelectIndex(1);
        f.view->ImportFiles({program, f.Path(QStringLiteral("absent.prg")), notes});
        QCOMPARE(f.image->entryCount(), 6);
        QCOMPARE(NameOf(*f.image, 1), std::string("GAME"));
        QCOMPARE(f.image->EntryAt(1).blocks(), uint16_t{3});
        QCOMPARE(NameOf(*f.image, 2), std::string("NOTES"));
        QCOMPARE(f.image->EntryAt(2).typeCode(), int{kSeq});
        QCOMPARE(NameOf(*f.image, 3), std::string("SECOND"));
        QCOMPARE(f.view->currentIndex(), 2);
        QCOMPARE(f.ui.messages.size(), size_t{1}); // the file that is not there
        // The dialog offers the host kinds, all of them last.
        std::vector<FilterItem> items = DialogFilter::Build(DialogFilter::ImportGroups());
        QCOMPARE(items.front().display,
                 std::string(
                     "Single Files (*.prg;*.seq;*.rel;*.usr;*.txt;*.p00;*.s00;*.r00;*.u00;*.cvt)"));
        QCOMPARE(items.back().display, std::string("All Files (*.*)"));
    }

    void subDirectoryIsEnteredAndLeft() {
        FrameFixture f;
        f.frame->ExecuteCommand(cmd::NewD81);
        auto* view = dynamic_cast<DirectoryView*>(f.frame->activeView());
        DiskImage& image = *view->Image();
        QVERIFY(f.frame->IsEnabled(cmd::CreateSubDir));
        // Asked for a size and cancelled: the partition is not made.
        f.frame->ExecuteCommand(cmd::CreateSubDir);
        QCOMPARE(f.ui.messages.back().text, std::string("Unable to Create Sub Directory"));
        image.SetOwner(nullptr); // made at the largest size without asking
        f.frame->ExecuteCommand(cmd::CreateSubDir);
        image.SetOwner(&f.ui);
        QCOMPARE(image.entryCount(), 1);
        QCOMPARE(image.EntryAt(0).typeCode(), int{kCbm});
        view->SelectIndex(0);
        QVERIFY(f.frame->IsEnabled(cmd::ViewFile));
        // Renaming the partition renames its header too.
        f.frame->ExecuteCommand(cmd::Rename);
        QTest::keyClicks(f.frame->inPlaceEditor().edit(), QStringLiteral("part"));
        QTest::keyClick(f.frame->inPlaceEditor().edit(), Qt::Key_Return);
        DirEntry partition = image.EntryAt(0);
        const uint8_t* header = image.SectorPointer(partition.firstTrack(), 0);
        QCOMPARE(std::string(header + 4, header + 8), std::string("PART"));
        QVERIFY(!f.frame->IsEnabled(cmd::ParentDirectory));
        f.frame->ExecuteCommand(cmd::ViewFile);
        QCOMPARE(image.DirStack().size(), size_t{1});
        QVERIFY(f.frame->IsEnabled(cmd::ParentDirectory));
        QVERIFY(view->listingText().startsWith(QStringLiteral("0 \"PART")));
        f.frame->ExecuteCommand(cmd::ParentDirectory);
        QVERIFY(image.DirStack().empty());
        QVERIFY(!f.frame->IsEnabled(cmd::ParentDirectory));
        QCOMPARE(view->currentIndex(), 0);
    }

    void showDeletedListsEmptySlots() {
        ViewFixture f;
        f.view->SelectIndex(0);
        f.frame->ExecuteCommand(cmd::Remove);
        QCOMPARE(f.image->entryCount(), 3);
        f.frame->ExecuteCommand(cmd::ShowDeletedFiles);
        QVERIFY(f.frame->IsChecked(cmd::ShowDeletedFiles));
        QVERIFY(f.image->entryCount() >= 4);
        QVERIFY(f.view->verticalScrollBar()->maximum() >= 0);
        f.frame->ExecuteCommand(cmd::ShowDeletedFiles);
        QCOMPARE(f.image->entryCount(), 3);
    }

    void saveAsListingsFollowTheView() {
        ViewFixture f;
        // The view shows the lower/upper-case set; the saved listing reads the same way.
        f.frame->ExecuteCommand(cmd::ToggleCase);
        SaveChoice listing;
        listing.path = f.PathText(QStringLiteral("listing.txt"));
        f.ui.saveChoices = {listing};
        f.frame->ExecuteCommand(cmd::SaveAs);
        QFile file(f.Path(QStringLiteral("listing.txt")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY2(text.contains("\"sample disk"), text.constData());
        QVERIFY(text.contains("\"second"));
        // The picture listing of the selection only: two rows of large cells.
        f.frame->ExecuteCommand(cmd::ToggleCase);
        f.view->SelectIndex(1);
        f.view->SelectRange(2);
        SaveChoice picture;
        picture.path = f.PathText(QStringLiteral("listing.bmp"));
        picture.saveSelection = true;
        f.ui.saveChoices = {picture};
        f.frame->ExecuteCommand(cmd::SaveAs);
        QImage saved(f.Path(QStringLiteral("listing.bmp")));
        QVERIFY(!saved.isNull());
        QCOMPARE(saved.size(), QSize(28 * 16, 2 * 16));
        // The container keeps its own name.
        QCOMPARE(f.image->title(), std::string("sample.d64"));
    }

    void contextMenusOfferTheirItems() {
        ViewFixture f;
        std::unique_ptr<QMenu> entry(f.view->MakeEntryMenu());
        QStringList texts;
        for (QAction* item : entry->actions())
            texts.push_back(item->text());
        QCOMPARE(texts.first(), QStringLiteral("&Rename"));
        QVERIFY(texts.contains(QStringLiteral("&File Type")));
        QVERIFY(texts.contains(QStringLiteral("Show &File Properties")));
        // The item shows the File Property window, enabled here as in the frame's menu.
        for (QAction* item : entry->actions())
            if (item->data().toInt() == cmd::Number(cmd::ShowFileProperties))
                QVERIFY(item->isEnabled());
        std::unique_ptr<QMenu> header(f.view->MakeHeaderMenu());
        QCOMPARE(header->title(), QStringLiteral("Directory Name"));
        QStringList headerTexts;
        for (QAction* item : header->actions())
            headerTexts.push_back(item->text());
        QCOMPARE(headerTexts, (QStringList{"&Rename Disk", "Edit Disk &ID", "&Insert"}));
        // An item sends its command to the view.
        header->actions()[1]->trigger();
        QVERIFY(f.frame->inPlaceEditor().active());
        QCOMPARE(f.Editor()->length(), 5);
    }

    // ---- Preview of the open dialog ---------------------------------------------------------

    void previewShowsTheSelectedContainer() {
        ViewFixture f;
        const std::string other = f.Image(QStringLiteral("other.d64"), "OTHER");
        DirPreview preview(&f.settings, f.frame->ViewStyle());
        preview.ShowPath(QString::fromStdString(other));
        QVERIFY(preview.view());
        QVERIFY(preview.view()->listingText().startsWith(QStringLiteral("0 \"OTHER")));
        QCOMPARE(preview.view()->cellSize(), 8);
        // Quietly: the previewed file does not become a recent file.
        for (const std::string& recent : f.settings.fileMru)
            QVERIFY(recent != other);
        QCOMPARE(f.frame->openImages().size(), size_t{1});
        preview.ShowPath(f.Path(QStringLiteral("missing.d64")));
        QVERIFY(!preview.view());
        QVERIFY(!preview.image());
        QCOMPARE(preview.label()->text(), QStringLiteral("No Preview Available"));
    }
};

QTEST_MAIN(DirectoryViewTest)
#include "DirectoryViewTest.moc"
