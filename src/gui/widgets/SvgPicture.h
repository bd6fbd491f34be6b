#pragma once

#include <QSvgRenderer>
#include <QWidget>

namespace vellamor {

// A picture drawn from an SVG resource at the screen's own resolution, so it
// stays sharp at any scale factor. A picture that means something gets an
// accessible name; one without is decoration, which assistive technology skips.
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

} // namespace vellamor
