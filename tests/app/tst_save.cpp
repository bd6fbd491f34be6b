// Save as the administrator uses it: the checks and their messages, what is
// written, the rules reload it asks for, and the field helpers around it.

#include "Controls.h"
#include "FakePlatform.h"
#include "ManagementServer.h"
#include "common/Paths.h"
#include "management/Statusthread.h"
#include "rules/RuleListModel.h"
#include "window/VellamorDesktopMain.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#ifdef Q_OS_LINUX
#include <csignal>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace vellamor;
using namespace vellamor::test;

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Test rows name paths by placeholders: <dir> an existing directory, <file> an
// existing file, <missing> nothing at all, <logs> the default log directory.
QString resolve(const FakePlatform &fake, QString text)
{
    text.replace(QLatin1String("<dir>"), fake.path(QStringLiteral("somedir")));
    text.replace(QLatin1String("<file>"), fake.path(QStringLiteral("some.file")));
    text.replace(QLatin1String("<missing>"), fake.path(QStringLiteral("nothing-here")));
    text.replace(QLatin1String("<logs>"), fake.path(QStringLiteral("logs")));
    return text;
}

#ifdef Q_OS_LINUX
// Leaves `room` bytes for new files in the executable directory while it
// lives: on a small file system mounted there, in a mount namespace of this
// thread's own so that a crashed test leaves no mount behind; or, with
// fileSizeLimit, under a limit on how large a file of this process may grow.
class FullDisk
{
public:
    FullDisk(bool fileSizeLimit, const QString &dir) : m_limit(fileSizeLimit), m_dir(QFile::encodeName(dir))
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        static const int unshared =
            unshare(CLONE_NEWNS) || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ? errno : 0;
        if (!m_limit && (unshared || mount("tmpfs", m_dir.constData(), "tmpfs", 0, "size=1m")))
            skipReason = "cannot mount a small file system (root can): " + qt_error_string(unshared ? unshared : errno);
    }
    ~FullDisk()
    {
        makeRoom();
        umount2(m_dir.constData(), MNT_DETACH);
    }

    void fill(qint64 room)
    {
        if (m_limit) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit small{rlim_t(room), m_saved.rlim_max};
            setrlimit(RLIMIT_FSIZE, &small);
            return;
        }
        QFile filler(QFile::decodeName(m_dir + "/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (filler.write(QByteArray(4096, 'f')) == 4096) {
        }
        QVERIFY(filler.resize(filler.size() - room));
    }

    void makeRoom()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        QFile::remove(QFile::decodeName(m_dir + "/filler"));
    }

    QString skipReason;

private:
    bool m_limit;
    QByteArray m_dir;
    rlimit m_saved{};
};
#endif

} // namespace

class TestSave : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void refusals_data();
    void refusals();
    void successfulSaveWritesBothFiles();
    void eachSaveSendsOneReloadToTheSavedTarget();
    void failedWritesReportNoSuccess_data();
    void failedWritesReportNoSuccess();
    void fullDiskLosesNothing_data();
    void fullDiskLosesNothing();
    void leftoversOfAnInterruptedSaveAreRemoved();
    void filesNotShownInFullAreReplacedOnlyWhenConfirmed_data();
    void filesNotShownInFullAreReplacedOnlyWhenConfirmed();
    void digitFilter_data();
    void digitFilter();
    void loadedTextIsNotFiltered();
    void browseButtonsFillTheirField_data();
    void browseButtonsFillTheirField();
};

