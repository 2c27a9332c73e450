#pragma once
// The Options dialog: the on/off settings, the fill byte and the custom interleave, with the
// buttons to the emulator entries and to the file-name character replacements.

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace tessarind {

class Settings;

class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    // What OK changed that the frame must act on.
    struct Changes {
        bool colours = false; // "Use CBM Colors": recompute the colour scheme
        bool redraw = false;  // redraw every open image
        bool recount = false; // "Show DEL Files": every image counts its entries again
    };

    OptionsDialog(Settings& settings, QWidget* parent = nullptr);

    const Changes& changes() const { return changes_; }
    // The controls by their dialog ids, as the tests reach them.
    QCheckBox* checkBox(int controlId) const;
    QLineEdit* field(int controlId) const;

    void accept() override;

signals:
    // The emulator entries were changed: the Run In items need their texts again.
    void RunInChanged();

private:
    Settings& settings_;
    Changes changes_;
    QLineEdit* fillByte_ = nullptr;
    QLineEdit* interleave_ = nullptr;
};

} // namespace tessarind
