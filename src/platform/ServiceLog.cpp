#include "ServiceLog.h"

namespace vellamor::platform {

QList<QByteArray> LineSplitter::feed(const QByteArray &bytes)
{
    m_partial += bytes;
    QList<QByteArray> lines;
    qsizetype begin = 0;
    for (;;) {
        const qsizetype end = m_partial.indexOf('\n', begin);
        if (end < 0)
            break;
        QByteArray line = m_partial.mid(begin, end - begin);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
        begin = end + 1;
    }
    m_partial.remove(0, begin);
    while (m_partial.size() > kLongestLine) {
        lines.append(m_partial.left(kLongestLine));
        m_partial.remove(0, kLongestLine);
    }
    return lines;
}

} // namespace vellamor::platform
