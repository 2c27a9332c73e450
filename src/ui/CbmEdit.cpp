#include "ui/CbmEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QTimer>
#include <algorithm>

#include "model/DirEntry.h"
#include "catalog/DirectoryPicture.h"
#include "text/Petscii.h"
#include "ui/CbmImage.h"

namespace tessarind {

namespace {

constexpr int kBlinkMs = 500;
constexpr int kMargin = 2;

uint32_t Rgb(const QColor& colour) {
    return static_cast<uint32_t>(colour.rgb()) & 0xFFFFFFu;
}

} // namespace

CbmEdit::CbmEdit(QWidget* parent) : QWidget(parent), buffer_(kDefaultLength, kPad) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setCursor(Qt::IBeamCursor);
    setAutoFillBackground(false);
    blink_ = new QTimer(this);
    blink_->setInterval(kBlinkMs);
    connect(blink_, &QTimer::timeout, this, [this] {
        caretShown_ = !caretShown_;
        update();
    });
}

CbmEdit::~CbmEdit() {
    CbmCodeTargets::Instance().Clear(this);
}

// ---- Contents -------------------------------------------------------------------------------

void CbmEdit::SetLength(int length) {
    buffer_.resize(static_cast<size_t>(std::max(length, 1)), kPad);
    caret_ = std::min(caret_, TextLength());
    anchor_ = std::min(anchor_, TextLength());
    updateGeometry();
    update();
}

void CbmEdit::SetBytes(std::span<const uint8_t> bytes) {
    std::fill(buffer_.begin(), buffer_.end(), kPad);
    std::copy_n(bytes.begin(), std::min(bytes.size(), buffer_.size()), buffer_.begin());
    caret_ = anchor_ = 0;
    Changed();
}

int CbmEdit::TextLength() const {
    int end = length();
    while (end > 0 && buffer_[static_cast<size_t>(end - 1)] == kPad)
        --end;
    return end;
}

void CbmEdit::SetSelection(int anchor, int caret) {
    anchor_ = std::clamp(anchor, 0, TextLength());
    caret_ = std::clamp(caret, 0, TextLength());
    update();
}

void CbmEdit::SelectAll() {
    SetSelection(0, TextLength());
}

void CbmEdit::SetCaseTable(const CaseTable* table) {
    caseTable_ = table ? table : &kUpperCaseSet;
    update();
}

void CbmEdit::SetCellSize(int cell) {
    cell_ = cell;
    updateGeometry();
    update();
}

QSize CbmEdit::sizeHint() const {
    return {length() * cell_ + 2 * kMargin, cell_ + 2 * kMargin};
}

// ---- Editing --------------------------------------------------------------------------------

void CbmEdit::Changed() {
    update();
    emit changed();
}

void CbmEdit::RemoveRange(int from, int to) {
    if (to <= from) return;
    auto first = buffer_.begin() + from;
    buffer_.erase(first, buffer_.begin() + to);
    buffer_.resize(buffer_.size() + static_cast<size_t>(to - from), kPad);
    caret_ = anchor_ = from;
}

bool CbmEdit::InsertBytes(std::span<const uint8_t> bytes, bool limitToPadding) {
    if (hasSelection()) RemoveRange(selectionStart(), selectionEnd());
    const int room = limitToPadding || !overwrite_ ? length() - TextLength() : length() - caret_;
    const int count = std::min(static_cast<int>(bytes.size()), room);
    if (count <= 0) return false;
    const auto at = static_cast<size_t>(caret_);
    if (overwrite_ && !limitToPadding) {
        std::copy_n(bytes.begin(), count, buffer_.begin() + static_cast<std::ptrdiff_t>(at));
    } else {
        // The bytes after the caret move right into the padding.
        buffer_.insert(buffer_.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin(),
                       bytes.begin() + count);
        buffer_.resize(buffer_.size() - static_cast<size_t>(count));
    }
    caret_ = anchor_ = caret_ + count;
    Changed();
    return true;
}

bool CbmEdit::InsertCode(uint8_t code) {
    return InsertBytes(std::span<const uint8_t>(&code, 1), false);
}

