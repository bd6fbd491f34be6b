#include "RuleLines.h"

namespace vellamor {

QByteArrayList RuleLines::toList() const
{
    QByteArrayList list;
    list.reserve(m_size);
    for (qsizetype row = 0; row < m_size; ++row)
        list.append(at(row).toByteArray());
    return list;
}

RuleLineStore RuleLineStore::fromList(const QByteArrayList &lines)
{
    RuleLineStore store;
    qsizetype size = 0;
    for (const QByteArray &line : lines)
        size += line.size();
    store.bytes.reserve(size);
    store.spans.reserve(lines.size());
    for (const QByteArray &line : lines) {
        store.spans.append({quint32(store.bytes.size()), quint32(line.size())});
        store.bytes += line;
    }
    return store;
}

} // namespace vellamor