void TestSave::refusals_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("confirmation");
    QTest::addColumn<QString>("logDir");
    QTest::addColumn<QString>("keyFile");
    QTest::addColumn<QString>("certFile");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("logDirAfter");

    QTest::newRow("empty password") << ""
                                    << ""
                                    << "<dir>"
                                    << ""
                                    << ""
                                    << "Invalid password"
                                    << "<dir>";
    QTest::newRow("empty password, confirmation typed") << ""
                                                        << "secret"
                                                        << "<dir>"
                                                        << ""
                                                        << ""
                                                        << "Invalid password"
                                                        << "<dir>";
    QTest::newRow("confirmation differs in case") << "Secret"
                                                  << "secret"
                                                  << "<dir>"
                                                  << ""
                                                  << ""
                                                  << "Password confirmation failed"
                                                  << "<dir>";
    QTest::newRow("confirmation empty") << "Secret"
                                        << ""
                                        << "<dir>"
                                        << ""
                                        << ""
                                        << "Password confirmation failed"
                                        << "<dir>";
    QTest::newRow("log directory missing") << "pw"
                                           << "pw"
                                           << "<missing>"
                                           << ""
                                           << ""
                                           << "Specified log directory dont exist"
                                           << "<missing>";
    QTest::newRow("log directory is a file") << "pw"
                                             << "pw"
                                             << "<file>"
                                             << ""
                                             << ""
                                             << "Specified log directory dont exist"
                                             << "<file>";
    QTest::newRow("key file missing") << "pw"
                                      << "pw"
                                      << "<dir>"
                                      << "<missing>"
                                      << ""
                                      << "Specified key file dont exist"
                                      << "<dir>";
    QTest::newRow("key file is a directory") << "pw"
                                             << "pw"
                                             << "<dir>"
                                             << "<dir>"
                                             << "<file>"
                                             << "Specified key file dont exist"
                                             << "<dir>";
    QTest::newRow("certificate missing") << "pw"
                                         << "pw"
                                         << "<dir>"
                                         << "<file>"
                                         << "<missing>"
                                         << "Specified certificate file dont exist"
                                         << "<dir>";
    QTest::newRow("certificate is a directory") << "pw"
                                                << "pw"
                                                << "<dir>"
                                                << ""
                                                << "<dir>"
                                                << "Specified certificate file dont exist"
                                                << "<dir>";
    // The default fills the empty field and stays there although a later check refuses.
    QTest::newRow("empty log directory, key missing") << "pw"
                                                      << "pw"
                                                      << ""
                                                      << "<missing>"
                                                      << ""
                                                      << "Specified key file dont exist"
                                                      << "<logs>";
}

void TestSave::refusals()
{
    QFETCH(QString, password);
    QFETCH(QString, confirmation);
    QFETCH(QString, logDir);
    QFETCH(QString, keyFile);
    QFETCH(QString, certFile);
    QFETCH(QString, message);
    QFETCH(QString, logDirAfter);

    FakePlatform fake;
    QVERIFY(QDir(fake.dir()).mkdir(QStringLiteral("somedir")));
    writeFile(fake.path(QStringLiteral("some.file")), "x");
    writeFile(fake.path(QStringLiteral("gc.xml")), "<global/>");
    writeFile(fake.path(QStringLiteral("rules.txt")), "POLICY ACCEPT\r\n");

    TForm3 form(fake.platform());
    form.FormCreate();
    control<QTabWidget>(form, "PageControl1")->setCurrentIndex(1);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    control<QLineEdit>(form, "ServerPass_txt")->setText(password);
    control<QLineEdit>(form, "ConfirmServerPass_txt")->setText(confirmation);
    control<QLineEdit>(form, "DefaultLogFolder_txt")->setText(resolve(fake, logDir));
    control<QLineEdit>(form, "KeyFile_txt")->setText(resolve(fake, keyFile));
    control<QLineEdit>(form, "CertFile_txt")->setText(resolve(fake, certFile));
    fake.dialogs->boxes.clear();

    QTest::mouseClick(control<QPushButton>(form, "Button1"), Qt::LeftButton);

    QCOMPARE(fake.dialogs->boxes.size(), 1);
    const ShownBox &box = fake.dialogs->boxes.first();
    QCOMPARE(box.text, message);
    QCOMPARE(box.caption, QStringLiteral("Error"));
    QCOMPARE(box.buttons, platform::Buttons::Ok);
    QCOMPARE(box.icon, platform::Icon::None);
    QCOMPARE(box.owner.data(), &form);

    // Nothing written, nothing sent, the page and the fields as they were.
    QCOMPARE(readFile(fake.path(QStringLiteral("gc.xml"))), QByteArray("<global/>"));
    QCOMPARE(readFile(fake.path(QStringLiteral("rules.txt"))), QByteArray("POLICY ACCEPT\r\n"));
    QVERIFY(!control<QTimer>(form, "Timer3")->isActive());
    QCOMPARE(control<QTabWidget>(form, "PageControl1")->currentIndex(), 1);
    QCOMPARE(control<QLineEdit>(form, "ServerPass_txt")->text(), password);
    QCOMPARE(control<QLineEdit>(form, "KeyFile_txt")->text(), resolve(fake, keyFile));
    QCOMPARE(control<QLineEdit>(form, "DefaultLogFolder_txt")->text(), resolve(fake, logDirAfter));
}

