#pragma once
// The File Property window: every field of the selected entry of the active directory view,
// and for a GEOS file the fields of its info block with the icon. Each edit takes effect at
// once through the image's journalled field operations; the window then shows the entry again
// (a clamped value shows as it was stored). Without an entry every control is off and empty.

#include <QDialog>
#include <QPointer>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "model/DirEntry.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;

namespace tessarind {

class CbmEdit;
class DirectoryView;
class SpriteControl;

class FilePropertyWindow : public QDialog {
    Q_OBJECT
public:
    // The controls, by their numbers.
    enum Control : int {
        kName = 2100,
        kType = 2101,
        kSize = 2102,
        kLocked = 2103,
        kNotClosed = 2104,
        kTrack = 2105,
        kSector = 2106,
        kSideTrack = 2107,
        kSideSector = 2108,
        kGeosType = 2109,
        kGeosStruct = 2110,
        kMonth = 2111,
        kDay = 2112,
        kYear = 2113,
        kHour = 2114,
        kMinute = 2115,
        kIcon = 1021,
        kLoad = 1022,
        kStart = 1023,
        kEnd = 1024,
        kClass = 1025,
        kAuthor = 1026,
        kCreator = 1027,
        kDescription = 1028,
    };
    // Info block offsets.
    static constexpr int kIconOffset = 5, kLoadOffset = 71, kEndOffset = 73, kStartOffset = 75,
                         kClassOffset = 77, kAuthorOffset = 97, kCreatorOffset = 117,
                         kTextLength = 20, kDescriptionOffset = 160, kDescriptionLength = 96;

    explicit FilePropertyWindow(QWidget* parent = nullptr);

    // Follows the current entry of `view` (none: no entry).
    void Follow(DirectoryView* view);
    DirectoryView* view() const { return view_.data(); }
    // Shows the current entry again.
    void Refresh();
    // Stores what control `id` holds into the entry, as the control's own signal does.
    void Commit(int id);

    bool showsGeos() const;
    QLineEdit* lineEdit(int id) const;
    QComboBox* comboBox(int id) const;
    QCheckBox* checkBox(int id) const;
    CbmEdit* nameEdit() const { return name_; }
    QPlainTextEdit* description() const { return description_; }
    SpriteControl* icon() const { return icon_; }

    // Description text for the edit field: CR shown as a line break; back: a line break
    // stored as CR.
    static QString DescriptionText(std::span<const uint8_t> bytes);
    static std::vector<uint8_t> DescriptionBytes(const QString& text);

signals:
    void visibilityChanged(bool visible);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DirEntry CurrentEntry(int* index = nullptr) const;
    uint8_t* InfoBlock(DirEntry entry) const;
    QLineEdit* AddLine(int id, int maxLength);
    void Empty();
    void SetEnabledAll(bool on);
    void CommitEntry(int id, DirEntry entry, int index);
    void CommitInfo(int id, DirEntry entry);

    QPointer<DirectoryView> view_;
    QMetaObject::Connection followed_;
    std::map<int, QLineEdit*> lines_;
    CbmEdit* name_ = nullptr;
    QComboBox* type_ = nullptr;
    QComboBox* geosType_ = nullptr;
    QComboBox* geosStruct_ = nullptr;
    QCheckBox* locked_ = nullptr;
    QCheckBox* notClosed_ = nullptr;
    QGroupBox* geos_ = nullptr;
    QPlainTextEdit* description_ = nullptr;
    SpriteControl* icon_ = nullptr;
    bool filling_ = false;
};

} // namespace tessarind
