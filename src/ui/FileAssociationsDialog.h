#pragma once
// Set File Associations: one checkable row per kind the program can open, with the program
// the system opens it with now. OK makes the checked kinds ours and gives up the unchecked
// ones that were ours; kinds another program opens stay with it.

#include <QDialog>
#include <memory>
#include <string>

#include "ui/PlatformAssociations.h"

class QTreeWidget;

namespace tessarind {

class FileAssociationsDialog : public QDialog {
    Q_OBJECT
public:
    explicit FileAssociationsDialog(const std::string& program, QWidget* parent = nullptr);
    ~FileAssociationsDialog() override;

    QTreeWidget* list() const { return list_; }

public slots:
    void accept() override;

private:
    std::unique_ptr<PlatformAssociations> associations_;
    QTreeWidget* list_ = nullptr;
};

} // namespace tessarind
