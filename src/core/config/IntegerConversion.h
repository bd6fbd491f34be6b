#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <optional>

namespace vellamor {

// Reads a whole text as a 32-bit signed integer the way the server reads its
// management port: leading blanks are skipped, an optional sign follows, and
// "$", "x" or "0x" (either case) introduces a hexadecimal number. Anything
// else - an empty text, trailing characters, a value outside the 32-bit range -
// is not an integer.
std::optional<qint32> parseInteger(QStringView text);

// As parseInteger, but raises "''<text>'' is not a valid integer value".
qint32 toInteger(const QString &text);

} // namespace vellamor
