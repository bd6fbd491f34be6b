#include "FakePlatform.h"
#include "common/AppInfo.h"
#include "common/Error.h"
#include "common/StandardError.h"
#include "config/XmlTree.h"
#include "window/VellamorDesktopMain.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QScopeGuard>
#include <QTest>

#include <csignal>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace vellamor;
using vellamor::test::FakePlatform;

namespace {

const QString kBuiltIn = QStringLiteral("71!*9203&6##");
const std::vector<std::string> kMachine{"127.0.0.1", "10.0.0.5", "192.168.1.20", "10.0.0.5"};

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(data), data.size());
}

// Root bypasses file permissions; for the length of a test it gives up that
// right (this thread's effective capabilities), so a read-only directory is
// read-only for it too.
class PermissionsEnforced
{
public:
    PermissionsEnforced()
    {
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2];
        std::memcpy(reduced, m_saved, sizeof reduced);
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            reduced[cap / 32].effective &= ~(1u << (cap % 32));
        m_active = syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~PermissionsEnforced()
    {
        if (m_active)
            syscall(SYS_capset, &m_header, m_saved);
    }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_active = false;
};

// Files of this process may not grow past a few bytes: a full disk, as far as
// the writer can tell.
class FileSizeLimited
{
public:
    FileSizeLimited()
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = m_saved;
        small.rlim_cur = 16;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimited()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace

// gc.xml through the real window: start-up loads it (or the first-run
// defaults), SaveGlobalConfig writes it, real files in a temporary
// executable directory.
class TestGlobalConfig : public QObject
{
    Q_OBJECT

    enum Fault { None, ReadOnlyDirectory, DiskFull };

    std::unique_ptr<FakePlatform> m_fake;
    std::unique_ptr<TForm3> m_window;

    QString gcXml() const { return m_fake->path(QStringLiteral("gc.xml")); }

    QString expand(QString text) const
    {
        return text.replace(QLatin1StringView("$DIR/"), m_fake->dir() + QDir::separator())
            .replace(QLatin1StringView("$BUILTIN"), kBuiltIn);
    }

    // Starts the panel on the directory as the program does.
    void start()
    {
        m_window.reset();
        m_window = std::make_unique<TForm3>(m_fake->platform());
        m_fake->dialogs->boxes.clear();
        m_window->FormCreate();
    }

    // The texts of the error boxes shown since start().
    QStringList errorBoxes() const
    {
        QStringList texts;
        for (const test::ShownBox &box : m_fake->dialogs->boxes) {
            texts.append(box.text);
            if (box.caption != kApplicationTitle || box.icon != platform::Icon::Error)
                texts.append(QStringLiteral("(not the standard error box)"));
        }
        return texts;
    }

    // A control by objectName as text (a list as its entries joined by ","),
    // or a field of the management record ("Host", "Port", "Password").
    QString valueOf(const QString &name) const
    {
        const ManagementSettingsRecord &record = m_window->ManagementSettings;
        if (name == u"Host")
            return record.Host;
        if (name == u"Port")
            return QString::number(record.Port);
        if (name == u"Password")
            return record.Password;
        if (const auto *edit = m_window->findChild<QLineEdit *>(name))
            return edit->text();
        if (const auto *box = m_window->findChild<QCheckBox *>(name))
            return box->isChecked() ? QStringLiteral("ticked") : QStringLiteral("clear");
        if (const auto *list = m_window->findChild<QListWidget *>(name)) {
            QStringList entries;
            for (int row = 0; row < list->count(); ++row)
                entries.append(list->item(row)->text());
            return entries.join(u',');
        }
        return QStringLiteral("<no control %1>").arg(name);
    }

    void expectState(const QStringList &expected) const
    {
        for (const QString &pair : expected) {
            const QString name = pair.section(u'=', 0, 0);
            QCOMPARE(name + u'=' + valueOf(name), expand(pair));
        }
    }

