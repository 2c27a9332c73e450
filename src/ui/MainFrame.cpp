#include "ui/MainFrame.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QTreeView>
#include <QUrl>
#include <algorithm>
#include <array>
#include <optional>

#include "catalog/ImageOpener.h"
#include "catalog/FormatCatalog.h"
#include "formats/CmdContainerImage.h"
#include "formats/T64Image.h"
#include "ui/AboutBox.h"
#include "ui/BlankImages.h"
#include "ui/CbmTool.h"
#include "ui/CommandActions.h"
#include "ui/CommandEnableTable.h"
#include "ui/CommandLineParser.h"
#include "ui/DialogFilter.h"
#include "ui/DialogInteraction.h"
#include "ui/EntryMimeData.h"
#include "ui/FrameDropTarget.h"
#include "ui/ImageDocument.h"
#include "ui/DirPreview.h"
#include "ui/BatchDialog.h"
#include "ui/FindInDisksDialog.h"
#include "ui/DirectoryView.h"
#include "ui/FilePropertyWindow.h"
#include "ui/EmulatorLauncher.h"
#include "ui/EntryListView.h"
#include "ui/FileAssociationsDialog.h"
#include "ui/PetsciiTextView.h"
#include "formats/TextDocument.h"
#include "ui/PartitionView.h"
#include "ui/TapeView.h"
#include "ui/InPlaceEditor.h"
#include "ui/MainMenu.h"
#include "ui/OptionsDialog.h"
#include "ui/RecentFileMenu.h"
#include "ui/SeparatorTool.h"
#include "ui/SettingsStore.h"
#include "ui/ToolbarIcons.h"
#include "ui/ViewCapability.h"
#include "ui/ViewWindow.h"

namespace tessarind {

using namespace cmd;

namespace {

// The toolbar buttons in order: command, tooltip, check button.
struct Button {
    CommandId id;
    const char* tip;
    bool check;
};
constexpr std::array<Button, 15> kButtons = {{
    {Open, "Open", false},
    {Save, "Save", false},
    {FindInDisks, "Find in Disks", false},
    {ShowCbmTool, "Show CBM Tool", false},
    {ShowSeparatorTool, "Show Separator Tool", false},
    {ToggleCase, "Toggle Case", true},
    {ShowFileProperties, "Show File Properties", false},
    {BamEditor, "Edit BAM", false},
    {MoveFileDown, "Move File Down", false},
    {MoveFileUp, "Move File Up", false},
    {JumpToSector, "Jump to Sector", false},
    {ParentDirectory, "Change to Parent Directory", false},
    {ToggleFontSize, "Toggle Font Size", true},
    {ToggleHiddenCharacters, "Toggle Hidden Characters", true},
    {ShowDeletedFiles, "Show DEL Files", false},
}};

constexpr int kColourListWidth = 75;
// The open dialog's room beside the preview, so the file list shows names, sizes and dates
// in full and a useful number of files.
constexpr int kOpenDialogListWidth = 760;
constexpr int kOpenDialogHeight = 440;

uint32_t Rgb(const QColor& colour) {
    return static_cast<uint32_t>(colour.rgb()) & 0xFFFFFFu;
}

// The Undo item as the core words it, with the accelerator after a tab.
// Stands between the opener and the user while a file opens. Its "Unable to Open File"
// names the file alone; the frame says the same with the whole path, so that one is held
// back. Every other message is the more specific reason and passes on at once.
class OpenerMessages : public Interaction {
public:
    explicit OpenerMessages(Interaction* inner) : inner_(inner) {}
    bool gaveReason() const { return gaveReason_; }
    // The file opened after all: what was held back is shown now.
    void ShowHeld() {
        for (const auto& [text, caption] : held_)
            if (inner_) inner_->Message(text, caption);
        held_.clear();
    }

