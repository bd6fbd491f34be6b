#include "UnsavedChanges.h"

#include "VellamorDesktopMain.h"
#include "management/ManagementProtocol.h"
#include "rules/RuleListModel.h"
#include "widgets/ListEntries.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTimer>

namespace vellamor {

UnsavedChanges::State UnsavedChanges::current() const
{
    const TForm3 &w = m_window;
    State state;
    for (const QLineEdit *edit : {w.MaxCon_txt, w.DefaultLogFolder_txt, w.lport, w.mport, w.ServerPass_txt,
                                  w.ConfirmServerPass_txt, w.KeyFile_txt, w.CertFile_txt})
        state.texts << edit->text();
    for (const QListWidget *list : {w.SystemIPS, w.SelectedIPs, w.SystemIPS2, w.SelectedIPs2})
        state.lists << entriesOf(list);
    state.choices = {w.ActivateOnAll_chk->isChecked(), w.ActivateOnAll_chk2->isChecked(),
                     w.PolicyAccept_radio->isChecked()};
    return state;
}

void UnsavedChanges::watch(RuleListModel &rules)
{
    TForm3 &w = m_window;
    m_rules = &rules;
    const auto check = [this] { scheduleCheck(); };
    for (QLineEdit *edit : {w.MaxCon_txt, w.DefaultLogFolder_txt, w.lport, w.mport, w.ServerPass_txt,
                            w.ConfirmServerPass_txt, w.KeyFile_txt, w.CertFile_txt})
        QObject::connect(edit, &QLineEdit::textChanged, &w, check);
    for (QCheckBox *box : {w.ActivateOnAll_chk, w.ActivateOnAll_chk2})
        QObject::connect(box, &QCheckBox::toggled, &w, check);
    QObject::connect(w.PolicyAccept_radio, &QRadioButton::toggled, &w, check);
    for (const QAbstractItemModel *model : {w.SystemIPS->model(), w.SelectedIPs->model(), w.SystemIPS2->model(),
                                            w.SelectedIPs2->model(), static_cast<QAbstractItemModel *>(m_rules)}) {
        QObject::connect(model, &QAbstractItemModel::rowsInserted, &w, check);
        QObject::connect(model, &QAbstractItemModel::rowsRemoved, &w, check);
        QObject::connect(model, &QAbstractItemModel::rowsMoved, &w, check);
        QObject::connect(model, &QAbstractItemModel::dataChanged, &w, check);
        QObject::connect(model, &QAbstractItemModel::modelReset, &w, check);
        QObject::connect(model, &QAbstractItemModel::layoutChanged, &w, check);
    }
}

void UnsavedChanges::remember()
{
    m_saved = current();
    // The rule list keeps its own mark: it shares the lines instead of
    // copying them, and compares a row's bytes only where it changed.
    m_rules->markSaved();
    m_window.setWindowModified(!m_loaded.allInFull());
}

// The policy choice (the last) belongs to rules.txt, everything else but the
// rule lines to gc.xml.
void UnsavedChanges::remember(LoadedFiles::File file)
{
    const State now = current();
    if (file == LoadedFiles::File::Rules) {
        m_saved.choices.last() = now.choices.last();
        m_rules->markSaved();
    } else {
        const bool policy = m_saved.choices.last();
        m_saved = now;
        m_saved.choices.last() = policy;
    }
    update();
}

bool UnsavedChanges::edited(LoadedFiles::File file) const
{
    const State now = current();
    if (file == LoadedFiles::File::Rules)
        return now.choices.last() != m_saved.choices.last() || !m_rules->sameAsMarked();
    return now.texts != m_saved.texts || now.lists != m_saved.lists ||
           now.choices.mid(0, 2) != m_saved.choices.mid(0, 2);
}

void UnsavedChanges::scheduleCheck()
{
    // One comparison for a burst of changes (a load, a move of every address).
    if (m_checkPending)
        return;
    m_checkPending = true;
    QTimer::singleShot(0, &m_window, [this] {
        m_checkPending = false;
        update();
    });
}

void UnsavedChanges::update()
{
    // An edit undone by hand brings the window back to what was saved.
    m_window.setWindowModified(!m_loaded.allInFull() || current() != m_saved || !m_rules->sameAsMarked());
}

bool UnsavedChanges::confirmClose()
{
    if (m_closeConfirmed)
        return true;
    update();
    if (!m_window.isWindowModified())
        return true;

    const platform::Answer answer = m_window.platform().dialogs->messageBox(
        &m_window, TForm3::tr("The settings have unsaved changes. Save them before closing?"),
        TForm3::tr("Confirmation"), platform::Buttons::SaveDiscardCancel, platform::Icon::Question);
    if (answer == platform::Answer::Discard)
        return true;
    if (answer != platform::Answer::Save)
        return false;

    // The ordinary Save, with its checks and messages. A refused or failed
    // Save leaves the changes unsaved, and the window open for them.
    m_window.guarded([this] { m_window.Button1Click(); });
    update();
    if (m_window.isWindowModified())
        return false;
    // The Save asks the server to reload its rules on Timer3's next tick;
    // closing now would stop that timer. Send the reload first and close
    // once it has gone out or failed, which takes at most the command's
    // time limit; meanwhile the window takes no input.
    if (m_window.Timer3->isActive()) {
        m_window.Timer3->stop();
        m_window.setEnabled(false);
        m_management.send(kRulesReloadCommand, [this] {
            QTimer::singleShot(0, &m_window, [this] {
                m_closeConfirmed = true;
                m_window.close();
            });
        });
        return false;
    }
    return true;
}

} // namespace vellamor
