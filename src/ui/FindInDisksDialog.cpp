#include "ui/FindInDisksDialog.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <optional>
#include <set>

#include "catalog/OrderedWork.h"
#include "model/NameMatch.h"
#include "ui/CbmEdit.h"
#include "ui/CbmImage.h"
#include "ui/MainFrame.h"

namespace tessarind {

namespace {

constexpr int kMaxFolderLength = 1024;
constexpr int kMaxStatusPath = 99;
constexpr int kTypeWidth = 38;
constexpr int kBlocksWidth = 45;
constexpr int kCbmNameRole = Qt::UserRole;

enum Column { kNameColumn, kTypeColumn, kBlocksColumn, kDiskColumn };

uint32_t Rgb(const QColor& colour) {
    return static_cast<uint32_t>(colour.rgb()) & 0xFFFFFFu;
}

// Draws the file name column in the CBM font, in the list's own colours.
class CbmNameDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QByteArray bytes = index.data(kCbmNameRole).toByteArray();
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        const QPalette::ColorGroup group =
            option.state.testFlag(QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
        CbmTextStyle style;
        style.text =
            Rgb(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        style.background =
            Rgb(option.palette.color(group, selected ? QPalette::Highlight : QPalette::Base));
        painter->fillRect(option.rect, QColor::fromRgb(style.background));
        const QImage text = CbmTextImage({reinterpret_cast<const uint8_t*>(bytes.constData()),
                                          static_cast<size_t>(bytes.size())},
                                         style);
        const int top = option.rect.top() + (option.rect.height() - text.height()) / 2;
        painter->save();
        painter->setClipRect(option.rect);
        painter->drawImage(QPoint(option.rect.left() + 1, top), text);
        painter->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        return {size.width(), std::max(size.height(), kNormalCellSize + 4)};
    }
};

// The hits, one row each; a plain vector behind the list, so that tens of thousands of
// rows are appended and cleared without an item object per row.
class FoundFileModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 4;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount()) return {};
        const FoundFile& hit = rows_[static_cast<size_t>(index.row())];
        if (role == kCbmNameRole && index.column() == kNameColumn)
            return QByteArray(reinterpret_cast<const char*>(hit.cbmName.data()),
                              static_cast<qsizetype>(hit.cbmName.size()));
        if (role == Qt::TextAlignmentRole && index.column() == kBlocksColumn)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        if (role != Qt::DisplayRole) return {};
        switch (index.column()) {
        case kNameColumn:
            return QString::fromStdString(hit.name);
        case kTypeColumn:
            return QString::fromStdString(hit.typeName);
        case kBlocksColumn:
            return hit.blocks;
        default:
            return QString::fromStdString(hit.containerPath);
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal) return {};
        if (role == Qt::TextAlignmentRole && section == kBlocksColumn)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        if (role != Qt::DisplayRole) return {};
        static const char* const kTitles[] = {"File Name", "Type", "Blocks", "Disk Name"};
        return section >= 0 && section < 4 ? QString::fromLatin1(kTitles[section]) : QVariant();
    }

    void Append(std::vector<FoundFile>&& rows) {
        if (rows.empty()) return;
        const int first = rowCount();
        beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
        std::move(rows.begin(), rows.end(), std::back_inserter(rows_));
        endInsertRows();
    }
    void Clear() {
        beginResetModel();
        rows_.clear();
        endResetModel();
    }
    const std::string& containerPath(int row) const {
        return rows_[static_cast<size_t>(row)].containerPath;
    }

private:
    std::vector<FoundFile> rows_;
};

} // namespace

void AddRecentFolder(Settings& settings, const std::string& folder) {
    auto& history = settings.dirMru;
    auto found = std::find(history.begin(), history.end(), folder);
    // Present: the slots above it move down; absent: every slot does and the last falls out.
    auto last = found == history.end() ? history.end() - 1 : found;
    std::move_backward(history.begin(), last, last + 1);
    history.front() = folder;
}