    void Message(const std::string& text, const std::string& caption) override {
        if (text.rfind(kUnableToOpen, 0) == 0) {
            held_.emplace_back(text, caption);
            return;
        }
        gaveReason_ = true;
        if (inner_) inner_->Message(text, caption);
    }
    Answer Ask(const std::string& text, const std::string& caption, bool withAll) override {
        return inner_ ? inner_->Ask(text, caption, withAll) : Answer::Cancel;
    }
    std::optional<long> AskNumber(const std::string& prompt, long initial) override {
        return inner_ ? inner_->AskNumber(prompt, initial) : std::nullopt;
    }
    std::optional<size_t> Choose(const std::string& prompt,
                                 const std::vector<std::string>& items) override {
        return inner_ ? inner_->Choose(prompt, items) : std::nullopt;
    }
    std::optional<SaveChoice> ChooseSaveFile(const SaveRequest& request,
                                             bool& dialogFailed) override {
        return inner_ ? inner_->ChooseSaveFile(request, dialogFailed) : std::nullopt;
    }

private:
    static constexpr const char* kUnableToOpen = "Unable to Open File";
    Interaction* inner_;
    bool gaveReason_ = false;
    std::vector<std::pair<std::string, std::string>> held_;
};

QString UndoItemText(const std::string& text) {
    QString item = QString::fromStdString(text);
    item.replace(QLatin1Char('\b'), QLatin1Char('\t'));
    if (item.startsWith(QStringLiteral("Undo"))) item.prepend(QLatin1Char('&'));
    return item;
}

} // namespace

MainFrame::MainFrame(Settings& settings, const SettingsStore& store, std::string startFolder,
                     QWidget* parent)
    : QMainWindow(parent), settings_(settings), store_(store), startFolder_(std::move(startFolder)),
      dialogs_(std::make_unique<DialogInteraction>(this)),
      emulators_(std::make_unique<EmulatorLauncher>()), interaction_(dialogs_.get()) {
    setWindowTitle(QString::fromLatin1(kTitle));
    setWindowIcon(ToolbarIcons::ProgramIcon());
    ComputeColourScheme();
    inPlaceEditor_ = new InPlaceEditor(this);

    actions_ = new CommandActions(this, [this](CommandId id) { ExecuteCommand(id); });
    menu_ = std::make_unique<MainMenu>(*this, *actions_);
    recentFiles_ = std::make_unique<RecentFileMenu>(*menu_->diskMenu(), menu_->exitSeparator(),
                                                    [this](CommandId id) { ExecuteCommand(id); });
    connect(menu_->diskMenu(), &QMenu::aboutToShow, this, &MainFrame::RefreshRecentFiles);
    connect(menu_->windowsMenu(), &QMenu::aboutToShow, this, &MainFrame::RefreshWindowList);

    client_ = new QMdiArea(this);
    client_->setObjectName(QStringLiteral("client"));
    client_->setFocusPolicy(Qt::StrongFocus);
    client_->installEventFilter(this);
    client_->viewport()->installEventFilter(this);
    setCentralWidget(client_);
    connect(client_, &QMdiArea::subWindowActivated, this, &MainFrame::SubWindowActivated);
    new FrameDropTarget(*this);

    BuildToolBar();
    BuildTools();
    RebuildRunInTexts();
    for (const CatalogRow& kind : FormatCatalog::Builtin().Rows())
        if (kind.newCommand && !BlankImages::CanCreate(kind.id)) actions_->Enable(Id(kind.newCommand), false);
    DisableContainerCommands();

    // The frame's character accelerators: "?" and "/" open About.
    for (const char* key : {"?", "/"}) {
        auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(key)), this);
        connect(shortcut, &QShortcut::activated, this, [this] { ExecuteCommand(About); });
    }
    findDialog_ = new FindInDisksDialog(*this);
    connect(findDialog_, &FindInDisksDialog::visibilityChanged, this,
            [this](bool visible) { actions_->Check(FindInDisks, visible); });
    actions_->Check(FindInDisks, false);
    PlaceWindow();
}

MainFrame::~MainFrame() {
    // Windows that outlive their containers (listings) must not activate anything now.
    disconnect(client_, nullptr, this, nullptr);
    disconnect(findDialog_, nullptr, this, nullptr);
    activeView_ = nullptr;
    images_.clear();
}

// ---- Building -------------------------------------------------------------------------------