void TestSave::successfulSaveWritesBothFiles()
{
    FakePlatform fake;
    writeFile(fake.path(QStringLiteral("default.key")), "key");
    writeFile(fake.path(QStringLiteral("default.cer")), "cer");
    TForm3 form(fake.platform());
    form.FormCreate(); // no gc.xml: the defaults, with the built-in password
    control<QTabWidget>(form, "PageControl1")->setCurrentIndex(1);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    control<QLineEdit>(form, "lport")->setCursorPosition(2);
    QTest::keyClicks(control<QLineEdit>(form, "lport"), QStringLiteral("0")); // 88 -> 880
    control<QLineEdit>(form, "MaxCon_txt")->clear();
    QTest::keyClicks(control<QLineEdit>(form, "MaxCon_txt"), QStringLiteral("250"));
    control<QRadioButton>(form, "PolicyAccept_radio")->click();
    form.rulesModel()->appendLines({"REJECT 10.0.0.0/8", "", "ACCEPT 10.1.2.3"});
    QTest::mouseClick(control<QPushButton>(form, "Button1"), Qt::LeftButton);

    QCOMPARE(fake.dialogs->boxes.size(), 1);
    const ShownBox &info = fake.dialogs->boxes.first();
    QCOMPARE(info.text, QStringLiteral("If you modified server wide configuration then you must restart Vellamor "
                                       "Service. You dont need to restart FTP Service if you only modified Security "
                                       "rules."));
    QCOMPARE(info.caption, QStringLiteral("Information"));
    QCOMPARE(info.icon, platform::Icon::None);
    QCOMPARE(info.buttons, platform::Buttons::Ok);
    QCOMPARE(info.owner.data(), &form);
    QCOMPARE(control<QTabWidget>(form, "PageControl1")->currentIndex(), 0);
    QVERIFY(control<QTimer>(form, "Timer3")->isActive());

    const QByteArray dir = (QDir::toNativeSeparators(fake.dir()) + QDir::separator()).toUtf8();
    QCOMPARE(readFile(fake.path(QStringLiteral("gc.xml"))),
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?><global><ACC><port>880</port><maxcon>250</maxcon><logdir>" +
                 dir + "logs</logdir><cert>" + dir + "default.cer</cert><key>" + dir +
                 "default.key</key><IP>127.0.0.1</IP></ACC><Management><port>1011</port>"
                 "<password>71!*9203&amp;6##</password><IP>127.0.0.1</IP></Management></global>\n");
    QCOMPARE(readFile(fake.path(QStringLiteral("rules.txt"))),
             QByteArray("POLICY ACCEPT\r\nREJECT 10.0.0.0/8\r\n\r\nACCEPT 10.1.2.3\r\n"));
    QCOMPARE(form.ManagementSettings.Port, 1011);
    QCOMPARE(form.ManagementSettings.Host, QStringLiteral("127.0.0.1"));
}

void TestSave::eachSaveSendsOneReloadToTheSavedTarget()
{
    tools::ManagementServer oldServer;
    tools::ManagementServer newServer;
    QVERIFY(oldServer.listen());
    QVERIFY(newServer.listen());
    oldServer.setUsers(3);
    newServer.setUsers(7);

    FakePlatform fake;
    writeFile(fake.path(QStringLiteral("default.key")), "key");
    writeFile(fake.path(QStringLiteral("default.cer")), "cer");
    writeFile(fake.path(QStringLiteral("gc.xml")),
              "<global><ACC><port>88</port></ACC><Management><port>" + QByteArray::number(oldServer.port()) +
                  "</port><password>old</password><IP>127.0.0.1</IP></Management></global>");
    TForm3 form(fake.platform());
    form.FormCreate();
    form.FormActivate();
    form.StatusPoller->setCycleInterval(std::chrono::milliseconds(20));
    QTRY_COMPARE_WITH_TIMEOUT(control<QLabel>(form, "TotalPorts_lbl")->text(), QStringLiteral("3 users are connected"),
                              10000);

    // The administrator moves the management service to another port.
    control<QLineEdit>(form, "mport")->setText(QString::number(newServer.port()));
    control<QLineEdit>(form, "ServerPass_txt")->setText(QStringLiteral("new"));
    control<QLineEdit>(form, "ConfirmServerPass_txt")->setText(QStringLiteral("new"));

    // The reload goes out while the information message is still on screen.
    QList<QByteArray> reloadsWhileShown;
    fake.dialogs->whileShown = [&](const ShownBox &box) {
        if (box.caption != QLatin1String("Information"))
            return;
        QTRY_VERIFY(newServer.requests().contains("RULESRELOAD new\r\n"));
        reloadsWhileShown = newServer.requests();
    };
    for (int save = 1; save <= 2; ++save) {
        QTest::mouseClick(control<QPushButton>(form, "Button1"), Qt::LeftButton);
        QCOMPARE(fake.dialogs->boxes.size(), save);
        QCOMPARE(fake.dialogs->boxes.last().caption, QStringLiteral("Information"));
        QVERIFY(reloadsWhileShown.contains("RULESRELOAD new\r\n"));
        QTRY_COMPARE(newServer.requests().count("RULESRELOAD new\r\n"), save);
        QVERIFY(!control<QTimer>(form, "Timer3")->isActive());
    }
    QVERIFY(!oldServer.requests().contains("RULESRELOAD old\r\n"));
    QVERIFY(!oldServer.requests().contains("RULESRELOAD new\r\n"));

    // The count now comes from the saved target.
    QTRY_COMPARE_WITH_TIMEOUT(control<QLabel>(form, "TotalPorts_lbl")->text(), QStringLiteral("7 users are connected"),
                              10000);
    QVERIFY(newServer.requests().contains("USERSSTATUS new\r\n"));
    QCOMPARE(newServer.requests().count("RULESRELOAD new\r\n"), 2);
}

