#pragma once

#include <QString>

namespace vellamor {

// The text of the standard error box: the message, with a full stop appended
// when its last character sorts after '.' (so "!" or "?" or a letter gets one,
// while a text already ending in "." or "," or a space does not).
QString standardErrorText(const QString &message);

} // namespace vellamor
