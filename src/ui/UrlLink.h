#pragma once
// The link control of the About box: its text in pure blue on the button face; a click hands
// the text to the web browser.

#include <QWidget>

namespace tessarind {

class UrlLink : public QWidget {
    Q_OBJECT
public:
    explicit UrlLink(const QString& url, QWidget* parent = nullptr);
    const QString& url() const { return url_; }
    QSize sizeHint() const override;

signals:
    // The browser was asked to open the link; false when it could not be started.
    void opened(bool started);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Open();
    QString url_;
};

} // namespace tessarind
