#pragma once

#include <QDialog>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vellamor {

namespace platform {
class Dialogs;
}

// The editor of a rule line that the Add Rule dialog cannot show: rules.txt
// keeps such a line as plain text, so any text stays allowed, with two
// exceptions the file itself imposes. A line break would split the rule in
// two, and a line that begins with "POLICY" would be read back as the
// policy instead of a rule; both are refused with a message and the editor
// stays open for correction.
class TRuleTextEditor : public QDialog
{
    Q_OBJECT

public:
    explicit TRuleTextEditor(platform::Dialogs &dialogs, QWidget *parent = nullptr);

    // Shows the dialog modally on the line; the accepted text, or nothing when
    // the user cancelled or closed it.
    std::optional<QString> EditLine(const QString &line);

    // Why the text cannot stand as a rule line, or empty text when it can.
    static QString refusal(const QString &text);

    QLabel *Note_lbl = nullptr;
    QLineEdit *RuleText_txt = nullptr;
    QPushButton *Ok_btn = nullptr;
    QPushButton *Cancel_btn = nullptr;

private:
    void OkClick();

    platform::Dialogs &m_dialogs;
};

} // namespace vellamor

using vellamor::TRuleTextEditor;
