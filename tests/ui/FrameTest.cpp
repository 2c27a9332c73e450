// The frame: opening from a command line, the menu and toolbar, the enable table at work,
// routing to the active view, the windows list, the recent files and closing with the save
// prompt. Questions and messages go to a recorder instead of modal boxes.

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include "UiTestSupport.h"
#include "support/ArchiveBuilder.h"
#include "ui/CommandActions.h"
#include "ui/ImageDocument.h"
#include "ui/DirectoryView.h"
#include "ui/ViewWindow.h"

using namespace tessarind;
using namespace tessarind::testing;

namespace {

QStringList Titles(const MainFrame& frame) {
    QStringList titles;
    for (QMdiSubWindow* window : frame.client()->subWindowList(QMdiArea::CreationOrder))
        titles.push_back(window->windowTitle());
    return titles;
}

bool IsWindowItem(const QAction* item) {
    int id = item->data().toInt();
    return id >= cmd::kFirstWindowItem && id < cmd::kFirstWindowItem + 100;
}

QStringList RecentItems(MainFrame& frame) {
    emit frame.diskMenu()->aboutToShow();
    QStringList texts;
    for (QAction* action : frame.diskMenu()->actions()) {
        int id = action->data().toInt();
        if (id >= cmd::kFileMruBase && (id - cmd::kFileMruBase) % cmd::kFileMruStep == 0)
            texts.push_back(action->text());
    }
    return texts;
}

} // namespace

class FrameTest : public QObject {
    Q_OBJECT

private slots:
    // ---- Opening ----------------------------------------------------------------------------

    void commandLineWithTwoImagesOpensTwoChildren() {
        FrameFixture f;
        f.Image(QStringLiteral("first.d64"));
        f.Image(QStringLiteral("second.d64"));
        // Relative names are looked for in the folder the program started in.
        f.frame->OpenCommandLine("tessarind first.d64 second.d64");
        QCOMPARE(f.frame->openImages().size(), size_t{2});
        QCOMPARE(Titles(*f.frame),
                 (QStringList{QStringLiteral("first.d64"), QStringLiteral("second.d64")}));
        // Newest first, and the newest is the active view.
        QCOMPARE(f.frame->openImages().front()->image().title(), std::string("second.d64"));
        QCOMPARE(f.frame->activeView(), f.frame->openImages().front()->directoryView());
        QVERIFY(f.ui.messages.empty());
        // The child shows the container's listing.
        auto* view = dynamic_cast<DirectoryView*>(f.frame->activeView());
        QVERIFY(view);
        QVERIFY(view->listingText().startsWith(QStringLiteral("0 \"TEST")));
        QVERIFY(view->listingText().contains(QStringLiteral("664 BLOCKS FREE.")));
    }

