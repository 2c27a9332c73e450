#include "ui/OptionsDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <array>

#include "text/Settings.h"
#include "ui/EmulatorDialog.h"
#include "ui/ReplacementDialog.h"

namespace tessarind {

namespace {

// A check box of the dialog: its id, its text, its setting, and whether a change redraws
// every open image.
struct Box {
    int id;
    const char* text;
    SettingId setting;
    bool redraws;
};

constexpr std::array<Box, 11> kBoxes = {{
    {2051, "Show DEL Files", SettingId::ShowDEL, true},
    {2162, "Confirm Save", SettingId::ConfirmSave, false},
    {1000, "Use CBM Colors", SettingId::UseCbmColors, true},
    {2067, "Default to Uppercase", SettingId::DefaultUpper, false},
    {2068, "Default to CG graphics", SettingId::DefaultCtrlChar, true},
    {2075, "Open in Same Instance", SettingId::SameInstance, true},
    {2074, "Large Fonts", SettingId::LargeFonts, true},
    {2089, "Output MD5 hash in CSV", SettingId::AddMD5Hash, true},
    {1029, "Decompress to D81", SettingId::DecompressTo81, true},
    {1034, "Detokenize to BasText", SettingId::UseBasText, true},
    {1030, "Use Custom Interleave", SettingId::UseCustomInterleave, true},
}};

constexpr int kFillByte = 1001;
constexpr int kInterleave = 1031;
constexpr int kUseInterleave = 1030;
constexpr int kRunInEmulator = 2119;
constexpr int kReplacements = 2186;

QString ControlName(int id) {
    return QString::number(id);
}

// A decimal number as a dialog field reads it: 0 when it is not one.
uint32_t Decimal(const QLineEdit* field) {
    bool ok = false;
    uint32_t value = field->text().trimmed().toUInt(&ok, 10);
    return ok ? value : 0;
}

} // namespace

OptionsDialog::OptionsDialog(Settings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setWindowTitle(QStringLiteral("Options"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    int row = 0;
    for (const Box& box : kBoxes) {
        if (box.id == kUseInterleave) continue; // stands beside its field below
        auto* check = new QCheckBox(QString::fromLatin1(box.text), this);
        check->setObjectName(ControlName(box.id));
        check->setChecked(settings.On(box.setting));
        grid->addWidget(check, row / 2, row % 2);
        ++row;
    }

    auto* digits =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), this);
    auto* numbers = new QGridLayout;
    layout->addLayout(numbers);
    numbers->addWidget(new QLabel(QStringLiteral("Fill Byte:"), this), 0, 0);
    fillByte_ = new QLineEdit(QString::number(settings.Get(SettingId::FillByte)), this);
    fillByte_->setObjectName(ControlName(kFillByte));
    fillByte_->setValidator(digits);
    fillByte_->setMaximumWidth(80);
    numbers->addWidget(fillByte_, 0, 1);
    auto* useInterleave = new QCheckBox(QStringLiteral("Use Custom Interleave"), this);
    useInterleave->setObjectName(ControlName(kUseInterleave));
    useInterleave->setChecked(settings.On(SettingId::UseCustomInterleave));
    numbers->addWidget(useInterleave, 1, 0);
    interleave_ = new QLineEdit(QString::number(settings.Get(SettingId::CustomInterleave)), this);
    interleave_->setObjectName(ControlName(kInterleave));
    interleave_->setValidator(digits);
    interleave_->setMaximumWidth(80);
    interleave_->setEnabled(useInterleave->isChecked());
    numbers->addWidget(interleave_, 1, 1);
    numbers->setColumnStretch(2, 1);
    connect(useInterleave, &QCheckBox::toggled, interleave_, &QLineEdit::setEnabled);

    auto* more = new QHBoxLayout;
    layout->addLayout(more);
    auto* runIn = new QPushButton(QStringLiteral("Run in Emulator"), this);
    runIn->setObjectName(ControlName(kRunInEmulator));
    runIn->setAutoDefault(false);
    auto* replacements = new QPushButton(QStringLiteral("Character Replacments"), this);
    replacements->setObjectName(ControlName(kReplacements));
    replacements->setAutoDefault(false);
    more->addWidget(runIn);
    more->addWidget(replacements);
    more->addStretch();
    connect(runIn, &QPushButton::clicked, this, [this] {
        EmulatorDialog dialog(settings_, this);
        if (dialog.exec() == QDialog::Accepted) emit RunInChanged();
    });
    connect(replacements, &QPushButton::clicked, this, [this] {
        ReplacementDialog dialog(settings_, this);
        dialog.exec();
    });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &OptionsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &OptionsDialog::reject);
}

QCheckBox* OptionsDialog::checkBox(int controlId) const {
    return findChild<QCheckBox*>(ControlName(controlId));
}

QLineEdit* OptionsDialog::field(int controlId) const {
    return findChild<QLineEdit*>(ControlName(controlId));
}

void OptionsDialog::accept() {
    settings_.Set(SettingId::FillByte, Decimal(fillByte_));
    settings_.Set(SettingId::CustomInterleave, Decimal(interleave_) & 0xFF);
    changes_ = Changes{};
    for (const Box& box : kBoxes) {
        bool on = checkBox(box.id)->isChecked();
        bool was = settings_.On(box.setting);
        settings_.Set(box.setting, on ? 1u : 0u);
        if (on == was) continue;
        if (box.redraws) changes_.redraw = true;
        if (box.setting == SettingId::UseCbmColors) changes_.colours = true;
        if (box.setting == SettingId::ShowDEL) changes_.recount = true;
    }
    QDialog::accept();
}

} // namespace tessarind
