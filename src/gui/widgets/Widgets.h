#pragma once

#include <QLabel>
#include <QSvgRenderer>
#include <QWidget>

namespace vellamor {

// A picture drawn from an SVG resource at the screen's own resolution, so it
// stays sharp at any scale factor.
class SvgPicture : public QWidget
{
    Q_OBJECT

public:
    SvgPicture(const QString &resource, QSize size, QWidget *parent = nullptr);

    QString resource() const { return m_resource; }
    QSize sizeHint() const override { return m_size; }
    QSize minimumSizeHint() const override { return m_size; }

    // When set, the picture fills the widget's width and keeps its height.
    void setStretchHorizontally(bool stretch);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_resource;
    QSize m_size;
    QSvgRenderer m_renderer;
    bool m_stretch = false;
};

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

// The dark blue band at the top of every configuration page.
class HeaderBand : public QWidget
{
    Q_OBJECT

public:
    HeaderBand(const QString &title, const QString &subtitle, QWidget *parent = nullptr);

    QLabel *title() const { return m_title; }
    QLabel *subtitle() const { return m_subtitle; }

    // RGB(0, 0, 160), the band colour of every page header.
    static QColor bandColour() { return QColor(0, 0, 160); }

private:
    QLabel *m_title;
    QLabel *m_subtitle;
};

} // namespace vellamor