    // Two parts of one Zipcode set open the set once; a Lynx archive opens unpacked beside it.
    void zipcodePartsAndLynxArchivesOpenAsNewImages() {
        FrameFixture f;
        for (int part = 1; part <= 4; ++part) {
            const std::vector<uint8_t> bytes =
                ZipcodePartBuilder(part == 1).Fill(part, 0, static_cast<uint8_t>(part)).Bytes();
            QFile file(f.Path(QStringLiteral("%1!game").arg(part)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        }
        const std::vector<uint8_t> archive = LynxArchive({{"MEMBER", 'P', Pattern(100)}});
        QFile lynx(f.Path(QStringLiteral("tools.lnx")));
        QVERIFY(lynx.open(QIODevice::WriteOnly));
        lynx.write(reinterpret_cast<const char*>(archive.data()), static_cast<qint64>(archive.size()));
        lynx.close();

        f.frame->OpenCommandLine("tessarind 2!game 1!game tools.lnx");
        QCOMPARE(f.frame->openImages().size(), size_t{2});
        QVERIFY(f.ui.messages.empty());
        DiskImage& unpacked = f.frame->openImages().front()->image();
        QCOMPARE(unpacked.title(), std::string("tools"));
        QCOMPARE(unpacked.entryCount(), 1);
        QVERIFY(unpacked.modified());
        DiskImage& set = f.frame->openImages().back()->image();
        QCOMPARE(set.title(), std::string("game"));
        QCOMPARE(int(set.SectorPointer(3, 0)[0]), 3);
    }

    void quotedPathWithBlanksOpens() {
        FrameFixture f;
        f.Image(QStringLiteral("my old disk.d64"));
        f.frame->OpenCommandLine("tessarind \"my old disk.d64\"", f.dir.path().toStdString());
        QCOMPARE(Titles(*f.frame), QStringList{QStringLiteral("my old disk.d64")});
    }

    void failingPathShowsItsMessageAndTheRestStillOpen() {
        FrameFixture f;
        f.Image(QStringLiteral("a.d64"));
        f.Image(QStringLiteral("c.d64"));
        f.frame->OpenCommandLine("tessarind a.d64 missing.d64 c.d64 -z",
                                 f.dir.path().toStdString());
        QCOMPARE(f.frame->openImages().size(), size_t{2});
        QVERIFY(f.HasMessage("Unable to Open File " + f.PathText(QStringLiteral("missing.d64"))));
        QCOMPARE(Titles(*f.frame), (QStringList{QStringLiteral("a.d64"), QStringLiteral("c.d64")}));
    }

    void unopenableFileShowsOneMessageTheMostSpecific() {
        FrameFixture f;
        QFile text(f.Path(QStringLiteral("notes.xyz")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not a disk");
        text.close();
        QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("folder.d64")));
        // The opener's reason when it gives one (checked when the table has its words),
        // otherwise the frame's own message with the whole path.
        const struct {
            const char* name;
            bool openerReason;
            const char* words;
        } cases[] = {
            {"notes.xyz", true, "Unknown File Extension "},
            {"folder.d64", true, nullptr}, // the system's words for a failed read
            {"missing.d64", false, nullptr},
            {"missing.lnx", false, nullptr},
        };
        for (const auto& c : cases) {
            f.ui.messages.clear();
            const std::string path = f.PathText(QString::fromLatin1(c.name));
            QVERIFY(!f.frame->OpenPath(path));
            QCOMPARE(f.ui.messages.size(), size_t{1});
            const QString shown = QString::fromStdString(f.ui.messages.front().text);
            const QString frames = QString::fromStdString("Unable to Open File " + path);
            if (!c.openerReason)
                QCOMPARE(shown, frames);
            else if (c.words)
                QCOMPARE(shown, QString::fromStdString(c.words + path));
            else
                QVERIFY2(shown != frames, qPrintable(shown));
            QCOMPARE(f.ui.messages.front().caption, std::string("Error"));
        }
    }

    void newMakesEveryFormatThatExists() {
        FrameFixture f;
        const std::pair<CommandId, int> kinds[] = {{cmd::NewD64, 1},
                                                   {cmd::NewD71, 2},
                                                   {cmd::NewD81, 3},
                                                   {cmd::NewD80, 16},
                                                   {cmd::NewD82, 17},
                                                   {cmd::NewD2m, 21}};
        for (auto [id, formatId] : kinds) {
            QVERIFY(f.frame->IsEnabled(id));
            f.frame->ExecuteCommand(id);
            QCOMPARE(f.frame->openImages().front()->image().formatId(), formatId);
            QVERIFY(f.frame->openImages().front()->image().untitled());
        }
        QCOMPARE(f.frame->openImages().size(), size_t{6});
        QCOMPARE(f.frame->activeView()->Window()->windowTitle(), QStringLiteral("New Disk"));
    }

    void digitsTypedOnTheEmptyClientMakeImages() {
        FrameFixture f;
        f.frame->client()->setFocus();
        QTest::keyClick(f.frame->client(), Qt::Key_6);
        QTest::keyClick(f.frame->client(), Qt::Key_7);
        QTest::keyClick(f.frame->client(), Qt::Key_8);
        QTest::keyClick(f.frame->client(), Qt::Key_9);
        std::vector<int> formats;
        for (const auto& document : f.frame->openImages())
            formats.push_back(document->image().formatId());
        QCOMPARE(formats, (std::vector<int>{3, 2, 1}));
    }

    // ---- Menu, toolbar, enable table --------------------------------------------------------

    void menuItemsCarryTheirTextsAndShortcuts() {
        FrameFixture f;
        CommandActions& actions = f.frame->actions();
        QCOMPARE(actions.Get(cmd::NewD64)->text(), QStringLiteral("D&64\t6"));
        QCOMPARE(actions.Get(cmd::Open)->text(), QStringLiteral("&Open\tCTRL+O"));
        QCOMPARE(actions.Get(cmd::Open)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
        QCOMPARE(actions.Get(cmd::Save)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
        QCOMPARE(actions.Get(cmd::Undo)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
        QCOMPARE(actions.Get(cmd::JumpToSideSector)->text(),
                 QStringLiteral("Jump to &Side Sector\tShift+J"));
        QCOMPARE(actions.Get(cmd::RunIn(1))->text(), QStringLiteral("VICE\tCTRL+1"));
        QCOMPARE(actions.Get(cmd::RunIn(4))->text(), QStringLiteral(" \tCTRL+4"));
        QStringList menus;
        for (QAction* menu : f.frame->menuBar()->actions())
            menus.push_back(menu->text());
        QCOMPARE(menus, (QStringList{"&Disk", "&File", "&Edit", "&View", "&Windows"}));
        // "&Help" stands apart at the right end.
        auto* help = qobject_cast<QMenuBar*>(f.frame->menuBar()->cornerWidget(Qt::TopRightCorner));
        QVERIFY(help);
        QCOMPARE(help->actions().front()->text(), QStringLiteral("&Help"));
        QStringList disk;
        for (QAction* item : f.frame->diskMenu()->actions())
            if (!item->isSeparator()) disk.push_back(item->text());
        QCOMPARE(disk.front(), QStringLiteral("&New"));
        QCOMPARE(disk.back(), QStringLiteral("E&xit"));
    }

    void toolbarHasItsButtonsAndColourLists() {
        FrameFixture f;
        const char* tips[] = {"Open",
                              "Save",
                              "Find in Disks",
                              "Show CBM Tool",
                              "Show Separator Tool",
                              "Toggle Case",
                              "Show File Properties",
                              "Edit BAM",
                              "Move File Down",
                              "Move File Up",
                              "Jump to Sector",
                              "Change to Parent Directory",
                              "Toggle Font Size",
                              "Toggle Hidden Characters",
                              "Show DEL Files"};
        QList<QAction*> items = f.frame->toolBar()->actions();
        for (int i = 0; i < 15; ++i)
            QCOMPARE(items[i]->toolTip(), QString::fromLatin1(tips[i]));
        for (int i : {5, 12, 13})
            QVERIFY(items[i]->isCheckable());
        for (CommandId id : {cmd::BackgroundColour, cmd::TextColour}) {
            QComboBox* list = f.frame->colourList(id);
            QCOMPARE(list->count(), 16);
            QCOMPARE(list->width(), 75);
            QCOMPARE(list->itemText(0), QStringLiteral("Black"));
            QCOMPARE(list->itemText(10), QStringLiteral("Lt Red"));
            QCOMPARE(list->itemText(15), QStringLiteral("Lt Grey"));
        }
        // With the CBM colours the lists start on Blue behind Lt Blue.
        QCOMPARE(f.frame->colourList(cmd::BackgroundColour)->currentText(), QStringLiteral("Blue"));
        QCOMPARE(f.frame->colourList(cmd::TextColour)->currentText(), QStringLiteral("Lt Blue"));
    }

    void containerCommandsFollowTheActiveView() {
        FrameFixture f;
        auto button = [&](CommandId id) {
            return f.frame->toolBar()->widgetForAction(f.frame->actions().Get(id));
        };
        // No container: every command of the table is off, the frame's own stay on.
        for (CommandId id : {cmd::Save, cmd::SaveAs, cmd::Close, cmd::Undo, cmd::Arrange,
                             cmd::Rename, cmd::BamEditor, cmd::RunIn(1), cmd::ShowDeletedFiles})
            QVERIFY2(!f.frame->IsEnabled(id), qPrintable(QString::number(cmd::Number(id))));
        for (CommandId id : {cmd::Open, cmd::Options, cmd::Exit, cmd::About, cmd::NewD64})
            QVERIFY(f.frame->IsEnabled(id));
        QVERIFY(!button(cmd::Save)->isEnabled());
        QVERIFY(button(cmd::Open)->isEnabled());

        f.frame->OpenPath(f.Image(QStringLiteral("one.d64")));
        for (CommandId id : {cmd::Save, cmd::Close, cmd::Insert, cmd::Arrange, cmd::Undo,
                             cmd::ShowDeletedFiles, cmd::SectorErrors})
            QVERIFY2(f.frame->IsEnabled(id), qPrintable(QString::number(cmd::Number(id))));
        // Commands of other kinds of view stay off.
        QVERIFY(!f.frame->IsEnabled(cmd::FillSector));
        QVERIFY(!f.frame->IsEnabled(cmd::ToggleHiddenCharacters));
        QVERIFY(button(cmd::Save)->isEnabled());
        QVERIFY(!button(cmd::ToggleHiddenCharacters)->isEnabled());
        QVERIFY(f.frame->IsChecked(cmd::ToggleCase));     // "DefaultUpper"
        QVERIFY(f.frame->IsChecked(cmd::ToggleFontSize)); // "Large Fonts"

        // Closing the last container switches them off again.
        f.frame->ExecuteCommand(cmd::Close);
        QVERIFY(f.frame->openImages().empty());
        QVERIFY(!f.frame->IsEnabled(cmd::Save));
        QVERIFY(!f.frame->IsEnabled(cmd::Close));
        QVERIFY(!button(cmd::Save)->isEnabled());
        QCOMPARE(f.frame->activeView(), nullptr);
    }

    void commandsGoToTheActiveView() {
        FrameFixture f;
        f.frame->OpenPath(f.Image(QStringLiteral("a.d64"), "ALPHA"));
        auto* view = dynamic_cast<DirectoryView*>(f.frame->activeView());
        QVERIFY(view->listingText().contains(QStringLiteral("\"ALPHA")));
        f.frame->ExecuteCommand(cmd::ToggleCase);
        QVERIFY(!view->ShowsUpperCase());
        QVERIFY(!f.frame->IsChecked(cmd::ToggleCase));
        QVERIFY(view->listingText().contains(QStringLiteral("\"alpha")));
        // Triggering the shared action routes the same way, and the command sets the check.
        f.frame->actions().Get(cmd::ToggleCase)->trigger();
        QVERIFY(view->ShowsUpperCase());
        QVERIFY(f.frame->IsChecked(cmd::ToggleCase));
        f.frame->ExecuteCommand(cmd::ShowDeletedFiles);
        QVERIFY(view->Image()->showDeleted());
        QVERIFY(f.frame->IsChecked(cmd::ShowDeletedFiles));
    }

    void modifiedImageShowsAStarInItsTitle() {
        FrameFixture f;
        ImageDocument* document = f.frame->OpenPath(f.Image(QStringLiteral("star.d64")));
        document->image().SetModified(true);
        QCOMPARE(document->directoryView()->Window()->windowTitle(), QStringLiteral("star.d64 *"));
        f.frame->ExecuteCommand(cmd::Save);
        QVERIFY(!document->image().modified());
        QCOMPARE(document->directoryView()->Window()->windowTitle(), QStringLiteral("star.d64"));
    }

    void colourListsColourTheActiveView() {
        FrameFixture f;
        f.frame->OpenPath(f.Image(QStringLiteral("a.d64")));
        ViewWindow* first = f.frame->activeView();
        QComboBox* background = f.frame->colourList(cmd::BackgroundColour);
        background->setCurrentIndex(2); // Red
        f.frame->ExecuteCommand(cmd::BackgroundColour);
        QCOMPARE(first->Colour(cmd::BackgroundColour), PaletteRgb(CbmColour::Red));
        // A new view takes the colours chosen last; activating a view shows its colours.
        f.frame->OpenPath(f.Image(QStringLiteral("b.d64")));
        ViewWindow* second = f.frame->activeView();
        QCOMPARE(second->Colour(cmd::BackgroundColour), PaletteRgb(CbmColour::Red));
        QComboBox* text = f.frame->colourList(cmd::TextColour);
        text->setCurrentIndex(7); // Yellow
        f.frame->ExecuteCommand(cmd::TextColour);
        f.frame->client()->setActiveSubWindow(first->Window());
        QCOMPARE(f.frame->activeView(), first);
        QCOMPARE(text->currentText(), QStringLiteral("Lt Blue"));
        f.frame->client()->setActiveSubWindow(second->Window());
        QCOMPARE(text->currentText(), QStringLiteral("Yellow"));
    }

    // ---- Windows list and Arrange -----------------------------------------------------------

    void windowsMenuListsEveryViewAndActivatesIt() {
        FrameFixture f;
        f.frame->OpenPath(f.Image(QStringLiteral("a.d64")));
        f.frame->OpenPath(f.Image(QStringLiteral("b.d64")));
        emit f.frame->windowsMenu()->aboutToShow();
        QStringList texts;
        QList<QAction*> entries;
        for (QAction* item : f.frame->windowsMenu()->actions())
            if (IsWindowItem(item)) {
                texts.push_back(item->text());
                entries.push_back(item);
            }
        QCOMPARE(texts, (QStringList{"&1 a.d64", "&2 b.d64"}));
        QCOMPARE(entries[0]->data().toInt(), 1100);
        QVERIFY(entries[1]->isChecked());
        entries[0]->trigger();
        QCOMPARE(f.frame->activeView()->Image()->title(), std::string("a.d64"));
        // Refreshing again does not pile up items.
        emit f.frame->windowsMenu()->aboutToShow();
        int listed = 0;
        for (QAction* item : f.frame->windowsMenu()->actions())
            listed += IsWindowItem(item);
        QCOMPARE(listed, 2);
    }

    void arrangeCascadesWithoutResizing() {
        FrameFixture f;
        f.frame->resize(1000, 700);
        for (const char* name : {"a.d64", "b.d64", "c.d64"})
            f.frame->OpenPath(f.Image(QString::fromLatin1(name)));
        QList<QMdiSubWindow*> windows = f.frame->client()->subWindowList(QMdiArea::CreationOrder);
        windows[0]->resize(300, 200);
        windows[1]->resize(250, 330);
        std::vector<QSize> sizes;
        for (QMdiSubWindow* window : windows)
            sizes.push_back(window->size());
        f.frame->ExecuteCommand(cmd::Arrange);
        QList<QMdiSubWindow*> stacked = f.frame->client()->subWindowList(QMdiArea::StackingOrder);
        for (int i = 0; i < windows.size(); ++i)
            QCOMPARE(windows[i]->size(), sizes[static_cast<size_t>(i)]);
        for (int i = 1; i < stacked.size(); ++i) {
            QVERIFY(stacked[i]->x() > stacked[i - 1]->x());
            QVERIFY(stacked[i]->y() > stacked[i - 1]->y());
            QCOMPARE(stacked[i]->x() - stacked[i - 1]->x(), stacked[i]->y() - stacked[i - 1]->y());
        }
        QCOMPARE(stacked.front()->pos(), QPoint(0, 0));
        // The active view stays active and on top.
        QCOMPARE(stacked.back(), f.frame->activeView()->Window());
    }

    // Every new child lies wholly inside the visible client area, one title bar down and right
    // of the one before, at the listing's fixed width; lower areas take lower windows.
    void newChildrenCascadeInsideTheClientArea() {
        for (QSize frameSize : {QSize(1024, 600), QSize(760, 400)}) {
            FrameFixture f;
            f.frame->resize(frameSize);
            QApplication::processEvents();
            const QRect area = f.frame->client()->viewport()->rect();
            for (const char* name : {"a.d64", "b.d64", "c.d64", "d.d64"})
                f.frame->OpenPath(f.Image(QString::fromLatin1(name)));
            f.frame->ExecuteCommand(cmd::NewD64);
            f.frame->ExecuteCommand(cmd::NewD81);
            QList<QMdiSubWindow*> windows =
                f.frame->client()->subWindowList(QMdiArea::CreationOrder);
            QCOMPARE(windows.size(), 6);
            const int step = windows[1]->x() - windows[0]->x();
            QVERIFY(step > 0);
            for (qsizetype i = 0; i < windows.size(); ++i) {
                QMdiSubWindow* window = windows[i];
                const QString what = QStringLiteral("%1x%2 window %3 at %4,%5 %6x%7")
                                         .arg(frameSize.width())
                                         .arg(frameSize.height())
                                         .arg(i)
                                         .arg(window->x())
                                         .arg(window->y())
                                         .arg(window->width())
                                         .arg(window->height());
                QVERIFY2(area.contains(window->geometry()), qPrintable(what));
                QCOMPARE(window->x(), window->y());
                // Back at the top left, or one step on from the window before.
                if (i > 0)
                    QVERIFY2(window->x() == 0 || window->x() == windows[i - 1]->x() + step,
                             qPrintable(what));
                auto* view = dynamic_cast<DirectoryView*>(window->widget());
                QVERIFY(view);
                QCOMPARE(view->viewport()->width(), 28 * view->cellSize());
                QCOMPARE(window->width(), windows[0]->width());
            }
        }
    }

    // ---- Recent files -----------------------------------------------------------------------

    void longPathIsShortenedInTheDiskMenu() {
        FrameFixture f;
        QString folder = QStringLiteral("a-rather-long-folder-name/and-another-long-folder-name");
        std::string path = f.Image(folder + QStringLiteral("/deep.d64"));
        QVERIFY(path.size() > 50);
        f.frame->OpenPath(path);
        QStringList items = RecentItems(*f.frame);
        QCOMPARE(items.size(), 1);
        QString item = items.front();
        QVERIFY(item.startsWith(QStringLiteral("&1 ")));
        QVERIFY(item.size() - 3 <= 50);
        QVERIFY(item.contains(QStringLiteral("...")));
        QVERIFY(item.endsWith(QStringLiteral("/deep.d64")));
        // The items sit above the separator before "E&xit", and opening the menu again
        // replaces rather than adds them.
        QCOMPARE(RecentItems(*f.frame).size(), 1);
        QList<QAction*> disk = f.frame->diskMenu()->actions();
        qsizetype at = disk.indexOf(f.frame->actions().Get(cmd::Exit));
        QVERIFY(disk[at - 1]->isSeparator());
        QCOMPARE(disk[at - 2]->text(), item);
        QVERIFY(disk[at - 3]->isSeparator());
    }

    void ninthDistinctFilePushesTheOldestOut() {
        FrameFixture f;
        QVERIFY(RecentItems(*f.frame).isEmpty());
        for (int i = 0; i < 10; ++i) {
            f.frame->OpenPath(f.Image(QStringLiteral("disk%1.d64").arg(i)));
            f.frame->ExecuteCommand(cmd::Close);
        }
        QStringList items = RecentItems(*f.frame);
        QCOMPARE(items.size(), 9);
        QVERIFY(items.front().startsWith(QStringLiteral("&1 ")));
        QVERIFY(items.front().endsWith(QStringLiteral("disk9.d64")));
        QVERIFY(items.back().startsWith(QStringLiteral("&9 ")));
        QVERIFY(items.back().endsWith(QStringLiteral("disk1.d64")));
        for (const QString& item : items)
            QVERIFY(!item.endsWith(QStringLiteral("disk0.d64")));
        // Reopening one moves it up instead of adding it twice.
        f.frame->ExecuteCommand(cmd::FileMru(4));
        items = RecentItems(*f.frame);
        QCOMPARE(items.size(), 9);
        QVERIFY(items.front().endsWith(QStringLiteral("disk5.d64")));
        QVERIFY(items.back().endsWith(QStringLiteral("disk1.d64")));
    }

    // ---- Closing ----------------------------------------------------------------------------

    void cancelWhileClosingAllKeepsThatImageAndTheRest() {
        FrameFixture f;
        for (const char* name : {"a.d64", "b.d64", "c.d64"}) {
            ImageDocument* document = f.frame->OpenPath(f.Image(QString::fromLatin1(name)));
            document->image().SetModified(true);
        }
        f.ui.answers = {Answer::No, Answer::Cancel};
        QVERIFY(!f.frame->close());
        QVERIFY(f.frame->isVisible());
        QCOMPARE(f.ui.questions.size(), size_t{2});
        QCOMPARE(f.ui.questions[0].caption, std::string("Confirm Save"));
        QCOMPARE(f.ui.questions[0].text,
                 std::string("Disk Image has changed, do you wish to save?"));
        // c was asked first and closed; b refused; b and a stay.
        QCOMPARE(Titles(*f.frame),
                 (QStringList{QStringLiteral("a.d64 *"), QStringLiteral("b.d64 *")}));
        QCOMPARE(f.frame->openImages().front()->image().title(), std::string("b.d64"));
        QVERIFY(f.frame->IsEnabled(cmd::Save));
        // A single close afterwards asks with the plain box.
        f.ui.answers = {Answer::No};
        f.frame->ExecuteCommand(cmd::Close);
        QCOMPARE(f.ui.questions.back().caption, std::string("Save"));
        QCOMPARE(f.frame->openImages().size(), size_t{1});
    }

    void yesToAllSavesEveryImageAskingOnce() {
        FrameFixture f;
        for (const char* name : {"a.d64", "b.d64", "c.d64"}) {
            ImageDocument* document = f.frame->OpenPath(f.Image(QString::fromLatin1(name)));
            document->image().SetDiskId(std::array<uint8_t, 5>{'Z', 'Z', 0xA0, '2', 'A'});
            document->image().SetModified(true);
        }
        f.ui.answers = {Answer::YesToAll};
        QVERIFY(f.frame->close());
        QCOMPARE(f.ui.questions.size(), size_t{1});
        QVERIFY(f.frame->openImages().empty());
        for (const char* name : {"a.d64", "b.d64", "c.d64"}) {
            QFile file(f.Path(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QByteArray bytes = file.readAll();
            QCOMPARE(bytes.mid(0x165A2, 2), QByteArray("ZZ")); // 18/0, disk ID
        }
    }

    void failedSaveWhileClosingKeepsTheImage() {
        FrameFixture f;
        f.frame->ExecuteCommand(cmd::NewD64);
        f.frame->openImages().front()->image().SetModified(true);
        f.ui.answers = {Answer::Yes};
        SaveChoice nowhere;
        nowhere.path = f.PathText(QStringLiteral("no-such-folder/new.d64"));
        f.ui.saveChoices.push_back(nowhere);
        QVERIFY(!f.frame->close());
        QCOMPARE(f.ui.questions.front().caption, std::string("Save"));
        QVERIFY(f.HasMessage("Unable to save Disk Image"));
        QCOMPARE(f.ui.messages.back().caption, std::string("Error"));
        QCOMPARE(f.frame->openImages().size(), size_t{1});
    }

    void closingAViewAsksAndCanBeRefused() {
        FrameFixture f;
        ImageDocument* kept = f.frame->OpenPath(f.Image(QStringLiteral("keep.d64")));
        kept->image().SetModified(true);
        f.ui.answers = {Answer::Cancel};
        QVERIFY(!kept->directoryView()->Window()->close());
        QCOMPARE(f.frame->openImages().size(), size_t{1});
        QCOMPARE(f.ui.questions.back().caption, std::string("Save"));
        // Without "ConfirmSave" a changed image closes without a question.
        f.settings.Set(SettingId::ConfirmSave, 0);
        QVERIFY(kept->directoryView()->Window()->close());
        QVERIFY(f.frame->openImages().empty());
        QCOMPARE(f.ui.questions.size(), size_t{1});
    }

    void exitStoresThePlacementAndTheSettings() {
        FrameFixture f;
        f.frame->OpenPath(f.Image(QStringLiteral("a.d64")));
        f.frame->resize(900, 640);
        f.settings.Set(SettingId::FillByte, 9);
        f.frame->ExecuteCommand(cmd::Exit);
        QVERIFY(!f.frame->isVisible());
        QSettings store(f.Path(QStringLiteral("settings.ini")), QSettings::IniFormat);
        QCOMPARE(store.value(QStringLiteral("WindowDX")).toInt(), 900);
        QCOMPARE(store.value(QStringLiteral("WindowDY")).toInt(), 640);
        QCOMPARE(store.value(QStringLiteral("Fill Byte")).toInt(), 9);
        QCOMPARE(store.value(QStringLiteral("FileMRU/MRU0")).toString(),
                 f.Path(QStringLiteral("a.d64")));
    }
};

QTEST_MAIN(FrameTest)
#include "FrameTest.moc"
