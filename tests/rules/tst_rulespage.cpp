#include "Controls.h"
#include "FakePlatform.h"
#include "common/AppInfo.h"
#include "common/Error.h"
#include "dialogs/Rule.h"
#include "rules/RuleListModel.h"
#include "window/VellamorDesktopMain.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <sys/stat.h>

using namespace vellamor;
using vellamor::test::control;
using vellamor::test::FakePlatform;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeAll(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

QStringList entries(const TForm3 &window)
{
    QStringList texts;
    const QAbstractItemModel *rules = control<RuleListView>(window, "RulesList")->model();
    for (int row = 0; row < rules->rowCount(); ++row)
        texts << rules->index(row, 0).data().toString();
    return texts;
}

void clickRadio(QRadioButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

void typeInto(QLineEdit *field, const QString &keys)
{
    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(field->width() - 4, field->height() / 2));
    QTest::keyClicks(field, keys);
}

// Clicks "Add Rule" on the Security page and works the dialog it opens.
void addRule(TForm3 &window, const std::function<void(TForm33 &)> &steps)
{
    bool opened = false;
    QTimer::singleShot(0, &window, [&] {
        if (auto *dialog = qobject_cast<TForm33 *>(QApplication::activeModalWidget())) {
            opened = true;
            steps(*dialog);
        }
        // Never leave the modal loop waiting on a failed step.
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    QTest::mouseClick(control<QPushButton>(window, "Button2"), Qt::LeftButton);
    QVERIFY(opened);
}

void composeSingleIp(TForm33 &dialog, const QString &address, const QString &typeKey)
{
    clickRadio(control<QRadioButton>(dialog, "RadioButton1"));
    typeInto(control<QLineEdit>(dialog, "singleip"), address);
    QTest::keyClicks(control<QComboBox>(dialog, "RuleType"), typeKey);
    QTest::mouseClick(control<QPushButton>(dialog, "Button3"), Qt::LeftButton);
}

const QByteArray kTwoRules = "POLICY ACCEPT\r\nREJECT 10.0.0.0/8\r\nACCEPT 192.168.1.10-20\r\n";

} // namespace

class TestRulesPage : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakePlatform> m_fake;
    std::unique_ptr<TForm3> m_window;

    QString rulesPath() const { return m_fake->path(QStringLiteral("rules.txt")); }

    // Builds the window and runs its start-up loading, as the program does.
    void start()
    {
        m_window = std::make_unique<TForm3>(m_fake->platform());
        m_window->FormCreate();
    }

private Q_SLOTS:
    void init()
    {
        m_fake = std::make_unique<FakePlatform>();
        QVERIFY(m_fake->tempDir.isValid());
    }

    void cleanup()
    {
        m_window.reset();
        m_fake.reset();
    }

    // rules.txt as found, the page it gives, and the file a Save writes back.
    void loadAndSave_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("acceptAll");
        QTest::addColumn<QStringList>("rules");
        QTest::addColumn<QByteArray>("saved");

        QTest::newRow("missing") << false << QByteArray() << false << QStringList() << QByteArray("POLICY REJECT\r\n");
        QTest::newRow("empty file") << true << QByteArray() << false << QStringList()
                                    << QByteArray("POLICY REJECT\r\n");
        QTest::newRow("policy first, two rules")
            << true << kTwoRules << true << QStringList{"REJECT 10.0.0.0/8", "ACCEPT 192.168.1.10-20"} << kTwoRules;
        QTest::newRow("policy lines anywhere, last decides")
            << true << QByteArray("A 1\r\nPOLICY ACCEPT\r\nB 2\r\nPOLICY REJECT\r\nC 3\r\n") << false
            << QStringList{"A 1", "B 2", "C 3"} << QByteArray("POLICY REJECT\r\nA 1\r\nB 2\r\nC 3\r\n");
        QTest::newRow("unknown word and short line leave the policy")
            << true << QByteArray("POLICY ACCEPT\nPOLICY DENY\nPOLICY ACCEP\nPOLICY\nX\n") << true << QStringList{"X"}
            << QByteArray("POLICY ACCEPT\r\nX\r\n");
        QTest::newRow("character 7 and the tail are not read")
            << true << QByteArray("POLICY-ACCEPTED\n") << true << QStringList() << QByteArray("POLICY ACCEPT\r\n");
        QTest::newRow("lower case is a rule") << true << QByteArray("policy accept\nPolicy REJECT\n") << false
                                              << QStringList{"policy accept", "Policy REJECT"}
                                              << QByteArray("POLICY REJECT\r\npolicy accept\r\nPolicy REJECT\r\n");
        QTest::newRow("no policy line") << true << QByteArray("ACCEPT 1.2.3.4\r\n") << false
                                        << QStringList{"ACCEPT 1.2.3.4"}
                                        << QByteArray("POLICY REJECT\r\nACCEPT 1.2.3.4\r\n");
        QTest::newRow("LF line ends, last line without one")
            << true << QByteArray("POLICY ACCEPT\nREJECT 1.2.3.4\nACCEPT 0.0.0.0") << true
            << QStringList{"REJECT 1.2.3.4", "ACCEPT 0.0.0.0"}
            << QByteArray("POLICY ACCEPT\r\nREJECT 1.2.3.4\r\nACCEPT 0.0.0.0\r\n");
        QTest::newRow("empty lines are entries")
            << true << QByteArray("POLICY REJECT\r\n\r\nA\r\n\r\n") << false << QStringList{"", "A", ""}
            << QByteArray("POLICY REJECT\r\n\r\nA\r\n\r\n");
        QTest::newRow("a CR counts as line end only right before LF")
            << true << QByteArray("A\rB\r\r\nC\r") << false << QStringList{"A\rB\r", "C\r"}
            << QByteArray("POLICY REJECT\r\nA\rB\r\r\nC\r\r\n");
        QTest::newRow("duplicates kept") << true << QByteArray("X\r\nX\r\n") << false << QStringList{"X", "X"}
                                         << QByteArray("POLICY REJECT\r\nX\r\nX\r\n");

        // Lines are read whole whatever their length.
        for (int length : {254, 255, 256, 600, 5000}) {
            const QByteArray line = "ACCEPT " + QByteArray(length - 7, 'x');
            const QByteArray file = "POLICY ACCEPT\r\n" + line + "\r\nREJECT 0.0.0.0\r\n";
            QTest::addRow("line of %d characters", length)
                << true << file << true << QStringList{QString::fromLatin1(line), "REJECT 0.0.0.0"} << file;
        }

        // Text outside ASCII: shown in the system code page, written back as read.
#ifdef Q_OS_WIN
        // Code page 1252, Wine's under every Unix locale: every byte has a character.
        const QByteArray ansi = "POLICY REJECT\r\n# caf\xE9\r\n";
        QTest::newRow("code page text") << true << ansi << false << QStringList{QStringLiteral("# caf\u00E9")} << ansi;
        const QByteArray utf8 = "POLICY REJECT\r\n# caf\xC3\xA9 \x81\r\n";
        QTest::newRow("UTF-8 and an unassigned byte")
            << true << utf8 << false << QStringList{QStringLiteral("# caf\u00C3\u00A9 \u0081")} << utf8;
#else
        const QByteArray utf8 = "POLICY REJECT\r\n# caf\xC3\xA9\r\n";
        QTest::newRow("code page text") << true << utf8 << false << QStringList{QStringLiteral("# caf\u00E9")} << utf8;
        const QByteArray foreign = "POLICY REJECT\r\n# caf\xE9 \xFF\r\n";
        QTest::newRow("bytes the code page cannot show")
            << true << foreign << false << QStringList{QStringLiteral("# caf\uFFFD \uFFFD")} << foreign;
#endif
    }

    void loadAndSave()
    {
        QFETCH(bool, exists);
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, saved);
        if (exists)
            writeAll(rulesPath(), file);
        start();

        QTEST(control<QRadioButton>(*m_window, "PolicyAccept_radio")->isChecked(), "acceptAll");
        QCOMPARE(control<QRadioButton>(*m_window, "PolicyReject_radio")->isChecked(),
                 !control<QRadioButton>(*m_window, "PolicyAccept_radio")->isChecked());
        QTEST(entries(*m_window), "rules");
        QVERIFY(m_fake->dialogs->boxes.isEmpty());

        m_window->SaveRules();
        QCOMPARE(readAll(rulesPath()), saved);

        // What was saved survives further cycles byte for byte.
        for (int cycle = 0; cycle < 2; ++cycle) {
            start();
            m_window->SaveRules();
            QCOMPARE(readAll(rulesPath()), saved);
        }
    }

    // An imported block list: every line listed, and written back unchanged.
    void largeRuleSetRoundTrip()
    {
        QByteArray file = "POLICY ACCEPT\r\n";
        for (int i = 0; i < 100000; ++i) {
            const QByteArray n = QByteArray::number(i);
            switch (i % 5) {
            case 0:
                file += "REJECT 10." + n + ".0.0/24\r\n";
                break;
            case 1:
                file += "ACCEPT 192.168.1.10-" + n + "\r\n";
                break;
            case 2:
                file += "\r\n";
                break;
            case 3:
                file += "# r\xE9gle " + n + "\r\n";
                break;
            default:
                file += "REJECT " + QByteArray(300, 'x') + n + "\r\n";
                break;
            }
        }
        writeAll(rulesPath(), file);
        start();
        QCOMPARE(control<RuleListView>(*m_window, "RulesList")->model()->rowCount(), 100000);
        QCOMPARE(control<RuleListView>(*m_window, "RulesList")->model()->index(99999, 0).data().toString(),
                 "REJECT " + QString(300, 'x') + "99999");
        m_window->SaveRules();
        QVERIFY(readAll(rulesPath()) == file);
    }

    // A rules.txt that cannot be read is passed over without a word; one that
    // could block start-up or fill the memory is refused with the reason.
    void unreadableFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("error");
        QTest::newRow("directory") << "directory" << QString();
