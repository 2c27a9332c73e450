// The BAM view: one per image, opened by the BAM Editor command; a right click flips a block
// or, on an image with error bytes, opens the "BAM" popup; it closes with its image.

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QtTest>

#include "UiTestSupport.h"
#include "ui/BamView.h"
#include "ui/CommandActions.h"
#include "ui/ImageDocument.h"
#include "ui/InPlaceEditor.h"
#include "ui/SectorEditorView.h"

using namespace tessarind;
using namespace tessarind::testing;

namespace {

// The client point inside the cell of a block, with the view scrolled to its start.
QPoint CellPoint(int track, int sector) {
    return {BamGrid::kGridX + sector * BamGrid::kPitch + 7,
            BamGrid::kGridY + (track - 1) * BamGrid::kPitch + 7};
}

struct BamFixture : FrameFixture {
    DiskImage* image = nullptr;
    BamView* view = nullptr;

    explicit BamFixture(bool errorBytes) {
        auto made = BlankD64("BAMTEST");
        if (errorBytes) {
            made->SetErrorBytes(std::vector<uint8_t>(D64Image::kErrorCount35, 1),
                                D64Image::kErrorCount35);
            made->SetFlag(kFlagErrorCodes, true);
        }
        made->WriteFile(PathText(QStringLiteral("bam.d64")));
        frame->OpenPath(PathText(QStringLiteral("bam.d64")));
        ViewWindow* directory = frame->activeView();
        image = directory ? directory->Image() : nullptr;
        if (!image) return;
        frame->ExecuteCommand(cmd::BamEditor);
        view = dynamic_cast<BamView*>(frame->activeView());
    }
};

} // namespace

class BamViewTest : public QObject {
    Q_OBJECT
private slots:
    void opensOncePerImageWithItsTitle() {
        BamFixture f(false);
        QVERIFY(f.view);
        QCOMPARE(f.view->windowTitle(), QStringLiteral("bam.d64: BAM"));
        QCOMPARE(f.view->Capability(), 0x02);
        f.frame->ExecuteCommand(cmd::BamEditor); // from the BAM view itself: nothing new
        for (const auto& document : f.frame->openImages())
            f.frame->client()->setActiveSubWindow(document->directoryView()->Window());
        f.frame->ExecuteCommand(cmd::BamEditor);
        QCOMPARE(f.frame->activeView(), static_cast<ViewWindow*>(f.view));
        int bamWindows = 0;
        for (QMdiSubWindow* window : f.frame->client()->subWindowList())
            bamWindows += dynamic_cast<BamView*>(window->widget()) ? 1 : 0;
        QCOMPARE(bamWindows, 1);
        // Shrinks to 30 x 120 at most; grows only until every track and sector shows.
        const auto [w, h] = f.view->grid().LargestSize();
        QCOMPARE(f.view->minimumSize(), QSize(30, 120));
        QCOMPARE(f.view->maximumSize(),
                 QSize(w + f.view->verticalScrollBar()->sizeHint().width(),
                       h + f.view->horizontalScrollBar()->sizeHint().height()));
    }

    // The disk name and ID are edited in place over the head row; each edit is one step.
    void editsTheDiskNameAndIdInPlace() {
        BamFixture f(false);
        QVERIFY(f.view);
        const struct {
            CommandId command;
            const char* typed;
            const char* label;
            std::string stored;
        } cases[] = {{cmd::RenameDisk, "games", "Rename Disk", "GAMES"},
                     {cmd::EditDiskId, "ab 2a", "Disk ID", "AB 2A"}};
        for (const auto& c : cases) {
            const bool name = c.command == cmd::RenameDisk;
            auto field = [&] {
                const std::span<const uint8_t> bytes = name ? f.image->DiskName() : f.image->DiskId();
                return std::vector<uint8_t>(bytes.begin(), bytes.end());
            };
            const std::vector<uint8_t> before = field();
            f.frame->ExecuteCommand(c.command);
            CbmEdit* edit = f.frame->inPlaceEditor().edit();
            QVERIFY(edit);
            QCOMPARE(edit->parentWidget(), f.view->viewport());
            QTest::keyClicks(edit, QString::fromLatin1(c.typed));
            QTest::keyClick(edit, Qt::Key_Return);
            QVERIFY(!f.frame->inPlaceEditor().active());
            const std::vector<uint8_t> after = field();
            QCOMPARE(std::string(after.begin(), after.begin() + c.stored.size()), c.stored);
            QCOMPARE(f.image->UndoItemText().substr(0, 6 + strlen(c.label)),
                     "Undo: " + std::string(c.label));
            if (name) QCOMPARE(f.view->grid().DiskName().front(), uint8_t('G'));
            f.frame->ExecuteCommand(cmd::Undo);
            QVERIFY(field() == before);
        }
    }