void TestSave::failedWritesReportNoSuccess_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("gcXmlWritten");

    // The port is refused before the window leaves the page or writes anything.
    QTest::newRow("management port not a number") << "port"
                                                  << "''12ab'' is not a valid integer value." << false;
    QTest::newRow("empty management port") << "empty port"
                                           << "'''' is not a valid integer value." << false;
    QTest::newRow("empty application port")
        << "empty application port"
        << "The Application Service Port is empty; enter the port the server listens on." << false;
    // A file that cannot be replaced is reported; nothing claims success.
    QTest::newRow("gc.xml cannot be written") << "gc.xml"
                                              << "gc.xml" << false;
    QTest::newRow("rules.txt cannot be written") << "rules.txt"
                                                 << "rules.txt" << true;
    // The password travels on the protocol's one request line.
    QTest::newRow("line feed in the password") << "password pw\nUSERSRELOAD pw"
                                               << "holds a control character" << false;
    QTest::newRow("NUL in the password") << QStringLiteral("password pw") + QChar(0) << "holds a control character"
                                         << false;
}

void TestSave::failedWritesReportNoSuccess()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    QFETCH(bool, gcXmlWritten);

    FakePlatform fake;
    const QByteArray oldConfig = "<global><ACC><port>88</port><logdir></logdir><cert></cert><key></key></ACC>"
                                 "<Management><port>1011</port><password>pw</password><IP>127.0.0.1</IP></Management>"
                                 "</global>";
    const QByteArray oldRules = "POLICY REJECT\r\nACCEPT 10.0.0.1\r\n";
    writeFile(fake.path(QStringLiteral("default.key")), "key");
    writeFile(fake.path(QStringLiteral("default.cer")), "cer");
    // A directory where the file should be stops every writer, root included.
    if (fault == QLatin1String("gc.xml"))
        QVERIFY(QDir(fake.dir()).mkdir(QStringLiteral("gc.xml")));
    else
        writeFile(fake.path(QStringLiteral("gc.xml")), oldConfig);
    if (fault == QLatin1String("rules.txt"))
        QVERIFY(QDir(fake.dir()).mkdir(QStringLiteral("rules.txt")));
    else
        writeFile(fake.path(QStringLiteral("rules.txt")), oldRules);

    TForm3 form(fake.platform());
    form.FormCreate();
    QVERIFY(fake.dialogs->boxes.isEmpty());
    if (fault == QLatin1String("port"))
        control<QLineEdit>(form, "mport")->setText(QStringLiteral("12ab")); // as a hand-edited gc.xml can hold it
    if (fault == QLatin1String("empty port"))
        control<QLineEdit>(form, "mport")->clear();
    if (fault == QLatin1String("empty application port"))
        control<QLineEdit>(form, "lport")->clear();
    const QString password = fault.startsWith(QLatin1String("password ")) ? fault.mid(9) : QStringLiteral("pw");
    control<QLineEdit>(form, "ServerPass_txt")->setText(password);
    control<QLineEdit>(form, "ConfirmServerPass_txt")->setText(password);
    control<QTabWidget>(form, "PageControl1")->setCurrentIndex(1);
    const ManagementSettingsRecord before = form.ManagementSettings;

    QTest::mouseClick(control<QPushButton>(form, "Button1"), Qt::LeftButton);

    // One standard error box and nothing else: no success message.
    QCOMPARE(fake.dialogs->boxes.size(), 1);
    const ShownBox &box = fake.dialogs->boxes.first();
    QCOMPARE(box.caption, QStringLiteral("Vellamor Application Server Desktop"));
    QCOMPARE(box.icon, platform::Icon::Error);
    if (message.endsWith(u'.'))
        QCOMPARE(box.text, message);
    else
        QVERIFY2(box.text.contains(message), qPrintable(box.text));
    // No reload is asked for.
    QVERIFY(!control<QTimer>(form, "Timer3")->isActive());
    if (fault.endsWith(QLatin1String("port"))) {
        QCOMPARE(control<QTabWidget>(form, "PageControl1")->currentIndex(), 1);
        QCOMPARE(form.ManagementSettings, before);
    }
    if (fault != QLatin1String("gc.xml")) {
        if (gcXmlWritten)
            QVERIFY(readFile(fake.path(QStringLiteral("gc.xml"))) != oldConfig);
        else
            QCOMPARE(readFile(fake.path(QStringLiteral("gc.xml"))), oldConfig);
    }
    if (fault != QLatin1String("rules.txt"))
        QCOMPARE(readFile(fake.path(QStringLiteral("rules.txt"))), oldRules);
}

