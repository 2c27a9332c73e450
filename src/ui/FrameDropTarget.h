#pragma once
// Drops on the frame outside every list view that takes them: containers dropped there are
// opened, as if named on the command line.

#include <QObject>

namespace tessarind {

class MainFrame;

class FrameDropTarget : public QObject {
    Q_OBJECT
public:
    // Takes the drops of the frame; a child of it.
    explicit FrameDropTarget(MainFrame& frame);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MainFrame& frame_;
};

} // namespace tessarind
