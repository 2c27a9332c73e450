#pragma once
// Find in Disks: the modeless dialog that searches every container of a host folder tree for
// files by CBM name. The search itself is the catalog's SearchFolder, run on one worker
// thread; its rows and status texts come back to the dialog as queued calls, in order.

#include <QDialog>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "catalog/FolderSearch.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QAbstractItemModel;
class QTreeView;

namespace tessarind {

class CbmEdit;
class MainFrame;

// Puts a folder at the head of DirMRU: one already there (exact comparison) moves up, else
// every slot moves down and the last falls out.
void AddRecentFolder(Settings& settings, const std::string& folder);

class FindInDisksDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMinimumWidth = 458;
    static constexpr int kMinimumHeight = 400;
    static constexpr int kFileNameCells = 18;
    static constexpr std::chrono::seconds kRestartWait{10};
    static constexpr std::chrono::seconds kEndWait{60};

    explicit FindInDisksDialog(MainFrame& frame);
    ~FindInDisksDialog() override;

    // Starts a search over the "Look In" folder (the Find button).
    void StartSearch();
    // Stops the running search after its current container (the Cancel button).
    void CancelSearch();
    // Opens the containers of the selected rows (the Open button).
    void OpenSelected();
    bool searching() const { return job_ != nullptr; }
    // Fills "Look In" from DirMRU again, keeping the text typed there.
    void RefillLookIn();
    // Copies "Look in Subfolders" into its setting.
    void StoreSettings() const;

    // ---- Parts the tests and tools look at ----------------------------------------------
    CbmEdit* patternField() const { return pattern_; }
    QComboBox* lookIn() const { return lookIn_; }
    QCheckBox* subfolders() const { return subfolders_; }
    QTreeView* results() const { return results_; }
    QAbstractItemModel* model() const { return model_; }
    QLabel* status() const { return status_; }
    QPushButton* button(int controlId) const;

signals:
    void visibilityChanged(bool visible);
    // The search has ended, finished or cancelled, and its last row has arrived.
    void searchEnded();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Job;
    void Browse();
    // Takes what the worker has queued: rows, the path it searches, its end.
    void Drain(Job& job);
    void Finished(const FolderSearchResult& result);
    // Stops a running worker, waiting up to `wait` for it to end; one that does not end in
    // time is left to finish on its own and its later reports are dropped.
    void StopWorker(std::chrono::seconds wait);

    MainFrame& frame_;
    CbmEdit* pattern_ = nullptr;
    QComboBox* lookIn_ = nullptr;
    QCheckBox* subfolders_ = nullptr;
    QTreeView* results_ = nullptr;
    QAbstractItemModel* model_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* find_ = nullptr;
    QPushButton* open_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* close_ = nullptr;
    QPushButton* browse_ = nullptr;
    std::shared_ptr<Job> job_;
    std::thread worker_;
    // Reports of a search that was stopped or replaced are recognised by this number.
    unsigned generation_ = 0;
    bool cancelled_ = false;
};

} // namespace tessarind
