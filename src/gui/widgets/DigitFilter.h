#pragma once

#include <QObject>

class QLineEdit;

namespace vellamor {

// Lets only the digits 0 to 9 into a field the user types or pastes in: every
// other character is dropped, and pasted text arrives with its non-digits
// taken out. Text the program puts in (a value loaded from gc.xml) is shown as
// it is, so a hand-edited file is never altered behind the user's back.
class DigitFilter : public QObject
{
    Q_OBJECT

public:
    explicit DigitFilter(QLineEdit *field);

private:
    void filter(const QString &text);

    QLineEdit *m_field;
};

} // namespace vellamor
