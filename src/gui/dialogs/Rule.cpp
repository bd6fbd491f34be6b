#include "Rule.h"

#include "Dialogs.h"
#include "colours/Colours.h"
#include "widgets/DigitsField.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vellamor {

namespace {

QRadioButton *radio(const char *name, const QString &caption, QWidget *parent)
{
    auto *button = new QRadioButton(caption, parent);
    button->setObjectName(QLatin1StringView(name));
    return button;
}

QLabel *label(const char *name, const QString &caption, QWidget *parent)
{
    auto *text = new QLabel(caption, parent);
    text->setObjectName(QLatin1StringView(name));
    text->setAlignment(Qt::AlignCenter);
    return text;
}

} // namespace

TForm33::TForm33(platform::Dialogs &dialogs, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("Form33"));
    setWindowTitle(tr("Add Rule"));
    setModal(true);

    const QString address = QStringLiteral("000.000.000.000");
    const QString threeDigits = QStringLiteral("000");

    GroupBox5 = new QGroupBox(tr("Rule Applies to"), this);
    GroupBox5->setObjectName(QStringLiteral("GroupBox5"));
    auto *grid = new QGridLayout(GroupBox5);
    grid->setHorizontalSpacing(6);
    RadioButton4 = radio("RadioButton4", tr("All IPs"), GroupBox5);
    RadioButton1 = radio("RadioButton1", tr("Single IP"), GroupBox5);
    singleip = new DigitsField("singleip", address, GroupBox5);
    RadioButton2 = radio("RadioButton2", tr("CIDR Block"), GroupBox5);
    cidr1 = new DigitsField("cidr1", address, GroupBox5);
    Label2 = label("Label2", QStringLiteral("/"), GroupBox5);
    cidr2 = new DigitsField("cidr2", threeDigits, GroupBox5);
    RadioButton3 = radio("RadioButton3", tr("IP Range"), GroupBox5);
    range1 = new DigitsField("range1", address, GroupBox5);
    Label4 = label("Label4", QStringLiteral("---"), GroupBox5);
    range2 = new DigitsField("range2", threeDigits, GroupBox5);
    grid->addWidget(RadioButton4, 0, 0);
    grid->addWidget(RadioButton1, 1, 0);
    grid->addWidget(singleip, 1, 1);
    grid->addWidget(RadioButton2, 2, 0);
    grid->addWidget(cidr1, 2, 1);
    grid->addWidget(Label2, 2, 2);
    grid->addWidget(cidr2, 2, 3);
    grid->addWidget(RadioButton3, 3, 0);
    grid->addWidget(range1, 3, 1);
    grid->addWidget(Label4, 3, 2);
    grid->addWidget(range2, 3, 3);
    grid->setColumnStretch(4, 1);
    // The fields' captions are the radio buttons beside them, which a screen
    // reader does not connect to them.
    singleip->setAccessibleName(tr("Single IP address"));
    cidr1->setAccessibleName(tr("CIDR block address"));
    cidr2->setAccessibleName(tr("CIDR block prefix length"));
    range1->setAccessibleName(tr("IP range first address"));
    range2->setAccessibleName(tr("IP range last value"));
    range2->setAccessibleDescription(tr("The last group of the range's last address"));

    RuleType = new QComboBox(this);
    RuleType->setObjectName(QStringLiteral("RuleType"));
    RuleType->setEditable(false);
    RuleType->addItems({QStringLiteral("REJECT"), QStringLiteral("ACCEPT")});
    RuleType->setCurrentIndex(-1);
    // Nothing is chosen at first; say what the box is for until something is.
    RuleType->setPlaceholderText(tr("Rule type: REJECT or ACCEPT"));
    RuleType->setAccessibleName(tr("Rule type"));
    RuleType->setAccessibleDescription(tr("REJECT or ACCEPT"));

    Button3 = new QPushButton(tr("Add Rule"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setDefault(true);
    Button2 = new QPushButton(tr("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Button3);
    buttons->addStretch(1);
    buttons->addWidget(Button2);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox5);
    layout->addWidget(RuleType);
    layout->addStretch(1);
    layout->addLayout(buttons);

    RadioButton4->setChecked(true);
    RadioButton4Click();

    // Arrow keys move the choice between the radio buttons without a click,
    // so the fields follow the checked button rather than the click.
    const auto onChecked = [this](QRadioButton *button, void (TForm33::*handler)()) {
        connect(button, &QRadioButton::toggled, this, [this, handler](bool checked) {
            if (checked)
                (this->*handler)();
        });
    };
    onChecked(RadioButton4, &TForm33::RadioButton4Click);
    onChecked(RadioButton1, &TForm33::RadioButton1Click);
    onChecked(RadioButton2, &TForm33::RadioButton2Click);
    onChecked(RadioButton3, &TForm33::RadioButton3Click);
    connect(Button3, &QPushButton::clicked, this, &TForm33::Button3Click);
    connect(Button2, &QPushButton::clicked, this, &TForm33::Button2Click);

    setFixedSize(sizeHint().expandedTo(QSize(343, 181)));
}

QString TForm33::GetRule()
{
    exec();
    return RuleLine;
}

void TForm33::ShowRule(const RuleEntry &entry)
{
    setWindowTitle(tr("Edit Rule"));
    Button3->setText(tr("OK"));
    RuleType->setCurrentIndex(RuleType->findText(entry.ruleType));
    const auto fill = [](QLineEdit *field, const QString &text) {
        if (!text.isEmpty())
            field->setText(text);
    };
    fill(singleip, entry.singleip);
    fill(cidr1, entry.cidr1);
    fill(cidr2, entry.cidr2);
    fill(range1, entry.range1);
    fill(range2, entry.range2);
    QRadioButton *mode = RadioButton4;
    if (entry.target == RuleTarget::SingleIP)
        mode = RadioButton1;
    else if (entry.target == RuleTarget::CidrBlock)
        mode = RadioButton2;
    else if (entry.target == RuleTarget::IpRange)
        mode = RadioButton3;
    mode->setChecked(true);
    mode->setFocus();
}

QColor TForm33::enabledFieldColour()
{
    // The system's window colour: white on a classic desktop.
    return QGuiApplication::palette().color(QPalette::Active, QPalette::Base);
}

QColor TForm33::disabledFieldColour()
{
    return {kDisabledFieldGrey};
}

void TForm33::setFieldStates(bool single, bool block, bool range)
{
    const auto set = [](QLineEdit *field, bool enabled) {
        field->setEnabled(enabled);
        QPalette p = field->palette();
        p.setColor(QPalette::Base, enabled ? enabledFieldColour() : disabledFieldColour());
        // Values typed for another mode stay in their fields; keep them legible.
        p.setColor(QPalette::Disabled, QPalette::Text, QColor(kDisabledFieldTextGrey));
        field->setPalette(p);
    };
    set(singleip, single);
    set(cidr1, block);
    set(cidr2, block);
    set(range1, range);
    set(range2, range);
}

// All IPs leaves the single address field open as well: it is simply not read.
void TForm33::RadioButton4Click()
{
    setFieldStates(true, false, false);
}

void TForm33::RadioButton1Click()
{
    setFieldStates(true, false, false);
}

void TForm33::RadioButton2Click()
{
    setFieldStates(false, true, false);
}

void TForm33::RadioButton3Click()
{
    setFieldStates(false, false, true);
}

RuleEntry TForm33::entry() const
{
    RuleEntry entry;
    entry.ruleType = RuleType->currentText();
    if (RadioButton1->isChecked())
        entry.target = RuleTarget::SingleIP;
    else if (RadioButton2->isChecked())
        entry.target = RuleTarget::CidrBlock;
    else if (RadioButton3->isChecked())
        entry.target = RuleTarget::IpRange;
    else
        entry.target = RuleTarget::AllIPs;
    entry.singleip = singleip->text();
    entry.cidr1 = cidr1->text();
    entry.cidr2 = cidr2->text();
    entry.range1 = range1->text();
    entry.range2 = range2->text();
    return entry;
}

void TForm33::Button3Click()
{
    const RuleLineResult result = buildRuleLine(entry());
    if (!result.accepted()) {
        // The dialog stays open with everything as typed, for correction.
        m_dialogs.messageBox(this, result.refusal, tr("Error"), platform::Buttons::Ok, platform::Icon::None);
        return;
    }
    RuleLine = result.line;
    accept();
}

void TForm33::Button2Click()
{
    reject();
}

} // namespace vellamor
