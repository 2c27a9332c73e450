// The tool windows of the frame: the CBM character tool, the separator tool, the File Property
// window and the About box, driven through the frame's commands and the mouse.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

#include "UiTestSupport.h"
#include "model/DiskImage.h"
#include "support/GeosBuilder.h"
#include "text/CbmFont.h"
#include "ui/AboutBox.h"
#include "ui/CbmEdit.h"
#include "ui/CbmTool.h"
#include "ui/CommandActions.h"
#include "ui/DirectoryView.h"
#include "ui/FilePropertyWindow.h"
#include "ui/ReplacementDialog.h"
#include "ui/SeparatorTool.h"
#include "ui/SpriteControl.h"
#include "ui/UrlLink.h"

using namespace tessarind;
using namespace tessarind::testing;

namespace {

// A frame with one 1541 image: two plain files and a GEOS application after them.
struct ToolFixture : FrameFixture {
    DirectoryView* view = nullptr;
    DiskImage* image = nullptr;
    int geosIndex = -1;

    ToolFixture() {
        auto disk = BlankD64("TOOLS");
        AddFile(*disk, {"FIRST", 0x82, Pattern(300)});
        AddFile(*disk, {"SECOND", 0x81, Pattern(100, 2)});
        GeosFileSpec geos;
        geos.name = "GEOWRITE";
        geos.data = Pattern(600, 5);
        AddGeosFile(*disk, geos);
        geosIndex = 2;
        frame->AddImage(std::move(disk));
        view = dynamic_cast<DirectoryView*>(frame->activeView());
        image = view ? view->Image() : nullptr;
    }
    const uint8_t* Info(int index) const {
        DirEntry entry = image->EntryAt(index);
        return image->SectorPointer(entry.sideTrack(), entry.sideSector());
    }
};

// The first set pixel of a glyph drawn large at (x, y): its top-left screen pixel.
QPoint InkPixel(uint8_t code, QPoint at) {
    const Glyph& glyph = CbmGlyph(kUpperCaseSet[code]);
    for (int row = 0; row < kGlyphSize; ++row)
        for (int col = 0; col < kGlyphSize; ++col)
            if (glyph[static_cast<size_t>(row)] & (0x80 >> col)) return at + QPoint(col, row) * 2;
    return {-1, -1};
}

QRgb Colour(uint32_t rgb) {
    return 0xFF000000u | rgb;
}

// Records what the desktop was asked to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

} // namespace

class ToolWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void toolCommandsShowHideAndNameTheirState() {
        FrameFixture f;
        const std::pair<CommandId, const char*> tools[] = {
            {cmd::ShowCbmTool, "CBM Tool"},
            {cmd::ShowSeparatorTool, "Separator Tool"},
            {cmd::ShowFileProperties, "File Properties"}};
        QWidget* windows[] = {f.frame->cbmTool(), f.frame->separatorTool(),
                              f.frame->fileProperties()};
        for (size_t i = 0; i < std::size(tools); ++i) {
            const auto [id, what] = tools[i];
            QAction* action = f.frame->actions().Get(id);
            // Enabled without any container; hidden at start.
            QVERIFY(f.frame->IsEnabled(id));
            QVERIFY(!windows[i]->isVisible());
            QCOMPARE(action->toolTip(), QStringLiteral("Show %1").arg(QLatin1String(what)));
            f.frame->ExecuteCommand(id);
            QVERIFY(windows[i]->isVisible());
            QVERIFY(f.frame->IsChecked(id));
            QCOMPARE(action->toolTip(), QStringLiteral("Hide %1").arg(QLatin1String(what)));
            QVERIFY(action->text().startsWith(QStringLiteral("Hide &")));
            // Closing the window hides it and the item follows.
            windows[i]->close();
            QVERIFY(!windows[i]->isVisible());
            QVERIFY(!f.frame->IsChecked(id));
            QCOMPARE(action->text().remove(QLatin1Char('&')),
                     QStringLiteral("Show %1").arg(QLatin1String(what)));
        }
    }

    void cbmToolTypesTheClickedCodeIntoTheFocusedField() {
        FrameFixture f;
        CbmTool* tool = f.frame->cbmTool();
        f.frame->ExecuteCommand(cmd::ShowCbmTool);
        QWidget host;
        auto* edit = new CbmEdit(&host);
        auto* other = new QLineEdit(&host);
        other->move(0, 40);
        host.show();
        host.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&host));
        edit->setFocus();
        QTRY_COMPARE(tool->target(), static_cast<CbmCodeTarget*>(edit));

        struct Cell {
            int column, row;
            uint8_t code;
        };
        const Cell cells[] = {{1, 4, 0x41}, {0, 0, 0x00}, {15, 11, 0xBF}, {2, 10, 0xA2}};
        std::vector<uint8_t> typed;
        for (const Cell& cell : cells) {
            const QPoint centre(cell.column * CbmTool::kPitch + CbmTool::kPitch / 2,
                                cell.row * CbmTool::kPitch + CbmTool::kPitch / 2);
            QCOMPARE(CbmTool::CodeAt(centre), cell.code);
            QTest::mouseClick(tool, Qt::LeftButton, {}, centre);
            typed.push_back(cell.code);
        }
        QCOMPARE(std::vector<uint8_t>(edit->bytes().begin(), edit->bytes().begin() + 4), typed);

        // Pressed on one cell and released on another: nothing.
        QTest::mousePress(tool, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(tool, Qt::LeftButton, {}, QPoint(5 + CbmTool::kPitch, 5));
        QCOMPARE(edit->TextLength(), 4);

        // The focus elsewhere: no target, the grid grey, clicks do nothing.
        other->setFocus();
        QTRY_COMPARE(tool->target(), nullptr);
        QTest::mouseClick(tool, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(edit->TextLength(), 4);
        const ColourScheme& colours = f.frame->colourScheme();
        const QPoint ink = InkPixel(0x41, CbmTool::CellRect(0x41).topLeft() +
                                              QPoint(CbmTool::kGap, CbmTool::kGap));
        QCOMPARE(tool->Render().pixel(ink), Colour(colours.grayText));
        edit->setFocus();
        QTRY_VERIFY(tool->target() != nullptr);
        QCOMPARE(tool->Render().pixel(ink), Colour(colours.faceText));
        // Hovering frames the cell in the selection colour.
        const QPointF over = CbmTool::CellRect(0x41).center();
        QMouseEvent move(QEvent::MouseMove, over, tool->mapToGlobal(over), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(tool, &move);
        QCOMPARE(tool->hoverCode(), 0x41);
        QCOMPARE(tool->Render().pixel(CbmTool::CellRect(0x41).topLeft()),
                 Colour(colours.selection));
        QCOMPARE(tool->Render().pixel(ink), Colour(colours.selection));
        // A field that goes away leaves no target behind.
        delete edit;
        QCOMPARE(tool->target(), nullptr);
    }

    void replacementDialogHasATool() {
        Settings settings;
        ReplacementDialog dialog(settings);
        dialog.show();
        QVERIFY(dialog.cbmTool()->isVisible());
        QCOMPARE(dialog.cbmTool()->target(), static_cast<CbmCodeTarget*>(&dialog));
        for (uint8_t code : {uint8_t{0x41}, uint8_t{0x5E}}) {
            QTest::mouseClick(dialog.cbmTool(), Qt::LeftButton, {},
                              CbmTool::CellRect(code).center());
            QCOMPARE(dialog.fieldCode(), std::optional<uint8_t>(code));
        }
    }

    void separatorToolGreyAndInertWithoutDirectoryView() {
        FrameFixture f;
        SeparatorTool* tool = f.frame->separatorTool();
        f.frame->ExecuteCommand(cmd::ShowSeparatorTool);
        QCOMPARE(tool->targetView(), nullptr);
        QVERIFY(!tool->Send(0));
        QTest::mouseClick(tool, Qt::LeftButton, {}, tool->RowRect(0).center());
        const uint8_t first = tool->separators()[0][SeparatorTool::kNameOffset];
        const QPoint ink = InkPixel(first, QPoint(SeparatorTool::kGap, 1));
        QCOMPARE(tool->Render().pixel(ink), Colour(f.frame->colourScheme().grayText));
        f.frame->OpenPath(f.Image(QStringLiteral("one.d64")));
        QVERIFY(tool->targetView() != nullptr);
        QCOMPARE(tool->Render().pixel(ink), Colour(f.frame->colourScheme().faceText));
        f.frame->CloseAll();
        QCOMPARE(tool->targetView(), nullptr);
    }

    void separatorClickInsertsAClosedDelEntryThatOneUndoRemoves() {
        ToolFixture f;
        SeparatorTool* tool = f.frame->separatorTool();
        f.frame->ExecuteCommand(cmd::ShowSeparatorTool);
        QCOMPARE(tool->targetView(), f.view);
        QCOMPARE(tool->separators(), SettingsStore::BuiltInSeparators());
        for (int row : {0, 1, 7}) {
            for (int current : {0, 2}) {
                f.view->SelectIndex(current);
                const int count = f.image->entryCount();
                const QByteArray name(
                    reinterpret_cast<const char*>(f.image->EntryAt(current).name().data()),
                    kNameLength);
                QTest::mouseClick(tool, Qt::LeftButton, {}, tool->RowRect(row).center());
                QCOMPARE(f.image->entryCount(), count + 1);
                DirEntry inserted = f.image->EntryAt(current);
                const auto& separator = tool->separators()[static_cast<size_t>(row)];
                QCOMPARE(inserted.type(), uint8_t{0x80});
                QCOMPARE(inserted.firstTrack(), uint8_t{0});
                QCOMPARE(inserted.firstSector(), uint8_t{0});
                QVERIFY(std::equal(inserted.name().begin(), inserted.name().end(),
                                   separator.begin() + SeparatorTool::kNameOffset));
                QCOMPARE(f.view->currentIndex(), current + 1);
                f.frame->ExecuteCommand(cmd::Undo);
                QCOMPARE(f.image->entryCount(), count);
                QCOMPARE(QByteArray(
                             reinterpret_cast<const char*>(f.image->EntryAt(current).name().data()),
                             kNameLength),
                         name);
            }
        }
    }

    void separatorHeightSnapsToRows() {
        struct Case {
            int requested, length;
        };
        const Case cases[] = {{3, 20}, {8, 20}, {9, 20}, {12, 20}, {12, 10}, {30, 8}, {40, 30}};
        for (const Case& c : cases) {
            const int expected =
                (c.requested < 9 || c.length < 9) ? 8 : std::min(c.requested, c.length);
            QCOMPARE(SeparatorTool::SnappedRows(c.requested, c.length), expected);
        }
        FrameFixture f;
        SeparatorTool* tool = f.frame->separatorTool();
        f.frame->ExecuteCommand(cmd::ShowSeparatorTool);
        // The eight built-ins fit: no bar, whatever height is asked.
        tool->resize(tool->width(), 12 * SeparatorTool::kRowHeight + 5);
        QCOMPARE(tool->height(), 8 * SeparatorTool::kRowHeight);
        QVERIFY(tool->scrollBar()->isHidden());
        for (int i = 0; i < 12; ++i)
            f.settings.separators.push_back(f.settings.separators[0]);
        tool->resize(tool->width(), 12 * SeparatorTool::kRowHeight + 5);
        QCOMPARE(tool->height(), 12 * SeparatorTool::kRowHeight);
        QVERIFY(!tool->scrollBar()->isHidden());
        QCOMPARE(tool->scrollBar()->maximum(), 20 - 12);
    }

    void separatorPopupInsertsEditsMovesAndDeletes() {
        FrameFixture f;
        SeparatorTool* tool = f.frame->separatorTool();
        f.frame->ExecuteCommand(cmd::ShowSeparatorTool);
        const auto builtIn = SettingsStore::BuiltInSeparators();
        const int last = static_cast<int>(builtIn.size()) - 1;
        // Moving is off at the ends, everything but Insert off on empty space.
        QVERIFY(!tool->CanRun(SeparatorTool::kMoveUpItem, 0));
        QVERIFY(!tool->CanRun(SeparatorTool::kMoveDownItem, last));
        QVERIFY(!tool->CanRun(SeparatorTool::kEditItem, -1));
        QVERIFY(tool->CanRun(SeparatorTool::kInsertItem, -1));

        tool->Run(SeparatorTool::kInsertItem, 2);
        QVERIFY(tool->editor());
        QVERIFY(!tool->CanRun(SeparatorTool::kInsertItem, 2));  // not while editing
        QTest::keyClicks(tool->editor(), QStringLiteral("ab")); // PETSCII A and B
        QTest::keyClick(tool->editor(), Qt::Key_Return);
        QVERIFY(!tool->editor());
        const auto& list = tool->separators();
        QCOMPARE(list.size(), builtIn.size() + 1);
        QCOMPARE(list[2][0], uint8_t{0x80});
        QCOMPARE(list[2][3], uint8_t{'A'});
        QCOMPARE(list[2][4], uint8_t{'B'});
        QCOMPARE(list[2][5], kPad);
        QVERIFY(list[3] == builtIn[2]);

        tool->Run(SeparatorTool::kMoveUpItem, 2);
        QVERIFY(list[1][3] == 'A' && list[2] == builtIn[1]);
        tool->Run(SeparatorTool::kEditItem, 1);
        QTest::keyClick(tool->editor(), Qt::Key_End);
        QTest::keyClicks(tool->editor(), QStringLiteral("c"));
        QTest::keyClick(tool->editor(), Qt::Key_Escape); // discarded
        QCOMPARE(list[1][5], kPad);
        tool->Run(SeparatorTool::kDeleteItem, 1);
        QVERIFY(f.settings.separators == builtIn);
    }

    void filePropertiesFollowTheEntryAndEmptyWithoutOne() {
        ToolFixture f;
        FilePropertyWindow* window = f.frame->fileProperties();
        f.frame->ExecuteCommand(cmd::ShowFileProperties);
        const int geosIds[] = {FilePropertyWindow::kClass,   FilePropertyWindow::kAuthor,
                               FilePropertyWindow::kCreator, FilePropertyWindow::kLoad,
                               FilePropertyWindow::kStart,   FilePropertyWindow::kEnd};
        // A plain file: its fields, empty GEOS fields and a blank icon.
        f.view->SelectIndex(0);
        DirEntry entry = f.image->EntryAt(0);
        QCOMPARE(window->lineEdit(FilePropertyWindow::kSize)->text(),
                 QString::number(entry.blocks()));
        QCOMPARE(window->lineEdit(FilePropertyWindow::kTrack)->text(),
                 QString::number(entry.firstTrack()));
        QCOMPARE(window->comboBox(FilePropertyWindow::kType)->currentIndex(), entry.typeCode());
        QVERIFY(!window->showsGeos());
        QVERIFY(window->icon()->blank());
        for (int id : geosIds)
            QVERIFY(window->lineEdit(id)->text().isEmpty());
        QVERIFY(window->description()->toPlainText().isEmpty());
        const int plainHeight = window->sizeHint().height();

        // The GEOS file: its info block and a taller window.
        f.view->SelectIndex(f.geosIndex);
        const uint8_t* info = f.Info(f.geosIndex);
        QVERIFY(info);
        QVERIFY(window->showsGeos());
        QVERIFY(window->sizeHint().height() > plainHeight);
        QCOMPARE(window->lineEdit(FilePropertyWindow::kLoad)->text().toUInt(nullptr, 16),
                 uint(info[71] | info[72] << 8));
        QVERIFY(!window->icon()->blank());

        // No directory view: every control off and empty.
        f.image->SetModified(false);
        QVERIFY(f.frame->CloseAll());
        QCOMPARE(window->view(), nullptr);
        for (int id : {FilePropertyWindow::kSize, FilePropertyWindow::kYear,
                       FilePropertyWindow::kTrack, FilePropertyWindow::kClass}) {
            QVERIFY(!window->lineEdit(id)->isEnabled());
            QVERIFY(window->lineEdit(id)->text().isEmpty());
        }
        QVERIFY(!window->nameEdit()->isEnabled());
        QVERIFY(!window->checkBox(FilePropertyWindow::kLocked)->isEnabled());
    }

    void fileFieldEditsStoreAtOnceAndUndoAsOneStep() {
        ToolFixture f;
        FilePropertyWindow* window = f.frame->fileProperties();
        f.frame->ExecuteCommand(cmd::ShowFileProperties);
        f.view->SelectIndex(1);
        struct Edit {
            int id;
            QString typed;
            int offset;
            std::vector<uint8_t> stored;
            QString shown;
        };
        const Edit edits[] = {
            {FilePropertyWindow::kSize,
             QStringLiteral("1234"),
             30,
             {0xD2, 0x04},
             QStringLiteral("1234")},
            {FilePropertyWindow::kSize,
             QStringLiteral("70000"),
             30,
             {0xFF, 0xFF},
             QStringLiteral("65535")},
            {FilePropertyWindow::kYear, QStringLiteral("1899"), 25, {0}, QStringLiteral("1900")},
            {FilePropertyWindow::kYear, QStringLiteral("1987"), 25, {87}, QStringLiteral("1987")},
            {FilePropertyWindow::kYear, QStringLiteral("2155"), 25, {255}, QStringLiteral("2155")},
            {FilePropertyWindow::kYear, QStringLiteral("2400"), 25, {255}, QStringLiteral("2155")},
            {FilePropertyWindow::kSideSector, QStringLiteral("17"), 22, {17}, QStringLiteral("17")},
            {FilePropertyWindow::kHour, QStringLiteral("99"), 28, {23}, QStringLiteral("23")},
        };
        for (const Edit& e : edits) {
            const uint8_t* slot = f.image->EntryAt(1).data();
            const std::vector<uint8_t> before(slot + e.offset, slot + e.offset + e.stored.size());
            const auto steps = f.image->Journal().size();
            QLineEdit* field = window->lineEdit(e.id);
            field->setFocus();
            field->selectAll();
            QTest::keyClicks(field, e.typed);
            QTest::keyClick(field, Qt::Key_Return);
            slot = f.image->EntryAt(1).data();
            QCOMPARE(std::vector<uint8_t>(slot + e.offset, slot + e.offset + e.stored.size()),
                     e.stored);
            QCOMPARE(field->text(), e.shown);
            QCOMPARE(f.image->Journal().size(), steps + 1);
            f.frame->ExecuteCommand(cmd::Undo);
            slot = f.image->EntryAt(1).data();
            QCOMPARE(std::vector<uint8_t>(slot + e.offset, slot + e.offset + e.stored.size()),
                     before);
        }
        // The check boxes: "Closed:" is checked for a file that is not closed.
        window->checkBox(FilePropertyWindow::kNotClosed)->click();
        QVERIFY(!f.image->EntryAt(1).closed());
        window->checkBox(FilePropertyWindow::kLocked)->click();
        QVERIFY(f.image->EntryAt(1).locked());
    }

    void geosFieldsStoreIntoTheInfoBlock() {
        ToolFixture f;
        FilePropertyWindow* window = f.frame->fileProperties();
        f.frame->ExecuteCommand(cmd::ShowFileProperties);
        f.view->SelectIndex(f.geosIndex);
        struct Edit {
            int id;
            QString typed;
            int offset;
            std::vector<uint8_t> stored;
            const char* label;
        };
        std::vector<uint8_t> author(20, 0);
        std::copy_n("Someone", 7, author.begin());
        const Edit edits[] = {
            {FilePropertyWindow::kLoad,
             QStringLiteral("0400"),
             71,
             {0x00, 0x04},
             "GEOS Load Address"},
            {FilePropertyWindow::kEnd,
             QStringLiteral("$1F80"),
             73,
             {0x80, 0x1F},
             "GEOS End Address"},
            {FilePropertyWindow::kAuthor, QStringLiteral("Someone"), 97, author, "GEOS Author"},
        };
        for (const Edit& e : edits) {
            QLineEdit* field = window->lineEdit(e.id);
            field->setText(e.typed);
            emit field->editingFinished();
            const uint8_t* info = f.Info(f.geosIndex);
            QCOMPARE(std::vector<uint8_t>(info + e.offset, info + e.offset + e.stored.size()),
                     e.stored);
            QVERIFY2(f.image->UndoItemText().find(e.label) != std::string::npos,
                     f.image->UndoItemText().c_str());
        }
        // A line break is stored as CR and shown as a line break again.
        window->description()->setPlainText(QStringLiteral("First\nSecond"));
        window->Commit(FilePropertyWindow::kDescription);
        const uint8_t* text = f.Info(f.geosIndex) + 160;
        const std::string stored(reinterpret_cast<const char*>(text), 13);
        QCOMPARE(stored, std::string("First\rSecond\0", 13));
        QCOMPARE(window->description()->toPlainText().split(QLatin1Char('\n')).size(), 2);
        // Round trips of the description text.
        const std::vector<std::vector<uint8_t>> texts = {
            {'A', 0x0D, 'B'}, {0x0D, 0x0D}, {}, {'x', 0xE9, 0x0D}};
        for (const auto& bytes : texts) {
            const QString shown = FilePropertyWindow::DescriptionText(bytes);
            QCOMPARE(shown.count(QStringLiteral("\r\n")),
                     static_cast<qsizetype>(std::count(bytes.begin(), bytes.end(), 0x0D)));
            QCOMPARE(FilePropertyWindow::DescriptionBytes(shown), bytes);
        }
    }

    void geosIconPaintsDoubledPixels() {
        ToolFixture f;
        FilePropertyWindow* window = f.frame->fileProperties();
        f.frame->ExecuteCommand(cmd::ShowFileProperties);
        f.view->SelectIndex(f.geosIndex);
        const uint8_t* icon = f.Info(f.geosIndex) + 5;
        const QImage painted = window->icon()->grab().toImage();
        QCOMPARE(painted.size(), QSize(48, 42));
        const QRgb ink = window->icon()->palette().color(QPalette::ButtonText).rgb();
        const QRgb face = window->icon()->palette().color(QPalette::Button).rgb();
        int set = 0;
        for (int y = 0; y < 42; ++y) {
            for (int x = 0; x < 48; ++x) {
                const int ix = x / 2, iy = y / 2;
                const bool on = (icon[iy * 3 + ix / 8] >> (7 - ix % 8)) & 1;
                set += on;
                QCOMPARE(painted.pixel(x, y), on ? ink : face);
            }
        }
        QVERIFY(set > 0 && set < 48 * 42);
        // A plain file paints the face alone.
        f.view->SelectIndex(0);
        const QImage blank = window->icon()->grab().toImage();
        for (int y = 0; y < 42; y += 5)
            for (int x = 0; x < 48; x += 3)
                QCOMPARE(blank.pixel(x, y), face);
    }

    void aboutBoxShowsTheProgramAndOpensItsLink() {
        FrameFixture f;
        QString seen;
        QTimer::singleShot(0, [&] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                seen = box->objectName();
                box->close();
            }
        });
        f.frame->ExecuteCommand(cmd::About);
        QCOMPARE(seen, QStringLiteral("204"));

        AboutBox about(f.frame.get());
        auto* title = about.findChild<QLabel*>(QStringLiteral("title"));
        QVERIFY(title && title->text() == QLatin1String(MainFrame::kTitle));
        QVERIFY(!about.findChild<QLabel*>(QStringLiteral("picture"))->pixmap().isNull());
        UrlRecorder browser;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "open");
        about.show();
        QTest::mouseClick(about.link(), Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(browser.urls, QList<QUrl>{QUrl(QString::fromLatin1(AboutBox::kUrl))});
        const QImage link = about.link()->grab().toImage();
        QVERIFY(link.allGray() == false); // blue text on the face
    }
};

QTEST_MAIN(ToolWindowsTest)
#include "ToolWindowsTest.moc"