void MainFrame::BuildToolBar() {
    toolBar_ = addToolBar(QStringLiteral("Toolbar"));
    toolBar_->setObjectName(QStringLiteral("toolbar"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setIconSize(QSize(ToolbarIcons::kSize, ToolbarIcons::kSize));
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolBar_->toggleViewAction()->setVisible(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    for (const Button& button : kButtons) {
        QAction* action = actions_->Get(button.id);
        if (action->text().isEmpty()) action->setText(QString::fromLatin1(button.tip));
        action->setToolTip(QString::fromLatin1(button.tip));
        action->setIcon(ToolbarIcons::ForCommand(button.id));
        action->setIconVisibleInMenu(false);
        if (button.check) action->setCheckable(true);
        toolBar_->addAction(action);
    }
    auto makeList = [this](CommandId which) {
        auto* list = new QComboBox(toolBar_);
        list->setObjectName(QString::number(Number(which)));
        list->setFixedWidth(kColourListWidth);
        for (const PaletteEntry& entry : kCbmPalette)
            list->addItem(QString::fromLatin1(entry.name));
        // The closed list is narrow; the open one shows each colour beside its name.
        for (int i = 0; i < list->count(); ++i)
            list->setItemData(i, QColor::fromRgb(kCbmPalette[static_cast<size_t>(i)].rgb()),
                              Qt::DecorationRole);
        list->view()->setMinimumWidth(list->view()->sizeHintForColumn(0) + 8);
        list->setCurrentIndex(-1);
        list->installEventFilter(this);
        connect(list, &QComboBox::activated, this, [this, which] { ExecuteCommand(which); });
        toolBar_->addWidget(list);
        return list;
    };
    toolBar_->addSeparator();
    backgroundList_ = makeList(BackgroundColour);
    textList_ = makeList(TextColour);
    SelectColour(BackgroundColour, defaultBackground_);
    SelectColour(TextColour, defaultText_);
}

void MainFrame::PlaceWindow() {
    auto number = [this](SettingId id) {
        return static_cast<int>(static_cast<int32_t>(settings_.Get(id)));
    };
    resize(number(SettingId::WindowDX), number(SettingId::WindowDY));
    // A position no screen shows is left to the window system; the size is kept.
    QPoint at(number(SettingId::WindowX), number(SettingId::WindowY));
    if (QGuiApplication::screenAt(at)) move(at);
}

void MainFrame::StorePlacement() {
    QRect placed = (isMaximized() || isMinimized()) ? normalGeometry() : QRect(pos(), size());
    settings_.Set(SettingId::WindowX, static_cast<uint32_t>(placed.x()));
    settings_.Set(SettingId::WindowY, static_cast<uint32_t>(placed.y()));
    settings_.Set(SettingId::WindowDX, static_cast<uint32_t>(placed.width()));
    settings_.Set(SettingId::WindowDY, static_cast<uint32_t>(placed.height()));
}

void MainFrame::ComputeColourScheme() {
    QPalette palette = QApplication::palette();
    SystemColours system;
    system.windowText = Rgb(palette.color(QPalette::Active, QPalette::Text));
    system.window = Rgb(palette.color(QPalette::Active, QPalette::Base));
    system.highlight = Rgb(palette.color(QPalette::Active, QPalette::Highlight));
    system.buttonFace = Rgb(palette.color(QPalette::Active, QPalette::Button));
    system.buttonText = Rgb(palette.color(QPalette::Active, QPalette::ButtonText));
    system.grayText = Rgb(palette.color(QPalette::Disabled, QPalette::Text));
    scheme_ = MakeColourScheme(settings_, system);
    defaultText_ = scheme_.text;
    defaultBackground_ = scheme_.background;
}

void MainFrame::FoldersChanged() {
    findDialog_->RefillLookIn();
}

void MainFrame::RebuildRunInTexts() {
    menu_->SetRunInTexts(settings_);
    // An entry given or cleared a program changes what the selection enables.
    if (activeView_) activeView_->Activated();
}

const std::vector<std::string>& MainFrame::emulatorFiles() const {
    return emulators_->temporaries().paths();
}

QMenu* MainFrame::diskMenu() const {
    return menu_->diskMenu();
}
QMenu* MainFrame::windowsMenu() const {
    return menu_->windowsMenu();
}

QComboBox* MainFrame::colourList(CommandId which) const {
    return which == BackgroundColour ? backgroundList_ : textList_;
}

bool MainFrame::IsEnabled(CommandId id) const {
    return actions_->IsEnabled(id);
}
bool MainFrame::IsChecked(CommandId id) const {
    return actions_->IsChecked(id);
}

void MainFrame::SetInteraction(Interaction* interaction) {
    interaction_ = interaction ? interaction : dialogs_.get();
    for (const auto& document : images_)
        document->image().SetOwner(interaction_);
}

// ---- Routing --------------------------------------------------------------------------------

void MainFrame::ExecuteCommand(CommandId id) {
    // A menu, toolbar or key command ends an open in-place edit first, as a click elsewhere
    // does, so that it acts on the list as the user left it.
    inPlaceEditor_->Finish(true);
    if (HandleFrameCommand(id)) return;
    if (activeView_ && activeView_->HandleCommand(id)) return;
    // What the window system does for a frame: the items of the window list.
    int number = Number(id);
    QList<QMdiSubWindow*> windows = client_->subWindowList(QMdiArea::CreationOrder);
    if (number >= kFirstWindowItem && number < kFirstWindowItem + windows.size())
        client_->setActiveSubWindow(windows[number - kFirstWindowItem]);
}

bool MainFrame::HandleFrameCommand(CommandId id) {
    for (const CatalogRow& kind : FormatCatalog::Builtin().Rows()) {
        if (kind.newCommand && Id(kind.newCommand) == id) {
            NewImage(kind.id);
            return true;
        }
    }
    for (int entry = 1; entry <= kRunInCount; ++entry) {
        if (id == RunIn(entry)) {
            RunEmulator(entry);
            return true;
        }
    }
    for (int slot = 0; slot < Settings::kFileMruSlots; ++slot) {
        if (id == FileMru(slot)) {
            OpenRecentFile(slot);
            return true;
        }
    }
    if (id == About) {
        AboutBox about(this);
        about.exec();
    } else if (id == ShowCbmTool) {
        ToggleTool(cbmTool_);
    } else if (id == ShowSeparatorTool) {
        ToggleTool(separatorTool_);
    } else if (id == ShowFileProperties) {
        ToggleTool(fileProperties_);
    } else if (id == Exit) {
        close();
    } else if (id == Open) {
        OpenDialog();
    } else if (id == Options) {
        ShowOptions();
    } else if (id == Arrange) {
        CascadeViews();
    } else if (id == Help) {
        ShowHelp();
    } else if (id == FileAssociations) {
        ShowFileAssociations();
    } else if (id == BackgroundColour || id == TextColour) {
        ColourChosen(id, colourList(id)->currentIndex());
    } else if (id == FindInDisks) {
        findDialog_->setVisible(!findDialog_->isVisible());
    } else if (id == BatchProcessing) {
        BatchDialog batch(*this);
        batch.exec();
    } else {
        return false;
    }
    return true;
}

// ---- Tool windows ---------------------------------------------------------------------------

void MainFrame::BuildTools() {
    cbmTool_ = new CbmTool(this);
    separatorTool_ = new SeparatorTool(this, settings_);
    fileProperties_ = new FilePropertyWindow(this);
    for (CommandId id : {ShowCbmTool, ShowSeparatorTool, ShowFileProperties}) {
        actions_->Get(id)->setCheckable(true);
        ToolShown(id, false);
    }
    connect(cbmTool_, &CbmTool::visibilityChanged, this,
            [this](bool on) { ToolShown(ShowCbmTool, on); });
    connect(separatorTool_, &SeparatorTool::visibilityChanged, this,
            [this](bool on) { ToolShown(ShowSeparatorTool, on); });
    connect(fileProperties_, &FilePropertyWindow::visibilityChanged, this,
            [this](bool on) { ToolShown(ShowFileProperties, on); });
}

void MainFrame::ToggleTool(QWidget* tool) {
    if (tool->isVisible()) {
        tool->hide();
        return;
    }
    // First shown at the right edge of the frame: the character tool at the top, the
    // separators below it; the File Property window to their left.
    if (!tool->property("placed").toBool()) {
        const QPoint topRight = mapToGlobal(QPoint(width(), toolBar_->geometry().bottom()));
        const int margin = 8;
        QPoint at(topRight.x() - tool->sizeHint().width() - margin, topRight.y() + margin);
        if (tool == separatorTool_) at.ry() += cbmTool_->frameGeometry().height() + margin;
        if (tool == fileProperties_)
            at.rx() -= cbmTool_->sizeHint().width() + fileProperties_->sizeHint().width() / 2;
        tool->move(at);
        tool->setProperty("placed", true);
    }
    tool->show();
}

void MainFrame::ToolShown(CommandId id, bool visible) {
    const char* name = id == ShowCbmTool         ? "CBM Tool"
                       : id == ShowSeparatorTool ? "Separator Tool"
                                                 : "File Properties";
    const QString what = QString::fromLatin1(name);
    QString item = (visible ? QStringLiteral("Hide ") : QStringLiteral("Show ")) + what;
    QAction* action = actions_->Get(id);
    action->setToolTip(item);
    // The menu's accelerator letters.
    item.insert(5, QLatin1Char('&'));
    action->setText(item);
    actions_->Check(id, visible);
}

void MainFrame::UpdateTools() {
    if (!cbmTool_) return;
    auto* directory = dynamic_cast<DirectoryView*>(activeView_);
    if (directory && !directory->Image()) directory = nullptr;
    separatorTool_->SetTargetView(directory);
    fileProperties_->Follow(directory);
    cbmTool_->update();
}

// ---- Opening --------------------------------------------------------------------------------

void MainFrame::OpenCommandLine(const std::string& text, const std::string& baseFolder) {
    ParsedCommandLine parsed = CommandLineParser::Parse(text);
    if (parsed.stop || parsed.tokens.size() < 2) return;
    OpenNames(std::vector<std::string>(parsed.tokens.begin() + 1, parsed.tokens.end()), baseFolder);
}

void MainFrame::OpenNames(const std::vector<std::string>& names, const std::string& baseFolder) {
    for (const std::string& path : CommandLineParser::PathsToOpen(names, baseFolder))
        OpenPath(path);
}

ImageDocument* MainFrame::OpenPath(const std::string& path) {
    OpenerMessages messages(interaction_);
    std::unique_ptr<DiskImage> image =
        OpenContainer(&messages, path, {}, 0, nullptr, true, &settings_);
    if (!image) {
        // One box: the opener's reason when it gave one, else ours with the whole path.
        if (!messages.gaveReason() && interaction_)
            interaction_->Message("Unable to Open File " + path, "Error");
        return nullptr;
    }
    messages.ShowHeld();
    return Adopt(std::move(image));
}

ImageDocument* MainFrame::NewImage(int formatId) {
    std::unique_ptr<DiskImage> image = BlankImages::Create(formatId, interaction_, &settings_);
    return image ? Adopt(std::move(image)) : nullptr;
}

ImageDocument* MainFrame::ShowDocument(std::unique_ptr<DiskImage> image) {
    return image ? Adopt(std::move(image)) : nullptr;
}

ImageDocument* MainFrame::Adopt(std::unique_ptr<DiskImage> image) {
    image->SetOwner(interaction_);
    images_.push_front(std::make_unique<ImageDocument>(std::move(image)));
    ImageDocument* document = images_.front().get();
    ImageView* view = nullptr;
    if (auto* text = dynamic_cast<TextDocument*>(&document->image())) {
        // A text document's one view is its text; it is titled with the host path.
        const std::span<const uint8_t> bytes = text->Text();
        const QString path = QString::fromStdString(text->path());
        view = new PetsciiTextView(this, *text, {bytes.begin(), bytes.end()}, path, text->CbmName(),
                                   text->openingSwitches, ViewStyle());
        text->AttachDirectoryView(view);
    } else if (auto* tape = dynamic_cast<T64Image*>(&document->image())) {
        view = new TapeView(this, *tape, ViewStyle());
    } else if (auto* container = dynamic_cast<CmdContainerImage*>(&document->image())) {
        view = new PartitionView(this, *container, ViewStyle());
    } else {
        view = new DirectoryView(this, document->image(), ViewStyle());
    }
    document->SetDirectoryView(view);
    QMdiSubWindow* window = view->MakeWindow();
    if (dynamic_cast<PetsciiTextView*>(view)) view->SetWindowText(document->image().path());
    client_->addSubWindow(window);
    // Sized once it carries the client area's title bar.
    view->FitWindow(true);
    PlaceNewWindow(window);
    window->show();
    client_->setActiveSubWindow(window);
    ActivateView(view);
    return document;
}

void MainFrame::TakeCommandLine(const QString& text, const QString& folder) {
    OpenCommandLine(text.toStdString(), folder.toStdString());
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
}

void MainFrame::OpenDialog() {
    QString filter = DialogFilter::NameFilters(DialogFilter::Build(DialogFilter::OpenGroups()))
                         .join(QStringLiteral(";;"));
    // Containers kept compressed open through the same opener.
    filter += QStringLiteral(";;Gzip, Zip (*.gz *.zip)");
    QFileDialog dialog(this, QString(), QString::fromStdString(settings_.location), filter);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    // Qt's own dialog, so the directory preview can stand beside the file list.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto* preview = new DirPreview(&settings_, ViewStyle(), &dialog);
    // Beside the file list, as a third pane of the dialog's own splitter: the path above and
    // the name and type below keep the whole width, and the dialog grows by the preview so
    // the list keeps its room.
    if (auto* splitter = dialog.findChild<QSplitter*>(QStringLiteral("splitter"))) {
        splitter->addWidget(preview);
        splitter->setCollapsible(splitter->indexOf(preview), false);
        splitter->setStretchFactor(splitter->indexOf(preview), 0);
        splitter->setStretchFactor(splitter->indexOf(preview) - 1, 1);
    } else if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1);
    }
    const QSize listRoom(kOpenDialogListWidth, kOpenDialogHeight);
    QSize size = dialog.sizeHint().expandedTo(listRoom) + QSize(preview->minimumWidth(), 0);
    if (const QScreen* screen = this->screen())
        size = size.boundedTo(screen->availableGeometry().size());
    dialog.resize(size);
    connect(&dialog, &QFileDialog::currentChanged, preview, &DirPreview::ShowPath);
    // The list's columns take the width of what they show, once a folder is read.
    auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    auto* model = dialog.findChild<QFileSystemModel*>();
    if (tree && model)
        connect(model, &QFileSystemModel::directoryLoaded, tree,
                [tree] { tree->header()->resizeSections(QHeaderView::ResizeToContents); });
    if (dialog.exec() != QDialog::Accepted) return;
    QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return;
    std::string folder = QFileInfo(files.front()).absolutePath().toStdString();
    settings_.location = folder;
    std::vector<std::string> names;
    for (const QString& file : files)
        names.push_back(QFileInfo(file).fileName().toStdString());
    OpenNames(names, folder);
}

void MainFrame::OpenRecentFile(int slot) {
    std::string path = settings_.fileMru[static_cast<size_t>(slot)];
    if (!path.empty()) OpenPath(path);
}

void MainFrame::RefreshRecentFiles() {
    recentFiles_->Refresh(settings_);
}

// ---- Closing --------------------------------------------------------------------------------

std::list<std::unique_ptr<ImageDocument>>::iterator
MainFrame::FindDocument(const ViewWindow& view) {
    return std::find_if(images_.begin(), images_.end(),
                        [&](const auto& document) { return document->directoryView() == &view; });
}

bool MainFrame::ReleaseView(ViewWindow& view) {
    auto found = FindDocument(view);
    if (found == images_.end()) return true;
    if (!(*found)->image().QuerySave(&closing_)) return false;
    std::unique_ptr<ImageDocument> document = std::move(*found);
    images_.erase(found);
    document->SetDirectoryView(nullptr);
    view.Detach();
    if (activeView_ == &view) activeView_ = nullptr;
    document.reset();
    // The newest container left becomes the active one.
    if (images_.empty()) {
        activeView_ = nullptr;
        DisableContainerCommands();
    } else if (ViewWindow* next = images_.front()->directoryView()) {
        client_->setActiveSubWindow(next->Window());
        ActivateView(next);
    }
    return true;
}

bool MainFrame::CloseAll() {
    closing_.several = images_.size() > 1;
    while (!images_.empty()) {
        if (!images_.front()->image().QuerySave(&closing_)) {
            // This container and every one after it stay open; later single closes ask
            // with the plain box again.
            closing_ = CloseAllState{};
            return false;
        }
        std::unique_ptr<ImageDocument> document = std::move(images_.front());
        images_.pop_front();
        if (activeView_ == document->directoryView()) activeView_ = nullptr;
        document->CloseViews();
    }
    closing_ = CloseAllState{};
    activeView_ = nullptr;
    DisableContainerCommands();
    StorePlacement();
    findDialog_->StoreSettings();
    store_.Save(settings_);
    return true;
}

void MainFrame::closeEvent(QCloseEvent* event) {
    if (!closedAll_ && !CloseAll()) {
        event->ignore();
        return;
    }
    closedAll_ = true;
    dragFolder_.reset(); // the files dragged out go with the program
    event->accept();
}

std::weak_ptr<DragFolder> MainFrame::DragFiles() {
    if (!dragFolder_) dragFolder_ = std::make_shared<DragFolder>();
    return dragFolder_;
}

// ---- Views ----------------------------------------------------------------------------------

void MainFrame::SubWindowActivated(QMdiSubWindow* window) {
    // Losing activation to another top-level window reports no window; the view that was
    // active stays the target of commands.
    if (!window) return;
    auto* view = dynamic_cast<ViewWindow*>(window->widget());
    if (view && view->Image() && view != activeView_) ActivateView(view);
}

void MainFrame::ActivateView(ViewWindow* view) {
    inPlaceEditor_->Finish(true);
    activeView_ = view;
    DiskImage* image = view->Image();
    ApplyEnableTable(view->Capability(),
                     [this](CommandId id, bool on) { actions_->Enable(id, on); });
    if (image) image->UpdateCommands(*actions_);
    actions_->Check(ToggleCase, view->ShowsUpperCase());
    actions_->Check(ToggleHiddenCharacters, view->ShowsHiddenCharacters());
    actions_->Check(ToggleFontSize, settings_.On(SettingId::LargeFonts));
    if (image) actions_->Check(ShowDeletedFiles, image->showDeleted());
    defaultBackground_ = view->Colour(BackgroundColour);
    defaultText_ = view->Colour(TextColour);
    SelectColour(BackgroundColour, defaultBackground_);
    SelectColour(TextColour, defaultText_);
    if (image) actions_->Get(Undo)->setText(UndoItemText(image->UndoItemText()));
    view->Activated();
    UpdateTools();
}

ImageView::Style MainFrame::ViewStyle() const {
    ImageView::Style style;
    style.text = defaultText_;
    style.background = defaultBackground_;
    style.selection = scheme_.selection;
    style.upperCase = settings_.On(SettingId::DefaultUpper);
    style.largeFont = settings_.On(SettingId::LargeFonts);
    return style;
}

void MainFrame::DisableContainerCommands() {
    // Nothing of the last container may linger: its undo label, its Collapse, its checks.
    ApplyEnableTable(kCapabilityNoView, [this](CommandId id, bool on) {
        actions_->Enable(id, on);
        menu_->ResetItem(id);
    });
    UpdateTools();
}

void MainFrame::ViewEnables(ViewWindow& view, int id, bool on) {
    if (&view == activeView_) actions_->Enable(id, on);
}

void MainFrame::ViewChecks(ViewWindow& view, int id, bool on) {
    if (&view != activeView_) return;
    actions_->Check(id, on);
    if (id == Number(ToggleCase)) UpdateTools();
}

void MainFrame::ViewUndoText(ViewWindow& view, const std::string& text, bool enabled) {
    if (&view != activeView_) return;
    QAction* undo = actions_->Get(Undo);
    undo->setText(UndoItemText(text));
    undo->setEnabled(enabled);
}

void MainFrame::SelectColour(CommandId which, uint32_t rgb) {
    QComboBox* list = colourList(which);
    if (!list) return;
    int index = -1;
    for (size_t i = 0; i < kCbmPalette.size(); ++i)
        if (kCbmPalette[i].rgb() == rgb) index = static_cast<int>(i);
    QSignalBlocker quiet(list);
    list->setCurrentIndex(index);
}

void MainFrame::ColourChosen(CommandId which, int index) {
    if (index < 0 || index >= static_cast<int>(kCbmPalette.size())) return;
    uint32_t rgb = kCbmPalette[static_cast<size_t>(index)].rgb();
    (which == BackgroundColour ? defaultBackground_ : defaultText_) = rgb;
    if (activeView_) activeView_->SetColour(which, rgb);
}

void MainFrame::RefreshWindowList() {
    QMenu* menu = menu_->windowsMenu();
    QList<QAction*> items = menu->actions();
    for (qsizetype i = 1; i < items.size(); ++i) {
        menu->removeAction(items[i]);
        delete items[i];
    }
    QList<QMdiSubWindow*> windows = client_->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty()) return;
    menu->addSeparator();
    for (qsizetype i = 0; i < windows.size(); ++i) {
        QString title = windows[i]->windowTitle();
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* item = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(title), menu);
        CommandId id = Id(kFirstWindowItem + static_cast<int>(i));
        item->setData(Number(id));
        item->setCheckable(true);
        item->setChecked(windows[i] == client_->activeSubWindow());
        connect(item, &QAction::triggered, this, [this, id] { ExecuteCommand(id); });
        menu->addAction(item);
    }
}

