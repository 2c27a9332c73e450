#pragma once
// Batch Processing: the modal dialog that chooses what the batch run does with every
// container of a folder tree (a listing of each, or all their files extracted), and the
// progress window that runs it on a worker thread while the frame keeps painting.

#include <QDialog>
#include <string>

#include "catalog/BatchRun.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QRadioButton;

namespace tessarind {

class MainFrame;

class BatchDialog : public QDialog {
    Q_OBJECT
public:
    // The kinds of the "Save Directory As:" list, in order.
    static constexpr int kListingKinds[] = {FormatId::Bitmap, FormatId::Csv, FormatId::Text};

    explicit BatchDialog(MainFrame& frame);

    // The folder of the "Source Directory:" field.
    std::string folder() const;
    // The run the controls describe.
    BatchOptions options() const;

    // ---- Parts the tests and tools look at ----------------------------------------------
    // The control with a dialog id (1007, 1011, 1015, ...), or none.
    QWidget* control(int controlId) const;
    void ChooseListing(int kindIndex);
    void ChooseExtraction(int kindIndex);

    // OK: closes the dialog and runs the batch; the folder joins DirMRU when it could be
    // listed, else "Unable to Open Directory" is said.
    void Run();
    const BatchResult& lastResult() const { return result_; }

private:
    void ApplyEnableRules();
    void Browse();

    MainFrame& frame_;
    QComboBox* source_ = nullptr;
    QCheckBox* subfolders_ = nullptr;
    QRadioButton* listMode_ = nullptr;
    QComboBox* listKinds_ = nullptr;
    QCheckBox* subDirectories_ = nullptr;
    QCheckBox* upperCase_ = nullptr;
    QCheckBox* showDeleted_ = nullptr;
    QCheckBox* singleFile_ = nullptr;
    QComboBox* background_ = nullptr;
    QComboBox* text_ = nullptr;
    QRadioButton* extractMode_ = nullptr;
    QComboBox* extractKinds_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
    BatchResult result_;
};

// Runs the batch over `folder` on a worker thread behind a progress window (containers done
// of containers found, the current path, Cancel that stops after the current container).
// The folder is made absolute first, as the command line does, so listings name the same
// paths. Returns when the run has ended.
BatchResult RunBatchWithProgress(QWidget* parent, const std::string& folder,
                                 const BatchOptions& options, const Settings& settings);

// Counts the files a batch run over the folder would try as containers.
int CountBatchCandidates(const std::string& folder, bool includeSubfolders,
                         const std::atomic<bool>* cancel = nullptr);

} // namespace tessarind
