#include "ImportDialog.h"

#include "Counted.h"

#include "Dialogs.h"
#include "rules/RuleListModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QVBoxLayout>

namespace vellamor {

namespace {

constexpr ListFormat kFormats[] = {ListFormat::Plain, ListFormat::P2P, ListFormat::Dat, ListFormat::RuleSet};

} // namespace

ImportDialog::ImportDialog(RuleListModel &rules, platform::Dialogs &dialogs, QWidget *parent)
    : QDialog(parent), m_rules(rules), m_dialogs(dialogs),
      // A copy, so the reading thread never looks into the list itself.
      m_existing(RuleLineStore::fromList(rules.lines().toList()))
{
    setObjectName(QStringLiteral("ImportDialog"));
    setWindowTitle(QStringLiteral("Import Rules"));

    Format_cmb = new QComboBox(this);
    Format_cmb->setObjectName(QStringLiteral("Format_cmb"));
    for (const ListFormat format : kFormats)
        Format_cmb->addItem(formatName(format), int(format));
    RuleType_cmb = new QComboBox(this);
    RuleType_cmb->setObjectName(QStringLiteral("RuleType_cmb"));
    RuleType_cmb->addItems({QStringLiteral("REJECT"), QStringLiteral("ACCEPT")});
    After_radio = new QRadioButton(QStringLiteral("After the existing rules"), this);
    After_radio->setObjectName(QStringLiteral("After_radio"));
    After_radio->setChecked(true);
    Before_radio = new QRadioButton(QStringLiteral("Before the existing rules"), this);
    Before_radio->setObjectName(QStringLiteral("Before_radio"));
    Merge_chk = new QCheckBox(QStringLiteral("Merge overlapping and adjacent entries"), this);
    Merge_chk->setObjectName(QStringLiteral("Merge_chk"));
    Merge_chk->setChecked(true);
    Covered_chk = new QCheckBox(QStringLiteral("Leave out entries an existing rule of the same type covers"), this);
    Covered_chk->setObjectName(QStringLiteral("Covered_chk"));
    Covered_chk->setChecked(true);
    Policy_chk = new QCheckBox(this);
    Policy_chk->setObjectName(QStringLiteral("Policy_chk"));
    Policy_chk->hide();
    Progress_bar = new QProgressBar(this);
    Progress_bar->setObjectName(QStringLiteral("Progress_bar"));
    Progress_bar->setRange(0, 1000);
    Counts_lbl = new QLabel(this);
    Counts_lbl->setObjectName(QStringLiteral("Counts_lbl"));
    Counts_lbl->setWordWrap(true);
    Counts_lbl->setTextFormat(Qt::RichText);
    Unread_txt = new QPlainTextEdit(this);
    Unread_txt->setObjectName(QStringLiteral("Unread_txt"));
    Unread_txt->setReadOnly(true);
    Unread_txt->hide();
    Buttons_box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    Buttons_box->setObjectName(QStringLiteral("Buttons_box"));
    Buttons_box->button(QDialogButtonBox::Ok)->setEnabled(false);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Format:"), Format_cmb);
    form->addRow(QStringLiteral("Rule type:"), RuleType_cmb);
    form->addRow(QStringLiteral("Place:"), After_radio);
    form->addRow(QString(), Before_radio);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(Merge_chk);
    layout->addWidget(Covered_chk);
    layout->addWidget(Policy_chk);
    layout->addWidget(Progress_bar);
    layout->addWidget(Counts_lbl);
    layout->addWidget(Unread_txt, 1);
    layout->addWidget(Buttons_box);
    resize(520, 300);

    connect(Buttons_box, &QDialogButtonBox::accepted, this, &ImportDialog::accept);
    connect(Buttons_box, &QDialogButtonBox::rejected, this, &ImportDialog::reject);
    connect(Format_cmb, &QComboBox::activated, this,
            [this](int index) { readFile(ListFormat(Format_cmb->itemData(index).toInt())); });
    connect(RuleType_cmb, &QComboBox::currentIndexChanged, this, &ImportDialog::plan);
    for (QCheckBox *box : {Merge_chk, Covered_chk})
        connect(box, &QCheckBox::toggled, this, &ImportDialog::plan);
    connect(Counts_lbl, &QLabel::linkActivated, this, [this] { Unread_txt->setVisible(!Unread_txt->isVisible()); });
}

ImportDialog::~ImportDialog()
{
    stop();
}

bool ImportDialog::Import(const QString &startPath)
{
    const QString path = m_dialogs.openFile(parentWidget(), startPath);
    if (path.isEmpty())
        return false;
    open(path);
    return exec() == QDialog::Accepted;
}

void ImportDialog::open(const QString &path)
{
    m_path = path;
    setWindowTitle(QStringLiteral("Import Rules - %1").arg(QDir::toNativeSeparators(path)));
    readFile(std::nullopt);
}

std::optional<Policy> ImportDialog::chosenPolicy() const
{
    if (!m_list || !m_list->policy || !Policy_chk->isChecked())
        return std::nullopt;
    return m_list->policy;
}

void ImportDialog::run(const std::function<std::function<void()>(const LongRun &)> &work)
{
    stop();
    const quint64 job = m_job;
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    LongRun longRun;
    longRun.cancel = m_cancel.get();
    longRun.progress = [this, job](qint64 done, qint64 total) {
        const int value = total > 0 ? int(done * 1000 / total) : 0;
        QMetaObject::invokeMethod(
            this,
            [this, job, value] {
                if (job == m_job)
                    Progress_bar->setValue(value);
            },
            Qt::QueuedConnection);
    };
    Progress_bar->setValue(0);
    Buttons_box->button(QDialogButtonBox::Ok)->setEnabled(false);
    // The flag lives as long as the thread that looks at it.
    m_worker = QThread::create([this, job, work, longRun, cancel = m_cancel] {
        std::function<void()> finish = work(longRun);
        if (finish && !cancel->load())
            QMetaObject::invokeMethod(
                this,
                [this, job, finish] {
                    if (job == m_job)
                        finish();
                },
                Qt::QueuedConnection);
    });
    m_worker->setParent(this);
    connect(m_worker, &QThread::finished, this, [this, worker = m_worker] {
        worker->deleteLater();
        if (m_worker == worker)
            m_worker = nullptr;
        Buttons_box->button(QDialogButtonBox::Ok)->setEnabled(!m_worker && m_plan);
    });
    m_worker->start();
}

void ImportDialog::stop()
{
    ++m_job;
    if (!m_worker)
        return;
    // Its own finished handler deletes it, or the dialog as its parent.
    m_cancel->store(true);
    m_worker->wait();
    m_worker = nullptr;
}

void ImportDialog::readFile(std::optional<ListFormat> format)
{
    m_list.reset();
    m_plan.reset();
    Counts_lbl->setText(QStringLiteral("Reading..."));
    Unread_txt->hide();
    run([this, path = m_path, format, chosen = options()](const LongRun &longRun) -> std::function<void()> {
        auto read = std::make_shared<AddressListRead>(readAddressListFile(path, format, longRun));
        if (!read->ok())
            return [this, read] { showError(read->error); };
        auto list = std::make_shared<const AddressList>(std::move(read->list));
        auto planned = std::make_shared<const ImportPlan>(planImport(*list, m_existing.lines(), chosen, longRun));
        return [this, list, planned, chosen] {
            m_list = list;
            m_plan = planned;
            // The user may have changed a choice while the file was read.
            if (chosen == options())
                showCounts();
            else
                plan();
        };
    });
}

ImportOptions ImportDialog::options() const
{
    ImportOptions chosen;
    chosen.accept = RuleType_cmb->currentIndex() == 1;
    chosen.merge = Merge_chk->isChecked();
    chosen.skipCovered = Covered_chk->isChecked();
    return chosen;
}

void ImportDialog::plan()
{
    if (!m_list)
        return;
    m_plan.reset();
    run([this, list = m_list, chosen = options()](const LongRun &longRun) -> std::function<void()> {
        auto planned = std::make_shared<const ImportPlan>(planImport(*list, m_existing.lines(), chosen, longRun));
        return [this, planned] {
            m_plan = planned;
            showCounts();
        };
    });
}

void ImportDialog::showCounts()
{
    const AddressList &list = *m_list;
    const ImportPlan &planned = *m_plan;
    Format_cmb->setCurrentIndex(Format_cmb->findData(int(list.format)));
    // rules.txt lines carry their own type and are not merged: their order
    // between the types is what their author meant.
    const bool ruleSet = list.format == ListFormat::RuleSet;
    RuleType_cmb->setEnabled(!ruleSet);
    Merge_chk->setEnabled(!ruleSet);
    Policy_chk->setVisible(list.policy.has_value());
    if (list.policy) {
        Policy_chk->setText(
            QStringLiteral("Also set the default policy to \"%1\"")
                .arg(*list.policy == Policy::Accept ? QStringLiteral("Accept All") : QStringLiteral("Reject All")));
    }

    QStringList parts{counted(list.entries, QStringLiteral("entry read"), QStringLiteral("entries read"))};
    if (list.notUnderstood > 0)
        parts << counted(list.notUnderstood, QStringLiteral("line not understood"),
                         QStringLiteral("lines not understood")) +
                     QStringLiteral(" (<a href=\"show\">show</a>)");
    parts << counted(qint64(planned.lines.size()), QStringLiteral("rule"), QStringLiteral("rules")) +
                 (Merge_chk->isChecked() && !ruleSet ? QStringLiteral(" after merging") : QString());
    if (Covered_chk->isChecked())
        parts << counted(planned.covered, QStringLiteral("already covered"), QStringLiteral("already covered"));
    if (list.ipv6 > 0)
        parts << counted(list.ipv6, QStringLiteral("IPv6 entry skipped"), QStringLiteral("IPv6 entries skipped"));
    if (list.aboveLevel > 0)
        parts << counted(list.aboveLevel, QStringLiteral("entry above level 127 skipped"),
                         QStringLiteral("entries above level 127 skipped"));
    Counts_lbl->setText(parts.join(QStringLiteral(", ")));

    QStringList unread;
    for (const UnreadLine &line : list.unread)
        unread << describeUnread(line);
    if (list.notUnderstood > list.unread.size())
        unread << QStringLiteral("... and %1 more")
                      .arg(QLocale(QLocale::English).toString(list.notUnderstood - list.unread.size()));
    Unread_txt->setPlainText(unread.join(QLatin1Char('\n')));
    Progress_bar->setValue(1000);
}

void ImportDialog::showError(const QString &message)
{
    Counts_lbl->setText(message.toHtmlEscaped());
    Progress_bar->setValue(0);
}

void ImportDialog::accept()
{
    if (m_worker || !m_plan)
        return;
    m_rules.insertLines(Before_radio->isChecked() ? 0 : m_rules.rowCount(), m_plan->lines);
    QDialog::accept();
}

void ImportDialog::reject()
{
    stop();
    QDialog::reject();
}

} // namespace vellamor
