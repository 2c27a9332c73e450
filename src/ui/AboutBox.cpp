#include "ui/AboutBox.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/MainFrame.h"
#include "ui/ToolbarIcons.h"
#include "ui/UrlLink.h"

namespace tessarind {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("204"));
    setWindowTitle(QStringLiteral("About"));
    setModal(true);
    auto* outer = new QHBoxLayout(this);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picture"));
    picture->setPixmap(ToolbarIcons::ProgramIcon().pixmap(64, 64));
    outer->addWidget(picture, 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    outer->addLayout(texts);
    auto* title = new QLabel(QString::fromLatin1(MainFrame::kTitle), this);
    title->setObjectName(QStringLiteral("title"));
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.5);
    title->setFont(bold);
    texts->addWidget(title);
    auto* description = new QLabel(QString::fromLatin1(kDescription), this);
    description->setObjectName(QStringLiteral("description"));
    texts->addWidget(description);
    link_ = new UrlLink(QString::fromLatin1(kUrl), this);
    texts->addWidget(link_, 0, Qt::AlignLeft);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    texts->addWidget(buttons);
    setFixedSize(sizeHint());
}

} // namespace tessarind
