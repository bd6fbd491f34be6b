#include "DigitFilter.h"

#include <QLineEdit>

namespace vellamor {

DigitFilter::DigitFilter(QLineEdit *field) : QObject(field), m_field(field)
{
    // textEdited comes only from the user's own editing (typing, pasting,
    // dropping, undo), never from setText().
    connect(field, &QLineEdit::textEdited, this, &DigitFilter::filter);
}

void DigitFilter::filter(const QString &text)
{
    QString digits;
    digits.reserve(text.size());
    const int cursor = m_field->cursorPosition();
    int newCursor = cursor;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c >= u'0' && c <= u'9')
            digits.append(c);
        else if (i < cursor)
            --newCursor;
    }
    if (digits == text)
        return;
    m_field->setText(digits);
    m_field->setCursorPosition(newCursor);
}

} // namespace vellamor
