#include "ui/DialogInteraction.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <limits>
#include <memory>

#include "catalog/ListingExport.h"
#include "formats/TextDocument.h"
#include "model/FormatRegistry.h"
#include "ui/MainFrame.h"

namespace tessarind {

namespace {
QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
} // namespace

void DialogInteraction::Message(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::NoIcon, Q(caption), Q(text), QMessageBox::Ok, parent_);
    if (caption == "Error") box.setIcon(QMessageBox::Warning);
    box.exec();
}

Answer DialogInteraction::Ask(const std::string& text, const std::string& caption, bool withAll) {
    QMessageBox box(QMessageBox::Question, Q(caption), Q(text), QMessageBox::NoButton, parent_);
    QAbstractButton* yes = box.addButton(QMessageBox::Yes);
    QAbstractButton* yesToAll =
        withAll ? box.addButton(QStringLiteral("Yes to All"), QMessageBox::YesRole) : nullptr;
    QAbstractButton* no = box.addButton(QMessageBox::No);
    QAbstractButton* noToAll =
        withAll ? box.addButton(QStringLiteral("No to All"), QMessageBox::NoRole) : nullptr;
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(static_cast<QPushButton*>(yes));
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (clicked == yes) return Answer::Yes;
    if (clicked && clicked == yesToAll) return Answer::YesToAll;
    if (clicked == no) return Answer::No;
    if (clicked && clicked == noToAll) return Answer::NoToAll;
    return Answer::Cancel;
}

std::optional<long> DialogInteraction::AskNumber(const std::string& prompt, long initial) {
    bool ok = false;
    int value = QInputDialog::getInt(parent_, QString(), Q(prompt), static_cast<int>(initial),
                                     std::numeric_limits<int>::min(),
                                     std::numeric_limits<int>::max(), 1, &ok);
    if (!ok) return std::nullopt;
    return value;
}

std::optional<size_t> DialogInteraction::Choose(const std::string& prompt,
                                                const std::vector<std::string>& items) {
    QStringList list;
    for (const std::string& item : items)
        list << Q(item);
    bool ok = false;
    const QString chosen = QInputDialog::getItem(parent_, QString(), Q(prompt), list, 0, false, &ok);
    if (!ok) return std::nullopt;
    const qsizetype index = list.indexOf(chosen);
    if (index < 0) return std::nullopt;
    return static_cast<size_t>(index);
}

std::optional<SaveChoice> DialogInteraction::ChooseSaveFile(const SaveRequest& request,
                                                            bool& dialogFailed) {
    dialogFailed = false;
    QStringList filters;
    for (const SaveFilter& f : request.filters)
        filters.push_back(Q(f.displayName) + QStringLiteral(" (*") + Q(f.extension) +
                          QLatin1Char(')'));
    QFileDialog dialog(parent_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    if (request.initialFilter >= 0 && request.initialFilter < filters.size())
        dialog.selectNameFilter(filters[request.initialFilter]);
    dialog.setDefaultSuffix(Q(request.defaultExtension));
    if (!request.folder.empty()) dialog.setDirectory(Q(request.folder));
    dialog.selectFile(Q(request.proposedName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    SaveChoice choice;
    choice.path = QFileInfo(dialog.selectedFiles().front()).absoluteFilePath().toStdString();
    choice.includeSubDirectories = request.includeSubDirectories;
    choice.saveSelection = request.saveSelection;
    return choice;
}

std::optional<bool> DialogInteraction::WriteListing(DiskImage& image, int formatId,
                                                    const std::string& path,
                                                    bool includeSubDirectories, bool selectionOnly) {
    return WriteSaveAsListing(image, formatId, path, includeSubDirectories, selectionOnly);
}

void DialogInteraction::ShowText(const std::string& title, std::vector<uint8_t> petscii) {
    auto* frame = dynamic_cast<MainFrame*>(parent_);
    if (!frame) return;
    auto document = std::make_unique<TextDocument>(FormatId::Seq, &frame->settings());
    document->OpenBytes(title, petscii);
    // Notes are shown as their author laid them out, codes acting when so set.
    document->openingSwitches = {false, frame->settings().On(SettingId::DefaultCtrlChar), false,
                                 false};
    frame->ShowDocument(std::move(document));
}

} // namespace tessarind
