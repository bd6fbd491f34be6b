#include "ServiceLog.h"

#include <QProcess>

#include <pwd.h>
#include <unistd.h>

// The service's log on a systemd machine is the unit's journal. journalctl
// prints the last lines and then follows, for as long as it runs; it runs as
// the panel's user, who may not be allowed to read the system's journal.
namespace vellamor::platform {

namespace {

// What journalctl says (in English whatever the locale: it is not
// translated) when the user may read only their own part of the journal, or
// none of it.
constexpr const char *kNotAllowed[] = {
    "not seeing messages from other users and the system",
    "insufficient permissions",
    "Permission denied",
};

QString userName()
{
    if (const passwd *user = getpwuid(geteuid()))
        return QString::fromLocal8Bit(user->pw_name);
    return QStringLiteral("<user>");
}

class JournalLog final : public ServiceLog
{
public:
    explicit JournalLog(const QString &serviceName) : m_unit(serviceName + QStringLiteral(".service"))
    {
        connect(&m_process, &QProcess::readyReadStandardOutput, this, [this] {
            QStringList lines;
            for (const QByteArray &line : m_lines.feed(m_process.readAllStandardOutput()))
                lines.append(QString::fromUtf8(line));
            if (!lines.isEmpty())
                Q_EMIT linesRead(lines);
        });
        connect(&m_process, &QProcess::readyReadStandardError, this, [this] {
            // Only its first words matter; a chatty journalctl cannot fill the memory.
            if (m_errors.size() < qsizetype(16) * 1024)
                m_errors += m_process.readAllStandardError();
            else
                m_process.readAllStandardError();
            if (!m_explained && refused()) {
                m_explained = true;
                Q_EMIT problem(notAllowed());
            }
        });
        connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                Q_EMIT problem(tr("The journal cannot be read: journalctl could not be started (%1).")
                                   .arg(m_process.errorString()));
        });
        connect(&m_process, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
            if (m_explained)
                return;
            if (refused())
                Q_EMIT problem(notAllowed());
            else if (status != QProcess::NormalExit || exitCode != 0)
                Q_EMIT problem(tr("journalctl stopped: %1")
                                   .arg(QString::fromLocal8Bit(m_errors).trimmed().section(QLatin1Char('\n'), 0, 0)));
        });
    }

    ~JournalLog() override
    {
        // journalctl keeps nothing of its own: it is ended at once, and the
        // wait for it is only the wait for the kernel to reap it.
        m_process.kill();
        m_process.waitForFinished(1000);
    }

    QString source() const override { return tr("the journal of %1").arg(m_unit); }

    void start() override
    {
        m_process.start(QStringLiteral("journalctl"),
                        {QStringLiteral("--unit"), m_unit, QStringLiteral("-n"), QString::number(kLastLines),
                         QStringLiteral("-o"), QStringLiteral("short-iso"), QStringLiteral("--follow")},
                        QIODevice::ReadOnly);
    }

private:
    bool refused() const
    {
        for (const char *words : kNotAllowed) {
            if (m_errors.contains(words))
                return true;
        }
        return false;
    }

    QString notAllowed() const
    {
        return tr("Your account may not read the system journal, where Vellamor Server writes its log. "
                  "Members of the groups \"systemd-journal\" and \"adm\" may read it: an administrator can "
                  "add you with \"sudo usermod -a -G systemd-journal %1\". Log in again afterwards.")
            .arg(userName());
    }

    QString m_unit;
    QProcess m_process;
    LineSplitter m_lines;
    QByteArray m_errors;
    bool m_explained = false;
};

class JournalLogs final : public ServiceLogs
{
public:
    std::unique_ptr<ServiceLog> open(const QString &serviceName, const QString &) override
    {
        return std::make_unique<JournalLog>(serviceName);
    }
};

} // namespace

std::shared_ptr<ServiceLogs> makeJournalLogs()
{
    return std::make_shared<JournalLogs>();
}

std::shared_ptr<ServiceLogs> makeSystemServiceLogs()
{
    return makeJournalLogs();
}

} // namespace vellamor::platform