void TestSave::fullDiskLosesNothing_data()
{
    QTest::addColumn<bool>("limit");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<int>("valueLength"); // of maxcon in gc.xml
    QTest::addColumn<int>("rulesSize");
    QTest::addColumn<int>("room");

#ifdef Q_OS_LINUX
    for (const bool limit : {false, true}) {
        const char *disk = limit ? "file size limit" : "small file system";
        // gc.xml fits, rules.txt does not: the server must not reload a cut rule set.
        QTest::addRow("%s, small rules.txt", disk) << limit << "rules.txt" << 3 << 15635 << 8192;
        QTest::addRow("%s, large rules.txt", disk) << limit << "rules.txt" << 3 << 200000 << 8192;
        QTest::addRow("%s, small gc.xml", disk) << limit << "gc.xml" << 3 << 100 << 0;
        // Also a value longer than a line edit holds by default: it comes back whole.
        QTest::addRow("%s, large gc.xml", disk) << limit << "gc.xml" << 40000 << 100 << 8192;
    }
#endif
}

// A Save on a full disk shows why in the standard error box and claims
// nothing: no information box, no reload, the file keeps its old bytes and
// no temporary file stays. Once there is room, the same Save goes through.
void TestSave::fullDiskLosesNothing()
{
#ifndef Q_OS_LINUX
    QSKIP("the disk is filled through Linux facilities");
#else
    QFETCH(bool, limit);
    QFETCH(QString, failing);
    QFETCH(int, valueLength);
    QFETCH(int, rulesSize);
    QFETCH(int, room);

    tools::ManagementServer server;
    QVERIFY(server.listen());
    FakePlatform fake;
    FullDisk disk(limit, fake.dir());
    if (!disk.skipReason.isEmpty())
        QSKIP(qPrintable(disk.skipReason));

    const QByteArray value(valueLength, '7');
    const QByteArray oldConfig = "<global><ACC><port>88</port><maxcon>" + value + "</maxcon></ACC><Management><port>" +
                                 QByteArray::number(server.port()) +
                                 "</port><password>pw</password><IP>127.0.0.1</IP></Management></global>";
    QByteArray oldRules = "POLICY REJECT\r\n";
    while (oldRules.size() < rulesSize)
        oldRules += "ACCEPT 10.0." + QByteArray::number(oldRules.size() % 256) + ".0/24\r\n";
    writeFile(fake.path(QStringLiteral("gc.xml")), oldConfig);
    writeFile(fake.path(QStringLiteral("rules.txt")), oldRules);
    writeFile(fake.path(QStringLiteral("default.key")), "key");
    writeFile(fake.path(QStringLiteral("default.cer")), "cer");
    TForm3 form(fake.platform());
    form.FormCreate();
    QVERIFY(fake.dialogs->boxes.isEmpty());
    control<QRadioButton>(form, "PolicyAccept_radio")->setChecked(true);
    const QStringList files = QDir(fake.dir()).entryList(QDir::Files);
    // The start's record in history.git takes its room before the disk is
    // filled, so the room left is what the Save meets.
    form.historyArea().finish();

    disk.fill(room);
    QTest::mouseClick(control<QPushButton>(form, "Button1"), Qt::LeftButton);
    disk.makeRoom();

    QCOMPARE(fake.dialogs->boxes.size(), 1);
    QCOMPARE(fake.dialogs->boxes.first().text,
             QStringLiteral("Could not write \"%1\": %2.")
                 .arg(fake.path(failing), limit ? "File too large" : "No space left on device"));
    QVERIFY(!control<QTimer>(form, "Timer3")->isActive());
    QCoreApplication::processEvents();
    QVERIFY(server.requests().isEmpty());
    QCOMPARE(readFile(fake.path(failing)), failing == QLatin1String("gc.xml") ? oldConfig : oldRules);
    QCOMPARE(QDir(fake.dir()).entryList(QDir::Files), files);

    fake.dialogs->boxes.clear();
    QTest::mouseClick(control<QPushButton>(form, "Button1"), Qt::LeftButton);
    QCOMPARE(fake.dialogs->boxes.size(), 1);
    QCOMPARE(fake.dialogs->boxes.first().caption, QStringLiteral("Information"));
    QTRY_COMPARE(server.requests(), QList<QByteArray>{"RULESRELOAD pw\r\n"});
    QCOMPARE(readFile(fake.path(QStringLiteral("rules.txt"))), "POLICY ACCEPT" + oldRules.mid(13));
    QVERIFY(readFile(fake.path(QStringLiteral("gc.xml"))).contains("<maxcon>" + value + "</maxcon>"));
#endif
}