int MainFrame::CascadeStep() const {
    const int step = client_->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, client_);
    return step > 0 ? step : 24;
}

void MainFrame::PlaceNewWindow(QMdiSubWindow* window) {
    // Inside the visible client area, one title bar further down and right than the child
    // before it, back at the top left where the next step would leave the area. The width
    // belongs to the listing; in a client area too low for the opening height (and a few
    // steps of cascade) the window opens lower.
    constexpr int kCascadeRoom = 3;
    const QSize area = client_->viewport()->size();
    const int step = CascadeStep();
    const int highest = std::max(area.height() - kCascadeRoom * step, window->minimumHeight());
    const int height = std::max(std::min(window->height(), highest), window->minimumHeight());
    window->resize(window->width(), height);
    const int room = std::min(area.width() - window->width(), area.height() - height);
    const int places = room > 0 ? room / step + 1 : 1;
    const int others = static_cast<int>(client_->subWindowList().size()) - 1;
    const int offset = (std::max(others, 0) % places) * step;
    window->move(offset, offset);
}

void MainFrame::KeepInsideClientArea(QMdiSubWindow* window) const {
    const QSize area = client_->viewport()->size();
    window->move(std::clamp(window->x(), 0, std::max(area.width() - window->width(), 0)),
                 std::clamp(window->y(), 0, std::max(area.height() - window->height(), 0)));
}

