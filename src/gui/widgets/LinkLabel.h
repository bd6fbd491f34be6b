#pragma once

#include <QLabel>

namespace vellamor {

// A label that behaves like a link: navy, underlined, the hand pointer, and a
// click. A disabled link greys out and ignores clicks.
class LinkLabel : public QLabel
{
    Q_OBJECT

public:
    explicit LinkLabel(const QString &caption, QWidget *parent = nullptr);

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateLook();
};

} // namespace vellamor