// What the worker and the dialog share. The cancel flag is polled by the walk; the rest is
// guarded by the mutex. The worker queues rows and the path being searched and asks the
// dialog for one Drain at a time, so a search with many hits costs the dialog a few calls
// instead of one per row. `done` tells a waiting dialog the worker has ended; `abandoned`
// stops a worker the dialog no longer waits for from reporting to it.
struct FindInDisksDialog::Job {
    std::atomic<bool> cancel{false};
    std::mutex mutex;
    std::condition_variable ended;
    std::deque<FoundFile> rows;
    std::string searching;
    std::optional<FolderSearchResult> result;
    bool drainAsked = false;
    bool done = false;
    bool abandoned = false;
};

FindInDisksDialog::FindInDisksDialog(MainFrame& frame) : QDialog(&frame), frame_(frame) {
    setWindowTitle(QStringLiteral("Find in Disks"));
    setObjectName(QStringLiteral("210"));
    setModal(false);
    setSizeGripEnabled(true);
    setMinimumSize(kMinimumWidth, kMinimumHeight);

    pattern_ = new CbmEdit(this);
    pattern_->setObjectName(QStringLiteral("1012"));
    pattern_->SetLength(kNameLength);
    pattern_->SetCellSize(kLargeCellSize);
    pattern_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    lookIn_ = new QComboBox(this);
    lookIn_->setObjectName(QStringLiteral("1007"));
    lookIn_->setEditable(true);
    lookIn_->setInsertPolicy(QComboBox::NoInsert);
    lookIn_->lineEdit()->setMaxLength(kMaxFolderLength);
    lookIn_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    subfolders_ = new QCheckBox(QStringLiteral("Look in Subfolders"), this);
    subfolders_->setObjectName(QStringLiteral("2071"));
    subfolders_->setChecked(frame_.settings().On(SettingId::SearchSubDir));

    auto makeButton = [this](const char* text, const char* id) {
        auto* button = new QPushButton(QString::fromLatin1(text), this);
        button->setObjectName(QString::fromLatin1(id));
        button->setAutoDefault(false);
        return button;
    };
    browse_ = makeButton("Browse", "1011");
    find_ = makeButton("Find", "1008");
    find_->setDefault(true);
    open_ = makeButton("Open", "1013");
    cancel_ = makeButton("Cancel", "2");
    close_ = makeButton("Close", "1");
    open_->setEnabled(false);
    cancel_->setEnabled(false);

    model_ = new FoundFileModel(this);
    results_ = new QTreeView(this);
    results_->setObjectName(QStringLiteral("1010"));
    results_->setModel(model_);
    results_->setRootIsDecorated(false);
    results_->setUniformRowHeights(true);
    results_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    results_->setSelectionBehavior(QAbstractItemView::SelectRows);
    results_->setItemDelegateForColumn(kNameColumn, new CbmNameDelegate(results_));
    QHeaderView* header = results_->header();
    header->setStretchLastSection(true);
    header->resizeSection(kNameColumn, kFileNameCells * kNormalCellSize + 3);
    header->resizeSection(kTypeColumn, kTypeWidth);
    header->resizeSection(kBlocksColumn, kBlocksWidth);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("1014"));
    status_->setFrameShape(QFrame::StyledPanel);
    status_->setFrameShadow(QFrame::Sunken);
    status_->setTextFormat(Qt::PlainText);

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("Find:"), this), 0, 0);
    fields->addWidget(pattern_, 0, 1, Qt::AlignLeft);
    fields->addWidget(new QLabel(QStringLiteral("Look In:"), this), 1, 0);
    fields->addWidget(lookIn_, 1, 1);
    fields->addWidget(browse_, 1, 2);
    fields->addWidget(subfolders_, 2, 1);
    fields->setColumnStretch(1, 1);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {find_, open_, cancel_, close_})
        buttons->addWidget(button);
    buttons->addStretch();
    auto* top = new QHBoxLayout;
    top->addLayout(fields, 1);
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(results_, 1);
    layout->addWidget(status_);

    connect(browse_, &QPushButton::clicked, this, &FindInDisksDialog::Browse);
    connect(find_, &QPushButton::clicked, this, &FindInDisksDialog::StartSearch);
    connect(open_, &QPushButton::clicked, this, &FindInDisksDialog::OpenSelected);
    connect(cancel_, &QPushButton::clicked, this, &FindInDisksDialog::CancelSearch);
    connect(close_, &QPushButton::clicked, this, &QWidget::hide);
    connect(results_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { open_->setEnabled(results_->selectionModel()->hasSelection()); });
    connect(results_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            frame_.OpenPath(static_cast<FoundFileModel*>(model_)->containerPath(index.row()));
    });

    RefillLookIn();
    lookIn_->setCurrentIndex(0);
    if (!frame_.settings().location.empty())
        lookIn_->setEditText(QString::fromStdString(frame_.settings().location));
    resize(kMinimumWidth + 140, kMinimumHeight + 60);
}

