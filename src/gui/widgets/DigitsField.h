#pragma once

#include <QLineEdit>

namespace vellamor {

// A fixed-width digits field: every position holds a digit or stays blank,
// with fixed dots between the groups of an address. A click that lands on
// blank positions puts the cursor after the digits already typed in that
// group (at the very start of an untouched field), so typing after a click
// fills the field from the left, as it does after Tab.
class DigitsField : public QLineEdit
{
    Q_OBJECT

public:
    // mask: '0' for each digit position, '.' between groups ("000.000.000.000").
    DigitsField(const char *name, const QString &mask, QWidget *parent);

    // What the field holds for a reader: its text, or nothing while no digit
    // is typed (the fixed dots alone say nothing).
    QString typed() const;

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

} // namespace vellamor
