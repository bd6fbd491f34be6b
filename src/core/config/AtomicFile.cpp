#include "AtomicFile.h"

#include "common/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>

#ifdef Q_OS_UNIX
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <filesystem>
#include <io.h>
#include <system_error>
#endif

namespace vellamor {

namespace {

// Our temporary files are the target's name, this marker and six letters or
// digits, so that start-up can tell them from anything else an administrator
// keeps beside the server ("gc.xml.backup", say).
constexpr QLatin1StringView kTemporaryMarker(".vellamor-save-");
constexpr int kRandomLength = 6;

[[noreturn]] void raiseWriteError(const QString &path, const QString &reason)
{
    throw Error(QStringLiteral("Could not write \"%1\": %2").arg(QDir::toNativeSeparators(path), reason));
}

QString temporaryPathFor(const QString &target)
{
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString path = target + kTemporaryMarker;
    for (int i = 0; i < kRandomLength; ++i)
        path += QLatin1Char(kAlphabet[QRandomGenerator::global()->bounded(int(sizeof kAlphabet - 1))]);
    return path;
}

// The file a write replaces: a symbolic link is followed to its end, so the
// link an administrator set up stays a link.
QString finalTarget(const QString &path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.isSymLink() ? path : info.filePath();
}

#ifdef Q_OS_UNIX

void writeAll(int fd, const QByteArray &data, const QString &path)
{
    for (qsizetype done = 0; done < data.size();) {
        const ssize_t written = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            raiseWriteError(path, qt_error_string(errno));
        }
        // A short write is followed by one more, which reports the reason.
        done += written;
    }
}

// A new file that only its owner may read. In a directory shared by a group
// (set-group-ID, as the package leaves the server's directory), the file
// belongs to that group, and the group may read it too: every administrator
// the group admits can then load what another one saved. Others never may.
mode_t ownerOnlyMode(const QString &target)
{
    struct stat dir
    {
    };
    const QByteArray dirName = QFile::encodeName(QFileInfo(target).absolutePath());
    return ::stat(dirName.constData(), &dir) == 0 && (dir.st_mode & S_ISGID) ? 0660 : 0600;
}

void replace(const QString &path, const QString &target, const QByteArray &data, NewFileAccess access)
{
    const QByteArray targetName = QFile::encodeName(target);
    struct stat old
    {
    };
    const bool replacing = ::stat(targetName.constData(), &old) == 0 && S_ISREG(old.st_mode);
    // Readable by the owner alone until the old file's mode is copied: a
    // reader that opened the file in the meantime would keep reading it.
    // The umask still applies to a new file.
    const mode_t createMode = replacing ? 0600 : access == NewFileAccess::OwnerOnly ? ownerOnlyMode(target) : 0666;

    QByteArray temporaryName;
    int fd = -1;
    while (fd < 0) {
        temporaryName = QFile::encodeName(temporaryPathFor(target));
        fd = ::open(temporaryName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
        if (fd < 0 && errno != EEXIST)
            raiseWriteError(path, qt_error_string(errno));
    }
    auto closeAndRemove = qScopeGuard([&] {
        if (fd >= 0)
            ::close(fd);
        ::unlink(temporaryName.constData());
    });

    if (replacing) {
        // The server may run under another account that owns the file: keep
        // the owner where we may (root may, others keep their own), then the
        // mode. A file system without owners or modes refuses both, which is
        // fine.
        [[maybe_unused]] const bool ownerKept =
            ::fchown(fd, old.st_uid, old.st_gid) == 0 || ::fchown(fd, uid_t(-1), old.st_gid) == 0;
        [[maybe_unused]] const bool modeKept = ::fchmod(fd, old.st_mode & 07777) == 0;
    }

    writeAll(fd, data, path);
    // A disk that fills up late (delayed allocation, network file systems)
    // reports it here or at close.
    if (::fsync(fd) != 0)
        raiseWriteError(path, qt_error_string(errno));
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0)
        raiseWriteError(path, qt_error_string(errno));
    if (::rename(temporaryName.constData(), targetName.constData()) != 0)
        raiseWriteError(path, qt_error_string(errno));
    closeAndRemove.dismiss();

    // The new name reaches the disk with the directory; until then a power
    // cut could bring back the old file, or no file at all. File systems that
    // cannot flush a directory say EINVAL, and need not.
    const QByteArray dirName = QFile::encodeName(QFileInfo(target).absolutePath());
    const int dirFd = ::open(dirName.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        raiseWriteError(path, qt_error_string(errno));
    const int synced = ::fsync(dirFd);
    const int syncError = errno;
    ::close(dirFd);
    if (synced != 0 && syncError != EINVAL)
        raiseWriteError(path, qt_error_string(syncError));
}

#else

void replace(const QString &path, const QString &target, const QByteArray &data, NewFileAccess access)
{
    const QFileInfo old(target);
    const bool replacing = old.isFile();
    QFile file;
    do {
        file.setFileName(temporaryPathFor(target));
    } while (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered) && file.exists());
    if (!file.isOpen())
        raiseWriteError(path, file.errorString());
    auto remove = qScopeGuard([&file] { file.remove(); });

    if (replacing)
        file.setPermissions(old.permissions());
    else if (access == NewFileAccess::OwnerOnly)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    for (qint64 done = 0; done < data.size();) {
        const qint64 written = file.write(data.constData() + done, data.size() - done);
        if (written <= 0)
            raiseWriteError(path, file.errorString());
        done += written;
    }
    if (::_commit(file.handle()) != 0)
        raiseWriteError(path, qt_error_string(errno));
    file.close();
    if (file.error() != QFileDevice::NoError)
        raiseWriteError(path, file.errorString());

    // Replaces the old file in one step (MoveFileEx with REPLACE_EXISTING).
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(file.fileName().toStdWString()),
                            std::filesystem::path(target.toStdWString()), error);
    if (error)
        raiseWriteError(path, QString::fromStdString(error.message()));
    remove.dismiss();
}

