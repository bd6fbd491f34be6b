#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace vellamor {

// Who may read a file that a write brings into being. An existing file always
// keeps its own permissions (and, where the system lets us, its owner).
enum class NewFileAccess {
    OwnerOnly, // gc.xml: it holds the management password (and its group, in a set-group-ID directory)
    Default,   // the system's default for new files (the umask decides)
};

// Replaces the file at `path` with `data` in one step: the bytes go to a
// temporary file of our own beside it, every write is checked, the file and
// then its directory are flushed to the disk, and only then does the
// temporary file take the old one's place. A crash, a full disk or a write
// error leaves the old file as it was. A symbolic link is followed: the file
// it points to is replaced, the link stays.
//
// Raises an error naming the file and the system's reason.
void writeFileAtomically(const QString &path, const QByteArray &data, NewFileAccess access = NewFileAccess::OwnerOnly);

// Removes the temporary files that a write of one of `names` left in `dir`
// when the program was killed halfway: regular files named as our writer
// names them, nothing else. Failures are ignored; a leftover is harmless.
void removeLeftoverTemporaries(const QString &dir, const QStringList &names);

// The outcome of reading a whole file with an upper bound on its size.
struct BoundedRead
{
    enum class Failure {
        CannotOpen, // missing, no access, a directory: `reason` is the system's
        NotAFile,   // a FIFO, device or socket, which could block or never end
        TooLarge,   // more than the bound
        ReadError,  // `reason` is the system's
    };

    QByteArray content;
    std::optional<Failure> failure;
    QString reason;
};

// Reads a regular file of at most maxBytes bytes without ever blocking on
// what is not a regular file.
BoundedRead readFileBounded(const QString &path, qint64 maxBytes);

} // namespace vellamor
