#pragma once

#include "rules/RuleLine.h"

#include <QColor>
#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vellamor {

namespace platform {
class Dialogs;
}

// The Add Rule dialog: the user picks a rule type and what the rule applies
// to (every address, one address, a block or a range), and the dialog hands
// back one rule line. It is built afresh for each rule and touches nothing
// outside itself; refusals go through the platform's message boxes.
class TForm33 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm33(platform::Dialogs &dialogs, QWidget *parent = nullptr);

    // Shows the dialog modally; afterwards returns the accepted rule line, or
    // empty text when the user cancelled or closed it.
    QString GetRule();

    // Turns the dialog into the editor of an existing rule, before GetRule:
    // the fields show the entry, the caption reads "Edit Rule" and the
    // accepting button "OK".
    void ShowRule(const RuleEntry &entry);

    // Background of an enabled field and of a disabled one.
    static QColor enabledFieldColour();
    static QColor disabledFieldColour();

    // --- Events wired to handlers -------------------------------------------
    void RadioButton4Click(); // All IPs
    void RadioButton1Click(); // Single IP
    void RadioButton2Click(); // CIDR Block
    void RadioButton3Click(); // IP Range
    void Button3Click();      // Add Rule
    void Button2Click();      // Cancel

    // The result: set only when Add Rule accepts the entry.
    QString RuleLine;

    // --- Controls ---------------------------------------------------------------
    QGroupBox *GroupBox5 = nullptr;
    QRadioButton *RadioButton4 = nullptr;
    QRadioButton *RadioButton1 = nullptr;
    QLineEdit *singleip = nullptr;
    QRadioButton *RadioButton2 = nullptr;
    QLineEdit *cidr1 = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *cidr2 = nullptr;
    QRadioButton *RadioButton3 = nullptr;
    QLineEdit *range1 = nullptr;
    QLabel *Label4 = nullptr;
    QLineEdit *range2 = nullptr;
    QComboBox *RuleType = nullptr;
    QPushButton *Button3 = nullptr;
    QPushButton *Button2 = nullptr;

private:
    void setFieldStates(bool single, bool block, bool range);
    RuleEntry entry() const;

    platform::Dialogs &m_dialogs;
};

} // namespace vellamor

using vellamor::TForm33;
