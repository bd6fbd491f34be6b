#include "VellamorDesktopMain.h"

#include <QCheckBox>
#include <QListWidget>

namespace vellamor {

namespace {

// The text that stands for all of the machine's addresses.
const QString kAllAddresses = QStringLiteral("0.0.0.0");

} // namespace

void TForm3::FillSystemIPs(QListWidget *list)
{
    list->clear();
    if (!m_platform.addressTable)
        return;
    // The system's order, every row as often as the system has it: the
    // administrator should recognise the list from the system's own tools.
    for (const std::string &address : m_platform.addressTable->ipv4Addresses())
        list->addItem(QString::fromStdString(address));
}

void TForm3::MoveSelectedIPs(QListWidget *source, QListWidget *target)
{
    // Which entries move is decided before any is removed: taking out the
    // selected entry makes the list select its neighbour, which the user never
    // picked and which must stay where it is.
    QList<QListWidgetItem *> picked;
    for (int row = 0; row < source->count(); ++row) {
        if (source->item(row)->isSelected())
            picked.append(source->item(row));
    }
    for (QListWidgetItem *item : picked) {
        target->addItem(item->text());
        delete source->takeItem(source->row(item));
    }
    source->clearSelection();
}

void TForm3::SpeedButton1Click()
{
    MoveSelectedIPs(SystemIPS, SelectedIPs);
}

void TForm3::SpeedButton2Click()
{
    MoveSelectedIPs(SelectedIPs, SystemIPS);
}

void TForm3::SpeedButton3Click()
{
    MoveSelectedIPs(SystemIPS2, SelectedIPs2);
}

void TForm3::SpeedButton4Click()
{
    MoveSelectedIPs(SelectedIPs2, SystemIPS2);
}

namespace {

// Ticked: the service listens on all addresses, which its list says with the
// single entry "0.0.0.0"; the addresses chosen before are simply dropped.
// Cleared: nothing is chosen and every machine address is offered again.
void switchAllAddresses(TForm3 &w, QCheckBox *box, QListWidget *system, QListWidget *chosen)
{
    chosen->clear();
    if (box->isChecked())
        chosen->addItem(kAllAddresses);
    else
        w.FillSystemIPs(system);
}

} // namespace

void TForm3::ActivateOnAll_chkClick()
{
    switchAllAddresses(*this, ActivateOnAll_chk, SystemIPS, SelectedIPs);
}

void TForm3::ActivateOnAll_chk2Click()
{
    switchAllAddresses(*this, ActivateOnAll_chk2, SystemIPS2, SelectedIPs2);
}

} // namespace vellamor