#ifdef Q_OS_UNIX
        QTest::newRow("FIFO") << "fifo"
                              << "it is not a regular file.";
        QTest::newRow("link to a device") << "device"
                                          << "it is not a regular file.";
#endif
        QTest::newRow("larger than 32 MiB") << "large"
                                            << "it is larger than 32 MiB.";
        QTest::newRow("more lines than the list holds") << "lines"
                                                        << "it holds more than 4,000,000 lines.";
    }

    void unreadableFile()
    {
        QFETCH(QString, kind);
        QFETCH(QString, error);
        if (kind == "directory")
            QVERIFY(QDir().mkdir(rulesPath()));
#ifdef Q_OS_UNIX
        else if (kind == "fifo")
            QCOMPARE(mkfifo(QFile::encodeName(rulesPath()).constData(), 0600), 0);
        else if (kind == "device")
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), rulesPath()));
#endif
        else if (kind == "lines")
            writeAll(rulesPath(), QByteArray(4'000'001, '\n'));
        else // sparse: no disk space taken
            QVERIFY(QFile(rulesPath()).open(QIODevice::WriteOnly) &&
                    QFile::resize(rulesPath(), (qint64(32) << 20) + 1));
        start();
        QStringList boxes;
        for (const test::ShownBox &box : std::as_const(m_fake->dialogs->boxes))
            boxes << box.text;
        QCOMPARE(boxes, error.isEmpty()
                            ? QStringList()
                            : QStringList{"Could not read the rules from \"" + rulesPath() + "\": " + error});
        QVERIFY(control<QRadioButton>(*m_window, "PolicyReject_radio")->isChecked());
        QCOMPARE(control<RuleListView>(*m_window, "RulesList")->model()->rowCount(), 0);
    }

    // rules.txt holds no secret: a new one is as readable as the umask lets
    // it be (the server may run under another account); an existing one
    // keeps its mode.
    void permissions()
    {
#ifdef Q_OS_WIN
        QSKIP("Windows keeps who may read a file in its access list, not in POSIX mode bits");
#endif
        const auto mode = [this] {
            struct stat info
            {
            };
            return stat(QFile::encodeName(rulesPath()).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
        };
        const mode_t oldMask = umask(022);
        start();
        m_window->SaveRules();
        umask(oldMask);
        QCOMPARE(mode(), 0644);
        QCOMPARE(chmod(QFile::encodeName(rulesPath()).constData(), 0640), 0);
        m_window->SaveRules();
        QCOMPARE(mode(), 0640);
    }

    void policyChoiceReachesTheFile()
    {
        writeAll(rulesPath(), "POLICY REJECT\r\nA\r\n");
        start();
        clickRadio(control<QRadioButton>(*m_window, "PolicyAccept_radio"));
        QVERIFY(control<QRadioButton>(*m_window, "PolicyAccept_radio")->isChecked());
        QVERIFY(!control<QRadioButton>(*m_window, "PolicyReject_radio")->isChecked());
        m_window->SaveRules();
        QCOMPARE(readAll(rulesPath()), QByteArray("POLICY ACCEPT\r\nA\r\n"));
    }

    void clearThenSave()
    {
        writeAll(rulesPath(), kTwoRules);
        start();
        QTest::mouseClick(control<QPushButton>(*m_window, "Button3"), Qt::LeftButton);
        QCOMPARE(control<RuleListView>(*m_window, "RulesList")->model()->rowCount(), 0);
        QVERIFY(control<QRadioButton>(*m_window, "PolicyAccept_radio")->isChecked());
        m_window->SaveRules();
        QCOMPARE(readAll(rulesPath()), QByteArray("POLICY ACCEPT\r\n"));
    }

    void deleteRemovesTheSelectedEntryOnly()
    {
        writeAll(rulesPath(), "POLICY REJECT\r\nA\r\nB\r\nC\r\n");
        start();
        control<QAction>(*m_window, "Delete1")->trigger();
        QCOMPARE(entries(*m_window), QStringList({"A", "B", "C"}));

        control<RuleListView>(*m_window, "RulesList")
            ->setCurrentIndex(control<RuleListView>(*m_window, "RulesList")->model()->index(1, 0));
        control<QAction>(*m_window, "Delete1")->trigger();
        QCOMPARE(entries(*m_window), QStringList({"A", "C"}));
        m_window->SaveRules();
        QCOMPARE(readAll(rulesPath()), QByteArray("POLICY REJECT\r\nA\r\nC\r\n"));
    }

    void addedRulesGoToTheEnd()
    {
        writeAll(rulesPath(), kTwoRules);
        start();
        addRule(*m_window, [](TForm33 &d) { composeSingleIp(d, QStringLiteral("10.1.2.3"), QStringLiteral("R")); });
        addRule(*m_window, [](TForm33 &d) { composeSingleIp(d, QStringLiteral("10.1.2.3"), QStringLiteral("R")); });
        addRule(*m_window, [](TForm33 &d) {
            clickRadio(control<QRadioButton>(d, "RadioButton3"));
            typeInto(control<QLineEdit>(d, "range1"), QStringLiteral("192.168.1.10"));
            typeInto(control<QLineEdit>(d, "range2"), QStringLiteral("20"));
            QTest::keyClicks(control<QComboBox>(d, "RuleType"), QStringLiteral("A"));
            QTest::mouseClick(control<QPushButton>(d, "Button3"), Qt::LeftButton);
        });
        QCOMPARE(entries(*m_window), QStringList({"REJECT 10.0.0.0/8", "ACCEPT 192.168.1.10-20", "REJECT 10.1.2.3",
                                                  "REJECT 10.1.2.3", "ACCEPT 192.168.1.10-20"}));
        QVERIFY(m_fake->dialogs->boxes.isEmpty());
        m_window->SaveRules();
        QCOMPARE(readAll(rulesPath()), kTwoRules + "REJECT 10.1.2.3\r\nREJECT 10.1.2.3\r\nACCEPT 192.168.1.10-20\r\n");
    }

    void leavingWithoutARuleAddsNothing_data()
    {
        QTest::addColumn<int>("refusals");
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("cancel at once") << 0 << false;
        QTest::newRow("cancel after refusals") << 3 << false;
        QTest::newRow("close box after a refusal") << 1 << true;
    }

    void leavingWithoutARuleAddsNothing()
    {
        QFETCH(int, refusals);
        QFETCH(bool, closeBox);
        start();
        addRule(*m_window, [&](TForm33 &d) {
            QTest::keyClicks(control<QComboBox>(d, "RuleType"), QStringLiteral("A"));
            clickRadio(control<QRadioButton>(d, "RadioButton2"));
            typeInto(control<QLineEdit>(d, "cidr1"), QStringLiteral("10.0.0.0"));
            for (int i = 0; i < refusals; ++i)
                QTest::mouseClick(control<QPushButton>(d, "Button3"), Qt::LeftButton); // no prefix
            if (closeBox)
                d.close();
            else
                QTest::mouseClick(control<QPushButton>(d, "Button2"), Qt::LeftButton);
        });
        QCOMPARE(control<RuleListView>(*m_window, "RulesList")->model()->rowCount(), 0);
        QCOMPARE(m_fake->dialogs->boxes.size(), refusals);
        for (const test::ShownBox &box : std::as_const(m_fake->dialogs->boxes))
            QCOMPARE(box.text, QStringLiteral("Invalid CIDR."));
    }

    void secondOpeningStartsFresh()
    {
        start();
        addRule(*m_window, [](TForm33 &d) {
            QTest::keyClicks(control<QComboBox>(d, "RuleType"), QStringLiteral("A"));
            clickRadio(control<QRadioButton>(d, "RadioButton3"));
            typeInto(control<QLineEdit>(d, "range1"), QStringLiteral("1.2.3.4"));
            typeInto(control<QLineEdit>(d, "range2"), QStringLiteral("9"));
            QTest::mouseClick(control<QPushButton>(d, "Button2"), Qt::LeftButton);
        });
        addRule(*m_window, [](TForm33 &d) {
            QVERIFY(control<QRadioButton>(d, "RadioButton4")->isChecked());
            QCOMPARE(control<QComboBox>(d, "RuleType")->currentIndex(), -1);
            QVERIFY(d.RuleLine.isEmpty());
            for (QLineEdit *field :
                 {control<QLineEdit>(d, "singleip"), control<QLineEdit>(d, "cidr1"), control<QLineEdit>(d, "range1")})
                QCOMPARE(field->displayText(), QStringLiteral("   .   .   .   "));
            for (QLineEdit *field : {control<QLineEdit>(d, "cidr2"), control<QLineEdit>(d, "range2")})
                QCOMPARE(field->displayText(), QStringLiteral("   "));
            QVERIFY(!control<QLineEdit>(d, "range1")->isEnabled());
            QTest::mouseClick(control<QPushButton>(d, "Button2"), Qt::LeftButton);
        });
        QCOMPARE(control<RuleListView>(*m_window, "RulesList")->model()->rowCount(), 0);
    }

    // A rule set that cannot be written stops with the file's name and the
    // system's reason, shown in the standard error box by the caller.
    void saveFailureIsReported_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reason");
        QTest::newRow("rules.txt is a directory") << "directory"
                                                  << "directory";
#ifdef Q_OS_WIN
        // Wine's words for ERROR_PATH_NOT_FOUND.
        QTest::newRow("executable directory gone") << "no directory"
                                                   << "Path not found";
#else
        QTest::newRow("executable directory gone") << "no directory"
                                                   << "No such file";
#endif
    }

    void saveFailureIsReported()
    {
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        start();
        m_window->rulesModel()->appendLine("ACCEPT 1.2.3.4");
        if (fault == "directory")
            QVERIFY(QDir().mkdir(rulesPath()));
        else {
            // The start's record of history.git is written whole first, as
            // it would be long before anyone took the folder away.
            m_window->historyArea().finish();
#ifdef Q_OS_WIN
            QSKIP("Windows does not remove a folder that a running program holds open, as the panel holds its own");
#endif
            QVERIFY(m_fake->tempDir.remove());
        }

        QString message;
        try {
            m_window->SaveRules();
            QFAIL("the save did not fail");
        } catch (const Error &e) {
            message = e.message();
        }
        QVERIFY2(message.contains(rulesPath()), qPrintable(message));
        QVERIFY2(message.contains(reason, Qt::CaseInsensitive), qPrintable(message));

        m_window->guarded([this] { m_window->SaveRules(); });
        QCOMPARE(m_fake->dialogs->boxes.size(), 1);
        const test::ShownBox &box = m_fake->dialogs->boxes.first();
        QCOMPARE(box.caption, QString(kApplicationTitle));
        QCOMPARE(box.icon, platform::Icon::Error);
        QVERIFY(box.text.startsWith(message));
        QCOMPARE(QFileInfo(rulesPath()).isFile(), false);
    }
};

QTEST_MAIN(TestRulesPage)
#include "tst_rulespage.moc"
