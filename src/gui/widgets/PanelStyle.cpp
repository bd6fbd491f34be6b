#include "PanelStyle.h"

#include <QApplication>
#include <QPointer>
#include <QStyleOptionTab>

namespace vellamor {

PanelStyle::PanelStyle() : QProxyStyle(QApplication::style()->name())
{
    setParent(qApp);
}

PanelStyle *PanelStyle::instance()
{
    static QPointer<PanelStyle> style;
    if (!style)
        style = new PanelStyle;
    return style;
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

} // namespace vellamor
