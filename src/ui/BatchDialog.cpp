#include "ui/BatchDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <filesystem>
#include <thread>

#include "catalog/FolderSearch.h"
#include "model/DiskImage.h"
#include "text/AsciiCase.h"
#include "text/CbmCharset.h"
#include "ui/FindInDisksDialog.h"
#include "ui/MainFrame.h"

namespace tessarind {

namespace {

constexpr int kMaxFolderLength = 1024;

// Remembered between uses of the dialog while the program runs. They start as the
// directory view's own light blue on blue: one colour for both would draw nothing legible.
int gBackgroundChoice = static_cast<int>(CbmColour::Blue);
int gTextChoice = static_cast<int>(CbmColour::LtBlue);

QComboBox* PaletteList(QWidget* parent, const char* id, int chosen) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(id));
    for (const PaletteEntry& entry : kCbmPalette) {
        list->addItem(QString::fromLatin1(entry.name));
        list->setItemData(list->count() - 1, QColor::fromRgb(entry.rgb()), Qt::DecorationRole);
    }
    list->setCurrentIndex(chosen);
    return list;
}

QCheckBox* Box(QWidget* parent, const char* text, const char* id, bool checked) {
    auto* box = new QCheckBox(QString::fromLatin1(text), parent);
    box->setObjectName(QString::fromLatin1(id));
    box->setChecked(checked);
    return box;
}

} // namespace

BatchDialog::BatchDialog(MainFrame& frame) : QDialog(&frame), frame_(frame) {
    setWindowTitle(QStringLiteral("Batch Processing"));
    setObjectName(QStringLiteral("238"));
    setModal(true);
    const Settings& settings = frame_.settings();

    source_ = new QComboBox(this);
    source_->setObjectName(QStringLiteral("1007"));
    source_->setEditable(true);
    source_->setInsertPolicy(QComboBox::NoInsert);
    source_->lineEdit()->setMaxLength(kMaxFolderLength);
    source_->setMinimumWidth(320);
    for (const std::string& folder : settings.dirMru)
        if (!folder.empty()) source_->addItem(QString::fromStdString(folder));
    source_->setCurrentIndex(0);
    auto* browse = new QPushButton(QStringLiteral("Browse"), this);
    browse->setObjectName(QStringLiteral("1011"));
    browse->setAutoDefault(false);
    subfolders_ = Box(this, "Include Subfolders", "2071", settings.On(SettingId::BatchSubDir));

    listMode_ = new QRadioButton(QStringLiteral("Save Directory As:"), this);
    listMode_->setObjectName(QStringLiteral("2096"));
    listKinds_ = new QComboBox(this);
    listKinds_->setObjectName(QStringLiteral("2076"));
    listKinds_->addItems(
        {QStringLiteral("Bitmap"), QStringLiteral("Comma Separated"), QStringLiteral("Text")});
    subDirectories_ = Box(this, "Include Sub Directories", "1015", true);
    upperCase_ = Box(this, "Upper Case/CG", "1016", true);
    showDeleted_ = Box(this, "Show DEL Files", "1020", settings.On(SettingId::ShowDEL));
    singleFile_ = Box(this, "Save As Single File", "1032", true);
    background_ = PaletteList(this, "1018", gBackgroundChoice);
    text_ = PaletteList(this, "1019", gTextChoice);
    extractMode_ = new QRadioButton(QStringLiteral("Extract Files As:"), this);
    extractMode_->setObjectName(QStringLiteral("2095"));
    extractKinds_ = new QComboBox(this);
    extractKinds_->setObjectName(QStringLiteral("2097"));
    extractKinds_->addItems({QStringLiteral("CBM Files (PRG, SEQ)"),
                             QStringLiteral("PC64 Files (P00, S00)"),
                             QStringLiteral("SEQ as ASCII")});
    auto* modes = new QButtonGroup(this);
    modes->addButton(listMode_);
    modes->addButton(extractMode_);
    listMode_->setChecked(true);
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons_->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("1"));
    buttons_->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("2"));

    auto* sourceRow = new QGridLayout;
    sourceRow->addWidget(new QLabel(QStringLiteral("Source Directory:"), this), 0, 0, 1, 2);
    sourceRow->addWidget(source_, 1, 0);
    sourceRow->addWidget(browse, 1, 1);
    sourceRow->addWidget(subfolders_, 2, 0);
    auto* listing = new QGridLayout;
    listing->addWidget(listMode_, 0, 0);
    listing->addWidget(listKinds_, 0, 1);
    listing->addWidget(subDirectories_, 1, 0);
    listing->addWidget(upperCase_, 1, 1);
    listing->addWidget(showDeleted_, 2, 0);
    listing->addWidget(singleFile_, 2, 1);
    listing->addWidget(new QLabel(QStringLiteral("Background:"), this), 3, 0);
    listing->addWidget(background_, 3, 1);
    listing->addWidget(new QLabel(QStringLiteral("Text:"), this), 4, 0);
    listing->addWidget(text_, 4, 1);
    listing->addWidget(extractMode_, 5, 0);
    listing->addWidget(extractKinds_, 5, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(sourceRow);
    layout->addLayout(listing);
    layout->addWidget(buttons_);

    connect(browse, &QPushButton::clicked, this, &BatchDialog::Browse);
    connect(listMode_, &QRadioButton::toggled, this, &BatchDialog::ApplyEnableRules);
    connect(listKinds_, &QComboBox::currentIndexChanged, this, &BatchDialog::ApplyEnableRules);
    connect(background_, &QComboBox::currentIndexChanged, this,
            [](int index) { gBackgroundChoice = index; });
    connect(text_, &QComboBox::currentIndexChanged, this, [](int index) { gTextChoice = index; });
    connect(buttons_, &QDialogButtonBox::accepted, this, &BatchDialog::Run);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    ApplyEnableRules();
}

