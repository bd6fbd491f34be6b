#include "FileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace vellamor::platform {

LocalFileSystem::LocalFileSystem(QString executableDir) : m_executableDir(std::move(executableDir)) {}

QString LocalFileSystem::executableDir() const
{
    QString dir = m_executableDir.isEmpty() ? QCoreApplication::applicationDirPath() : m_executableDir;
    while (dir.size() > 1 && (dir.endsWith(u'/') || dir.endsWith(u'\\')))
        dir.chop(1);
    return QDir::toNativeSeparators(dir);
}

bool LocalFileSystem::directoryExists(const QString &path) const
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool LocalFileSystem::fileExists(const QString &path) const
{
    const QFileInfo info(path);
    return !path.isEmpty() && info.exists() && !info.isDir();
}

bool LocalFileSystem::createDirectory(const QString &path)
{
    return QDir().mkdir(path);
}

} // namespace vellamor::platform
