#pragma once
// The Run In Emulator dialog: name, program and argument template of the eight entries.

#include <QDialog>
#include <array>

class QLineEdit;

namespace tessarind {

class Settings;

class EmulatorDialog : public QDialog {
    Q_OBJECT
public:
    EmulatorDialog(Settings& settings, QWidget* parent = nullptr);
    void accept() override;

private:
    Settings& settings_;
    std::array<std::array<QLineEdit*, 3>, 8> fields_{};
};

} // namespace tessarind
