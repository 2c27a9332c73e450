#pragma once
// The Filename Character Replacement dialog: which PETSCII codes become which text when a
// CBM name turns into a host file name.

#include <QDialog>
#include <optional>

#include "ui/CbmCodeTarget.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tessarind {

class CbmTool;
class Settings;

class ReplacementDialog : public QDialog, public CbmCodeTarget {
    Q_OBJECT
public:
    ReplacementDialog(Settings& settings, QWidget* parent = nullptr);

    void accept() override;

    // The code the "Replace" field holds, none when it is empty.
    std::optional<uint8_t> fieldCode() const { return code_; }
    void SetFieldCode(std::optional<uint8_t> code);
    // A code clicked in the dialog's own CBM tool goes into the "Replace" field.
    void TypeCbmCode(uint8_t code) override { SetFieldCode(code); }
    CbmTool* cbmTool() const { return tool_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void UpdateControls();
    void Store();
    void RowClicked(QTreeWidgetItem* row);
    QTreeWidgetItem* RowFor(uint8_t code) const;
    QTreeWidgetItem* MakeRow(uint8_t code, const QString& text) const;

    Settings& settings_;
    QCheckBox* replace_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QLineEdit* codeField_ = nullptr;
    QLineEdit* textField_ = nullptr;
    QPushButton* store_ = nullptr;
    QPushButton* delete_ = nullptr;
    std::optional<uint8_t> code_;
    CbmTool* tool_ = nullptr;
};

} // namespace tessarind