#endif

} // namespace

void writeFileAtomically(const QString &path, const QByteArray &data, NewFileAccess access)
{
    replace(path, finalTarget(path), data, access);
}

void removeLeftoverTemporaries(const QString &dir, const QStringList &names)
{
    // Names are matched by hand: this runs at every start, and a wildcard
    // pattern would bring up the regular expression engine just for it.
    const auto isOurs = [&names](const QString &file) {
        for (const QString &name : names) {
            const QString prefix = name + kTemporaryMarker;
            if (file.size() != prefix.size() + kRandomLength || !file.startsWith(prefix))
                continue;
            const auto randomPart = QStringView(file).sliced(prefix.size());
            if (std::all_of(randomPart.begin(), randomPart.end(), [](QChar c) {
                    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
                }))
                return true;
        }
        return false;
    };
    const QDir directory(dir);
    for (const QFileInfo &entry : directory.entryInfoList(QDir::Files | QDir::Hidden, QDir::NoSort)) {
        if (!entry.isSymLink() && isOurs(entry.fileName()))
            QFile::remove(entry.filePath());
    }
}

BoundedRead readFileBounded(const QString &path, qint64 maxBytes)
{
    BoundedRead result;
    const auto fail = [&result](BoundedRead::Failure failure, const QString &reason = QString()) {
        result.content.clear();
        result.failure = failure;
        result.reason = reason;
        return result;
    };

#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    // Looked at before opening: opening a FIFO waits for a writer, and
    // opening a device may do something of its own.
    struct stat info
    {
    };
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
        return fail(BoundedRead::Failure::NotAFile);
    // Non-blocking in case the file was swapped for a FIFO since.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(BoundedRead::Failure::CannotOpen, qt_error_string(errno));
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    if (::fstat(fd, &info) != 0)
        return fail(BoundedRead::Failure::ReadError, qt_error_string(errno));
    if (S_ISDIR(info.st_mode))
        return fail(BoundedRead::Failure::CannotOpen, qt_error_string(EISDIR));
    if (!S_ISREG(info.st_mode))
        return fail(BoundedRead::Failure::NotAFile);
    if (info.st_size > maxBytes)
        return fail(BoundedRead::Failure::TooLarge);

    // The file may grow while it is read: never more than the bound.
    QByteArray &content = result.content;
    content.resize(qsizetype(info.st_size) + 1);
    qsizetype done = 0;
    for (;;) {
        if (done == content.size()) {
            if (done > maxBytes)
                return fail(BoundedRead::Failure::TooLarge);
            content.resize(qsizetype(qMin<qint64>(qMax<qint64>(done * 2, 4096), maxBytes + 1)));
        }
        const ssize_t got = ::read(fd, content.data() + done, size_t(content.size() - done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return fail(BoundedRead::Failure::ReadError, qt_error_string(errno));
        }
        if (got == 0)
            break;
        done += got;
    }
    if (done > maxBytes)
        return fail(BoundedRead::Failure::TooLarge);
    content.truncate(done);
#else
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir())
        return fail(BoundedRead::Failure::NotAFile);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(BoundedRead::Failure::CannotOpen, file.errorString());
    if (file.size() > maxBytes)
        return fail(BoundedRead::Failure::TooLarge);
    result.content = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(BoundedRead::Failure::ReadError, file.errorString());
    if (result.content.size() > maxBytes)
        return fail(BoundedRead::Failure::TooLarge);
#endif
    return result;
}

} // namespace vellamor