void MainFrame::CascadeViews() {
    // Cascade: each window one title bar further down and right, sizes untouched, the active
    // one ending on top.
    QList<QMdiSubWindow*> windows = client_->subWindowList(QMdiArea::StackingOrder);
    QMdiSubWindow* active = client_->activeSubWindow();
    const int step = CascadeStep();
    QSize area = client_->viewport()->size();
    int offset = 0;
    for (QMdiSubWindow* window : windows) {
        if (window->isMinimized() || window->isMaximized()) window->showNormal();
        if (offset > 0 &&
            (offset + window->width() / 2 > area.width() || offset + step * 2 > area.height()))
            offset = 0;
        window->move(offset, offset);
        window->raise();
        offset += step;
    }
    if (active) client_->setActiveSubWindow(active);
}

void MainFrame::ShowHelp() {
    // Beside the program in the build tree; in the shared documentation once installed.
    const QString folder = QCoreApplication::applicationDirPath();
    QString page = folder + QStringLiteral("/tessarind.htm");
    const QString installed = folder + QStringLiteral("/../share/doc/tessarind/tessarind.htm");
    if (!QFileInfo::exists(page) && QFileInfo::exists(installed))
        page = QFileInfo(installed).canonicalFilePath();
    QDesktopServices::openUrl(QUrl::fromLocalFile(page));
}