    void rightClickFlipsWithoutErrorBytes() {
        BamFixture f(false);
        QVERIFY(f.view);
        QVERIFY(f.image->IsBlockFree(5, 3));
        QVERIFY(!f.view->RightClick(CellPoint(5, 3)));
        QVERIFY(!f.image->IsBlockFree(5, 3));
        QVERIFY(f.view->hovered());
        QCOMPARE(f.view->hovered()->track, 5);
        QCOMPARE(f.view->hovered()->sector, 3);
        // Ctrl+Z undoes the flip.
        QTest::keyClick(f.view, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(f.image->IsBlockFree(5, 3));
        // A click in a gap or past a track's end flips nothing.
        QVERIFY(!f.view->RightClick(CellPoint(31, 17)));
        QVERIFY(!f.view->hovered());
    }

    void rightClickOpensThePopupWithErrorBytes() {
        BamFixture f(true);
        QVERIFY(f.view);
        QMenu* menu = f.view->RightClick(CellPoint(18, 0));
        QVERIFY(menu);
        QVERIFY2(!f.image->IsBlockFree(18, 0), "the popup flips nothing by itself");
        QCOMPARE(menu->title(), QStringLiteral("BAM"));
        const QList<QAction*> items = menu->actions();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0]->text(), QStringLiteral("&Mark As Free"));
        QMenu* errors = items[1]->menu();
        QVERIFY(errors);
        QCOMPARE(errors->title(), QStringLiteral("&Errors"));
        QCOMPARE(errors->actions().size(), 9);
        QCOMPARE(errors->actions()[3]->text(), QStringLiteral("22 Data Block Not Present"));
        QVERIFY(errors->actions()[0]->isChecked());
        errors->actions()[3]->trigger();
        QCOMPARE(f.image->GetErrorCode(18, 0), 3);
        items[0]->trigger();
        QVERIFY(f.image->IsBlockFree(18, 0));
        menu = f.view->RightClick(CellPoint(18, 0));
        QCOMPARE(menu->actions()[0]->text(), QStringLiteral("&Mark As Used"));
        QVERIFY(menu->actions()[1]->menu()->actions()[3]->isChecked());
    }

    void leftClickOpensTheSectorEditorAtTheBlock() {
        BamFixture f(false);
        QVERIFY(f.view);
        QTest::mouseClick(f.view->viewport(), Qt::LeftButton, {}, CellPoint(18, 1));
        auto* editor = dynamic_cast<SectorEditorView*>(f.frame->activeView());
        QVERIFY(editor);
        QCOMPARE(editor->editor()->track(), 18);
        QCOMPARE(editor->editor()->sector(), 1);
        // F3 there comes back to this one BAM view.
        QTest::keyClick(editor, Qt::Key_F3);
        QCOMPARE(f.frame->activeView(), static_cast<ViewWindow*>(f.view));
    }

    void closesWithItsImage() {
        BamFixture f(false);
        QVERIFY(f.view);
        QPointer<BamView> view = f.view;
        QVERIFY(f.frame->CloseAll());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!view);
    }
};

QTEST_MAIN(BamViewTest)
#include "BamViewTest.moc"
