#pragma once

#include "rules/AddressList.h"

#include <QDialog>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QRadioButton;
class QThread;

namespace vellamor {

class RuleListModel;
namespace platform {
class Dialogs;
}

// Import of an address list into the Security page's rules: the file is read
// and turned into rule lines away from the window's thread, and the dialog
// shows what it found before anything changes. OK adds the rules in one step;
// Cancel, at any moment, adds nothing.
class ImportDialog : public QDialog
{
    Q_OBJECT

public:
    ImportDialog(RuleListModel &rules, platform::Dialogs &dialogs, QWidget *parent = nullptr);
    ~ImportDialog() override;

    // Asks for the file through the platform's picker, starting in
    // `startPath`, then shows the dialog modally. True when rules were added.
    bool Import(const QString &startPath);

    // Starts reading `path` (the picker's answer). QDialog's own open()
    // (show as a window-modal sheet) stays callable beside it.
    using QDialog::open;
    void open(const QString &path);
    // The policy a rules.txt named, when the user chose to take it too.
    std::optional<Policy> chosenPolicy() const;
    // The reading and planning are done (or failed); for the tests.
    bool isIdle() const { return !m_worker; }

    QComboBox *Format_cmb = nullptr;
    QComboBox *RuleType_cmb = nullptr;
    QRadioButton *After_radio = nullptr;
    QRadioButton *Before_radio = nullptr;
    QCheckBox *Merge_chk = nullptr;
    QCheckBox *Covered_chk = nullptr;
    QCheckBox *Policy_chk = nullptr;
    QProgressBar *Progress_bar = nullptr;
    QLabel *Counts_lbl = nullptr;
    QPlainTextEdit *Unread_txt = nullptr;
    QDialogButtonBox *Buttons_box = nullptr;

private:
    // Runs `work` on a thread of its own, after stopping the one before; what
    // it returns runs back on the dialog's thread, unless a newer job or a
    // cancel came first.
    void run(const std::function<std::function<void()>(const LongRun &)> &work);
    void stop();
    void readFile(std::optional<ListFormat> format);
    ImportOptions options() const;
    void plan();
    void showCounts();
    void showError(const QString &message);
    void accept() override;
    void reject() override;

    RuleListModel &m_rules;
    platform::Dialogs &m_dialogs;
    QString m_path;
    RuleLineStore m_existing; // the rules as they stood when the dialog opened
    std::shared_ptr<const AddressList> m_list;
    std::shared_ptr<const ImportPlan> m_plan;
    QThread *m_worker = nullptr;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    quint64 m_job = 0; // results of an older job are dropped
};

} // namespace vellamor