    // Fills controls the way the user does: typing into fields, "a,b" lists.
    void enter(const QStringList &values)
    {
        for (const QString &pair : values) {
            const QString name = pair.section(u'=', 0, 0);
            const QString value = expand(pair.section(u'=', 1));
            if (auto *edit = m_window->findChild<QLineEdit *>(name)) {
                edit->clear();
                // The port and limit fields take only digits from the keyboard;
                // other text reaches them from a hand-edited gc.xml.
                const bool digitsOnly = name == u"lport" || name == u"mport" || name == u"MaxCon_txt";
                const bool typable = std::all_of(value.cbegin(), value.cend(), [digitsOnly](QChar c) {
                    return digitsOnly ? c.isDigit() : c.unicode() >= 0x20 && c.unicode() < 0x7f;
                });
                if (typable)
                    QTest::keyClicks(edit, value);
                else // loaded or pasted
                    edit->setText(value);
                QCOMPARE(edit->text(), value);
            } else if (auto *list = m_window->findChild<QListWidget *>(name)) {
                list->clear();
                if (!value.isEmpty())
                    list->addItems(value.split(u','));
            } else if (auto *box = m_window->findChild<QCheckBox *>(name)) {
                box->click();
            } else {
                QFAIL(qPrintable(QStringLiteral("no control ") + name));
            }
        }
    }

    QString saveError()
    {
        try {
            m_window->SaveGlobalConfig();
        } catch (const Error &e) {
            return e.message();
        }
        return {};
    }

private Q_SLOTS:
    void init()
    {
        m_fake = std::make_unique<FakePlatform>();
        m_fake->addressTable->addresses = kMachine;
    }

    void cleanup()
    {
        m_window.reset();
        m_fake.reset();
    }

    // One folder per case in load/: the gc.xml start-up finds (none when the
    // folder has none) and expected.txt: "error: <text>" when the load fails,
    // then "objectName=value" for what the window shows afterwards.
    void load_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("special"); // a gc.xml no one writes by hand

        const QDir cases(QStringLiteral(VELLAMOR_LOAD_CASES));
        for (const QString &name : cases.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QString error;
            QStringList expected;
            const QString lines = QString::fromUtf8(readFile(cases.filePath(name + QStringLiteral("/expected.txt"))));
            for (const QString &line : lines.split(u'\n', Qt::SkipEmptyParts)) {
                if (line.startsWith(u"error: "))
                    error = line.mid(7).replace(QLatin1StringView("\\r\\n"), QLatin1StringView("\r\n"));
                else if (!line.startsWith(u'#'))
                    expected.append(line);
            }
            QFile gc(cases.filePath(name + QStringLiteral("/gc.xml")));
            const QByteArray file = gc.open(QIODevice::ReadOnly) ? gc.readAll() : QByteArray();
            QTest::newRow(qPrintable(name))
                << (gc.exists() && file.isNull() ? QByteArray("") : file) << error << expected << QString();
        }
        // Nesting and nodes up to their bounds, and one more.
        const QByteArray deep = "<global><ACC><port>5</port><x>" + QByteArray("<a>").repeated(kMaxXmlDepth - 3);
        QTest::newRow("deep nesting costs no stack")
            << deep + QByteArray("</a>").repeated(kMaxXmlDepth - 3) + "</x></ACC></global>" << QString()
            << QStringList{"lport=5"} << QString();
        QTest::newRow("nesting beyond the bound")
            << deep + "<a>"
            << QString::fromLatin1("Elements nest more than 10000 levels deep.\r\nLine: 1\r\n" + deep.left(40))
            << QStringList{"lport=88"} << QString();
        const QByteArray nodes = "<global><ACC><port>5</port></ACC>" + QByteArray("<a/>").repeated(kMaxXmlNodes - 4);
        QTest::newRow("nodes up to the bound")
            << nodes + "</global>" << QString() << QStringList{"lport=5"} << QString();
        QTest::newRow("nodes beyond the bound")
            << nodes + "<a/></global>"
            << QString::fromLatin1("The document holds more than 100000 elements, texts and comments.\r\nLine: 1\r\n" +
                                   nodes.left(40))
            << QStringList{"lport=88"} << QString();

