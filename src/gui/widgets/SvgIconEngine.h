#pragma once

#include <QHash>
#include <QIconEngine>
#include <QPixmap>

namespace vellamor {

// An icon drawn from an SVG resource, rendered at a size only when something
// paints it at that size, and then kept. Menus, tool bars and the buttons of
// pages not yet shown never pay for their icons, and an icon painted twice
// is read and rendered once.
class SvgIconEngine : public QIconEngine
{
public:
    explicit SvgIconEngine(QString resource);

    // The icon for a resource such as ":/icons/save.svg".
    static QIcon icon(const QString &resource);

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    // The sizes a window system takes a window's icon in.
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QIconEngine *clone() const override;
    QString key() const override;
    bool isNull() override;

private:
    QPixmap render(const QSize &size) const;

    QString m_resource;
    QHash<quint64, QPixmap> m_pixmaps; // by size and mode
};

} // namespace vellamor