// Only our own temporary files beside the executable go, whatever else is there.
void TestSave::filesNotShownInFullAreReplacedOnlyWhenConfirmed_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QByteArray>("rules");
    QTest::addColumn<QList<platform::Answer>>("answers");
    QTest::addColumn<QStringList>("questions"); // g: gc.xml's, n: rules.txt not loaded, r: carriage returns
    QTest::addColumn<QString>("note");

    using platform::Answer;
    const QByteArray stops = "<global><ACC><port>21</port></ACC><Management><port>10111</port><IP></IP></Management>"
                             "</global>";
    const QByteArray whole = "<global><ACC><port>88</port><logdir></logdir><cert></cert><key></key></ACC>"
                             "<Management><port>1011</port><password>pw</password><IP>127.0.0.1</IP></Management>"
                             "</global>";
    const QByteArray threeRules = "POLICY ACCEPT\r\nREJECT 10.0.0.1\r\nACCEPT 10.0.0.2\r\nREJECT 10.1.0.0/16\r\n";
    const QString skipped = "gc.xml could not be loaded; rules.txt was not loaded, because gc.xml could not be read. "
                            "A Save asks before replacing them.";
    QTest::newRow("gc.xml stops loading, No to gc.xml")
        << stops << threeRules << QList<Answer>{Answer::No} << QStringList{"g"} << skipped;
    QTest::newRow("gc.xml stops loading, No to rules.txt")
        << stops << threeRules << QList<Answer>{Answer::Yes, Answer::No} << QStringList{"g", "n"} << skipped;
    QTest::newRow("gc.xml stops loading, Yes to both")
        << stops << threeRules << QList<Answer>{Answer::Yes, Answer::Yes} << QStringList{"g", "n"} << skipped;
    QTest::newRow("gc.xml not well-formed, no rules.txt")
        << QByteArray("<global><ACC>") << QByteArray() << QList<Answer>{Answer::No} << QStringList{"g"}
        << "gc.xml could not be loaded. A Save asks before replacing it.";
    QTest::newRow("lines ended by a carriage return alone")
        << whole << QByteArray("POLICY ACCEPT\rREJECT 10.0.0.1\rACCEPT 10.0.0.2\r") << QList<Answer>{Answer::No}
        << QStringList{"r"}
        << "rules.txt has lines ended by a carriage return alone, not shown here. A Save asks before replacing it.";
}

