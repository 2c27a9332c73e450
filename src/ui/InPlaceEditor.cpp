#include "ui/InPlaceEditor.h"

#include <QApplication>
#include <QFocusEvent>
#include <QGuiApplication>

#include "ui/CbmEdit.h"
#include "ui/ImageView.h"

namespace tessarind {

InPlaceEditor::InPlaceEditor(QObject* parent) : QObject(parent) {
    // Leaving the application ends the edit as if Enter had been pressed.
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive) Finish(true);
            });
}

InPlaceEditor::~InPlaceEditor() {
    if (edit_) delete edit_.data();
}

ImageView* InPlaceEditor::view() const {
    return view_.data();
}

bool InPlaceEditor::Start(ImageView& view, const Field& field) {
    Finish(true);
    QWidget* area = view.viewport();
    const int cell = field.cellSize > 0 ? field.cellSize : view.cellSize();
    auto* edit = new CbmEdit(area);
    edit->SetInPlace(true);
    edit->SetLength(field.length);
    edit->SetCellSize(cell);
    edit->SetCaseTable(&view.caseTable());
    edit->SetDigitsOnly(field.digitsOnly);
    edit->SetBytes(field.bytes);
    edit->SelectAll();
    edit->setGeometry(field.column * cell - 2, field.top + field.row * cell - 2, field.length * cell + 4,
                      cell + 4);
    edit_ = edit;
    view_ = &view;
    connect(edit, &CbmEdit::accepted, this, [this] { Finish(true); });
    connect(edit, &CbmEdit::rejected, this, [this] { Finish(false); });
    edit->installEventFilter(this);
    edit->show();
    edit->setFocus(Qt::OtherFocusReason);
    return true;
}

void InPlaceEditor::Finish(bool commit) {
    if (!edit_ || finishing_) return;
    finishing_ = true;
    CbmEdit* edit = edit_.data();
    ImageView* view = view_.data();
    edit_.clear();
    view_.clear();
    edit->removeEventFilter(this);
    std::vector<uint8_t> bytes = edit->bytes();
    edit->hide();
    edit->deleteLater();
    if (view) {
        if (commit)
            view->CommitEdit(bytes);
        else
            view->CancelEdit();
        view->setFocus(Qt::OtherFocusReason);
    }
    finishing_ = false;
}

bool InPlaceEditor::eventFilter(QObject* watched, QEvent* event) {
    // Focus going anywhere but to the field's own popup is a click outside.
    if (watched == edit_ && event->type() == QEvent::FocusOut) {
        auto* focus = static_cast<QFocusEvent*>(event);
        if (focus->reason() != Qt::PopupFocusReason &&
            focus->reason() != Qt::ActiveWindowFocusReason)
            Finish(true);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tessarind
