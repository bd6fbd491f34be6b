#pragma once

#include <QByteArray>
#include <QString>

namespace vellamor {

// Replaces the file at `path` with `data` in one step: the bytes go to a
// temporary file beside it, which is renamed over the old file only when all
// of them were written. A crash, a full disk or a write error leaves the old
// file as it was. A file created anew is readable by its owner only (gc.xml
// holds a password); an existing file keeps its permissions.
//
// Raises an error naming the file and the system's reason.
void writeFileAtomically(const QString &path, const QByteArray &data);

} // namespace vellamor
