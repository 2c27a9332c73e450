// Find in Disks and Batch Processing driven through their controls over a folder tree built
// by the test; the batch's files are held against what the command-line tool writes.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "UiTestSupport.h"
#include "catalog/FolderSearch.h"
#include "support/FolderTree.h"
#include "support/Process.h"
#include "ui/BatchDialog.h"
#include "ui/CbmEdit.h"
#include "ui/FindInDisksDialog.h"
#include "ui/ImageDocument.h"

using namespace tessarind;
using namespace tessarind::testing;
namespace fs = std::filesystem;

namespace {

// Rows as "name|type|blocks|container", the container relative to `top`.
QStringList Rows(const FindInDisksDialog& dialog, const fs::path& top) {
    QStringList rows;
    const QAbstractItemModel& model = *dialog.model();
    for (int i = 0; i < model.rowCount(); ++i) {
        auto text = [&](int column) { return model.index(i, column).data().toString(); };
        const fs::path container = text(3).toStdString();
        rows.push_back(
            QStringList{text(0), text(1), text(2),
                        QString::fromStdString(container.lexically_relative(top).generic_string())}
                .join(QLatin1Char('|')));
    }
    return rows;
}

void Search(FindInDisksDialog& dialog, const std::string& folder, const char* pattern,
            bool subfolders) {
    dialog.patternField()->SetBytes(PetsciiName(pattern));
    dialog.lookIn()->setEditText(QString::fromStdString(folder));
    dialog.subfolders()->setChecked(subfolders);
    QSignalSpy ended(&dialog, &FindInDisksDialog::searchEnded);
    dialog.button(1008)->click();
    QVERIFY(dialog.searching());
    QVERIFY(ended.wait(60000));
    QVERIFY(!dialog.searching());
    QVERIFY(!dialog.button(2)->isEnabled());
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Every file under `top` by relative path, with its bytes.
std::map<std::string, std::string> Files(const fs::path& top) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(top))
        if (entry.is_regular_file())
            files[entry.path().lexically_relative(top).generic_string()] = ReadAll(entry.path());
    return files;
}

QWidget* Control(BatchDialog& dialog, int id) {
    QWidget* control = dialog.control(id);
    if (!control) qFatal("no control %d", id);
    return control;
}

} // namespace

class FolderToolsTest : public QObject {
    Q_OBJECT
private slots:
    void findRowsAndSummary_data();
    void findRowsAndSummary();
    void cancelKeepsTheRowsFoundSoFar();
    void newFindReplacesTheRunningOne();
    void openAndDoubleClickOpenTheContainer();
    void unlistableFolderStartsNothing_data();
    void unlistableFolderStartsNothing();
    void recentFoldersMoveToFront_data();
    void recentFoldersMoveToFront();
    void searchesFillLookInMostRecentFirst();
    void commandTogglesTheDialog();
    void batchEnableRules_data();
    void batchEnableRules();
    void batchColoursAreRememberedForTheRun();
    void batchExtractsAsTheCommandLineDoes();
    void batchSingleCsvEqualsTheCommandLines();
};

void FolderToolsTest::findRowsAndSummary_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("subfolders");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("summary");
    // The Zipcode set is searched once, as its first part; notes.txt and junk.bin are tried
    // and skipped without being counted.
    QTest::newRow("subfolders") << ""
                                << "game" << true
                                << QStringList{"GAME|PRG|1|1!SET", "GAME|PRG|1|one.d64",
                                               "GAME|PRG|1|sub/two.d64"}
                                << "Search Finished. 3 file(s) found on 3 of 4 disks";
    QTest::newRow("top only") << ""
                              << "*" << false
                              << QStringList{"GAME|PRG|1|1!SET", "GAME|PRG|1|one.d64",
                                             "TOOL|PRG|1|one.d64"}
                              << "Search Finished. 3 file(s) found on 2 of 2 disks";
    QTest::newRow("wildcard deep")
        << ""
        << "?ther" << true << QStringList{"OTHER|PRG|1|sub/deeper/three.d64"}
        << "Search Finished. 1 file(s) found on 1 of 4 disks";
    QTest::newRow("empty pattern")
        << ""
        << "" << true << QStringList{} << "Search Finished. 0 file(s) found on 0 of 4 disks";
    QTest::newRow("no containers")
        << "sub/empty"
        << "*" << true << QStringList{} << "Search Finished. 0 file(s) found on 0 of 0 disks";
}

