#pragma once
// The PETSCII edit field: a fixed buffer padded with 0xA0, drawn in the CBM font through a
// case table. Used in place over a list view and in dialogs that edit a CBM name.

#include <QWidget>
#include <cstdint>
#include <span>
#include <vector>

#include "text/CbmCharset.h"
#include "ui/CbmCodeTarget.h"
#include "ui/CommandIds.h"

class QTimer;

namespace tessarind {

class CbmEdit : public QWidget, public CbmCodeTarget {
    Q_OBJECT
public:
    static constexpr int kDefaultLength = 16;
    // The items of its "Copy" popup.
    static constexpr CommandId kCut = cmd::Id(2025);
    static constexpr CommandId kCopy = cmd::Id(2026);
    static constexpr CommandId kPaste = cmd::Id(2027);

    explicit CbmEdit(QWidget* parent = nullptr);
    ~CbmEdit() override;

    // ---- Contents -----------------------------------------------------------------------
    // The buffer size; the contents are cut or padded to it.
    void SetLength(int length);
    int length() const { return static_cast<int>(buffer_.size()); }
    // At most length() bytes; the rest is padding.
    void SetBytes(std::span<const uint8_t> bytes);
    const std::vector<uint8_t>& bytes() const { return buffer_; }
    // The buffer without its trailing padding.
    int TextLength() const;

    // ---- Editing state ------------------------------------------------------------------
    int caret() const { return caret_; }
    // Selection from the anchor to the caret.
    void SetSelection(int anchor, int caret);
    int selectionStart() const { return std::min(anchor_, caret_); }
    int selectionEnd() const { return std::max(anchor_, caret_); }
    bool hasSelection() const { return anchor_ != caret_; }
    void SelectAll();
    bool overwrite() const { return overwrite_; }
    void SetDigitsOnly(bool on) { digitsOnly_ = on; }
    bool digitsOnly() const { return digitsOnly_; }

    // ---- Look ---------------------------------------------------------------------------
    void SetCaseTable(const CaseTable* table);
    void SetCellSize(int cell);
    int cellSize() const { return cell_; }
    // In place the drawing stops at the first padding byte.
    void SetInPlace(bool on) { inPlace_ = on; }

    // ---- Operations -----------------------------------------------------------------------
    // A code from the CBM tool: inserted as it is.
    bool InsertCode(uint8_t code);
    void TypeCbmCode(uint8_t code) override { InsertCode(code); }
    // A character typed on the host keyboard: converted to PETSCII first.
    bool TypeCharacter(char32_t character);
    void Cut();
    void Copy() const;
    // The clipboard text, unconverted, at the caret; at most as many bytes as there is
    // padding left.
    void Paste();
    // Removes the selection, or with none the character before (backwards) or at the caret.
    void DeleteBackward();
    void DeleteForward();
    bool CanPaste() const;
    // The popup "Copy" with Cut, Copy and Paste enabled by the selection and the clipboard.
    QMenu* MakeContextMenu(QWidget* parent);

    QSize sizeHint() const override;

signals:
    // Any change of the bytes.
    void changed();
    // Enter and Escape; in place the editor ends the edit with them.
    void accepted();
    void rejected();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool) override { return false; }

private:
    bool InsertBytes(std::span<const uint8_t> bytes, bool limitToPadding);
    void RemoveRange(int from, int to);
    void MoveCaret(int to, bool extend);
    int PositionAt(int x) const;
    void Changed();

    std::vector<uint8_t> buffer_;
    int caret_ = 0;
    int anchor_ = 0;
    bool overwrite_ = false;
    bool digitsOnly_ = false;
    bool inPlace_ = false;
    bool caretShown_ = true;
    const CaseTable* caseTable_ = &kUpperCaseSet;
    int cell_ = 8;
    QTimer* blink_ = nullptr;
};

} // namespace tessarind