FindInDisksDialog::~FindInDisksDialog() {
    StopWorker(kEndWait);
}

QPushButton* FindInDisksDialog::button(int controlId) const {
    for (QPushButton* candidate : {find_, open_, cancel_, close_, browse_})
        if (candidate->objectName() == QString::number(controlId)) return candidate;
    return nullptr;
}

void FindInDisksDialog::RefillLookIn() {
    const QString typed = lookIn_->currentText();
    lookIn_->clear();
    for (const std::string& folder : frame_.settings().dirMru)
        if (!folder.empty()) lookIn_->addItem(QString::fromStdString(folder));
    lookIn_->setEditText(typed);
}

void FindInDisksDialog::StoreSettings() const {
    frame_.settings().Set(SettingId::SearchSubDir, subfolders_->isChecked() ? 1 : 0);
}

void FindInDisksDialog::Browse() {
    const QString chosen =
        QFileDialog::getExistingDirectory(this, QStringLiteral("title"), lookIn_->currentText());
    if (!chosen.isEmpty()) lookIn_->setEditText(chosen);
}

void FindInDisksDialog::StartSearch() {
    StopWorker(kRestartWait);
    static_cast<FoundFileModel*>(model_)->Clear();
    open_->setEnabled(false);
    std::array<uint8_t, kNameLength> pattern{};
    std::fill(pattern.begin(), pattern.end(), kPad);
    const std::vector<uint8_t>& typed = pattern_->bytes();
    std::copy_n(typed.begin(), std::min(typed.size(), pattern.size()), pattern.begin());
    const std::string folder = lookIn_->currentText().left(kMaxFolderLength).toStdString();

    std::error_code listError;
    std::filesystem::directory_iterator listing(folder, listError);
    if (folder.empty() || listError) {
        if (Interaction* ui = frame_.interaction()) ui->Message(kUnableToOpenDirectory, "Error");
        return;
    }
    AddRecentFolder(frame_.settings(), folder);
    frame_.FoldersChanged();
    lookIn_->setCurrentIndex(0);
    StoreSettings();

    // The worker reads only what is handed to it here; the settings are copied on this
    // thread so the program may change its own meanwhile.
    auto job = std::make_shared<Job>();
    const unsigned generation = ++generation_;
    const bool subfolders = subfolders_->isChecked();
    cancelled_ = false;
    status_->clear();
    job_ = job;
    worker_ = std::thread(
        [this, job, generation, pattern, folder, subfolders, settings = frame_.settings()] {
            // Every report is queued under the job's lock, so none goes out once the
            // dialog has given up on this worker.
            auto report = [&](auto&& change) {
                std::lock_guard lock(job->mutex);
                change();
                if (job->abandoned || job->drainAsked) return;
                job->drainAsked = true;
                QMetaObject::invokeMethod(
                    this,
                    [this, generation, job] {
                        if (generation == generation_) Drain(*job);
                    },
                    Qt::QueuedConnection);
            };
            // As many search threads as the command line's find uses; the hits still come
            // in the order one thread gives.
            FolderSearchResult result = SearchFolders(
                {folder},
                [&pattern](std::span<const uint8_t, kNameLength> name) {
                    return MatchesPattern(pattern, name);
                },
                subfolders, DefaultWorkerCount(), settings,
                [&](const FoundFile& hit) { report([&] { job->rows.push_back(hit); }); },
                [&](const std::string& path) {
                    if (!job->cancel) report([&] { job->searching = path; });
                },
                &job->cancel);
            report([&] { job->result = std::move(result); });
            std::lock_guard lock(job->mutex);
            job->done = true;
            job->ended.notify_all();
        });
    cancel_->setEnabled(true);
}

