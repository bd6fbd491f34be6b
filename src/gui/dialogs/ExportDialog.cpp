#include "ExportDialog.h"

#include "Counted.h"

#include "Dialogs.h"
#include "common/Error.h"
#include "rules/RuleListModel.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vellamor {

ExportDialog::ExportDialog(const RuleListModel &rules, QList<int> selectedRows, Policy policy,
                           platform::Dialogs &dialogs, const QString &startDirectory, QWidget *parent)
    : QDialog(parent), m_rules(rules), m_selected(std::move(selectedRows)), m_policy(policy), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("ExportDialog"));
    setWindowTitle(QStringLiteral("Export Rules"));
    std::sort(m_selected.begin(), m_selected.end());

    All_radio = new QRadioButton(QStringLiteral("All rules"), this);
    All_radio->setObjectName(QStringLiteral("All_radio"));
    All_radio->setChecked(true);
    Selected_radio = new QRadioButton(
        QStringLiteral("Selected rules (%1)").arg(QLocale(QLocale::English).toString(m_selected.size())), this);
    Selected_radio->setObjectName(QStringLiteral("Selected_radio"));
    Selected_radio->setEnabled(!m_selected.isEmpty());
    Types_cmb = new QComboBox(this);
    Types_cmb->setObjectName(QStringLiteral("Types_cmb"));
    Types_cmb->addItem(QStringLiteral("REJECT and ACCEPT"), int(ExportTypes::Both));
    Types_cmb->addItem(QStringLiteral("REJECT"), int(ExportTypes::Reject));
    Types_cmb->addItem(QStringLiteral("ACCEPT"), int(ExportTypes::Accept));
    Format_cmb = new QComboBox(this);
    Format_cmb->setObjectName(QStringLiteral("Format_cmb"));
    Format_cmb->addItem(QStringLiteral("Plain CIDR list (ranges as their exact blocks)"), int(ListFormat::Plain));
    Format_cmb->addItem(formatName(ListFormat::P2P), int(ListFormat::P2P));
    Format_cmb->addItem(QStringLiteral("rules.txt lines"), int(ListFormat::RuleSet));
    Folder_txt = new QLineEdit(QDir::toNativeSeparators(startDirectory), this);
    Folder_txt->setObjectName(QStringLiteral("Folder_txt"));
    Browse_btn = new QPushButton(QStringLiteral("Browse..."), this);
    Browse_btn->setObjectName(QStringLiteral("Browse_btn"));
    Browse_btn->setAccessibleName(QStringLiteral("Choose the file to write"));
    FileName_txt = new QLineEdit(QStringLiteral("rules-export.txt"), this);
    FileName_txt->setObjectName(QStringLiteral("FileName_txt"));
    Counts_lbl = new QLabel(this);
    Counts_lbl->setObjectName(QStringLiteral("Counts_lbl"));
    Counts_lbl->setWordWrap(true);
    Buttons_box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    Buttons_box->setObjectName(QStringLiteral("Buttons_box"));

    auto *folder = new QHBoxLayout;
    folder->addWidget(Folder_txt, 1);
    folder->addWidget(Browse_btn);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Rules:"), All_radio);
    form->addRow(QString(), Selected_radio);
    form->addRow(QStringLiteral("Types:"), Types_cmb);
    form->addRow(QStringLiteral("Format:"), Format_cmb);
    form->addRow(QStringLiteral("Folder:"), folder);
    form->addRow(QStringLiteral("File name:"), FileName_txt);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(Counts_lbl);
    layout->addWidget(Buttons_box);

    connect(Buttons_box, &QDialogButtonBox::accepted, this, &ExportDialog::accept);
    connect(Buttons_box, &QDialogButtonBox::rejected, this, &ExportDialog::reject);
    // The picker names a folder and a file in one answer; the fields keep
    // them apart so that either can be changed by hand afterwards.
    connect(Browse_btn, &QPushButton::clicked, this, [this] {
        const QString chosen = m_dialogs.saveFile(this, chosenPath());
        if (chosen.isEmpty())
            return;
        const QFileInfo file(chosen);
        Folder_txt->setText(QDir::toNativeSeparators(file.absolutePath()));
        FileName_txt->setText(file.fileName());
    });
    connect(Selected_radio, &QRadioButton::toggled, this, &ExportDialog::showCounts);
    connect(Types_cmb, &QComboBox::currentIndexChanged, this, &ExportDialog::showCounts);
    connect(Format_cmb, &QComboBox::currentIndexChanged, this, &ExportDialog::showCounts);
    showCounts();
}

QString ExportDialog::chosenPath() const
{
    return QDir(QDir::fromNativeSeparators(Folder_txt->text().trimmed())).filePath(FileName_txt->text().trimmed());
}

ExportResult ExportDialog::compose() const
{
    const ListFormat format = ListFormat(Format_cmb->currentData().toInt());
    const ExportTypes types = ExportTypes(Types_cmb->currentData().toInt());
    if (!Selected_radio->isChecked())
        return exportRules(m_rules.lines(), format, types, m_policy);
    QByteArrayList chosen;
    for (const int row : m_selected)
        chosen.append(m_rules.line(row));
    const RuleLineStore store = RuleLineStore::fromList(chosen);
    return exportRules(store.lines(), format, types, m_policy);
}

void ExportDialog::showCounts()
{
    const ExportResult result = compose();
    QString text = counted(result.rules, QStringLiteral("rule to write"), QStringLiteral("rules to write"));
    if (result.skipped > 0)
        text += QStringLiteral(", ") +
                counted(result.skipped, QStringLiteral("line left out"), QStringLiteral("lines left out"));
    Counts_lbl->setText(text);
}

void ExportDialog::accept()
{
    const QString name = FileName_txt->text().trimmed();
    if (name.isEmpty()) {
        m_dialogs.messageBox(this, QStringLiteral("Please enter a file name."), QStringLiteral("Error"),
                             platform::Buttons::Ok, platform::Icon::Error);
        return;
    }
    const QString path = chosenPath();
    if (QFileInfo::exists(path) &&
        m_dialogs.messageBox(this,
                             QStringLiteral("\"%1\" already exists. Replace it?").arg(QDir::toNativeSeparators(path)),
                             QStringLiteral("Confirmation"), platform::Buttons::YesNo,
                             platform::Icon::Question) != platform::Answer::Yes)
        return;
    try {
        writeExport(path, compose());
    } catch (const Error &error) {
        m_dialogs.messageBox(this, error.message(), QStringLiteral("Error"), platform::Buttons::Ok,
                             platform::Icon::Error);
        return;
    }
    QDialog::accept();
}

} // namespace vellamor
