#include "DigitsField.h"

#include "AccessibleInterfaces.h"
#include "rules/RuleLine.h"

#include <QMouseEvent>

namespace vellamor {

DigitsField::DigitsField(const char *name, const QString &mask, QWidget *parent) : QLineEdit(parent)
{
    installAccessibleInterfaces();
    setObjectName(QLatin1StringView(name));
    // '0' is a digit position that may stay empty; the blank is a space.
    setInputMask(mask + QStringLiteral("; "));
    const QString widest = QString(mask).replace(u'0', u'8');
    setFixedWidth(fontMetrics().horizontalAdvance(widest) + 16);
}

QString DigitsField::typed() const
{
    return withoutBlanks(text()).remove(u'.').isEmpty() ? QString() : text();
}

void DigitsField::mouseReleaseEvent(QMouseEvent *event)
{
    QLineEdit::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || hasSelectedText())
        return;
    const QString shown = displayText();
    if (typed().isEmpty()) {
        setCursorPosition(0);
        return;
    }
    int position = qMin(cursorPosition(), int(shown.size()));
    while (position > 0 && shown.at(position - 1) == u' ')
        --position;
    setCursorPosition(position);
}

} // namespace vellamor
