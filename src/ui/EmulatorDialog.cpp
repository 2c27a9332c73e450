#include "ui/EmulatorDialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "text/Settings.h"

namespace tessarind {

namespace {
constexpr int kFirstField = 2120; // name 2120 + 3i, program 2121 + 3i, arguments 2122 + 3i
constexpr int kFirstBrowse = 2144;
constexpr int kMaxText = 1023;
} // namespace

EmulatorDialog::EmulatorDialog(Settings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setWindowTitle(QStringLiteral("Run in Emulator"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    grid->addWidget(new QLabel(QStringLiteral("Name"), this), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Program"), this), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Arguments"), this), 0, 4);
    for (int i = 0; i < Settings::kEmulatorCount; ++i) {
        const EmulatorEntry& entry = settings.emulators[static_cast<size_t>(i)];
        grid->addWidget(new QLabel(QString::number(i + 1), this), i + 1, 0);
        const std::string* texts[3] = {&entry.name, &entry.program, &entry.arguments};
        for (int f = 0; f < 3; ++f) {
            auto* field = new QLineEdit(QString::fromStdString(*texts[f]), this);
            field->setObjectName(QString::number(kFirstField + 3 * i + f));
            field->setMaxLength(kMaxText);
            fields_[static_cast<size_t>(i)][static_cast<size_t>(f)] = field;
        }
        fields_[static_cast<size_t>(i)][0]->setMaximumWidth(120);
        grid->addWidget(fields_[static_cast<size_t>(i)][0], i + 1, 1);
        grid->addWidget(fields_[static_cast<size_t>(i)][1], i + 1, 2);
        auto* browse = new QPushButton(QStringLiteral("Browse"), this);
        browse->setObjectName(QString::number(kFirstBrowse + i));
        browse->setAutoDefault(false);
        grid->addWidget(browse, i + 1, 3);
        grid->addWidget(fields_[static_cast<size_t>(i)][2], i + 1, 4);
        QLineEdit* program = fields_[static_cast<size_t>(i)][1];
        connect(browse, &QPushButton::clicked, this, [this, program] {
            QString chosen = QFileDialog::getOpenFileName(this, QString(), program->text());
            if (!chosen.isEmpty()) program->setText(chosen);
        });
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &EmulatorDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &EmulatorDialog::reject);
}

void EmulatorDialog::accept() {
    for (int i = 0; i < Settings::kEmulatorCount; ++i) {
        EmulatorEntry& entry = settings_.emulators[static_cast<size_t>(i)];
        std::string* texts[3] = {&entry.name, &entry.program, &entry.arguments};
        for (int f = 0; f < 3; ++f)
            *texts[f] =
                fields_[static_cast<size_t>(i)][static_cast<size_t>(f)]->text().toStdString();
    }
    QDialog::accept();
}

} // namespace tessarind
