#include "BindingLists.h"

#include "PageParts.h"
#include "VellamorDesktopMain.h"
#include "bindings/SystemAddresses.h"
#include "widgets/PanelStyle.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace vellamor {

using namespace pageparts;

void BindingLists::fill(QListWidget *list) const
{
    list->clear();
    if (m_window.platform().addressTable)
        list->addItems(systemAddresses(*m_window.platform().addressTable));
}

void BindingLists::move(QListWidget *source, QListWidget *target) const
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

void BindingLists::switchAll(QCheckBox *box, QListWidget *system, QListWidget *chosen) const
{
    // Ticked: the service listens on all addresses, which its list says with
    // the single entry "0.0.0.0"; the addresses chosen before are simply
    // dropped. Cleared: nothing is chosen and every machine address is
    // offered again.
    chosen->clear();
    if (box->isChecked())
        chosen->addItem(QString(kAllAddresses));
    else
        m_window.FillSystemIPs(system);
}

QGroupBox *BindingLists::buildGroup(const char *name, const QString &title, const char *const names[7],
                                    const Controls &out, QWidget *parent)
{
    auto *group = named(new QGroupBox(title, parent), name);
    auto *grid = new QGridLayout(group);
    grid->setHorizontalSpacing(6);
    out.systemLabel = named(new QLabel(QObject::tr("IPs On this System"), group), names[0]);
    out.system = named(new QListWidget(group), names[1]);
    out.add = moveButton(names[2], ">", group);
    out.remove = moveButton(names[3], "<", group);
    out.chosenLabel = named(new QLabel(QObject::tr("IPs To use for this port"), group), names[4]);
    out.chosen = named(new QListWidget(group), names[5]);
    out.all = named(new QCheckBox(QObject::tr("Activate on all Ips"), group), names[6]);
    for (QListWidget *list : {out.system, out.chosen}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        // Every entry is one line of text: the list places a thousand of them
        // without measuring each one again after every move.
        list->setUniformItemSizes(true);
        list->setMinimumHeight(60);
        PanelStyle::paintScrollBarsAlone(list);
    }
    auto *moves = new QVBoxLayout;
    moves->addStretch(1);
    moves->addWidget(out.add);
    moves->addWidget(out.remove);
    moves->addStretch(1);
    grid->addWidget(out.systemLabel, 0, 0);
    grid->addWidget(out.chosenLabel, 0, 2);
    grid->addWidget(out.system, 1, 0);
    grid->addLayout(moves, 1, 1);
    grid->addWidget(out.chosen, 1, 2);
    grid->addWidget(out.all, 2, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);
    return group;
}

void TForm3::FillSystemIPs(QListWidget *list)
{
    m_bindings.fill(list);
}

void TForm3::MoveSelectedIPs(QListWidget *source, QListWidget *target)
{
    m_bindings.move(source, target);
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

void TForm3::ActivateOnAll_chkClick()
{
    m_bindings.switchAll(ActivateOnAll_chk, SystemIPS, SelectedIPs);
}

void TForm3::ActivateOnAll_chk2Click()
{
    m_bindings.switchAll(ActivateOnAll_chk2, SystemIPS2, SelectedIPs2);
}

} // namespace vellamor
