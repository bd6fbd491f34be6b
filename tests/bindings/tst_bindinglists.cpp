#include "Controls.h"
#include "FakePlatform.h"
#include "window/VellamorDesktopMain.h"

#include <QCheckBox>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

using namespace vellamor;
using vellamor::test::control;
using vellamor::test::FakePlatform;

namespace {

QStringList entries(const QListWidget *list)
{
    QStringList out;
    for (int row = 0; row < list->count(); ++row)
        out.append(list->item(row)->text());
    return out;
}

QStringList selectedEntries(const QListWidget *list)
{
    QStringList out;
    for (const QListWidgetItem *item : list->selectedItems())
        out.append(item->text());
    return out;
}

} // namespace

// Selects an entry with the mouse; the test ends here when that fails.
#define CLICK_ENTRY(list, text)                                                                                        \
    do {                                                                                                               \
        clickEntry(list, text);                                                                                        \
        if (QTest::currentTestFailed())                                                                                \
            return;                                                                                                    \
    } while (false)

// The address lists of both service pages, driven through the real window with
// the mouse and a scripted address table.
class TestBindingLists : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakePlatform> m_fake;
    std::unique_ptr<TForm3> m_window;

    template<typename T> T *child(const QString &name)
    {
        T *found = m_window->findChild<T *>(name);
        if (!found)
            qFatal("no control named %s", qPrintable(name));
        return found;
    }

    // A window showing the page of the control `name`, its system lists
    // filled from the table as start-up fills them.
    void openWindowOn(const QString &name, const QStringList &table)
    {
        m_fake = std::make_unique<FakePlatform>();
        m_fake->addressTable->addresses.clear();
        for (const QString &address : table)
            m_fake->addressTable->addresses.push_back(address.toStdString());
        m_window = std::make_unique<TForm3>(m_fake->platform());
        m_window->FillSystemIPs(control<QListWidget>(*m_window, "SystemIPS"));
        m_window->FillSystemIPs(control<QListWidget>(*m_window, "SystemIPS2"));
        auto *widget = child<QWidget>(name);
        control<QTabWidget>(*m_window, "PageControl1")
            ->setCurrentWidget(control<QWidget>(*m_window, "TabSheet4Config"));
        for (QWidget *page = widget; page; page = page->parentWidget()) {
            if (control<QTabWidget>(*m_window, "PageControl2")->indexOf(page) >= 0)
                control<QTabWidget>(*m_window, "PageControl2")->setCurrentWidget(page);
        }
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void clickEntry(QListWidget *list, const QString &text)
    {
        const QList<QListWidgetItem *> found = list->findItems(text, Qt::MatchExactly);
        QVERIFY(!found.isEmpty());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
        QCOMPARE(selectedEntries(list), QStringList{text});
    }

    void clickBox(QCheckBox *box)
    {
        // The indicator, not the middle of a box that the layout stretched.
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }

private Q_SLOTS:
    void cleanup()
    {
        m_window.reset();
        m_fake.reset();
    }

    void fillSystemIPs_data()
    {
        QTest::addColumn<QStringList>("table");
        QTest::newRow("loopback only") << QStringList{"127.0.0.1"};
        QTest::newRow("two adapters in the system's order") << QStringList{"192.168.1.20", "127.0.0.1", "10.0.0.5"};
        QTest::newRow("duplicates and 0.0.0.0 kept") << QStringList{"10.0.0.5", "0.0.0.0", "10.0.0.5"};
        QTest::newRow("table refused") << QStringList{};
    }

    void fillSystemIPs()
    {
        QFETCH(QStringList, table);
        openWindowOn(QStringLiteral("SystemIPS"), table);

        for (QListWidget *list :
             {control<QListWidget>(*m_window, "SystemIPS"), control<QListWidget>(*m_window, "SystemIPS2")}) {
            QCOMPARE(entries(list), table);
            // A refill replaces what the list held.
            list->addItem(QStringLiteral("stale"));
            m_window->FillSystemIPs(list);
            QCOMPARE(entries(list), table);
        }
    }

    void moveButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::newRow("application >") << "SpeedButton1"
                                       << "SystemIPS"
                                       << "SelectedIPs";
        QTest::newRow("application <") << "SpeedButton2"
                                       << "SelectedIPs"
                                       << "SystemIPS";
        QTest::newRow("management >") << "SpeedButton3"
                                      << "SystemIPS2"
                                      << "SelectedIPs2";
        QTest::newRow("management <") << "SpeedButton4"
                                      << "SelectedIPs2"
                                      << "SystemIPS2";
    }

    void moveButtons()
    {
        QFETCH(QString, button);
        QFETCH(QString, source);
        QFETCH(QString, target);
        openWindowOn(button, {});
        auto *from = child<QListWidget>(source);
        auto *to = child<QListWidget>(target);
        auto *move = child<QToolButton>(button);
        from->addItems({"10.0.0.1", "10.0.0.2", "10.0.0.3"});
        to->addItems({"10.0.0.9", "0.0.0.0"});
        CLICK_ENTRY(to, QStringLiteral("0.0.0.0"));

        QTest::mouseClick(move, Qt::LeftButton);
        QCOMPARE(entries(from), (QStringList{"10.0.0.1", "10.0.0.2", "10.0.0.3"}));
        QCOMPARE(entries(to), (QStringList{"10.0.0.9", "0.0.0.0"}));

        CLICK_ENTRY(from, QStringLiteral("10.0.0.2"));
        QTest::mouseClick(move, Qt::LeftButton);
        QCOMPARE(entries(from), (QStringList{"10.0.0.1", "10.0.0.3"}));
        QCOMPARE(entries(to), (QStringList{"10.0.0.9", "0.0.0.0", "10.0.0.2"}));
        QCOMPARE(selectedEntries(from), QStringList{});
        QCOMPARE(selectedEntries(to), QStringList{"0.0.0.0"});

        // Nothing is selected any more: a second click moves nothing.
        QTest::mouseClick(move, Qt::LeftButton);
        QCOMPARE(entries(from), (QStringList{"10.0.0.1", "10.0.0.3"}));
        QCOMPARE(entries(to), (QStringList{"10.0.0.9", "0.0.0.0", "10.0.0.2"}));

        // No check of the text: the same address may stand twice.
        CLICK_ENTRY(from, QStringLiteral("10.0.0.1"));
        to->addItem(QStringLiteral("10.0.0.1"));
        QTest::mouseClick(move, Qt::LeftButton);
        QCOMPARE(entries(to), (QStringList{"10.0.0.9", "0.0.0.0", "10.0.0.2", "10.0.0.1", "10.0.0.1"}));
    }

    void activateOnAll_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("add");
        QTest::newRow("application") << "ActivateOnAll_chk"
                                     << "SystemIPS"
                                     << "SelectedIPs"
                                     << "SpeedButton1";
        QTest::newRow("management") << "ActivateOnAll_chk2"
                                    << "SystemIPS2"
                                    << "SelectedIPs2"
                                    << "SpeedButton3";
    }

    void activateOnAll()
    {
        QFETCH(QString, box);
        QFETCH(QString, system);
        QFETCH(QString, chosen);
        QFETCH(QString, add);
        const QStringList table{"127.0.0.1", "10.0.0.5", "192.168.1.20", "172.16.0.1"};
        openWindowOn(box, table);
        auto *all = child<QCheckBox>(box);
        auto *systemList = child<QListWidget>(system);
        auto *chosenList = child<QListWidget>(chosen);
        auto *addButton = child<QToolButton>(add);
        for (const char *address : {"10.0.0.5", "192.168.1.20"}) {
            CLICK_ENTRY(systemList, QString::fromLatin1(address));
            QTest::mouseClick(addButton, Qt::LeftButton);
        }
        QCOMPARE(entries(chosenList), (QStringList{"10.0.0.5", "192.168.1.20"}));

        // Ticked: all addresses, and the two chosen before are in neither list.
        clickBox(all);
        QVERIFY(all->isChecked());
        QCOMPARE(entries(chosenList), QStringList{"0.0.0.0"});
        QCOMPARE(entries(systemList), (QStringList{"127.0.0.1", "172.16.0.1"}));

        // The box locks nothing.
        CLICK_ENTRY(systemList, QStringLiteral("172.16.0.1"));
        QTest::mouseClick(addButton, Qt::LeftButton);
        QCOMPARE(entries(chosenList), (QStringList{"0.0.0.0", "172.16.0.1"}));
        QVERIFY(all->isChecked());

        // Cleared: nothing chosen, every machine address offered again.
        clickBox(all);
        QVERIFY(!all->isChecked());
        QCOMPARE(entries(chosenList), QStringList{});
        QCOMPARE(entries(systemList), table);
    }
};

QTEST_MAIN(TestBindingLists)
#include "tst_bindinglists.moc"