void MainFrame::RunEmulator(int entry) {
    // What the active list view has selected; a view without a list runs nothing.
    auto* list = dynamic_cast<EntryListView*>(activeView_);
    DiskImage* image = activeView_ ? activeView_->Image() : nullptr;
    if (!list || !image || list->currentIndex() < 0) return;
    emulators_->Run(*image, list->currentIndex(),
                    settings_.emulators[static_cast<size_t>(entry - 1)]);
}

void MainFrame::ShowFileAssociations() {
    FileAssociationsDialog dialog(QCoreApplication::applicationFilePath().toStdString(), this);
    dialog.exec();
}

void MainFrame::ShowOptions() {
    OptionsDialog dialog(settings_, this);
    connect(&dialog, &OptionsDialog::RunInChanged, this, &MainFrame::RebuildRunInTexts);
    if (dialog.exec() != QDialog::Accepted) return;
    const OptionsDialog::Changes& changes = dialog.changes();
    if (changes.colours) ComputeColourScheme();
    if (!changes.redraw) return;
    for (const auto& document : images_) {
        if (changes.recount) document->image().Refresh();
        document->image().RedrawViews();
    }
}

// ---- Keys -----------------------------------------------------------------------------------

bool MainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QMainWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == client_ || watched == client_->viewport()) {
        // "6", "7" and "8" typed on the empty client make a new 1541, 1571 or 1581 image.
        const QString text = key->text();
        for (auto [typed, id] :
             {std::pair{'6', NewD64}, std::pair{'7', NewD71}, std::pair{'8', NewD81}}) {
            if (text == QString(QLatin1Char(typed))) {
                ExecuteCommand(id);
                return true;
            }
        }
    } else if (watched == backgroundList_ || watched == textList_) {
        // Tab goes between the two colour lists; Enter and Escape go back to the view.
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            (watched == backgroundList_ ? textList_ : backgroundList_)
                ->setFocus(Qt::TabFocusReason);
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
            key->key() == Qt::Key_Escape) {
            if (activeView_)
                activeView_->Window()->setFocus(Qt::OtherFocusReason);
            else
                client_->setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace tessarind
