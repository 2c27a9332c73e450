#pragma once
// The About box: the program's picture, its title and version, what it does in one line, the
// project's link and OK.

#include <QDialog>

namespace tessarind {

class UrlLink;

class AboutBox : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kUrl = "https://tessarind.example.org/";
    static constexpr const char* kDescription = "An editor for Commodore 8-bit disk images.";

    explicit AboutBox(QWidget* parent = nullptr);
    UrlLink* link() const { return link_; }

private:
    UrlLink* link_ = nullptr;
};

} // namespace tessarind