void FolderToolsTest::findRowsAndSummary() {
    QFETCH(QString, folder);
    QFETCH(QString, pattern);
    QFETCH(bool, subfolders);
    QFETCH(QStringList, rows);
    QFETCH(QString, summary);
    FrameFixture fixture;
    const fs::path top = fixture.PathText(QStringLiteral("tree"));
    QVERIFY(WriteSearchTree(top));
    fs::create_directories(top / "sub/empty");
    FindInDisksDialog& dialog = *fixture.frame->findDialog();
    Search(dialog, (top / folder.toStdString()).lexically_normal().string(),
           pattern.toLatin1().constData(), subfolders);
    QCOMPARE(Rows(dialog, top), rows);
    QCOMPARE(dialog.status()->text(), summary);
    QCOMPARE(fixture.settings.On(SettingId::SearchSubDir), subfolders);
    // The file name column carries the PETSCII bytes the CBM font draws.
    for (int i = 0; i < dialog.model()->rowCount(); ++i)
        QCOMPARE(dialog.model()->index(i, 0).data(Qt::UserRole).toByteArray(),
                 dialog.model()->index(i, 0).data().toString().toLatin1());
}

void FolderToolsTest::cancelKeepsTheRowsFoundSoFar() {
    FrameFixture fixture;
    const fs::path top = fixture.PathText(QStringLiteral("many"));
    for (int i = 0; i < 60; ++i)
        QVERIFY(WriteTreeDisk(top, {"d" + std::to_string(100 + i) + ".d64", {"GAME"}}));
    FindInDisksDialog& dialog = *fixture.frame->findDialog();
    Search(dialog, top.string(), "game", true);
    const QStringList all = Rows(dialog, top);
    QCOMPARE(all.size(), 60);

    // Cancel as the first row arrives; whatever was found before stays, in order.
    QSignalSpy ended(&dialog, &FindInDisksDialog::searchEnded);
    connect(
        dialog.model(), &QAbstractItemModel::rowsInserted, &dialog,
        [&dialog] { dialog.button(2)->click(); }, Qt::SingleShotConnection);
    dialog.button(1008)->click();
    QVERIFY(ended.wait(60000));
    const QStringList kept = Rows(dialog, top);
    QVERIFY(!kept.isEmpty());
    QCOMPARE(kept, all.mid(0, kept.size()));
    QCOMPARE(dialog.status()->text(), QStringLiteral("Find Cancelled"));
    QVERIFY(!dialog.button(2)->isEnabled());
    QVERIFY(!dialog.searching());

    // The program may end during a search: the worker is stopped before the dialog goes.
    QPointer<FindInDisksDialog> gone = &dialog;
    dialog.button(1008)->click();
    QVERIFY(dialog.searching());
    fixture.frame.reset();
    QVERIFY(gone.isNull());
}

void FolderToolsTest::newFindReplacesTheRunningOne() {
    FrameFixture fixture;
    const fs::path many = fixture.PathText(QStringLiteral("many")),
                   tree = fixture.PathText(QStringLiteral("tree"));
    for (int i = 0; i < 60; ++i)
        QVERIFY(WriteTreeDisk(many, {"d" + std::to_string(100 + i) + ".d64", {"GAME"}}));
    QVERIFY(WriteSearchTree(tree));
    FindInDisksDialog& dialog = *fixture.frame->findDialog();
    dialog.patternField()->SetBytes(PetsciiName("game"));
    dialog.lookIn()->setEditText(QString::fromStdString(many.string()));
    QSignalSpy rows(dialog.model(), &QAbstractItemModel::rowsInserted);
    dialog.button(1008)->click();
    QVERIFY(rows.wait(60000));
    // Rows of the first search still on their way must not reach the second's list.
    Search(dialog, tree.string(), "game", true);
    QCOMPARE(Rows(dialog, tree),
             (QStringList{"GAME|PRG|1|1!SET", "GAME|PRG|1|one.d64", "GAME|PRG|1|sub/two.d64"}));
    QCOMPARE(dialog.status()->text(),
             QStringLiteral("Search Finished. 3 file(s) found on 3 of 4 disks"));
}

