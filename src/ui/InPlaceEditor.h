#pragma once
// The one in-place editor of the program: a CbmEdit laid over a view's cells for renaming a
// file or the disk, editing the disk ID or a block count. Enter, a click outside,
// activating another view or leaving the application ends it with a commit; Escape discards.

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <vector>

#include "text/CbmCharset.h"
#include "ui/CbmEdit.h"

namespace tessarind {

class ImageView;

class InPlaceEditor : public QObject {
    Q_OBJECT
public:
    struct Field {
        int column = 0;
        int row = 0; // visible row of the view
        int length = 16;
        std::vector<uint8_t> bytes;
        bool digitsOnly = false;
        int cellSize = 0; // 0: the view's
        int top = 0;      // pixels above row 0
    };

    explicit InPlaceEditor(QObject* parent = nullptr);
    ~InPlaceEditor() override;

    // Ends any edit that is open (with a commit), then opens one over `view`.
    bool Start(ImageView& view, const Field& field);
    // Ends the open edit: with commit the bytes go to the view's commit operation.
    void Finish(bool commit);
    bool active() const { return !edit_.isNull(); }
    CbmEdit* edit() const { return edit_.data(); }
    ImageView* view() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<CbmEdit> edit_;
    QPointer<ImageView> view_;
    bool finishing_ = false;
};

} // namespace tessarind
