#pragma once

#include <QLabel>

namespace vellamor {

// A label that behaves like a link: navy, underlined, the hand pointer, and a
// click. A disabled link greys out and ignores clicks. From the keyboard it is
// reached with Tab and activated with Enter or Space, and assistive technology
// sees a link it can press. It draws its caption as a plain label does, without
// the rich text document a label that takes the focus would otherwise build.
class LinkLabel : public QLabel
{
    Q_OBJECT

public:
    explicit LinkLabel(const QString &caption, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // What a click does: emits clicked() while the link is enabled.
    void activate();

    // The colours of the enabled and of the disabled link, for the background
    // the link stands on.
    void setLinkColours(const QColor &enabled, const QColor &disabled);

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void updateLook();

    QColor m_enabled;
    QColor m_disabled;
};

} // namespace vellamor