void TestSave::filesNotShownInFullAreReplacedOnlyWhenConfirmed()
{
    QFETCH(QByteArray, config);
    QFETCH(QByteArray, rules);
    QFETCH(QList<platform::Answer>, answers);
    QFETCH(QStringList, questions);
    QFETCH(QString, note);

    FakePlatform fake;
    writeFile(fake.path(QStringLiteral("default.key")), "key");
    writeFile(fake.path(QStringLiteral("default.cer")), "cer");
    writeFile(fake.path(QStringLiteral("gc.xml")), config);
    if (!rules.isEmpty())
        writeFile(fake.path(QStringLiteral("rules.txt")), rules);
    TForm3 form(fake.platform());
    form.FormCreate();
    // Nothing was edited, yet the window is not what the files hold.
    QVERIFY(form.isWindowModified());
    const auto *shownNote = form.findChild<QLabel *>(QStringLiteral("LoadNote_lbl"));
    QVERIFY(shownNote && !shownNote->isHidden());
    QCOMPARE(shownNote->text(), note);
    control<QLineEdit>(form, "ServerPass_txt")->setText(QStringLiteral("pw"));
    control<QLineEdit>(form, "ConfirmServerPass_txt")->setText(QStringLiteral("pw"));
    fake.dialogs->boxes.clear();
    for (const platform::Answer answer : answers)
        fake.dialogs->answerNext(answer);

    QTest::mouseClick(control<QPushButton>(form, "Button1"), Qt::LeftButton);

    const QString rulesShown = QStringLiteral(" Saving now replaces it with the rules shown here (none). Save anyway?");
    const QHash<QString, QString> texts{
        {"g",
         "gc.xml could not be loaded at start-up. Saving now replaces it with the values shown here. Save anyway?"},
        {"n", "rules.txt was not loaded, because gc.xml could not be read at start-up." + rulesShown},
        {"r", "rules.txt holds text the panel cannot show (lines ended by a carriage return alone)." + rulesShown}};
    const bool saved = answers.size() == questions.size() && !answers.contains(platform::Answer::No);
    QCOMPARE(fake.dialogs->boxes.size(), questions.size() + (saved ? 1 : 0));
    for (qsizetype i = 0; i < questions.size(); ++i) {
        const ShownBox &box = fake.dialogs->boxes.at(i);
        QCOMPARE(box.text, texts.value(questions.at(i)));
        QCOMPARE(box.caption, QStringLiteral("Confirmation"));
        QCOMPARE(box.buttons, platform::Buttons::YesNo);
        QCOMPARE(box.icon, platform::Icon::Question);
        QCOMPARE(box.owner.data(), &form);
    }
    QCOMPARE(control<QTimer>(form, "Timer3")->isActive(), saved);
    if (!saved) {
        // No: nothing written, nothing sent, still not saved.
        QCOMPARE(readFile(fake.path(QStringLiteral("gc.xml"))), config);
        QCOMPARE(readFile(fake.path(QStringLiteral("rules.txt"))), rules.isEmpty() ? "<missing>" : rules);
        QVERIFY(form.isWindowModified());
        return;
    }
    QCOMPARE(readFile(fake.path(QStringLiteral("rules.txt"))), QByteArray("POLICY REJECT\r\n"));
    QVERIFY(!form.isWindowModified());
    QVERIFY(shownNote->isHidden());
    // The files now hold what the window shows: the next Save asks nothing.
    fake.dialogs->boxes.clear();
    QTest::mouseClick(control<QPushButton>(form, "Button1"), Qt::LeftButton);
    QCOMPARE(fake.dialogs->boxes.size(), 1);
    QCOMPARE(fake.dialogs->boxes.first().caption, QStringLiteral("Information"));
}

void TestSave::leftoversOfAnInterruptedSaveAreRemoved()
{
    FakePlatform fake;
    QDir dir(fake.dir());
    const QStringList kept{"gc.xml.backup",
                           "gc.xml.vellamor-save-12345",
                           "gc.xml.vellamor-save-1234567",
                           "notes.vellamor-save-Ab12Cd",
                           "rules.txt.AB12cd",
                           "rules.txt.vellamor-save-a_12cd"};
    for (const QString &name : kept + QStringList{"gc.xml.vellamor-save-Ab12Cd", "rules.txt.vellamor-save-9xY8zW"})
        writeFile(fake.path(name), "left over");
    QVERIFY(dir.mkpath(QStringLiteral("logs/sub")));
    writeFile(fake.path(QStringLiteral("logs/gc.xml.vellamor-save-Ab12Cd")), "not beside the executable");
    QVERIFY(dir.mkdir(QStringLiteral("rules.txt.vellamor-save-Dir123")));
#ifdef Q_OS_UNIX
    QVERIFY(
        QFile::link(fake.path(QStringLiteral("logs/sub")), fake.path(QStringLiteral("gc.xml.vellamor-save-Link12"))));
#endif

    TForm3 form(fake.platform());
    form.FormCreate();

    QCOMPARE(dir.entryList(QDir::Files | QDir::NoSymLinks, QDir::Name), kept);
    QVERIFY(QFile::exists(fake.path(QStringLiteral("logs/gc.xml.vellamor-save-Ab12Cd"))));
    QVERIFY(QFileInfo(fake.path(QStringLiteral("rules.txt.vellamor-save-Dir123"))).isDir());
#ifdef Q_OS_UNIX
    QVERIFY(QFileInfo(fake.path(QStringLiteral("gc.xml.vellamor-save-Link12"))).isSymLink());
#endif
}

