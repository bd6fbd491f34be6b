#include "AtomicFile.h"

#include "common/Error.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

namespace vellamor {

namespace {

[[noreturn]] void raiseWriteError(const QString &path, const QString &reason)
{
    throw Error(QStringLiteral("Could not write \"%1\": %2").arg(QDir::toNativeSeparators(path), reason));
}

} // namespace

void writeFileAtomically(const QString &path, const QByteArray &data)
{
    const bool existed = QFileInfo::exists(path);
    QSaveFile file(path);
    // Unbuffered: QSaveFile does not notice when its own buffer cannot be
    // flushed (a full disk) and would commit a truncated file. Each write is
    // checked here instead; on any early return the temporary file goes with
    // `file` and the old file stays.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        raiseWriteError(path, file.errorString());
    // The temporary file takes over an existing file's permissions by itself;
    // a new one is narrowed before the first byte goes in. Where the file
    // system keeps no permissions this does nothing, which is fine.
    if (!existed)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    for (qint64 done = 0; done < data.size();) {
        // A short write is followed by one more, which reports the reason.
        const qint64 written = file.write(data.constData() + done, data.size() - done);
        if (written <= 0)
            raiseWriteError(path, file.errorString());
        done += written;
    }
#ifdef Q_OS_UNIX
    // A disk that fills up late reports it here; QSaveFile ignores it.
    if (::fsync(file.handle()) != 0)
        raiseWriteError(path, qt_error_string(errno));
#endif
    if (!file.commit())
        raiseWriteError(path, file.errorString());
}

} // namespace vellamor
