#include "VellamorDesktopMain.h"
#include "widgets/ListEntries.h"

#include "management/ManagementProtocol.h"
#include "rules/RuleListModel.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTimer>

namespace vellamor {

bool TForm3::sameState(const SavedState &a, const SavedState &b)
{
    return a.texts == b.texts && a.lists == b.lists && a.choices == b.choices;
}

TForm3::SavedState TForm3::currentState() const
{
    SavedState state;
    for (const QLineEdit *edit : {MaxCon_txt, DefaultLogFolder_txt, lport, mport, ServerPass_txt, ConfirmServerPass_txt,
                                  KeyFile_txt, CertFile_txt})
        state.texts << edit->text();
    for (const QListWidget *list : {SystemIPS, SelectedIPs, SystemIPS2, SelectedIPs2})
        state.lists << entriesOf(list);
    state.choices = {ActivateOnAll_chk->isChecked(), ActivateOnAll_chk2->isChecked(), PolicyAccept_radio->isChecked()};
    return state;
}

void TForm3::watchForChanges()
{
    const auto check = [this] { scheduleModifiedCheck(); };
    for (QLineEdit *edit : {MaxCon_txt, DefaultLogFolder_txt, lport, mport, ServerPass_txt, ConfirmServerPass_txt,
                            KeyFile_txt, CertFile_txt})
        connect(edit, &QLineEdit::textChanged, this, check);
    for (QCheckBox *box : {ActivateOnAll_chk, ActivateOnAll_chk2})
        connect(box, &QCheckBox::toggled, this, check);
    connect(PolicyAccept_radio, &QRadioButton::toggled, this, check);
    for (const QAbstractItemModel *model : {SystemIPS->model(), SelectedIPs->model(), SystemIPS2->model(),
                                            SelectedIPs2->model(), static_cast<QAbstractItemModel *>(m_rules)}) {
        connect(model, &QAbstractItemModel::rowsInserted, this, check);
        connect(model, &QAbstractItemModel::rowsRemoved, this, check);
        connect(model, &QAbstractItemModel::rowsMoved, this, check);
        connect(model, &QAbstractItemModel::dataChanged, this, check);
        connect(model, &QAbstractItemModel::modelReset, this, check);
        connect(model, &QAbstractItemModel::layoutChanged, this, check);
    }
}

void TForm3::rememberSavedState()
{
    m_savedState = currentState();
    // The rule list keeps its own mark: it shares the lines instead of
    // copying them, and compares a row's bytes only where it changed.
    m_rules->markSaved();
    setWindowModified(!m_loaded.allInFull());
}

void TForm3::scheduleModifiedCheck()
{
    // One comparison for a burst of changes (a load, a move of every address).
    if (m_modifiedCheckPending)
        return;
    m_modifiedCheckPending = true;
    QTimer::singleShot(0, this, [this] {
        m_modifiedCheckPending = false;
        updateModified();
    });
}

void TForm3::updateModified()
{
    // An edit undone by hand brings the window back to what was saved.
    setWindowModified(!m_loaded.allInFull() || !sameState(currentState(), m_savedState) || !m_rules->sameAsMarked());
}

bool TForm3::confirmClose()
{
    if (m_closeConfirmed || m_shutDown)
        return true;
    updateModified();
    if (!isWindowModified())
        return true;

    const platform::Answer answer = m_platform.dialogs->messageBox(
        this, tr("The settings have unsaved changes. Save them before closing?"), tr("Confirmation"),
        platform::Buttons::SaveDiscardCancel, platform::Icon::Question);
    if (answer == platform::Answer::Discard)
        return true;
    if (answer != platform::Answer::Save)
        return false;

    // The ordinary Save, with its checks and messages. A refused or failed
    // Save leaves the changes unsaved, and the window open for them.
    guarded([this] { Button1Click(); });
    updateModified();
    if (isWindowModified())
        return false;
    // The Save asks the server to reload its rules on Timer3's next tick;
    // closing now would stop that timer. Send the reload first and close
    // once it has gone out or failed, which takes at most the command's
    // time limit; meanwhile the window takes no input.
    if (Timer3->isActive()) {
        Timer3->stop();
        setEnabled(false);
        startManagementCommand(kRulesReloadCommand, [this] {
            QTimer::singleShot(0, this, [this] {
                m_closeConfirmed = true;
                close();
            });
        });
        return false;
    }
    return true;
}

} // namespace vellamor
