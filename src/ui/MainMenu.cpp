#include "ui/MainMenu.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include "catalog/FormatCatalog.h"
#include "text/Settings.h"
#include "ui/CommandActions.h"

namespace tessarind {

using namespace cmd;

namespace {

enum ItemFlag : unsigned { kNone = 0, kGreyed = 1, kCheck = 2 };

// One item: its text (a shown shortcut after the tab), its command and how it starts.
struct Item {
    const char* text;
    CommandId id;
    unsigned flags = kNone;
};

// Adds an item and notes the text it was built with.
void AddItem(QMenu* menu, CommandActions& actions, std::map<int, QString>& texts, const QString& text,
             CommandId id, unsigned flags) {
    QAction* action = actions.Add(id, text, flags & kCheck);
    action->setEnabled(!(flags & kGreyed));
    menu->addAction(action);
    texts[Number(id)] = text;
}

void AddItems(QMenu* menu, CommandActions& actions, std::map<int, QString>& texts,
              std::initializer_list<Item> items) {
    for (const Item& item : items)
        AddItem(menu, actions, texts, QString::fromLatin1(item.text), item.id, item.flags);
}

} // namespace

MainMenu::MainMenu(QMainWindow& frame, CommandActions& actions) : actions_(actions) {
    QMenuBar* bar = frame.menuBar();

    disk_ = bar->addMenu(QStringLiteral("&Disk"));
    QMenu* newMenu = disk_->addMenu(QStringLiteral("&New"));
    // The kinds New offers, from the format catalog; those it cannot make yet stay greyed.
    for (const CatalogRow& kind : FormatCatalog::Builtin().Rows())
        if (!kind.newMenuText.empty())
            AddItem(newMenu, actions, builtTexts_,
                    QString::fromUtf8(kind.newMenuText.data(), static_cast<qsizetype>(kind.newMenuText.size())),
                    Id(kind.newCommand), kind.makesBlank && kind.make ? kNone : kGreyed);
    AddItems(disk_, actions, builtTexts_,
             {{"&Open\tCTRL+O", Open},
              {"&Close", Close},
              {"&Save\tCTRL+S", Save, kGreyed},
              {"Save &As...", SaveAs, kGreyed}});
    disk_->addSeparator();
    AddItems(disk_, actions, builtTexts_,
             {{"&Validate", Validate, kGreyed},
              {"Check for C&ross Links", CrossLinks, kGreyed},
              {"Co&mpact", Compact, kGreyed},
              {"Show &Del Files", ShowDeletedFiles, kGreyed | kCheck},
              {"&Fill Free Sectors", FillFreeSectors, kGreyed},
              {"&List Dir\t$", ListDir}});
    QMenu* sort = disk_->addMenu(QStringLiteral("Sort"));
    AddItems(sort, actions, builtTexts_,
             {{"Filename &Ascending", SortNameAscending, kGreyed},
              {"Filename &Descending", SortNameDescending, kGreyed},
              {"File Size Ascending", SortSizeAscending, kGreyed},
              {"File Size Descending", SortSizeDescending, kGreyed}});
    QMenu* extensions = disk_->addMenu(QStringLiteral("&Extensions"));
    AddItems(extensions, actions, builtTexts_,
             {{"Sector &Errors", SectorErrors, kGreyed | kCheck},
              {"Extended &Tracks", ExtendedTracks, kGreyed | kCheck},
              {"&Write Error Numbers", WriteErrorNumbers, kGreyed | kCheck}});
    disk_->addSeparator();
    AddItems(disk_, actions, builtTexts_,
             {{"Find in &Disks...", FindInDisks},
              {"&Batch Processing...", BatchProcessing},
              {"O&ptions...", Options}});
    exitSeparator_ = disk_->addSeparator();
    AddItems(disk_, actions, builtTexts_, {{"E&xit", Exit}});

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    AddItems(file, actions, builtTexts_,
             {{"&Rename\tE", Rename, kGreyed},
              {"&Insert", Insert},
              {"Re&move", Remove},
              {"&View File\tV", ViewFile},
              {"&Uncompress\tZ", Uncompress},
              {"Create Sub &Dir", CreateSubDir, kGreyed}});
    QMenu* align = file->addMenu(QStringLiteral("&Align"));
    AddItems(align, actions, builtTexts_,
             {{"Expand\tX", Expand, kCheck},
              {"Left Justify\tL", LeftJustify, kCheck},
              {"Center\tC", Center, kCheck},
              {"Right Justify\tR", RightJustify, kCheck}});
    QMenu* runIn = file->addMenu(QStringLiteral("Run In"));
    for (int entry = 1; entry <= kRunInCount; ++entry) {
        QAction* action = actions.Add(RunIn(entry), QString());
        action->setEnabled(false);
        runIn->addAction(action);
    }
    AddItems(file, actions, builtTexts_,
             {{"&Change File Size", ChangeFileSize},
              {"&Auto File Size", AutoFileSize},
              {"&Splat\t*", Splat, kCheck},
              {"&Lock\t<", Lock, kCheck}});
    QMenu* type = file->addMenu(QStringLiteral("&File Type"));
    AddItems(type, actions, builtTexts_,
             {{"&DEL\tD", TypeDel, kCheck},
              {"&SEQ\tS", TypeSeq, kCheck},
              {"&PRG\tP", TypePrg, kCheck},
              {"&USR\tU", TypeUsr, kCheck},
              {"&REL\tL", TypeRel, kCheck},
              {"&CBM", TypeCbm, kCheck}});
    AddItems(file, actions, builtTexts_,
             {{"Move File &Up", MoveFileUp, kGreyed},
              {"Move File &Down", MoveFileDown, kGreyed},
              {"&Export", Export},
              {"Im&port", Import}});

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    AddItems(edit, actions, builtTexts_,
             {{"&Undo\tCTRL+Z", Undo, kGreyed},
              {"&Rename Disk", RenameDisk, kGreyed},
              {"Edit Disk &ID", EditDiskId, kGreyed},
              {"&Fill Sector", FillSector, kGreyed},
              {"&Jump to Sector\tJ", JumpToSector},
              {"Jump to &Side Sector\tShift+J", JumpToSideSector}});

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    AddItems(view, actions, builtTexts_,
             {{"&BAM Editor", BamEditor, kGreyed},
              {"&Toggle Case", ToggleCase, kCheck},
              {"Show &CBM Tool", ShowCbmTool},
              {"Show &Separator Tool", ShowSeparatorTool},
              {"Show &File Properties", ShowFileProperties}});

    windows_ = bar->addMenu(QStringLiteral("&Windows"));
    AddItems(windows_, actions, builtTexts_, {{"&Arrange", Arrange}});

    // "&Help" stands at the right end of the bar.
    auto* helpBar = new QMenuBar(bar);
    help_ = helpBar->addMenu(QStringLiteral("&Help"));
    AddItems(help_, actions, builtTexts_,
             {{"&Tessarind", Help},
              {"Set &File Associations...", FileAssociations},
              {"&About ...", About}});
    bar->setCornerWidget(helpBar, Qt::TopRightCorner);

    // The accelerators of the frame. They act like their items, so not while greyed.
    actions.Get(Open)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    actions.Get(Save)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    actions.Get(Undo)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
}

QString MainMenu::RunInText(const Settings& settings, int entry) {
    const std::string& name = settings.emulators[static_cast<size_t>(entry - 1)].name;
    QString shown = name.empty() ? QStringLiteral(" ") : QString::fromStdString(name);
    return shown + QStringLiteral("\tCTRL+") + QString::number(entry);
}

void MainMenu::SetRunInTexts(const Settings& settings) {
    for (int entry = 1; entry <= kRunInCount; ++entry) {
        const QString text = RunInText(settings, entry);
        actions_.Get(RunIn(entry))->setText(text);
        builtTexts_[Number(RunIn(entry))] = text;
    }
}

void MainMenu::ResetItem(CommandId id) {
    QAction* action = actions_.Get(id);
    auto built = builtTexts_.find(Number(id));
    if (built != builtTexts_.end()) action->setText(built->second);
    if (action->isCheckable()) action->setChecked(false);
}

} // namespace tessarind
