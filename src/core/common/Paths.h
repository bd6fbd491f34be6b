#pragma once

#include <QDir>
#include <QString>

namespace vellamor {

// Every file of the server lives beside the executable: the directory, the
// platform's own separator, then the name ("\gc.xml" on Windows, "/gc.xml" here).
inline QString besideExecutable(const QString &executableDir, const QString &name)
{
    return QDir::toNativeSeparators(executableDir) + QDir::separator() + name;
}

} // namespace vellamor