QWidget* BatchDialog::control(int controlId) const {
    return findChild<QWidget*>(QString::number(controlId));
}

void BatchDialog::ChooseListing(int kindIndex) {
    listMode_->setChecked(true);
    listKinds_->setCurrentIndex(kindIndex);
}

void BatchDialog::ChooseExtraction(int kindIndex) {
    extractMode_->setChecked(true);
    extractKinds_->setCurrentIndex(kindIndex);
}

void BatchDialog::ApplyEnableRules() {
    const bool listing = listMode_->isChecked();
    const bool bitmap = listKinds_->currentIndex() == 0;
    listKinds_->setEnabled(listing);
    subDirectories_->setEnabled(listing);
    if (listing) showDeleted_->setEnabled(true);
    upperCase_->setEnabled(listing && bitmap);
    background_->setEnabled(listing && bitmap);
    text_->setEnabled(listing && bitmap);
    singleFile_->setEnabled(listing && !bitmap);
    extractKinds_->setEnabled(!listing);
}

void BatchDialog::Browse() {
    const QString chosen =
        QFileDialog::getExistingDirectory(this, QString(), source_->currentText());
    if (!chosen.isEmpty()) source_->setEditText(chosen);
}

std::string BatchDialog::folder() const {
    return source_->currentText().left(kMaxFolderLength).toStdString();
}

BatchOptions BatchDialog::options() const {
    BatchOptions options;
    options.mode = listMode_->isChecked() ? BatchMode::List : BatchMode::Extract;
    options.listingFormat = kListingKinds[std::clamp(listKinds_->currentIndex(), 0, 2)];
    options.extractAs = static_cast<ExportMode>(std::clamp(extractKinds_->currentIndex(), 0, 2));
    options.includeSubDirectories = subDirectories_->isChecked();
    options.upperCase = upperCase_->isChecked();
    options.includeSubfolders = subfolders_->isChecked();
    options.showDeleted = showDeleted_->isChecked();
    // The single file gathers text and CSV listings only.
    options.singleFile = singleFile_->isChecked() && options.mode == BatchMode::List &&
                         options.listingFormat != FormatId::Bitmap;
    options.backgroundColour = background_->currentIndex();
    options.textColour = text_->currentIndex();
    return options;
}

void BatchDialog::Run() {
    const std::string top = folder();
    const BatchOptions chosen = options();
    accept();
    result_ = RunBatchWithProgress(&frame_, top, chosen, frame_.settings());
    if (result_.listed) {
        AddRecentFolder(frame_.settings(), top);
        frame_.FoldersChanged();
    } else if (Interaction* ui = frame_.interaction()) {
        ui->Message(kUnableToOpenDirectory, "Error");
    }
}

int CountBatchCandidates(const std::string& folder, bool includeSubfolders,
                         const std::atomic<bool>* cancel) {
    int count = 0;
    WalkFolder(
        folder, includeSubfolders,
        [&](const std::string& path) {
            if (!IsLaterZipcodePart(DiskImage::FileNamePart(path)) &&
                !SameTextIgnoringCase(ContainerExtension(path), ".txt"))
                ++count;
            return true;
        },
        cancel);
    return count;
}

BatchResult RunBatchWithProgress(QWidget* parent, const std::string& folder,
                                 const BatchOptions& options, const Settings& settings) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path absolute = fs::absolute(fs::path(folder), ec).lexically_normal();
    const std::string top = ec || folder.empty() ? folder : absolute.string();

    QProgressDialog progress(QStringLiteral("Looking for containers..."), QStringLiteral("Cancel"),
                             0, 0, parent);
    progress.setWindowTitle(QStringLiteral("Batch Processing"));
    progress.setObjectName(QStringLiteral("batchProgress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setMinimumWidth(420);
    progress.setAutoReset(false);
    progress.setAutoClose(false);

    // The worker's reports come back as queued calls to `relay`, carried out in order on
    // this thread; the loop ends with the last one.
    QObject relay;
    QEventLoop loop;
    std::atomic<bool> cancel{false};
    int found = 0;
    BatchResult result;
    QObject::connect(&progress, &QProgressDialog::canceled, &relay, [&] {
        cancel = true;
        progress.setLabelText(QStringLiteral("Stopping after the current container..."));
    });
    progress.show();
    const Settings own = settings;
    std::thread worker([&, own] {
        auto post = [&relay](auto call) {
            QMetaObject::invokeMethod(&relay, call, Qt::QueuedConnection);
        };
        const int candidates = CountBatchCandidates(top, options.includeSubfolders, &cancel);
        post([&, candidates] {
            found = candidates;
            progress.setMaximum(std::max(found, 1));
        });
        BatchResult ended = RunBatch(
            top, options, own,
            [&](const std::string& path, int done) {
                post([&, path, done] {
                    if (cancel) return;
                    progress.setMaximum(std::max(found, done + 1));
                    progress.setValue(done);
                    progress.setLabelText(QStringLiteral("%1 of %2 containers done\n%3")
                                              .arg(done)
                                              .arg(std::max(found, done + 1))
                                              .arg(QString::fromStdString(path)));
                });
            },
            &cancel);
        post([&, ended] {
            result = ended;
            loop.quit();
        });
    });
    loop.exec();
    worker.join();
    return result;
}

} // namespace tessarind
