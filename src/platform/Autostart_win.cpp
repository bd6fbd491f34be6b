#include "Autostart.h"

#include "common/AppInfo.h"

#include <QDir>
#include <QSettings>

// The current user's Run key: Windows starts what it names at the user's login.
namespace vellamor::platform {

namespace {

const QString kRunKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");

class RunKeyAutostart final : public Autostart
{
public:
    explicit RunKeyAutostart(QString program) : m_program(std::move(program)) {}

    bool isEnabled() const override { return QSettings(kRunKey, QSettings::NativeFormat).contains(kApplicationTitle); }

    std::optional<QString> setEnabled(bool enabled) override
    {
        QSettings run(kRunKey, QSettings::NativeFormat);
        if (enabled)
            run.setValue(
                kApplicationTitle,
                QStringLiteral("\"%1\" %2").arg(QDir::toNativeSeparators(m_program), QLatin1StringView(kTrayOption)));
        else
            run.remove(kApplicationTitle);
        run.sync();
        if (run.status() != QSettings::NoError)
            return QStringLiteral("Cannot change the programs started at login (%1)").arg(kRunKey);
        return std::nullopt;
    }

private:
    QString m_program;
};

} // namespace

std::shared_ptr<Autostart> makeSystemAutostart(const QString &program)
{
    return std::make_shared<RunKeyAutostart>(program);
}

} // namespace vellamor::platform
