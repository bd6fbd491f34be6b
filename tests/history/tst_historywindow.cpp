// The history window as an administrator uses it: the saves newest first
// under "Unsaved changes", the diff of the selected save with its numbers and
// the password hidden, Restore handing the save's files on, and the diff's
// colours legible in a light and a dark palette.

#include "colours/PanelColours.h"
#include "dialogs/HistoryWindow.h"
#include "models/DiffLineModel.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace vellamor;

namespace {

QByteArray config(const QByteArray &port, const QByteArray &password)
{
    return "<global><ACC><port>" + port + "</port></ACC><Management><password>" + password +
           "</password></Management></global>";
}

const ConfigSnapshot kFirst{config("8080", "first-secret"), QByteArray("POLICY REJECT\r\n10.0.0.1\r\n10.0.0.2\r\n")};
const ConfigSnapshot kSecond{config("8081", "second-secret"), QByteArray("POLICY REJECT\r\n10.0.0.1\r\n10.0.0.3\r\n")};
const ConfigSnapshot kWindow{config("9090", "window-secret"), kSecond.rules};

QStringList rowsOf(const QAbstractItemModel &model)
{
    QStringList rows;
    for (int r = 0; r < model.rowCount(); ++r)
        rows << model.index(r, 0).data().toString();
    return rows;
}

} // namespace

class TestHistoryWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<ConfigHistory> m_history;
    bool m_differs = false;

    std::unique_ptr<HistoryWindow> open()
    {
        return std::make_unique<HistoryWindow>(
            *m_history, [] { return kWindow; }, [this] { return m_differs; });
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_history = std::make_unique<ConfigHistory>(m_dir.path());
        m_history->setAuthor(QStringLiteral("ann"));
        QVERIFY(m_history->recordFound(kFirst).ok());
        QVERIFY(m_history->recordSave(kSecond).ok());
    }

    void listsNewestFirst_data()
    {
        QTest::addColumn<bool>("differs");
        QTest::newRow("saved") << false;
        QTest::newRow("unsaved") << true;
    }
    void listsNewestFirst()
    {
        QFETCH(bool, differs);
        m_differs = differs;
        auto window = open();
        QStringList expected{describeChange(kFirst, kSecond), QString(ConfigHistory::kFirstRecordMessage)};
        QStringList firsts{QStringLiteral("ann"), QStringLiteral("ann")};
        if (differs) {
            expected.prepend(QString());
            firsts.prepend(QStringLiteral("Unsaved changes"));
        }
        QStringList messages, authorsOrTitle;
        for (int i = 0; i < window->HistoryList->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *item = window->HistoryList->topLevelItem(i);
            messages << item->text(2);
            authorsOrTitle << (item->text(1).isEmpty() ? item->text(0) : item->text(1));
        }
        QCOMPARE(messages, expected);
        QCOMPARE(authorsOrTitle, firsts);
        QCOMPARE(window->HistoryList->currentItem(), window->HistoryList->topLevelItem(0));
        QCOMPARE(window->HistoryRestore->isEnabled(), !differs);
    }

    // Each row: the entry selected (0 newest), the comparison, and lines the
    // diff must hold, numbered "old new sign text".
    void showsNumberedMaskedDiff_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<int>("compare");
        QTest::addColumn<QStringList>("wanted");
        QTest::newRow("with the save before")
            << 0 << 0
            << QStringList{"rules.txt", "3 - 10.0.0.2", "3 + 10.0.0.3", "2 2   10.0.0.1", "<port>8081</port>"};
        QTest::newRow("with the window") << 0 << 1 << QStringList{"gc.xml", "<port>9090</port>"};
        QTest::newRow("the first, with nothing") << 1 << 0 << QStringList{"1 + POLICY REJECT", "3 + 10.0.0.2"};
    }
    void showsNumberedMaskedDiff()
    {
        QFETCH(int, entry);
        QFETCH(int, compare);
        QFETCH(QStringList, wanted);
        m_differs = false;
        auto window = open();
        window->HistoryList->setCurrentItem(window->HistoryList->topLevelItem(entry));
        window->HistoryCompare->setCurrentIndex(compare);
        const QString text = rowsOf(*window->diffModel()).join(u'\n');
        for (const QString &line : wanted) {
            QRegularExpression pattern(
                QRegularExpression::escape(line).replace(QStringLiteral("\\ "), QStringLiteral("\\s+")));
            QVERIFY2(text.contains(pattern), qPrintable(line + QStringLiteral(" not in\n") + text));
        }
        QVERIFY(!text.contains(QStringLiteral("secret")));
        QVERIFY(text.contains(QStringLiteral("********")));
    }

    void restoreHandsOnTheSelectedSave()
    {
        m_differs = true;
        auto window = open();
        QSignalSpy restored(window.get(), &HistoryWindow::restoreRequested);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->HistoryList->setCurrentItem(window->HistoryList->topLevelItem(2));
        QTest::mouseClick(window->HistoryRestore, Qt::LeftButton);
        QCOMPARE(restored.size(), 1);
        QCOMPARE(restored[0][0].value<ConfigSnapshot>(), kFirst);
        QCOMPARE(restored[0][1].value<HistoryEntry>().message, QString(ConfigHistory::kFirstRecordMessage));
    }

    void diffColoursStayLegible_data()
    {
        QTest::addColumn<QPalette>("palette");
        QPalette dark;
        for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base})
            dark.setColor(role, QColor(30, 30, 30));
        dark.setColor(QPalette::Text, QColor(232, 232, 232));
        QTest::newRow("light") << QApplication::style()->standardPalette();
        QTest::newRow("dark") << dark;
    }
    void diffColoursStayLegible()
    {
        QFETCH(QPalette, palette);
        using Kind = DiffLineModel::RowKind;
        for (Kind kind : {Kind::Note, Kind::File, Kind::Hunk, Kind::Context, Kind::Removed, Kind::Added})
            QVERIFY(contrastRatio(DiffLineModel::colour(kind, palette), palette.color(QPalette::Base)) >=
                    kMinimumContrast);
    }
};

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
