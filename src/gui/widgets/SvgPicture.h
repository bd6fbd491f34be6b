#pragma once

#include <QPixmap>
#include <QWidget>
#include <memory>

class QSvgRenderer;

namespace vellamor {

// A picture drawn from an SVG resource at the screen's own resolution, so it
// stays sharp at any scale factor. The artwork is read and rendered when the
// picture is first painted, and only again when its size or the screen's
// scale changes: pictures that stay hidden cost nothing, and a repaint is a
// copy. A picture that means something gets an accessible name; one without
// is decoration, which assistive technology skips.
class SvgPicture : public QWidget
{
    Q_OBJECT

public:
    SvgPicture(QString resource, QSize size, QWidget *parent = nullptr);
    ~SvgPicture() override;

    QString resource() const { return m_resource; }
    QSize sizeHint() const override { return m_size; }
    QSize minimumSizeHint() const override { return m_size; }

    // When set, the picture fills the widget's width and keeps its height.
    void setStretchHorizontally(bool stretch);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap render(QSize size, qreal ratio);

    QString m_resource;
    QSize m_size;
    bool m_stretch = false;
    QPixmap m_rendered;
#if VELLAMOR_HAVE_QTSVG
    // Kept only for a stretched picture, which renders again at each new width.
    std::unique_ptr<QSvgRenderer> m_renderer;
#endif
};

} // namespace vellamor
