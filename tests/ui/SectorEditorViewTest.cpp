// The sector editor window: one per image, reached from the BAM view; its keys move along
// tracks and sectors, its commands fill and undo, and an edit is journalled when another
// block is shown.

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QToolBar>
#include <QtTest>

#include "UiTestSupport.h"
#include "ui/BamView.h"
#include "ui/CbmCodeTarget.h"
#include "ui/CommandActions.h"
#include "ui/DirectoryView.h"
#include "ui/SectorEditorView.h"

using namespace tessarind;
using namespace tessarind::testing;

namespace {

struct EditorFixture : FrameFixture {
    DiskImage* image = nullptr;

    EditorFixture() {
        frame->OpenPath(Image(QStringLiteral("edit.d64")));
        ViewWindow* directory = frame->activeView();
        image = directory ? directory->Image() : nullptr;
    }
    SectorEditorView* Show(int track, int sector) {
        return image ? ShowSectorEditor(frame.get(), *image, track, sector) : nullptr;
    }
};

} // namespace

class SectorEditorViewTest : public QObject {
    Q_OBJECT
private slots:
    void keysMoveAlongTheDisk() {
        struct Case {
            const char* what;
            int track, sector;
            Qt::Key key;
            Qt::KeyboardModifiers mods;
            int toTrack, toSector;
        };
        const Case cases[] = {
            {"Page Down on the last block", 35, 16, Qt::Key_PageDown, Qt::NoModifier, 35, 16},
            {"Page Up on 1/0", 1, 0, Qt::Key_PageUp, Qt::NoModifier, 1, 0},
            {"Ctrl+Up on track 1", 1, 4, Qt::Key_Up, Qt::ControlModifier, 35, 4},
            {"Ctrl+Left on sector 0", 30, 0, Qt::Key_Left, Qt::ControlModifier, 30, 17},
            {"Ctrl+Right past the last", 30, 17, Qt::Key_Right, Qt::ControlModifier, 30, 0},
            {"Ctrl+Down", 17, 20, Qt::Key_Down, Qt::ControlModifier, 18, 18},
            {"Alt+Down follows the link", 18, 0, Qt::Key_Down, Qt::AltModifier, 18, 1},
        };
        EditorFixture f;
        for (const Case& c : cases) {
            SectorEditorView* view = f.Show(c.track, c.sector);
            QVERIFY2(view, c.what);
            QTest::keyClick(view, c.key, c.mods);
            QVERIFY2(view->editor()->track() == c.toTrack, c.what);
            QVERIFY2(view->editor()->sector() == c.toSector, c.what);
        }
    }

    void typingGInTheCharacterColumnJumps() {
        EditorFixture f;
        QVERIFY(f.image);
        uint8_t* block = f.image->SectorPointer(5, 0);
        block[0] = 9;
        block[1] = 4;
        SectorEditorView* view = f.Show(5, 0);
        QVERIFY(view);
        QTest::keyClick(view, Qt::Key_Right, Qt::AltModifier);
        QTest::keyClick(view, Qt::Key_G, Qt::ShiftModifier);
        QCOMPARE(view->editor()->track(), 9);
        QCOMPARE(view->editor()->sector(), 4);
        QCOMPARE(f.image->SectorPointer(5, 0)[0], uint8_t{9});
        // The history button now leads back.
        QAction* back = nullptr;
        for (QAction* action : view->toolBar()->actions())
            if (action->data().toInt() == 2163) back = action;
        QVERIFY(back && back->isEnabled());
        back->trigger();
        QCOMPARE(view->editor()->track(), 5);
        QVERIFY(!back->isEnabled());
    }

