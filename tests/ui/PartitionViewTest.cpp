// The partition view: a CMD container opens in it, its picture is the partition listing as
// the core renders it, its context menu is "Partition", and opening a partition shows the
// child image in a directory window of its own that edits the container.

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QtTest>

#include "UiTestSupport.h"
#include "catalog/PartitionListing.h"
#include "formats/CmdContainerImage.h"
#include "model/FormatRegistry.h"
#include "support/CmdBuilder.h"
#include "ui/DirectoryView.h"
#include "ui/PartitionView.h"

using namespace tessarind;
using namespace tessarind::testing;

namespace {

const CommandId kOpenPartition = cmd::Id(2084), kDeletePartition = cmd::Id(2088);

struct PartitionFixture : FrameFixture {
    PartitionView* view = nullptr;
    CmdContainerImage* container = nullptr;

    PartitionFixture() {
        std::vector<uint8_t> bytes = EmptyFd2000();
        PutPartition(bytes, 25, 8, {1, 2, "GAMES", 0, 342});
        PutPartition(bytes, 25, 8, {2, 5, "OTHER", 400, 1600});
        const std::vector<uint8_t> disk = BlankD64("GAMES")->Store().Snapshot();
        std::copy(disk.begin(), disk.end(), bytes.begin());
        QFile file(Path(QStringLiteral("sample.d2m")));
        file.open(QIODevice::WriteOnly);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        file.close();
        frame->OpenPath(PathText(QStringLiteral("sample.d2m")));
        view = dynamic_cast<PartitionView*>(frame->activeView());
        container = view ? dynamic_cast<CmdContainerImage*>(view->Image()) : nullptr;
    }
    // The text of a listing row, its PETSCII codes as ASCII.
    QString RowText(int row) const {
        QString text;
        const std::vector<ListingRow> rows = PartitionListingRows(*container);
        for (const ListingCell& cell : rows[static_cast<size_t>(row)].cells)
            text += QChar(cell.code);
        return text;
    }
};

} // namespace

class PartitionViewTest : public QObject {
    Q_OBJECT
private slots:
    void aContainerOpensInThePartitionViewWithItsListing() {
        PartitionFixture f;
        QVERIFY(f.view);
        QVERIFY(f.container);
        QCOMPARE(f.view->RowCount(), 3);
        QVERIFY(f.RowText(0).startsWith(QStringLiteral("\"CMD FD SERIES   \"")));
        QCOMPARE(f.RowText(1), QStringLiteral("0   SYSTEM            SYS   "));
        QCOMPARE(f.RowText(2), QStringLiteral("1   GAMES             41    "));
        QCOMPARE(f.RowText(3), QStringLiteral("2   OTHER             C81   "));
        const std::optional<QString> differs =
            PaintedDifference(*f.view, PartitionListingRows(*f.container));
        QVERIFY2(!differs, qPrintable(differs.value_or(QString())));
    }

    void theContextMenuIsPartition() {
        PartitionFixture f;
        QVERIFY(f.view);
        std::unique_ptr<QMenu> menu(f.view->MakeEntryMenu());
        QVERIFY(menu);
        QCOMPARE(menu->title(), QStringLiteral("Partition"));
        QStringList items;
        for (QAction* action : menu->actions())
            items << action->text();
        QCOMPARE(items,
                 (QStringList{QStringLiteral("&Rename"), QStringLiteral("&Open Partition"),
                              QStringLiteral("&Create Partition"), QStringLiteral("&Delete")}));
    }

    void openingAPartitionShowsItsDirectoryOnce() {
        PartitionFixture f;
        QVERIFY(f.view);
        const int windows = static_cast<int>(f.frame->client()->subWindowList().size());
        // SYSTEM and the C81 entry do not open.
        for (int index : {0, 2}) {
            f.view->SelectIndex(index);
            f.view->HandleCommand(kOpenPartition);
            QCOMPARE(static_cast<int>(f.frame->client()->subWindowList().size()), windows);
        }
        f.view->SelectIndex(1);
        QVERIFY(f.view->HandleCommand(kOpenPartition));
        QCOMPARE(static_cast<int>(f.frame->client()->subWindowList().size()), windows + 1);
        auto* child = dynamic_cast<DirectoryView*>(f.frame->activeView());
        QVERIFY(child);
        QCOMPARE(child->Image(), f.container->ChildAt(1));
        QCOMPARE(child->Image()->path(), std::string("sample.d2m : GAMES"));
        // A second open activates the window that is there.
        f.view->HandleCommand(kOpenPartition);
        QCOMPARE(static_cast<int>(f.frame->client()->subWindowList().size()), windows + 1);
        // Editing the child edits the container.
        QVERIFY(AddFile(*child->Image(), {"NEW", 0x82, Pattern(300)}));
        QVERIFY(f.container->modified());
        // Closed on its own, the child is forgotten by the container.
        child->Window()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(f.container->ChildAt(1), nullptr);
    }

    void deleteRemovesTheRowAndUndoBringsItBack() {
        PartitionFixture f;
        QVERIFY(f.view);
        f.view->SelectIndex(1);
        QVERIFY(f.view->HandleCommand(kDeletePartition));
        QCOMPARE(f.view->RowCount(), 2);
        QCOMPARE(f.container->UndoItemText().find("Delete Partition") != std::string::npos, true);
        f.container->UndoCommand();
        QCOMPARE(f.view->RowCount(), 3);
    }

    // A disk image dropped on the view becomes a partition named after the file.
    void aDroppedDiskImageBecomesAPartition() {
        PartitionFixture f;
        QVERIFY(f.view);
        QVERIFY(BlankD64("DROPPED")->WriteFile(f.PathText(QStringLiteral("extra.d64"))));
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(f.Path(QStringLiteral("extra.d64")))});
        QCOMPARE(f.view->Drop(mime, 3, false), Qt::CopyAction);
        QCOMPARE(f.view->RowCount(), 4);
        QVERIFY(f.RowText(4).contains(QStringLiteral(" EXTRA ")));
        QVERIFY(f.RowText(4).endsWith(QStringLiteral("41    ")));
        f.container->UndoCommand();
        QCOMPARE(f.view->RowCount(), 3);
    }
};

QTEST_MAIN(PartitionViewTest)
#include "PartitionViewTest.moc"