void FindInDisksDialog::Drain(Job& job) {
    // At most this many rows per turn of the event loop, so the dialog stays responsive
    // while a search with many hits pours in.
    constexpr size_t kRowsPerTurn = 2000;
    std::vector<FoundFile> rows;
    std::string searching;
    std::optional<FolderSearchResult> result;
    bool more = false;
    {
        std::lock_guard lock(job.mutex);
        const size_t count = std::min(job.rows.size(), kRowsPerTurn);
        rows.assign(std::make_move_iterator(job.rows.begin()),
                    std::make_move_iterator(job.rows.begin() + static_cast<long>(count)));
        job.rows.erase(job.rows.begin(), job.rows.begin() + static_cast<long>(count));
        searching.swap(job.searching);
        more = !job.rows.empty();
        if (!more && job.result) result = std::move(job.result);
        job.drainAsked = more;
    }
    static_cast<FoundFileModel*>(model_)->Append(std::move(rows));
    if (!searching.empty() && !cancelled_)
        status_->setText(QStringLiteral("Searching ") +
                         QString::fromStdString(searching).left(kMaxStatusPath));
    if (more) {
        const unsigned generation = generation_;
        QMetaObject::invokeMethod(
            this,
            [this, generation, job = job_] {
                if (generation == generation_) Drain(*job);
            },
            Qt::QueuedConnection);
    } else if (result) {
        Finished(*result);
    }
}

void FindInDisksDialog::Finished(const FolderSearchResult& result) {
    if (worker_.joinable()) worker_.join();
    job_.reset();
    if (!cancelled_) {
        FolderSearchResult shown = result;
        shown.found = model_->rowCount();
        status_->setText(QString::fromStdString(SearchSummary(shown)));
    }
    cancel_->setEnabled(false);
    emit searchEnded();
}

void FindInDisksDialog::CancelSearch() {
    if (!job_) return;
    job_->cancel = true;
    cancelled_ = true;
    cancel_->setEnabled(false);
    status_->setText(QStringLiteral("Find Cancelled"));
}

void FindInDisksDialog::StopWorker(std::chrono::seconds wait) {
    if (!job_) return;
    std::unique_lock lock(job_->mutex);
    job_->cancel = true;
    const bool ended = job_->ended.wait_for(lock, wait, [this] { return job_->done; });
    if (!ended) job_->abandoned = true;
    lock.unlock();
    if (ended)
        worker_.join();
    else
        worker_.detach();
    job_.reset();
    // What the stopped worker sent and this thread has not handled yet is dropped.
    ++generation_;
    cancel_->setEnabled(false);
}

void FindInDisksDialog::OpenSelected() {
    std::set<std::string> opened;
    for (const QModelIndex& row : results_->selectionModel()->selectedRows()) {
        const std::string& path = static_cast<FoundFileModel*>(model_)->containerPath(row.row());
        if (opened.insert(path).second) frame_.OpenPath(path);
    }
}

void FindInDisksDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    emit visibilityChanged(true);
}

void FindInDisksDialog::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    emit visibilityChanged(false);
}

} // namespace tessarind