    // The CBM tool types into the sector editor only while its character column is active.
    void cbmToolTypesIntoTheCharacterColumn() {
        EditorFixture f;
        SectorEditorView* view = f.Show(6, 0);
        QVERIFY(view);
        f.frame->show();
        QVERIFY(QTest::qWaitForWindowActive(f.frame.get()));
        view->setFocus();
        QTRY_VERIFY(view->hasFocus());
        CbmCodeTargets& targets = CbmCodeTargets::Instance();
        QCOMPARE(targets.target(), nullptr); // the hex column
        QTest::keyClick(view, Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(targets.target(), static_cast<CbmCodeTarget*>(view));
        targets.target()->TypeCbmCode(0xC1);
        QCOMPARE(f.image->SectorPointer(6, 0)[0], uint8_t{0xC1});
        QCOMPARE(view->editor()->cursor(), 1);
        QTest::keyClick(view, Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(targets.target(), nullptr);
    }

    void fillIsUndoneInOneStep() {
        EditorFixture f;
        f.settings.Set(SettingId::FillByte, 0);
        SectorEditorView* view = f.Show(18, 0);
        QVERIFY(view);
        const std::vector<uint8_t> before(f.image->SectorPointer(18, 0),
                                          f.image->SectorPointer(18, 0) + 256);
        QVERIFY(view->HandleCommand(cmd::FillSector));
        QCOMPARE(std::vector<uint8_t>(f.image->SectorPointer(18, 0),
                                      f.image->SectorPointer(18, 0) + 256),
                 std::vector<uint8_t>(256, 0));
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(std::vector<uint8_t>(f.image->SectorPointer(18, 0),
                                      f.image->SectorPointer(18, 0) + 256),
                 before);
    }

    void anEditIsOneStepWhenAnotherBlockShows() {
        EditorFixture f;
        SectorEditorView* view = f.Show(3, 0);
        QVERIFY(view);
        const size_t steps = f.image->Journal().size();
        QTest::keyClicks(view, QStringLiteral("12ab"));
        // The Edit menu names the uncommitted edit before the journal has it.
        QCOMPARE(f.frame->actions().Get(cmd::Undo)->text(), QStringLiteral("&Undo: Sector Edit\tCTRL+Z"));
        QCOMPARE(f.image->SectorPointer(3, 0)[0], uint8_t{0x12});
        QCOMPARE(f.image->SectorPointer(3, 0)[1], uint8_t{0xAB});
        QCOMPARE(f.Show(3, 1), view); // one editor per image
        QCOMPARE(f.image->Journal().size(), steps + 1);
        QCOMPARE(f.image->Journal().back().name, std::string("Sector Edit"));
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f.image->SectorPointer(3, 0)[0], uint8_t{0});
        QCOMPARE(f.image->SectorPointer(3, 0)[1], uint8_t{0});
    }

    void jumpToSectorShowsTheEntrysFirstBlock() {
        EditorFixture f;
        auto* directory = dynamic_cast<DirectoryView*>(f.frame->activeView());
        QVERIFY(directory);
        DirEntry file = AddFile(*f.image, {"FILE", 0x82, Pattern(600)});
        QVERIFY(file);
        f.image->Refresh();
        directory->SelectIndex(0);
        QVERIFY(f.frame->IsEnabled(cmd::JumpToSector));
        QVERIFY(!f.frame->IsEnabled(cmd::JumpToSideSector));
        f.frame->ExecuteCommand(cmd::JumpToSector);
        auto* view = dynamic_cast<SectorEditorView*>(f.frame->activeView());
        QVERIFY(view);
        QCOMPARE(view->editor()->track(), int{file.firstTrack()});
        QCOMPARE(view->editor()->sector(), int{file.firstSector()});
        // The window opens where it shows whole, as far as the client area allows.
        const QRect area = f.frame->client()->viewport()->rect();
        const QRect window = view->Window()->geometry();
        QVERIFY(window.height() > area.height() || window.bottom() <= area.bottom());
        QVERIFY(window.width() > area.width() || window.right() <= area.right());
    }

    void closingJournalsTheEditAndTheImageClosesIt() {
        EditorFixture f;
        QPointer<SectorEditorView> view = f.Show(18, 1);
        QVERIFY(view);
        QTest::keyClicks(view, QStringLiteral("7"));
        QVERIFY(view->Window()->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!view);
        QCOMPARE(f.image->Journal().back().name, std::string("Sector Edit"));
        QCOMPARE(f.frame->openImages().size(), size_t{1});

        view = f.Show(18, 1);
        QVERIFY(view);
        f.ui.answers.push_back(Answer::No); // do not save
        QVERIFY(f.frame->CloseAll());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!view);
    }
};

QTEST_MAIN(SectorEditorViewTest)
#include "SectorEditorViewTest.moc"
