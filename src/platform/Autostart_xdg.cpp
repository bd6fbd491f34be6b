#include "Autostart.h"

#include "common/AppInfo.h"
#include "common/Error.h"
#include "config/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

// The XDG autostart entry: a desktop entry of our own in the user's
// $XDG_CONFIG_HOME/autostart, which the desktop starts at login.
namespace vellamor::platform {

namespace {

// A program path as one argument of an Exec line: quoted when it holds
// anything the line would read otherwise, with the line's own escapes, and
// then escaped once more as the string value it is.
std::optional<QString> execArgument(const QString &program)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString quoted;
    bool needsQuotes = false;
    for (const QChar c : program) {
        if (c.category() == QChar::Other_Control)
            return std::nullopt; // not to be written into a desktop entry
        if (reserved.contains(c))
            needsQuotes = true;
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    if (needsQuotes)
        quoted = QLatin1Char('"') + quoted + QLatin1Char('"');
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    quoted.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return quoted;
}

class XdgAutostart final : public Autostart
{
public:
    explicit XdgAutostart(QString program) : m_program(std::move(program)) {}

    bool isEnabled() const override
    {
        QFile file(entryPath());
        if (!file.open(QIODevice::ReadOnly))
            return false;
        // An entry the user switched off in the desktop's settings stays, hidden.
        return !file.read(kMaxEntry).split('\n').contains("Hidden=true");
    }

    std::optional<QString> setEnabled(bool enabled) override
    {
        const QString path = entryPath();
        if (!enabled) {
            QFile file(path);
            if (!file.exists() || file.remove())
                return std::nullopt;
            return QStringLiteral("Cannot remove %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        }
        const std::optional<QString> exec = execArgument(m_program);
        if (!exec)
            return QStringLiteral("Cannot start %1 at login: its path holds a control character")
                .arg(QDir::toNativeSeparators(m_program));
        const QString dir = QFileInfo(path).absolutePath();
        if (!QDir().mkpath(dir))
            return QStringLiteral("Cannot create the folder %1").arg(QDir::toNativeSeparators(dir));
        const QString entry = QStringLiteral("[Desktop Entry]\n"
                                             "Type=Application\n"
                                             "Name=%1\n"
                                             "Comment=Watches Vellamor Service from the notification area\n"
                                             "Exec=%2 %3\n"
                                             "Icon=%4\n"
                                             "Terminal=false\n"
                                             "X-GNOME-Autostart-enabled=true\n")
                                  .arg(kApplicationTitle, *exec, QLatin1StringView(kTrayOption), kDesktopFileId);
        try {
            writeFileAtomically(path, entry.toUtf8(), NewFileAccess::Default);
        } catch (const Error &error) {
            return error.message();
        }
        return std::nullopt;
    }

private:
    static constexpr qint64 kMaxEntry = qint64(64) * 1024;

    static QString entryPath()
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart/") +
               kDesktopFileId + QStringLiteral(".desktop");
    }

    QString m_program;
};

} // namespace

std::shared_ptr<Autostart> makeSystemAutostart(const QString &program)
{
    return std::make_shared<XdgAutostart>(program);
}

} // namespace vellamor::platform