        // Start-up never blocks nor runs out of memory.
        const QStringList nothingLoaded{"lport=88", "SelectedIPs=", "Port=0"};
        const QString notAFile = QStringLiteral("\"$DIR/gc.xml\" is not a regular file\r\nLine: 0\r\n");
        QTest::newRow("FIFO") << QByteArray() << notAFile << nothingLoaded << "fifo";
        QTest::newRow("link to a device") << QByteArray() << notAFile << nothingLoaded << "device";
        QTest::newRow("larger than 16 MiB")
            << "<global><ACC><port>5</port></ACC>" + QByteArray(16 << 20, ' ') + "</global>"
            << "\"$DIR/gc.xml\" is larger than 16 MiB\r\nLine: 0\r\n"
            << nothingLoaded << QString();
        // Each reference within Qt's bound of one entity, 4 MiB in all, and one more.
        const QByteArray entity = "<!DOCTYPE global [<!ENTITY e \"" + QByteArray(4000, 'x') + "\">]>\n";
        QTest::newRow("entities up to 4 MiB in all")
            << entity + "<global><ACC><port>5</port><x>" + QByteArray("&e;").repeated(1048) + "</x></ACC></global>"
            << QString() << QStringList{"lport=5"} << QString();
        QTest::newRow("entities beyond 4 MiB in all")
            << entity + "<global><ACC><port>" + QByteArray("&e;").repeated(1049) + "</port></ACC></global>"
            << "Entity references expand to more than 4 MiB of text.\r\nLine: 2\r\n"
               "<global><ACC><port>&e;&e;&e;&e;&e;&e;&e;"
            << nothingLoaded << QString();
        // What the parser expands counts, wherever a declaration seems to be.
        const QByteArray nested =
            "<!ENTITY a \"" + QByteArray(64, 'x') + "\"><!ENTITY b \"" + QByteArray("&a;").repeated(64) + "\">";
        QTest::newRow("a comment hides no reference")
            << "<!DOCTYPE g [" + nested + "]><g><!--<!ENTITY z \"-->" + QByteArray("&b;").repeated(1100) +
                   "<!--\"--></g>"
            << QString::fromLatin1("Entity references expand to more than 4 MiB of text.\r\nLine: 1\r\n<!DOCTYPE g [" +
                                   nested.left(27))
            << nothingLoaded << QString();
        QTest::newRow("attribute defaults expand")
            << "<!DOCTYPE g [" + nested + "\n<!ATTLIST h v CDATA \"" + QByteArray("&b;").repeated(1100) + "\">]><g/>"
            << "Entity references expand to more than 4 MiB of text.\r\nLine: 2\r\n<!ATTLIST h v CDATA "
               "\"&b;&b;&b;&b;&b;&b;&"
            << nothingLoaded << QString();
        const QByteArray unexpanded = QByteArray("&b;").repeated(1100);
        QTest::newRow("no expansion in comments, CDATA and instructions")
            << "<!DOCTYPE g [" + nested + "]><g><ACC><port>5</port></ACC><!--" + unexpanded + "--><![CDATA[" +
                   unexpanded + "]]><?pi " + unexpanded + "?></g>"
            << QString() << QStringList{"lport=5"} << QString();
    }

