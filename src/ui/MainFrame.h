#pragma once
// The program's single top-level window: menu, toolbar with its colour lists, the
// multiple-document client holding every view, the list of open containers, command routing,
// opening from the command line and the dialogs, and closing with the save prompt.

#include <QMainWindow>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "model/DiskImage.h"
#include "text/CbmCharset.h"
#include "ui/CommandIds.h"
#include "ui/ImageView.h"

class QComboBox;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

namespace tessarind {

class CbmTool;
class CommandActions;
class DragFolder;
class DialogInteraction;
class FilePropertyWindow;
class SeparatorTool;
class EmulatorLauncher;
class FindInDisksDialog;
class InPlaceEditor;
class ImageDocument;
class MainMenu;
class RecentFileMenu;
class SettingsStore;
class ViewWindow;

class MainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Tessarind v2.1";

    // `settings` were loaded before; `store` receives them at exit. The start folder is
    // where relative command-line names are looked for.
    MainFrame(Settings& settings, const SettingsStore& store, std::string startFolder,
              QWidget* parent = nullptr);
    ~MainFrame() override;

    // ---- Commands -----------------------------------------------------------------------
    // Routes a command: the frame's own, else to the active view.
    void ExecuteCommand(CommandId id);
    CommandActions& actions() const { return *actions_; }
    bool IsEnabled(CommandId id) const;
    bool IsChecked(CommandId id) const;

    // ---- Opening and closing ------------------------------------------------------------
    // Opens the names of a command line (the first token is the program); relative names
    // are looked for in baseFolder.
    void OpenCommandLine(const std::string& text, const std::string& baseFolder);
    // The program's own command line: relative names are looked for in the start folder.
    void OpenCommandLine(const std::string& text) { OpenCommandLine(text, startFolder_); }
    void OpenNames(const std::vector<std::string>& names, const std::string& baseFolder);
    // Opens one path through the opener; on failure says "Unable to Open File %s".
    ImageDocument* OpenPath(const std::string& path);
    // A new empty container of a format-registry kind.
    ImageDocument* NewImage(int formatId);
    // Shows a container made elsewhere (a text document of an archive's notes, say).
    ImageDocument* ShowDocument(std::unique_ptr<DiskImage> image);
    // Closes every container, newest first, asking to save changed ones. False when the
    // user kept one open; then it and every one after it stay.
    bool CloseAll();
    // The open containers, newest first.
    const std::list<std::unique_ptr<ImageDocument>>& openImages() const { return images_; }

    // ---- Views --------------------------------------------------------------------------
    ViewWindow* activeView() const { return activeView_; }
    // Closing a view closes its container; false when the user kept it.
    bool ReleaseView(ViewWindow& view);
    // What a view's image asks of the frame's items while that view is active.
    void ViewEnables(ViewWindow& view, int id, bool on);
    void ViewChecks(ViewWindow& view, int id, bool on);
    void ViewUndoText(ViewWindow& view, const std::string& text, bool enabled);
    // The one in-place editor of every view.
    InPlaceEditor& inPlaceEditor() const { return *inPlaceEditor_; }

    // ---- Parts the tests and tools look at ----------------------------------------------
    // The files handed to emulators so far; removed when the frame ends.
    const std::vector<std::string>& emulatorFiles() const;
    QMdiArea* client() const { return client_; }
    QToolBar* toolBar() const { return toolBar_; }
    QMenu* diskMenu() const;
    QMenu* windowsMenu() const;
    QComboBox* colourList(CommandId which) const;
    Settings& settings() const { return settings_; }
    // The answerer of the core's and the frame's questions: the dialogs, or a stand-in.
    Interaction* interaction() const { return interaction_; }
    // Shows a container made elsewhere (an unpacked archive) in a window of its own.
    ImageDocument* AddImage(std::unique_ptr<DiskImage> image) { return Adopt(std::move(image)); }
    void SetInteraction(Interaction* interaction);
    void RefreshRecentFiles();
    void RefreshWindowList();
    void RebuildRunInTexts();
    // Moves a child window up and left as far as it takes to show it whole in the client area.
    void KeepInsideClientArea(QMdiSubWindow* window) const;
    // DirMRU changed: the Find in Disks "Look In" list is filled again.
    void FoldersChanged();
    FindInDisksDialog* findDialog() const { return findDialog_; }
    const ColourScheme& colourScheme() const { return scheme_; }
    // The tool windows, made with the frame and only shown and hidden afterwards.
    CbmTool* cbmTool() const { return cbmTool_; }
    SeparatorTool* separatorTool() const { return separatorTool_; }
    FilePropertyWindow* fileProperties() const { return fileProperties_; }
    // The temporary folder files dragged or copied to the host are written into; made on
    // first use, removed when the frame closes.
    std::weak_ptr<DragFolder> DragFiles();
    // The look a new view starts with: the default colours and the case and font settings.
    ImageView::Style ViewStyle() const;

public slots:
    // A command line handed over by a second start: open it and come to the front.
    void TakeCommandLine(const QString& text, const QString& folder);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildToolBar();
    void BuildTools();
    void ToggleTool(QWidget* tool);
    void ToolShown(CommandId id, bool visible);
    // The tools follow the active view: its case table, its entry, whether it takes separators.
    void UpdateTools();
    void PlaceWindow();
    void StorePlacement();
    bool HandleFrameCommand(CommandId id);
    void OpenDialog();
    void OpenRecentFile(int slot);
    void ShowOptions();
    void CascadeViews();
    int CascadeStep() const;
    void PlaceNewWindow(QMdiSubWindow* window);
    void ShowHelp();
    void RunEmulator(int entry);
    void ShowFileAssociations();
    void ColourChosen(CommandId which, int index);
    ImageDocument* Adopt(std::unique_ptr<DiskImage> image);
    void ActivateView(ViewWindow* view);
    void SubWindowActivated(QMdiSubWindow* window);
    void DisableContainerCommands();
    void ComputeColourScheme();
    void SelectColour(CommandId which, uint32_t rgb);
    std::list<std::unique_ptr<ImageDocument>>::iterator FindDocument(const ViewWindow& view);

    Settings& settings_;
    const SettingsStore& store_;
    std::string startFolder_;
    std::unique_ptr<DialogInteraction> dialogs_;
    // Its temporary files go when the frame goes, at the end of the program.
    std::unique_ptr<EmulatorLauncher> emulators_;
    Interaction* interaction_ = nullptr;
    CommandActions* actions_ = nullptr;
    InPlaceEditor* inPlaceEditor_ = nullptr;
    std::unique_ptr<MainMenu> menu_;
    std::unique_ptr<RecentFileMenu> recentFiles_;
    QMdiArea* client_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QComboBox* backgroundList_ = nullptr;
    QComboBox* textList_ = nullptr;
    std::list<std::unique_ptr<ImageDocument>> images_;
    ViewWindow* activeView_ = nullptr;
    ColourScheme scheme_;
    uint32_t defaultText_ = 0;
    uint32_t defaultBackground_ = 0;
    CbmTool* cbmTool_ = nullptr;
    SeparatorTool* separatorTool_ = nullptr;
    FilePropertyWindow* fileProperties_ = nullptr;
    std::shared_ptr<DragFolder> dragFolder_;
    CloseAllState closing_;
    bool closedAll_ = false;
    FindInDisksDialog* findDialog_ = nullptr;
};

} // namespace tessarind
