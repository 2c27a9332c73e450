// The text viewer: text documents, text views of files and listings, keys, selection, copy.

#include <QApplication>
#include <QClipboard>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QtTest>

#include "UiTestSupport.h"
#include "catalog/TextPicture.h"
#include "formats/TextDocument.h"
#include "text/CbmFont.h"
#include "ui/DialogInteraction.h"
#include "ui/DirectoryView.h"
#include "ui/PetsciiTextView.h"

using namespace tessarind;
using namespace tessarind::testing;

namespace {

using Bytes = std::vector<uint8_t>;

struct TextFixture : FrameFixture {
    // Opens a host file holding `bytes`; the active view, when it is a text view.
    PetsciiTextView* OpenFile(const QString& name, const Bytes& bytes) {
        QFile file(Path(name));
        if (!file.open(QIODevice::WriteOnly)) return nullptr;
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        file.close();
        frame->OpenPath(PathText(name));
        auto* view = dynamic_cast<PetsciiTextView*>(frame->activeView());
        if (view) view->setFocus();
        return view;
    }
    // A 1541 image holding `files`, opened; its directory view.
    DirectoryView* OpenDisk(const std::vector<FileSpec>& files) {
        auto image = BlankD64("TEXTS");
        for (const FileSpec& file : files)
            AddFile(*image, file);
        image->WriteFile(PathText(QStringLiteral("texts.d64")));
        frame->OpenPath(PathText(QStringLiteral("texts.d64")));
        return dynamic_cast<DirectoryView*>(frame->activeView());
    }
    void Mouse(PetsciiTextView* view, QEvent::Type type, QPoint at) {
        QMouseEvent event(type, at, view->viewport()->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &event);
    }
    QPoint CellPoint(PetsciiTextView* view, int row, int column) {
        const int cell = view->cellSize();
        return {column * cell + cell / 2, row * cell + cell / 2};
    }
};

} // namespace

class TextViewTest : public QObject {
    Q_OBJECT
private slots:
    void documentsOpenAsTheirTextIn40Columns() {
        TextFixture f;
        PetsciiTextView* view = f.OpenFile(QStringLiteral("letters.seq"), Bytes(90, 'A'));
        QVERIFY(view);
        QCOMPARE(view->columns(), 40);
        QCOMPARE(view->lineCount(), 3);
        QCOMPARE(view->Window()->windowTitle(), f.Path(QStringLiteral("letters.seq")));
        QVERIFY(view->switches().spaceCodesAsBlanks && view->switches().wordWrap);
        QVERIFY(!view->switches().interpretCodes);
        QCOMPARE(view->viewport()->width(), 40 * view->cellSize());
        QVERIFY(view->viewport()->height() >= 25 * view->cellSize());
        // Keys 8 and 4 give 80 and 40 columns.
        QTest::keyClick(view, Qt::Key_8);
        QCOMPARE(view->columns(), 80);
        QCOMPARE(view->lineCount(), 2);
        QTest::keyClick(view, Qt::Key_4);
        QCOMPARE(view->lineCount(), 3);
        // The control-code switch turns word wrap off, and back to how it opened.
        f.frame->ExecuteCommand(cmd::ToggleHiddenCharacters);
        QVERIFY(view->switches().interpretCodes && !view->switches().wordWrap);
        f.frame->ExecuteCommand(cmd::ToggleHiddenCharacters);
        QVERIFY(!view->switches().interpretCodes && view->switches().wordWrap);
        // Closing the window closes the document.
        QCOMPARE(f.frame->openImages().size(), size_t{1});
        view->Window()->close();
        QCOMPARE(f.frame->openImages().size(), size_t{0});
    }

