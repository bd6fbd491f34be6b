#pragma once

#include "rules/AddressList.h"

#include <QDialog>
#include <QList>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vellamor {

class RuleListModel;
namespace platform {
class Dialogs;
}

// Export of the Security page's rules, all or the selected ones, of one type
// or both, as a plain CIDR list, a P2P list or rules.txt lines. The file is
// written with the Save's checked atomic writer: a failed export leaves the
// file that was there.
class ExportDialog : public QDialog
{
    Q_OBJECT

public:
    // `selectedRows` are rows of `rules`; `policy` is what a rules.txt export
    // names as its policy line.
    ExportDialog(const RuleListModel &rules, QList<int> selectedRows, Policy policy, platform::Dialogs &dialogs,
                 const QString &startDirectory, QWidget *parent = nullptr);

    QRadioButton *All_radio = nullptr;
    QRadioButton *Selected_radio = nullptr;
    QComboBox *Types_cmb = nullptr;
    QComboBox *Format_cmb = nullptr;
    QLineEdit *Folder_txt = nullptr;
    QPushButton *Browse_btn = nullptr;
    QLineEdit *FileName_txt = nullptr;
    QLabel *Counts_lbl = nullptr;
    QDialogButtonBox *Buttons_box = nullptr;

private:
    QString chosenPath() const; // the folder and the file name as the fields hold them
    ExportResult compose() const;
    void showCounts();
    void accept() override;

    const RuleListModel &m_rules;
    QList<int> m_selected;
    Policy m_policy;
    platform::Dialogs &m_dialogs;
};

} // namespace vellamor
