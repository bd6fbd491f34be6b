#pragma once

#include <QString>

namespace vellamor::platform {

// The file system as the panel sees it. The executable directory is where the
// server keeps gc.xml, rules.txt and its logs; tests point it at a temporary one.
class FileSystem
{
public:
    virtual ~FileSystem() = default;

    // The directory of the running executable, without a trailing separator.
    virtual QString executableDir() const = 0;

    // True only for an existing directory.
    virtual bool directoryExists(const QString &path) const = 0;

    // True only for an existing file that is not a directory.
    virtual bool fileExists(const QString &path) const = 0;

    // Creates one directory level; the parent must exist.
    virtual bool createDirectory(const QString &path) = 0;
};

// The real file system; executableDir() is the given directory, or the
// application's own directory when none is given.
class LocalFileSystem final : public FileSystem
{
public:
    explicit LocalFileSystem(QString executableDir = QString());

    QString executableDir() const override;
    bool directoryExists(const QString &path) const override;
    bool fileExists(const QString &path) const override;
    bool createDirectory(const QString &path) override;

private:
    QString m_executableDir;
};

} // namespace vellamor::platform