    void copyingAcrossTwoLinesGivesOneLineEnd() {
        TextFixture f;
        PetsciiTextView* view = f.OpenFile(QStringLiteral("two.seq"), {'A', 'B', 0x0D, 'C', 'D'});
        QVERIFY(view);
        QVERIFY(!view->HasSelection());
        // From B on the first line to C on the second, with the mouse.
        f.Mouse(view, QEvent::MouseButtonPress, f.CellPoint(view, 0, 1));
        f.Mouse(view, QEvent::MouseMove, f.CellPoint(view, 1, 0));
        f.Mouse(view, QEvent::MouseButtonRelease, f.CellPoint(view, 1, 0));
        QCOMPARE(view->selectionFirst(), size_t{1});
        QCOMPARE(view->selectionLast(), size_t{4});
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("B\r\nC"));
        // In the lower-case set letters are shown, and copied, as small ones.
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        f.frame->ExecuteCommand(cmd::ToggleCase);
        QCOMPARE(view->SelectedText(), QStringLiteral("ab\r\ncd"));
    }

    void dragPastTheBottomScrollsOnATimer() {
        TextFixture f;
        Bytes lines;
        for (int i = 0; i < 200; ++i)
            lines.insert(lines.end(), {'L', 0x0D});
        PetsciiTextView* view = f.OpenFile(QStringLiteral("long.seq"), lines);
        QVERIFY(view);
        QCOMPARE(view->firstLine(), 0);
        f.Mouse(view, QEvent::MouseButtonPress, f.CellPoint(view, 0, 0));
        f.Mouse(view, QEvent::MouseMove, QPoint(4, view->viewport()->height() + 20));
        QTRY_VERIFY(view->firstLine() >= 2);
        f.Mouse(view, QEvent::MouseButtonRelease, QPoint(4, view->viewport()->height() + 20));
        const int stopped = view->firstLine();
        QTest::qWait(3 * PetsciiTextView::kAutoScrollMs);
        QCOMPARE(view->firstLine(), stopped);
        QVERIFY(view->selectionLast() > size_t(2 * (stopped + view->VisibleRows() - 1)));
        // Page down moves a page.
        QTest::keyClick(view, Qt::Key_PageDown);
        QCOMPARE(view->firstLine(), stopped + view->VisibleRows());
    }

    void viewFileShowsColourCodesAndClosesWithTheImage() {
        TextFixture f;
        const Bytes red = {0x1C, 'A'};
        DirectoryView* disk = f.OpenDisk(
            {{"RED", 0x81, red},
             {"CODE", 0x82, {0x00, 0xC0, 0x60}},
             {"BASIC",
              0x82,
              {0x01, 0x08, 0x0B, 0x08, 0x0A, 0x00, 0x99, '"', 'H', 'I', '"', 0x00, 0x00, 0x00}}});
        QVERIFY(disk);
        disk->SelectIndex(0);
        f.frame->ExecuteCommand(cmd::ViewFile);
        auto* view = dynamic_cast<PetsciiTextView*>(f.frame->activeView());
        QVERIFY(view);
        QCOMPARE(view->Window()->windowTitle(), QStringLiteral("red.seq"));
        QCOMPARE(view->ProposedName(), QStringLiteral("red"));
        QVERIFY(view->switches().interpretCodes); // "DefaultCtrlChar" is on
        // The A is drawn in red on the view's background, as the core renders it.
        const QImage shown = view->Snapshot();
        const int cell = view->cellSize();
        const Glyph& glyph = CbmGlyph(kUpperCaseSet['A']);
        const int scale = cell / kGlyphSize;
        const uint32_t background = view->Colour(cmd::BackgroundColour);
        int redPixels = 0;
        for (int y = 0; y < cell; ++y)
            for (int x = 0; x < cell; ++x) {
                const bool set = glyph[size_t(y / scale)] & (0x80 >> (x / scale));
                const uint32_t pixel = shown.pixel(x, y) & 0xFFFFFF;
                QCOMPARE(pixel, set ? 0xA80000u : background);
                redPixels += set;
            }
        QVERIFY(redPixels > 0);
        // Export writes the bytes under the name proposed without ".seq".
        f.ui.saveChoices.push_back(SaveChoice{f.PathText(QStringLiteral("out.seq"))});
        f.frame->ExecuteCommand(cmd::Export);
        QCOMPARE(f.ui.saveRequests.back().proposedName, std::string("red"));
        QFile exported(f.Path(QStringLiteral("out.seq")));
        QVERIFY(exported.open(QIODevice::ReadOnly));
        QCOMPARE(exported.readAll(), QByteArray("\034A"));
        // The font switch gives 40 x 25 cells of the other size.
        const int before = view->cellSize();
        QTest::keyClick(view, Qt::Key_8);
        f.frame->ExecuteCommand(cmd::ToggleFontSize);
        QCOMPARE(view->columns(), 40);
        QVERIFY(view->cellSize() != before);
        QCOMPARE(view->viewport()->width(), 40 * view->cellSize());

        // A program that is no BASIC program says so.
        f.frame->client()->setActiveSubWindow(disk->Window());
        disk->SelectIndex(1);
        f.frame->ExecuteCommand(cmd::ViewFile);
        QVERIFY(f.HasMessage("Unable to View File"));
        // A BASIC program is shown as its listing, without word wrap.
        f.frame->client()->setActiveSubWindow(disk->Window());
        disk->SelectIndex(2);
        f.frame->ExecuteCommand(cmd::ViewFile);
        auto* basic = dynamic_cast<PetsciiTextView*>(f.frame->activeView());
        QVERIFY(basic && basic != view);
        QCOMPARE(basic->Window()->windowTitle(), QStringLiteral("basic"));
        const std::string program(basic->text().begin(), basic->text().end());
        QVERIFY2(program.find("10 PRINT\"HI\"") != std::string::npos, program.c_str());
        QVERIFY(!basic->switches().wordWrap && !basic->switches().spaceCodesAsBlanks);

        // List Dir opens the listing as text titled after the view.
        f.frame->client()->setActiveSubWindow(disk->Window());
        f.frame->ExecuteCommand(cmd::ListDir);
        auto* listing = dynamic_cast<PetsciiTextView*>(f.frame->activeView());
        QVERIFY(listing);
        QCOMPARE(listing->Window()->windowTitle(), QStringLiteral("texts.d64: DIR"));
        QCOMPARE(listing->ProposedName(), QStringLiteral("texts.d64"));
        QVERIFY(!listing->switches().wordWrap && !listing->switches().spaceCodesAsBlanks);

        // Closing the image closes its text views.
        disk->Window()->close();
        QCOMPARE(f.frame->openImages().size(), size_t{0});
        QTRY_VERIFY(f.frame->client()->subWindowList().isEmpty());
    }

    void notesOfAnArchiveOpenAsATextDocument() {
        TextFixture f;
        DialogInteraction dialogs(f.frame.get());
        dialogs.ShowText("NOTES", {'H', 'I', 0x0D, 'T', 'H', 'E', 'R', 'E'});
        auto* view = dynamic_cast<PetsciiTextView*>(f.frame->activeView());
        QVERIFY(view);
        QCOMPARE(view->Window()->windowTitle(), QStringLiteral("NOTES"));
        QCOMPARE(view->lineCount(), 2);
        QCOMPARE(f.frame->openImages().size(), size_t{1});
        QVERIFY(!view->switches().wordWrap);
    }
};

QTEST_MAIN(TextViewTest)
#include "TextViewTest.moc"
