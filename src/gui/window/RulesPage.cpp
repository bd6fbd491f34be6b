#include "VellamorDesktopMain.h"

#include "common/Paths.h"
#include "config/AtomicFile.h"
#include "dialogs/Rule.h"
#include "rules/RuleSetFile.h"

#include <QListWidget>
#include <QRadioButton>

namespace vellamor {

namespace {

// A listed rule that came from the file keeps the file's own bytes here, so a
// line the system code page cannot show faithfully is still written back
// exactly as it was read.
constexpr int kFileBytesRole = Qt::UserRole + 1;

QString rulesPath(const platform::FileSystem &fileSystem)
{
    return besideExecutable(fileSystem.executableDir(), QStringLiteral("rules.txt"));
}

QByteArray fileBytes(const QListWidgetItem *item)
{
    const QVariant stored = item->data(kFileBytesRole);
    if (stored.isValid()) {
        QByteArray bytes = stored.toByteArray();
        if (QString::fromLocal8Bit(bytes) == item->text())
            return bytes;
    }
    return item->text().toLocal8Bit();
}

} // namespace

void TForm3::LoadRules()
{
    // A rule set that cannot be read leaves the page as it is, without a word:
    // the next Save writes a fresh file. A FIFO, a device or a runaway file
    // raises instead, so the administrator learns why the page is empty.
    const std::optional<QByteArray> bytes = readRuleSetFile(rulesPath(*m_platform.fileSystem));
    if (!bytes)
        return;

    const RuleSetContent content = parseRuleSet(*bytes);
    if (content.policy == Policy::Accept)
        PolicyAccept_radio->setChecked(true);
    else if (content.policy == Policy::Reject)
        PolicyReject_radio->setChecked(true);
    for (const QByteArray &line : content.rules) {
        auto *item = new QListWidgetItem(QString::fromLocal8Bit(line), RulesList);
        item->setData(kFileBytesRole, line);
    }
}

void TForm3::SaveRules()
{
    QList<QByteArray> rules;
    rules.reserve(RulesList->count());
    for (int row = 0; row < RulesList->count(); ++row)
        rules.append(fileBytes(RulesList->item(row)));
    const Policy policy = PolicyAccept_radio->isChecked() ? Policy::Accept : Policy::Reject;

    // The server loads this file on the reload that follows a Save, so a file
    // that was not written raises and stops the Save rather than pass for
    // success. A new rules.txt is readable as the system's default allows.
    writeFileAtomically(rulesPath(*m_platform.fileSystem), composeRuleSet(policy, rules), NewFileAccess::Default);
}

void TForm3::Button2Click()
{
    TForm33 dialog(*m_platform.dialogs, this);
    const QString line = dialog.GetRule();
    if (line.isEmpty())
        return;
    // The same rule may be listed twice: the order of rules is what counts.
    auto *item = new QListWidgetItem(line, RulesList);
    RulesList->scrollToItem(item);
}

void TForm3::Button3Click()
{
    RulesList->clear();
}

void TForm3::Delete1Click()
{
    const QList<QListWidgetItem *> selected = RulesList->selectedItems();
    if (selected.isEmpty())
        return;
    delete selected.first();
}

} // namespace vellamor
