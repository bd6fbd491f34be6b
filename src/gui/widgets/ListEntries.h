#pragma once

#include <QListWidget>
#include <QStringList>

namespace vellamor {

// The texts of a list's entries, top to bottom.
inline QStringList entriesOf(const QListWidget *list)
{
    QStringList entries;
    entries.reserve(list->count());
    for (int row = 0; row < list->count(); ++row)
        entries.append(list->item(row)->text());
    return entries;
}

} // namespace vellamor