void TestSave::digitFilter_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("paste");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("shown");

    for (const char *field : {"lport", "mport", "MaxCon_txt"}) {
        QTest::addRow("%s typed digits", field) << field << false << "8080"
                                                << "8080";
        QTest::addRow("%s typed letters and signs", field) << field << false << "1a-2 b3+$x4"
                                                           << "1234";
        QTest::addRow("%s pasted with blanks", field) << field << true << " 80 80\n"
                                                      << "8080";
        QTest::addRow("%s pasted hex", field) << field << true << "0x1F"
                                              << "01";
        QTest::addRow("%s pasted letters only", field) << field << true << "abc"
                                                       << "";
    }
}

void TestSave::digitFilter()
{
    QFETCH(QString, field);
    QFETCH(bool, paste);
    QFETCH(QString, input);
    QFETCH(QString, shown);

    FakePlatform fake;
    TForm3 form(fake.platform());
    form.show();
    auto *edit = form.findChild<QLineEdit *>(field);
    QVERIFY(edit);
    edit->clear();
    edit->setFocus();
    if (paste) {
        QApplication::clipboard()->setText(input);
        edit->paste();
    } else {
        QTest::keyClicks(edit, input);
    }
    QCOMPARE(edit->text(), shown);

    // Editing keys still work.
    edit->setText(QStringLiteral("123"));
    edit->setCursorPosition(3);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), QStringLiteral("12"));
    edit->setCursorPosition(0);
    QTest::keyClick(edit, Qt::Key_Delete);
    QCOMPARE(edit->text(), QStringLiteral("2"));
}

void TestSave::loadedTextIsNotFiltered()
{
    // A hand-edited gc.xml may hold anything; the field shows what it holds.
    FakePlatform fake;
    TForm3 form(fake.platform());
    control<QLineEdit>(form, "lport")->setText(QStringLiteral("abc"));
    QCOMPARE(control<QLineEdit>(form, "lport")->text(), QStringLiteral("abc"));
}

void TestSave::browseButtonsFillTheirField_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("directory");

    QTest::newRow("log directory") << "SpeedButton5"
                                   << "DefaultLogFolder_txt" << true;
    QTest::newRow("key file") << "SpeedButton6"
                              << "KeyFile_txt" << false;
    QTest::newRow("certificate file") << "SpeedButton7"
                                      << "CertFile_txt" << false;
}

void TestSave::browseButtonsFillTheirField()
{
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(bool, directory);

    FakePlatform fake;
    TForm3 form(fake.platform());
    form.show();
    auto *edit = form.findChild<QLineEdit *>(field);
    auto *picker = form.findChild<QAbstractButton *>(button);
    QVERIFY(edit && picker);
    edit->setText(QStringLiteral("before"));

    // Cancelled: the field keeps its text.
    QTest::mouseClick(picker, Qt::LeftButton);
    QCOMPARE(edit->text(), QStringLiteral("before"));

    const QString chosen = fake.dir() + (directory ? QStringLiteral("/chosen dir") : QStringLiteral("/keys/my.key"));
    (directory ? fake.dialogs->directoryAnswers : fake.dialogs->fileAnswers).enqueue(chosen);
    QTest::mouseClick(picker, Qt::LeftButton);
    QCOMPARE(edit->text(), QDir::toNativeSeparators(chosen));
    QCOMPARE(fake.dialogs->fileDialogOwners.size(), 2);
    QCOMPARE(fake.dialogs->fileDialogOwners.last().data(), &form);
    QVERIFY(fake.dialogs->boxes.isEmpty());
}

QTEST_MAIN(TestSave)
#include "tst_save.moc"