    void load()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, error);
        QFETCH(QStringList, expected);
        QFETCH(QString, special);
        writeFile(m_fake->path(QStringLiteral("secret.txt")), "4242");
        if (special == u"fifo")
            QCOMPARE(mkfifo(QFile::encodeName(gcXml()).constData(), 0600), 0);
        else if (special == u"device")
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), gcXml()));
        else if (!file.isNull())
            writeFile(gcXml(), expand(QString::fromLatin1(file)).toLatin1());

        start();
        QCOMPARE(errorBoxes(), error.isEmpty() ? QStringList() : QStringList{standardErrorText(expand(error))});
        expectState(expected);
        // Loading never writes.
        QCOMPARE(QFile::exists(gcXml()), !file.isNull() || !special.isEmpty());
    }

    void unreadableFile()
    {
        writeFile(gcXml(), "<global><ACC><port>5</port></ACC></global>");
        QVERIFY(QFile::setPermissions(gcXml(), QFile::WriteOwner));
        PermissionsEnforced enforced;
        if (QFile(gcXml()).open(QIODevice::ReadOnly))
            QSKIP("this user can read any file");
        start();
        QCOMPARE(errorBoxes(), QStringList{"Permission denied\r\nLine: 0\r\n"});
        expectState({"lport=88", "SelectedIPs="});
    }

    void saveThenLoad_data()
    {
        QTest::addColumn<QStringList>("entered");
        QTest::addColumn<QStringList>("afterSave");
        QTest::addColumn<QStringList>("afterRestart");

        const QStringList everything{"lport=8080",
                                     "MaxCon_txt=25",
                                     "DefaultLogFolder_txt=/srv/logs",
                                     "CertFile_txt=/srv/c.cer",
                                     "KeyFile_txt=/srv/k.key",
                                     "mport=2020",
                                     "ServerPass_txt=s3cr&t<\"x\">",
                                     "ConfirmServerPass_txt=s3cr&t<\"x\">",
                                     "SelectedIPs=10.0.0.5",
                                     "SelectedIPs2=127.0.0.1,192.168.1.20"};
        QTest::newRow("everything") << everything
                                    << QStringList{"Host=192.168.1.20", "Port=2020", "Password=s3cr&t<\"x\">"}
                                    << everything + QStringList{"SystemIPS=127.0.0.1,192.168.1.20",
                                                                "SystemIPS2=10.0.0.5,10.0.0.5", "Host=192.168.1.20",
                                                                "Port=2020", "Password=s3cr&t<\"x\">"};
        QTest::newRow("empty fields come back as their defaults")
            << QStringList{"MaxCon_txt=", "CertFile_txt=", "KeyFile_txt=", "DefaultLogFolder_txt="}
            << QStringList{"Port=1011"}
            << QStringList{"MaxCon_txt=0", "CertFile_txt=$DIR/default.cer", "KeyFile_txt=$DIR/default.key",
                           "DefaultLogFolder_txt=$DIR/logs"};
        QTest::newRow("all addresses: 0.0.0.0 stays, the boxes do not")
            << QStringList{"ActivateOnAll_chk=", "ActivateOnAll_chk2="}
            << QStringList{"SelectedIPs=0.0.0.0", "Host=0.0.0.0"}
            << QStringList{"SelectedIPs=0.0.0.0",
                           "SelectedIPs2=0.0.0.0",
                           "ActivateOnAll_chk=clear",
                           "ActivateOnAll_chk2=clear",
                           "Host=0.0.0.0",
                           "SystemIPS=127.0.0.1,10.0.0.5,192.168.1.20,10.0.0.5"};
        QTest::newRow("no management address: host and password stay")
            << QStringList{"SelectedIPs2=", "ServerPass_txt=new", "mport=$10"}
            << QStringList{"Host=127.0.0.1", "Password=$BUILTIN", "Port=16"}
            << QStringList{"SelectedIPs2=", "Host=", "ServerPass_txt=new", "Password=new", "mport=$10", "Port=16"};
        QTest::newRow("text that is hard to store")
            << QStringList{QStringLiteral("DefaultLogFolder_txt=C:\\Donn\u00e9es \U0001F600\r\n\ttab"),
                           "KeyFile_txt= padded ", "CertFile_txt=]]>"}
            << QStringList{}
            << QStringList{QStringLiteral("DefaultLogFolder_txt=C:\\Donn\u00e9es \U0001F600\r\n\ttab"),
                           "KeyFile_txt= padded ", "CertFile_txt=]]>"};
    }

    void saveThenLoad()
    {
        QFETCH(QStringList, entered);
        QFETCH(QStringList, afterSave);
        QFETCH(QStringList, afterRestart);
        start();
        enter(entered);
        QCOMPARE(saveError(), QString());
        expectState(afterSave);

        start();
        QCOMPARE(errorBoxes(), QStringList());
        expectState(afterRestart);
    }

    void savedDocument()
    {
        start();
        enter({"MaxCon_txt=", "DefaultLogFolder_txt=/logs & more", "KeyFile_txt=k<1>", "CertFile_txt=a\rb",
               "ServerPass_txt=p\"w'd", "SelectedIPs=127.0.0.1,0.0.0.0", "SelectedIPs2="});
        QCOMPARE(saveError(), QString());
        QCOMPARE(readFile(gcXml()),
                 QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><global><ACC><port>88</port><maxcon/>"
                            "<logdir>/logs &amp; more</logdir><cert>a&#13;b</cert><key>k&lt;1&gt;</key>"
                            "<IP>127.0.0.1</IP><IP>0.0.0.0</IP></ACC><Management><port>1011</port>"
                            "<password>p&quot;w'd</password></Management></global>\n"));
        // Elements only the old file had are gone after the next save.
        writeFile(gcXml(), "<global><ACC><port>1</port><extra>x</extra></ACC><Other/></global>");
        QCOMPARE(saveError(), QString());
        QVERIFY(!readFile(gcXml()).contains("extra"));
    }

    void failedSave_data()
    {
        QTest::addColumn<QStringList>("entered");
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("error");
        const QString unstorable = QStringLiteral("The value of \"%1\" contains a character that gc.xml cannot store; "
                                                  "nothing was saved");
        QTest::newRow("management port not an integer")
            << QStringList{"mport=abc"} << int(None) << "''abc'' is not a valid integer value";
        QTest::newRow("empty management port")
            << QStringList{"mport="} << int(None) << "'''' is not a valid integer value";
        QTest::newRow("management port too large")
            << QStringList{"mport=4294967296"} << int(None) << "''4294967296'' is not a valid integer value";
        QTest::newRow("control character") << QStringList{"KeyFile_txt=a\x01z"} << int(None) << unstorable.arg("key");
        QTest::newRow("broken surrogate") << QStringList{QStringLiteral("ServerPass_txt=x") + QChar(0xD800)}
                                          << int(None) << unstorable.arg("password");
        QTest::newRow("read-only directory")
            << QStringList{} << int(ReadOnlyDirectory) << "Could not write \"$DIR/gc.xml\": Permission denied";
        QTest::newRow("disk full") << QStringList{} << int(DiskFull)
                                   << "Could not write \"$DIR/gc.xml\": File too large";
    }

    // A save that fails changes nothing: no new file, the old one byte for
    // byte, no temporary file left behind, the management record as it was.
    void failedSave()
    {
        QFETCH(QStringList, entered);
        QFETCH(int, fault);
        QFETCH(QString, error);
        const QByteArray old = "<global><ACC><port>5</port></ACC><Management><port>6</port><IP>10.0.0.5</IP>"
                               "</Management></global>";
        for (bool existing : {false, true}) {
            if (existing)
                writeFile(gcXml(), old);
            start();
            const ManagementSettingsRecord before = m_window->ManagementSettings;
            enter(entered + QStringList{"lport=7", "SelectedIPs2=192.168.1.20"});
            QString shown;
            if (fault == ReadOnlyDirectory) {
                const QString dir = m_fake->dir();
                QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner));
                const auto writable = qScopeGuard(
                    [dir] { QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
                PermissionsEnforced enforced;
                if (QFile probe(m_fake->path(QStringLiteral("probe"))); probe.open(QIODevice::WriteOnly))
                    QSKIP("this user can write into any directory");
                shown = saveError();
            } else if (fault == DiskFull) {
                FileSizeLimited limited;
                shown = saveError();
            } else {
                shown = saveError();
            }
            QCOMPARE(shown, expand(error));
            QCOMPARE(QDir(m_fake->dir()).entryList(QDir::Files), existing ? QStringList{"gc.xml"} : QStringList{});
            if (existing)
                QCOMPARE(readFile(gcXml()), old);
            QVERIFY(m_window->ManagementSettings == before);
        }
    }

    void permissions_data()
    {
        QTest::addColumn<int>("existing"); // 0: no file before the save
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("owner");   // -1: this process's user
        QTest::addColumn<int>("dirMode"); // 0: as the temporary directory is
        QTest::newRow("new file: owner only") << 0 << 0600 << -1 << 0;
        QTest::newRow("existing file keeps 0644") << 0644 << 0644 << -1 << 0;
        QTest::newRow("existing file keeps 0660") << 0660 << 0660 << -1 << 0;
        // The server may run under its own account and must go on reading it.
        QTest::newRow("existing file keeps its owner") << 0600 << 0600 << 65534 << 0;
        // The installed server directory, shared by its administrators' group.
        QTest::newRow("new file in a set-group-ID directory: owner and group") << 0 << 0660 << -1 << 02770;
        QTest::newRow("existing file in a set-group-ID directory keeps 0600") << 0600 << 0600 << -1 << 02770;
    }

    void permissions()
    {
        QFETCH(int, existing);
        QFETCH(int, expected);
        QFETCH(int, owner);
        QFETCH(int, dirMode);
        if (dirMode)
            QVERIFY(chmod(QFile::encodeName(m_fake->dir()).constData(), mode_t(dirMode)) == 0);
        if (existing) {
            writeFile(gcXml(), "<global/>");
            QVERIFY(chmod(QFile::encodeName(gcXml()).constData(), mode_t(existing)) == 0);
        }
        if (owner >= 0 && chown(QFile::encodeName(gcXml()).constData(), uid_t(owner), gid_t(owner)) != 0)
            QSKIP("only root can give a file to another user");
        const mode_t oldMask = umask(0);
        start();
        const QString error = saveError();
        umask(oldMask);
        QCOMPARE(error, QString());
        struct stat info
        {
        };
        QVERIFY(stat(QFile::encodeName(gcXml()).constData(), &info) == 0);
        QCOMPARE(int(info.st_mode & 0777), expected);
        QCOMPARE(info.st_uid, owner >= 0 ? uid_t(owner) : geteuid());
    }
};

QTEST_MAIN(TestGlobalConfig)
#include "tst_globalconfig.moc"
