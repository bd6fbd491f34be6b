#include "PanelStyle.h"

#include "SvgIconEngine.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QGroupBox>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyleOptionTab>

namespace vellamor {

PanelStyle::PanelStyle() = default;

void PanelStyle::install()
{
    if (!qobject_cast<PanelStyle *>(QApplication::style()))
        QApplication::setStyle(new PanelStyle); // the application owns it
}

void PanelStyle::paintScrollBarsAlone(QAbstractScrollArea *area)
{
    // Fusion fills a scroll bar's whole rectangle with its groove.
    const auto *panel = qobject_cast<const PanelStyle *>(area->style());
    const QStyle *base = panel ? panel->baseStyle() : area->style();
    if (!base || base->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0)
        return;
    for (QScrollBar *bar : {area->verticalScrollBar(), area->horizontalScrollBar()})
        bar->setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize PanelStyle::sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                                   const QWidget *widget) const
{
    QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type == CT_TabBarTab) {
        const auto *tab = qstyleoption_cast<const QStyleOptionTab *>(option);
        const bool vertical = tab && (tab->shape == QTabBar::RoundedWest || tab->shape == QTabBar::RoundedEast ||
                                      tab->shape == QTabBar::TriangularWest || tab->shape == QTabBar::TriangularEast);
        if (vertical)
            result.setHeight(qMax(result.height(), kMinimumTabWidth));
        else
            result.setWidth(qMax(result.width(), kMinimumTabWidth));
    }
    return result;
}

int PanelStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                          QStyleHintReturn *returnData) const
{
    if (hint == SH_LineEdit_PasswordCharacter)
        return '*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

void PanelStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                               const QWidget *widget) const
{
    if (element != PE_FrameGroupBox) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    // A light rounded frame with a faint sheen, as the desktop style's bitmap
    // draws it, starting below the title.
    QRect frame = option->rect;
    const auto *group = qobject_cast<const QGroupBox *>(widget);
    constexpr int kTopMargin = 3;
    if (group && (group->isCheckable() || !group->title().isEmpty()))
        frame.setTop(frame.top() +
                     qMax(pixelMetric(PM_ExclusiveIndicatorHeight, option, widget), option->fontMetrics.height()) +
                     kTopMargin);
    else
        frame.setTop(frame.top() + kTopMargin);
    QColor outline = option->palette.window().color().darker(140);
    outline.setAlpha(160);
    painter->save();
    // The sheen inside and the straight runs of the one-pixel outline fall on
    // whole pixels, so they are plain rectangles; only the four rounded
    // corners need smoothing. (Drawn as one smoothed rounded rectangle, the
    // frame cost as much as all the text of the page.)
    painter->fillRect(frame.adjusted(1, 1, -1, -1), QColor(255, 255, 255, 24));
    if (frame.width() < 6 || frame.height() < 6) {
        painter->restore();
        return;
    }
    const QRect r = frame;
    painter->fillRect(QRect(r.left() + 3, r.top(), r.width() - 6, 1), outline);
    painter->fillRect(QRect(r.left() + 3, r.bottom(), r.width() - 6, 1), outline);
    painter->fillRect(QRect(r.left(), r.top() + 3, 1, r.height() - 6), outline);
    painter->fillRect(QRect(r.right(), r.top() + 3, 1, r.height() - 6), outline);
    static const QPainterPath corner = [] {
        // The top left corner: a quarter ring between radii 1.5 and 2.5
        // round (2.5, 2.5), with the half pixels of the straight runs that
        // meet it. Cubics with the usual quarter-circle handle length.
        constexpr qreal k = 0.5523;
        QPainterPath p;
        p.moveTo(3, 0);
        p.lineTo(2.5, 0);
        p.cubicTo(2.5 - 2.5 * k, 0, 0, 2.5 - 2.5 * k, 0, 2.5);
        p.lineTo(0, 3);
        p.lineTo(1, 3);
        p.lineTo(1, 2.5);
        p.cubicTo(1, 2.5 - 1.5 * k, 2.5 - 1.5 * k, 1, 2.5, 1);
        p.lineTo(3, 1);
        p.closeSubpath();
        return p;
    }();
    painter->setRenderHint(QPainter::Antialiasing);
    const qreal left = r.left(), top = r.top(), right = r.left() + r.width(), bottom = r.top() + r.height();
    for (const QTransform &place : {QTransform(1, 0, 0, 1, left, top), QTransform(-1, 0, 0, 1, right, top),
                                    QTransform(1, 0, 0, -1, left, bottom), QTransform(-1, 0, 0, -1, right, bottom)})
        painter->fillPath(place.map(corner), outline);
    painter->restore();
}

QIcon PanelStyle::standardIcon(StandardPixmap icon, const QStyleOption *option, const QWidget *widget) const
{
    if (icon == SP_ToolBarHorizontalExtensionButton)
        return SvgIconEngine::icon(QStringLiteral(":/icons/more-horizontal.svg"));
    if (icon == SP_ToolBarVerticalExtensionButton)
        return SvgIconEngine::icon(QStringLiteral(":/icons/more-vertical.svg"));
    // Our own sign, drawn when first shown: the default one searches the
    // desktop's icon theme, which a find field would pay for at start-up.
    if (icon == SP_LineEditClearButton)
        return SvgIconEngine::icon(QStringLiteral(":/icons/clear-text.svg"));
    return QProxyStyle::standardIcon(icon, option, widget);
}

} // namespace vellamor
