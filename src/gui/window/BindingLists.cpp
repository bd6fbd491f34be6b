#include "VellamorDesktopMain.h"

#include "bindings/SystemAddresses.h"

#include <QCheckBox>
#include <QListWidget>
#include <algorithm>

namespace vellamor {

void TForm3::FillSystemIPs(QListWidget *list)
{
    list->clear();
    if (m_platform.addressTable)
        list->addItems(systemAddresses(*m_platform.addressTable));
}

void TForm3::MoveSelectedIPs(QListWidget *source, QListWidget *target)
{
    // Which entries move is decided before any is removed: taking out the
    // selected entry makes the list select its neighbour, which the user never
    // picked and which must stay where it is. The selection names them
    // directly, so a click costs the same however long the list is.
    QList<QListWidgetItem *> picked = source->selectedItems();
    std::sort(picked.begin(), picked.end(),
              [source](const QListWidgetItem *a, const QListWidgetItem *b) { return source->row(a) < source->row(b); });
    for (QListWidgetItem *item : std::as_const(picked)) {
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
        chosen->addItem(QString(kAllAddresses));
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
