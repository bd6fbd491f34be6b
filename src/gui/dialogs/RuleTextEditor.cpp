#include "RuleTextEditor.h"

#include "Dialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <limits>

namespace vellamor {

TRuleTextEditor::TRuleTextEditor(platform::Dialogs &dialogs, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("RuleTextEditor"));
    setWindowTitle(tr("Edit Rule"));
    setModal(true);

    Note_lbl = new QLabel(tr("This line is not a rule the Add Rule dialog writes. It is kept exactly as typed."), this);
    Note_lbl->setObjectName(QStringLiteral("Note_lbl"));
    Note_lbl->setWordWrap(true);
    RuleText_txt = new QLineEdit(this);
    RuleText_txt->setObjectName(QStringLiteral("RuleText_txt"));
    // A rule line may be of any length: never cut it short.
    RuleText_txt->setMaxLength(std::numeric_limits<int>::max());
    RuleText_txt->setAccessibleName(tr("Rule line"));
    RuleText_txt->setMinimumWidth(360);
    Note_lbl->setBuddy(RuleText_txt);

    Ok_btn = new QPushButton(tr("OK"), this);
    Ok_btn->setObjectName(QStringLiteral("Ok_btn"));
    Ok_btn->setDefault(true);
    Cancel_btn = new QPushButton(tr("Cancel"), this);
    Cancel_btn->setObjectName(QStringLiteral("Cancel_btn"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Ok_btn);
    buttons->addWidget(Cancel_btn);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Note_lbl);
    layout->addWidget(RuleText_txt);
    layout->addLayout(buttons);

    connect(Ok_btn, &QPushButton::clicked, this, &TRuleTextEditor::OkClick);
    connect(Cancel_btn, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<QString> TRuleTextEditor::EditLine(const QString &line)
{
    RuleText_txt->setText(line);
    RuleText_txt->selectAll();
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return RuleText_txt->text();
}

QString TRuleTextEditor::refusal(const QString &text)
{
    if (text.contains(u'\n') || text.contains(u'\r'))
        return tr("A rule is one line: remove the line break.");
    // The reader takes any line that begins with these six capitals as the
    // policy, whatever follows.
    if (text.startsWith(QLatin1StringView("POLICY")))
        return tr("A rule cannot begin with POLICY: rules.txt would read it as the default policy.");
    return {};
}

void TRuleTextEditor::OkClick()
{
    const QString why = refusal(RuleText_txt->text());
    if (!why.isEmpty()) {
        m_dialogs.messageBox(this, why, tr("Error"), platform::Buttons::Ok, platform::Icon::None);
        return;
    }
    accept();
}

} // namespace vellamor