void FolderToolsTest::openAndDoubleClickOpenTheContainer() {
    FrameFixture fixture;
    const fs::path top = fixture.PathText(QStringLiteral("tree"));
    QVERIFY(WriteSearchTree(top));
    FindInDisksDialog& dialog = *fixture.frame->findDialog();
    Search(dialog, top.string(), "*", true);
    QTreeView* list = dialog.results();
    QAbstractItemModel* model = dialog.model();
    QVERIFY(!dialog.button(1013)->isEnabled());
    // GAME and TOOL of one.d64 and OTHER of three.d64: two containers, each opened once.
    for (int i = 0; i < model->rowCount(); ++i) {
        const QString disk = model->index(i, 3).data().toString();
        if (disk.endsWith(QStringLiteral("one.d64")) || disk.endsWith(QStringLiteral("three.d64")))
            list->selectionModel()->select(model->index(i, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QVERIFY(dialog.button(1013)->isEnabled());
    dialog.button(1013)->click();
    QStringList opened;
    for (const auto& document : fixture.frame->openImages())
        opened.push_back(QString::fromStdString(
            fs::path(document->image().path()).lexically_relative(top).string()));
    QCOMPARE(opened, (QStringList{"sub/deeper/three.d64", "one.d64"}));
    QCOMPARE(fixture.frame->client()->subWindowList().size(), 2);

    emit list->doubleClicked(model->index(0, 1));
    QCOMPARE(fixture.frame->openImages().size(), size_t{3});
    QCOMPARE(QString::fromStdString(fixture.frame->openImages().front()->image().title()),
             QStringLiteral("SET"));
}

void FolderToolsTest::unlistableFolderStartsNothing_data() {
    QTest::addColumn<bool>("batch");
    QTest::newRow("find") << false;
    QTest::newRow("batch") << true;
}

void FolderToolsTest::unlistableFolderStartsNothing() {
    QFETCH(bool, batch);
    FrameFixture fixture;
    FindInDisksDialog& find = *fixture.frame->findDialog();
    const auto before = fixture.settings.dirMru;
    const QString absent = fixture.Path(QStringLiteral("absent"));
    if (batch) {
        BatchDialog dialog(*fixture.frame);
        static_cast<QComboBox*>(Control(dialog, 1007))->setEditText(absent);
        dialog.show();
        static_cast<QPushButton*>(Control(dialog, 1))->click();
        QVERIFY(!dialog.isVisible()); // closes in both cases
        QVERIFY(!dialog.lastResult().listed);
    } else {
        find.lookIn()->setEditText(absent);
        find.button(1008)->click();
    }
    QVERIFY(fixture.HasMessage(kUnableToOpenDirectory));
    QVERIFY(!find.searching());
    QVERIFY(!find.button(2)->isEnabled());
    QVERIFY(fixture.settings.dirMru == before);
    QVERIFY(!fs::exists(absent.toStdString()));
}

void FolderToolsTest::recentFoldersMoveToFront_data() {
    QTest::addColumn<QStringList>("initial");
    QTest::addColumn<QString>("added");
    QTest::addColumn<QStringList>("expected");
    const QStringList full{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    QTest::newRow("new into empty") << QStringList{} << "a" << QStringList{"a"};
    QTest::newRow("new pushes down") << QStringList{"a", "b"} << "c" << QStringList{"c", "a", "b"};
    QTest::newRow("present moves up")
        << QStringList{"a", "b", "c"} << "c" << QStringList{"c", "a", "b"};
    QTest::newRow("head stays") << QStringList{"a", "b"} << "a" << QStringList{"a", "b"};
    QTest::newRow("case counts") << QStringList{"a", "B"} << "b" << QStringList{"b", "a", "B"};
    QTest::newRow("tenth falls out")
        << full << "x" << QStringList{"x", "0", "1", "2", "3", "4", "5", "6", "7", "8"};
    QTest::newRow("last of full moves up")
        << full << "9" << QStringList{"9", "0", "1", "2", "3", "4", "5", "6", "7", "8"};
}

void FolderToolsTest::recentFoldersMoveToFront() {
    QFETCH(QStringList, initial);
    QFETCH(QString, added);
    QFETCH(QStringList, expected);
    Settings settings;
    settings.dirMru = {};
    for (int i = 0; i < initial.size(); ++i)
        settings.dirMru[static_cast<size_t>(i)] = initial[i].toStdString();
    AddRecentFolder(settings, added.toStdString());
    QStringList result;
    for (const std::string& folder : settings.dirMru)
        if (!folder.empty()) result.push_back(QString::fromStdString(folder));
    QCOMPARE(result, expected);
}

void FolderToolsTest::searchesFillLookInMostRecentFirst() {
    FrameFixture fixture;
    const fs::path a = fixture.PathText(QStringLiteral("a")),
                   b = fixture.PathText(QStringLiteral("b"));
    fs::create_directories(a);
    fs::create_directories(b);
    FindInDisksDialog& dialog = *fixture.frame->findDialog();
    for (const fs::path& folder : {a, b, a})
        Search(dialog, folder.string(), "*", false);
    QVERIFY(fixture.settings.dirMru[0] == a.string());
    QVERIFY(fixture.settings.dirMru[1] == b.string());
    QStringList listed;
    for (int i = 0; i < dialog.lookIn()->count(); ++i)
        listed.push_back(dialog.lookIn()->itemText(i));
    QStringList expected;
    for (const std::string& folder : fixture.settings.dirMru)
        if (!folder.empty()) expected.push_back(QString::fromStdString(folder));
    QCOMPARE(listed, expected);
    QCOMPARE(listed.count(QString::fromStdString(a.string())), 1);
    QCOMPARE(dialog.lookIn()->currentIndex(), 0);
}

void FolderToolsTest::commandTogglesTheDialog() {
    FrameFixture fixture;
    FindInDisksDialog& dialog = *fixture.frame->findDialog();
    // Both folder tools are there with or without a container.
    for (int step = 0; step < 3; ++step) {
        if (step == 1) fixture.frame->OpenPath(fixture.Image(QStringLiteral("one.d64")));
        if (step == 2) fixture.frame->CloseAll();
        QVERIFY(fixture.frame->IsEnabled(cmd::FindInDisks));
        QVERIFY(fixture.frame->IsEnabled(cmd::BatchProcessing));
    }
    QVERIFY(!dialog.isVisible());
    QVERIFY(!fixture.frame->IsChecked(cmd::FindInDisks));
    fixture.frame->ExecuteCommand(cmd::FindInDisks);
    QVERIFY(dialog.isVisible());
    QVERIFY(fixture.frame->IsChecked(cmd::FindInDisks));
    QVERIFY(dialog.width() >= FindInDisksDialog::kMinimumWidth);
    dialog.resize(100, 100);
    QCOMPARE(dialog.size(),
             QSize(FindInDisksDialog::kMinimumWidth, FindInDisksDialog::kMinimumHeight));
    dialog.button(1)->click(); // Close only hides
    QVERIFY(!dialog.isVisible());
    QVERIFY(!fixture.frame->IsChecked(cmd::FindInDisks));
    fixture.frame->ExecuteCommand(cmd::FindInDisks);
    fixture.frame->ExecuteCommand(cmd::FindInDisks);
    QVERIFY(!dialog.isVisible());
    QVERIFY(!fixture.frame->IsChecked(cmd::FindInDisks));
}

// Enabled state of 2076 1015 1016 1020 1032 1018 1019 2097, as a string of 0 and 1.
void FolderToolsTest::batchEnableRules_data() {
    QTest::addColumn<bool>("extract");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("enabled");
    QTest::newRow("bitmap") << false << 0 << "11110110";
    QTest::newRow("csv") << false << 1 << "11011000";
    QTest::newRow("text") << false << 2 << "11011000";
    QTest::newRow("extract native") << true << 0 << "00010001";
    QTest::newRow("extract pc64") << true << 1 << "00010001";
}

void FolderToolsTest::batchEnableRules() {
    QFETCH(bool, extract);
    QFETCH(int, kind);
    QFETCH(QString, enabled);
    FrameFixture fixture;
    BatchDialog dialog(*fixture.frame);
    // Reached from every other state, so no rule depends on where it started.
    for (int from = 0; from < 4; ++from) {
        if (from < 3)
            dialog.ChooseListing(from);
        else
            dialog.ChooseExtraction(0);
        if (extract)
            dialog.ChooseExtraction(kind);
        else
            dialog.ChooseListing(kind);
        QString state;
        for (int id : {2076, 1015, 1016, 1020, 1032, 1018, 1019, 2097})
            state += Control(dialog, id)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        QCOMPARE(state, enabled);
        QVERIFY(Control(dialog, 1007)->isEnabled() && Control(dialog, 2071)->isEnabled());
    }
    const BatchOptions options = dialog.options();
    QVERIFY(options.mode == (extract ? BatchMode::Extract : BatchMode::List));
    if (extract)
        QCOMPARE(static_cast<int>(options.extractAs), kind);
    else
        QCOMPARE(options.listingFormat, BatchDialog::kListingKinds[kind]);
}

void FolderToolsTest::batchColoursAreRememberedForTheRun() {
    FrameFixture fixture;
    int background = 0, text = 0;
    {
        BatchDialog first(*fixture.frame);
        auto* list = static_cast<QComboBox*>(Control(first, 1018));
        background = (list->currentIndex() + 3) % 16;
        text = (static_cast<QComboBox*>(Control(first, 1019))->currentIndex() + 5) % 16;
        list->setCurrentIndex(background);
        static_cast<QComboBox*>(Control(first, 1019))->setCurrentIndex(text);
    }
    BatchDialog second(*fixture.frame);
    QCOMPARE(static_cast<QComboBox*>(Control(second, 1018))->currentIndex(), background);
    QCOMPARE(static_cast<QComboBox*>(Control(second, 1019))->currentIndex(), text);
    QCOMPARE(second.options().backgroundColour, background);
    QCOMPARE(second.options().textColour, text);
}

void FolderToolsTest::batchExtractsAsTheCommandLineDoes() {
    FrameFixture fixture;
    const fs::path ours = fixture.PathText(QStringLiteral("ours")),
                   theirs = fixture.PathText(QStringLiteral("theirs"));
    for (const fs::path& top : {ours, theirs}) {
        QVERIFY(WriteSearchTree(top));
        QVERIFY(WriteTreeDisk(top, {"game.d64", {"GAME", "README"}}));
    }
    {
        BatchDialog dialog(*fixture.frame);
        dialog.ChooseExtraction(0);
        static_cast<QComboBox*>(Control(dialog, 1007))
            ->setEditText(QString::fromStdString(ours.string()));
        static_cast<QCheckBox*>(Control(dialog, 2071))->setChecked(true);
        dialog.show();
        static_cast<QPushButton*>(Control(dialog, 1))->click();
        QVERIFY(!dialog.isVisible());
        QVERIFY(dialog.lastResult().listed);
        QCOMPARE(dialog.lastResult().processed, 5);
    }
    QVERIFY(fs::is_directory(ours / "gamed64"));
    QVERIFY(fs::path(fixture.settings.dirMru[0]) == ours);
    const ProcessResult cli =
        RunProcess({TESSARIND_CLI, "batch", theirs.string(), "--extract", "native"});
    QCOMPARE(cli.exitCode, 0);
    const auto ourFiles = Files(ours), theirFiles = Files(theirs);
    QVERIFY(ourFiles.count("gamed64/game.prg") == 1);
    QVERIFY(ourFiles == theirFiles);
}

void FolderToolsTest::batchSingleCsvEqualsTheCommandLines() {
    FrameFixture fixture;
    const fs::path top = fixture.PathText(QStringLiteral("tree"));
    QVERIFY(WriteSearchTree(top));
    {
        BatchDialog dialog(*fixture.frame);
        dialog.ChooseListing(1);
        static_cast<QComboBox*>(Control(dialog, 1007))
            ->setEditText(QString::fromStdString(top.string()));
        static_cast<QCheckBox*>(Control(dialog, 2071))->setChecked(true);
        QVERIFY(static_cast<QCheckBox*>(Control(dialog, 1032))->isChecked());
        dialog.show();
        static_cast<QPushButton*>(Control(dialog, 1))->click();
        QVERIFY(dialog.lastResult().listed);
    }
    const std::string ours = ReadAll(top / "CBMDirs.csv");
    QVERIFY(ours.find("OTHER") != std::string::npos);
    fs::remove(top / "CBMDirs.csv");
    const ProcessResult cli = RunProcess(
        {TESSARIND_CLI, "batch", top.string(), "--list", "csv", "--single-file", "--subdirs"});
    QCOMPARE(cli.exitCode, 0);
    QCOMPARE(ReadAll(top / "CBMDirs.csv"), ours);
}

QTEST_MAIN(FolderToolsTest)
#include "FolderToolsTest.moc"