bool CbmEdit::TypeCharacter(char32_t character) {
    if (character < 0x20 || character > 0xFF || character == 0x7F) return false;
    if (digitsOnly_ && (character < U'0' || character > U'9')) return false;
    uint8_t code = static_cast<uint8_t>(character);
    AsciiToPetsciiName(std::span<uint8_t>(&code, 1), false);
    return InsertCode(code);
}

void CbmEdit::DeleteBackward() {
    if (hasSelection()) {
        RemoveRange(selectionStart(), selectionEnd());
    } else if (caret_ > 0) {
        RemoveRange(caret_ - 1, caret_);
    } else {
        return;
    }
    Changed();
}

void CbmEdit::DeleteForward() {
    if (hasSelection()) {
        RemoveRange(selectionStart(), selectionEnd());
    } else if (caret_ < TextLength()) {
        RemoveRange(caret_, caret_ + 1);
    } else {
        return;
    }
    Changed();
}

void CbmEdit::MoveCaret(int to, bool extend) {
    caret_ = std::clamp(to, 0, TextLength());
    if (!extend) anchor_ = caret_;
    caretShown_ = true;
    update();
}

// ---- Clipboard ------------------------------------------------------------------------------

void CbmEdit::Copy() const {
    if (!hasSelection()) return;
    const auto* begin = reinterpret_cast<const char*>(buffer_.data()) + selectionStart();
    // The bytes as they are: each becomes the character of the same number.
    QApplication::clipboard()->setText(
        QString::fromLatin1(begin, selectionEnd() - selectionStart()));
}

void CbmEdit::Cut() {
    if (!hasSelection()) return;
    Copy();
    RemoveRange(selectionStart(), selectionEnd());
    Changed();
}

bool CbmEdit::CanPaste() const {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data && data->hasText();
}

void CbmEdit::Paste() {
    if (!CanPaste()) return;
    QByteArray text = QApplication::clipboard()->text().toLatin1();
    if (text.isEmpty() || TextLength() >= length()) return;
    const bool wasOverwrite = overwrite_;
    anchor_ = caret_; // pasting goes in at the caret
    InsertBytes(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.constData()),
                                         static_cast<size_t>(text.size())),
                true);
    overwrite_ = wasOverwrite;
}

QMenu* CbmEdit::MakeContextMenu(QWidget* parent) {
    auto* menu = new QMenu(QStringLiteral("Copy"), parent);
    QAction* cut = menu->addAction(QStringLiteral("Cu&t"), this, &CbmEdit::Cut);
    QAction* copy = menu->addAction(QStringLiteral("Cop&y"), this, &CbmEdit::Copy);
    QAction* paste = menu->addAction(QStringLiteral("&Paste"), this, &CbmEdit::Paste);
    cut->setData(cmd::Number(kCut));
    copy->setData(cmd::Number(kCopy));
    paste->setData(cmd::Number(kPaste));
    cut->setEnabled(hasSelection());
    copy->setEnabled(hasSelection());
    paste->setEnabled(CanPaste());
    return menu;
}

// ---- Events ---------------------------------------------------------------------------------

