#include "PanelStyle.h"

#include "SvgIconEngine.h"

#include <QApplication>
#include <QGroupBox>
#include <QPainter>
#include <QStyleOptionTab>

namespace vellamor {

PanelStyle::PanelStyle() = default;

void PanelStyle::install()
{
    if (!qobject_cast<PanelStyle *>(QApplication::style()))
        QApplication::setStyle(new PanelStyle); // the application owns it
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
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(outline);
    painter->setBrush(QColor(255, 255, 255, 24));
    painter->drawRoundedRect(QRectF(frame).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
    painter->restore();
}

QIcon PanelStyle::standardIcon(StandardPixmap icon, const QStyleOption *option, const QWidget *widget) const
{
    if (icon == SP_ToolBarHorizontalExtensionButton)
        return SvgIconEngine::icon(QStringLiteral(":/icons/more-horizontal.svg"));
    if (icon == SP_ToolBarVerticalExtensionButton)
        return SvgIconEngine::icon(QStringLiteral(":/icons/more-vertical.svg"));
    return QProxyStyle::standardIcon(icon, option, widget);
}

} // namespace vellamor