bool CbmEdit::event(QEvent* event) {
    // Keys the field types or edits with are its own, even where the frame has made them
    // accelerators ("?" and "/" open About, Ctrl+Z undoes).
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        const bool typed = !(modifiers & ~Qt::ShiftModifier) && key->text().size() == 1 &&
                           key->text()[0].unicode() >= 0x20;
        const bool editing = modifiers == Qt::ControlModifier &&
                             (key->key() == Qt::Key_C || key->key() == Qt::Key_X ||
                              key->key() == Qt::Key_V || key->key() == Qt::Key_Z);
        if (typed || editing) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void CbmEdit::keyPressEvent(QKeyEvent* event) {
    const bool shift = (event->modifiers() & Qt::ShiftModifier) != 0;
    const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit accepted();
        if (!inPlace_) event->ignore(); // a dialog's default button still sees it
        return;
    case Qt::Key_Escape:
        emit rejected();
        if (!inPlace_) event->ignore();
        return;
    case Qt::Key_Backspace:
        DeleteBackward();
        return;
    case Qt::Key_Delete:
        DeleteForward();
        return;
    case Qt::Key_Home:
        MoveCaret(0, shift);
        return;
    case Qt::Key_End:
        MoveCaret(TextLength(), shift);
        return;
    case Qt::Key_Left:
        MoveCaret(caret_ - 1, shift);
        return;
    case Qt::Key_Right:
        MoveCaret(caret_ + 1, shift);
        return;
    case Qt::Key_Insert:
        overwrite_ = !overwrite_;
        update();
        return;
    default:
        break;
    }
    if (ctrl) {
        if (event->key() == Qt::Key_C)
            Copy();
        else if (event->key() == Qt::Key_X)
            Cut();
        else if (event->key() == Qt::Key_V)
            Paste();
        else
            event->ignore();
        return;
    }
    const QString text = event->text();
    if (text.size() == 1 && text[0].unicode() >= 0x20) {
        TypeCharacter(text[0].unicode());
        return;
    }
    event->ignore();
}

int CbmEdit::PositionAt(int x) const {
    return std::clamp((x - kMargin + cell_ / 2) / std::max(cell_, 1), 0, TextLength());
}

void CbmEdit::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::LeftButton)
        MoveCaret(PositionAt(static_cast<int>(event->position().x())),
                  (event->modifiers() & Qt::ShiftModifier) != 0);
}

void CbmEdit::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton)
        MoveCaret(PositionAt(static_cast<int>(event->position().x())), true);
}

void CbmEdit::mouseDoubleClickEvent(QMouseEvent*) {
    SelectAll();
}

void CbmEdit::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = MakeContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void CbmEdit::focusInEvent(QFocusEvent* event) {
    caretShown_ = true;
    blink_->start();
    // The CBM tool types into the focused field.
    CbmCodeTargets::Instance().SetTarget(this, this);
    QWidget::focusInEvent(event);
}

void CbmEdit::focusOutEvent(QFocusEvent* event) {
    blink_->stop();
    caretShown_ = false;
    update();
    CbmCodeTargets::Instance().FocusLost(this, event->reason() == Qt::ActiveWindowFocusReason);
    QWidget::focusOutEvent(event);
}

void CbmEdit::paintEvent(QPaintEvent*) {
    const QPalette& colours = palette();
    const bool enabled = isEnabled();
    CbmTextStyle style;
    style.caseTable = caseTable_;
    style.cellSize = cell_;
    style.text = Rgb(colours.color(QPalette::Active, QPalette::Text));
    style.background = Rgb(enabled ? colours.color(QPalette::Active, QPalette::Base)
                                   : colours.color(QPalette::Active, QPalette::Button));
    if (!enabled) style.text = Rgb(colours.color(QPalette::Disabled, QPalette::Text));
    CbmTextStyle selected = style;
    selected.text = Rgb(colours.color(QPalette::Active, QPalette::HighlightedText));
    selected.background = Rgb(colours.color(QPalette::Active, QPalette::Highlight));

    Picture picture(width(), height(), style.background);
    int shown = length();
    if (inPlace_) {
        auto pad = std::find(buffer_.begin(), buffer_.end(), kPad);
        shown = static_cast<int>(pad - buffer_.begin());
    }
    for (int i = 0; i < shown; ++i) {
        const bool inSelection = enabled && i >= selectionStart() && i < selectionEnd();
        DrawCbmChar(picture, kMargin + i * cell_, kMargin, buffer_[static_cast<size_t>(i)], false,
                    inSelection ? selected : style);
    }
    QPainter painter(this);
    painter.drawImage(0, 0, ToQImage(picture));
    if (hasFocus() && caretShown_ && enabled) {
        const int x = kMargin + caret_ * cell_;
        const QColor colour = QColor::fromRgb(style.text);
        if (overwrite_)
            painter.fillRect(x, kMargin + cell_ - 2, cell_, 2, colour);
        else
            painter.fillRect(x, kMargin, std::max(1, cell_ / 8), cell_, colour);
    }
}

} // namespace tessarind
