#include "LineDiff.h"

#include <QHash>
#include <cstring>
#include <vector>

namespace vellamor {

QList<QByteArrayView> splitLines(QByteArrayView text, bool keepEnds)
{
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0) {
            lines.append(text.sliced(start));
            break;
        }
        qsizetype lineEnd = end;
        if (!keepEnds && lineEnd > start && text[lineEnd - 1] == '\r')
            --lineEnd;
        lines.append(keepEnds ? text.sliced(start, end + 1 - start) : text.sliced(start, lineEnd - start));
        start = end + 1;
    }
    return lines;
}

CommonEnds commonEnds(QByteArrayView a, QByteArrayView b)
{
    const qsizetype shorter = qMin(a.size(), b.size());
    // Whole blocks first: memcmp is many times quicker than a loop of bytes.
    constexpr qsizetype kBlock = 4096;
    qsizetype prefix = 0;
    while (prefix + kBlock <= shorter && std::memcmp(a.data() + prefix, b.data() + prefix, kBlock) == 0)
        prefix += kBlock;
    while (prefix < shorter && a[prefix] == b[prefix])
        ++prefix;
    // Back to the start of the line the first difference is in.
    if (!(prefix == a.size() && prefix == b.size()))
        while (prefix > 0 && a[prefix - 1] != '\n')
            --prefix;
    qsizetype suffix = 0;
    while (suffix + kBlock <= shorter - prefix &&
           std::memcmp(a.data() + a.size() - suffix - kBlock, b.data() + b.size() - suffix - kBlock, kBlock) == 0)
        suffix += kBlock;
    while (suffix < shorter - prefix && a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix])
        ++suffix;
    // On to the start of a line in both.
    while (suffix > 0 && ((a.size() - suffix > 0 && a[a.size() - suffix - 1] != '\n') ||
                          (b.size() - suffix > 0 && b[b.size() - suffix - 1] != '\n')))
        --suffix;
    return {prefix, suffix};
}

namespace {

// Beyond this many steps of the search in one stretch, the stretch counts
// as replaced: a correct diff, only not the shortest, instead of a wait of
// minutes over two unrelated files.
constexpr qint64 kSearchBudget = 40'000'000;

class Myers
{
public:
    Myers(const std::vector<int> &a, const std::vector<int> &b, std::vector<CommonRun> &out)
        : m_a(a), m_b(b), m_out(out)
    {
    }

    void run(qsizetype aLo, qsizetype aHi, qsizetype bLo, qsizetype bHi)
    {
        qsizetype prefix = 0;
        while (aLo + prefix < aHi && bLo + prefix < bHi && m_a[aLo + prefix] == m_b[bLo + prefix])
            ++prefix;
        if (prefix > 0)
            keep(aLo, bLo, prefix);
        aLo += prefix;
        bLo += prefix;
        qsizetype suffix = 0;
        while (aHi - suffix > aLo && bHi - suffix > bLo && m_a[aHi - 1 - suffix] == m_b[bHi - 1 - suffix])
            ++suffix;
        aHi -= suffix;
        bHi -= suffix;
        if (aLo < aHi && bLo < bHi) {
            qsizetype x = 0, y = 0;
            if (middle(aLo, aHi, bLo, bHi, x, y) && !(x == aLo && y == bLo) && !(x == aHi && y == bHi)) {
                run(aLo, x, bLo, y);
                run(x, aHi, y, bHi);
            }
        }
        if (suffix > 0)
            keep(aHi, bHi, suffix);
    }

private:
    void keep(qsizetype a, qsizetype b, qsizetype length)
    {
        if (!m_out.empty()) {
            CommonRun &last = m_out.back();
            if (last.oldIndex + last.length == a && last.newIndex + last.length == b) {
                last.length += length;
                return;
            }
        }
        m_out.push_back({a, b, length});
    }

    // A point on a shortest edit path through the middle: the end of the
    // forward snake where the two searches meet.
    bool middle(qsizetype aLo, qsizetype aHi, qsizetype bLo, qsizetype bHi, qsizetype &splitA, qsizetype &splitB)
    {
        const qsizetype n = aHi - aLo, m = bHi - bLo;
        const qsizetype delta = n - m;
        const bool odd = delta & 1;
        const qsizetype maxD = (n + m + 1) / 2;
        const qsizetype offset = maxD + 1;
        m_forward.assign(size_t(2 * offset + 1), -1);
        m_backward.assign(size_t(2 * offset + 1), -1);
        m_forward[size_t(offset + 1)] = 0;
        m_backward[size_t(offset + 1)] = 0;
        qint64 spent = 0;
        for (qsizetype d = 0; d <= maxD; ++d) {
            spent += 2 * d + 2;
            if (spent > kSearchBudget)
                return false;
            for (qsizetype k = -d; k <= d; k += 2) {
                qsizetype x =
                    (k == -d || (k != d && m_forward[size_t(offset + k - 1)] < m_forward[size_t(offset + k + 1)]))
                        ? m_forward[size_t(offset + k + 1)]
                        : m_forward[size_t(offset + k - 1)] + 1;
                qsizetype y = x - k;
                if (x < 0 || x > n || y > m || y < 0)
                    continue;
                while (x < n && y < m && m_a[aLo + x] == m_b[bLo + y])
                    ++x, ++y;
                m_forward[size_t(offset + k)] = x;
                const qsizetype kr = delta - k;
                if (odd && kr >= -(d - 1) && kr <= d - 1 && m_backward[size_t(offset + kr)] >= 0 &&
                    x + m_backward[size_t(offset + kr)] >= n) {
                    splitA = aLo + x;
                    splitB = bLo + y;
                    return true;
                }
            }
            for (qsizetype kr = -d; kr <= d; kr += 2) {
                qsizetype x =
                    (kr == -d || (kr != d && m_backward[size_t(offset + kr - 1)] < m_backward[size_t(offset + kr + 1)]))
                        ? m_backward[size_t(offset + kr + 1)]
                        : m_backward[size_t(offset + kr - 1)] + 1;
                qsizetype y = x - kr;
                if (x < 0 || x > n || y > m || y < 0)
                    continue;
                while (x < n && y < m && m_a[aHi - 1 - x] == m_b[bHi - 1 - y])
                    ++x, ++y;
                m_backward[size_t(offset + kr)] = x;
                const qsizetype k = delta - kr;
                if (!odd && k >= -d && k <= d && m_forward[size_t(offset + k)] >= 0 &&
                    x + m_forward[size_t(offset + k)] >= n) {
                    splitA = aHi - x;
                    splitB = bHi - y;
                    return true;
                }
            }
        }
        return false;
    }

    const std::vector<int> &m_a;
    const std::vector<int> &m_b;
    std::vector<CommonRun> &m_out;
    std::vector<qsizetype> m_forward, m_backward;
};

} // namespace

QList<CommonRun> commonLineRuns(const QList<QByteArrayView> &allOld, const QList<QByteArrayView> &allNew)
{
    // The lines both begin and end with need no search.
    qsizetype head = 0, tail = 0;
    while (head < allOld.size() && head < allNew.size() && allOld[head] == allNew[head])
        ++head;
    while (tail < allOld.size() - head && tail < allNew.size() - head &&
           allOld[allOld.size() - 1 - tail] == allNew[allNew.size() - 1 - tail])
        ++tail;
    const QList<QByteArrayView> oldLines = allOld.mid(head, allOld.size() - head - tail);
    const QList<QByteArrayView> newLines = allNew.mid(head, allNew.size() - head - tail);

    // Each distinct line becomes a number; a line that only one version has
    // can never be common and is left out of the search.
    QHash<QByteArrayView, int> ids;
    ids.reserve(oldLines.size() + newLines.size());
    std::vector<int> oldIds(size_t(oldLines.size())), newIds(size_t(newLines.size()));
    std::vector<quint8> seen; // bit 1: in the old version, bit 2: in the new
    auto idOf = [&](QByteArrayView line, quint8 side) {
        auto it = ids.constFind(line);
        int id;
        if (it == ids.constEnd()) {
            id = int(seen.size());
            ids.insert(line, id);
            seen.push_back(0);
        } else {
            id = *it;
        }
        seen[size_t(id)] |= side;
        return id;
    };
    for (qsizetype i = 0; i < oldLines.size(); ++i)
        oldIds[size_t(i)] = idOf(oldLines[i], 1);
    for (qsizetype i = 0; i < newLines.size(); ++i)
        newIds[size_t(i)] = idOf(newLines[i], 2);

    std::vector<int> a, b;
    std::vector<qsizetype> aIndex, bIndex;
    for (size_t i = 0; i < oldIds.size(); ++i)
        if (seen[size_t(oldIds[i])] == 3)
            a.push_back(oldIds[i]), aIndex.push_back(qsizetype(i));
    for (size_t i = 0; i < newIds.size(); ++i)
        if (seen[size_t(newIds[i])] == 3)
            b.push_back(newIds[i]), bIndex.push_back(qsizetype(i));

    std::vector<CommonRun> filtered;
    Myers(a, b, filtered).run(0, qsizetype(a.size()), 0, qsizetype(b.size()));

    // Back to the versions' own line numbers: a run of the search may span
    // lines that were set aside, so it splits where the numbers jump.
    QList<CommonRun> runs;
    if (head > 0)
        runs.append({0, 0, head});
    for (const CommonRun &run : filtered) {
        for (qsizetype i = 0; i < run.length; ++i) {
            const qsizetype oldIndex = head + aIndex[size_t(run.oldIndex + i)];
            const qsizetype newIndex = head + bIndex[size_t(run.newIndex + i)];
            if (!runs.isEmpty() && runs.last().oldIndex + runs.last().length == oldIndex &&
                runs.last().newIndex + runs.last().length == newIndex)
                ++runs.last().length;
            else
                runs.append({oldIndex, newIndex, 1});
        }
    }
    if (tail > 0) {
        const qsizetype oldIndex = allOld.size() - tail, newIndex = allNew.size() - tail;
        if (!runs.isEmpty() && runs.last().oldIndex + runs.last().length == oldIndex &&
            runs.last().newIndex + runs.last().length == newIndex)
            runs.last().length += tail;
        else
            runs.append({oldIndex, newIndex, tail});
    }
    return runs;
}

QList<DiffHunk> unifiedHunks(const QList<QByteArrayView> &oldLines, const QList<QByteArrayView> &newLines, int context)
{
    QList<CommonRun> runs = commonLineRuns(oldLines, newLines);
    runs.append({oldLines.size(), newLines.size(), 0}); // the end, as a run of nothing

    auto stripEnd = [](QByteArrayView line) {
        if (line.endsWith('\n'))
            line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
        return line;
    };

    QList<DiffHunk> hunks;
    DiffHunk *hunk = nullptr;
    qsizetype oldPos = 0, newPos = 0;
    auto addContext = [&](qsizetype from, qsizetype to, qsizetype newFrom) {
        for (qsizetype i = from; i < to; ++i)
            hunk->lines.append({DiffLine::Kind::Context, i + 1, newFrom + (i - from) + 1, stripEnd(oldLines[i])});
    };
    for (const CommonRun &run : runs) {
        const bool changed = run.oldIndex > oldPos || run.newIndex > newPos;
        if (changed) {
            if (!hunk) {
                hunks.append(DiffHunk{});
                hunk = &hunks.last();
                const qsizetype lead = qMin<qsizetype>(context, oldPos);
                hunk->oldStart = oldPos - lead + 1;
                hunk->newStart = newPos - lead + 1;
                addContext(oldPos - lead, oldPos, newPos - lead);
            }
            for (qsizetype i = oldPos; i < run.oldIndex; ++i)
                hunk->lines.append({DiffLine::Kind::Removed, i + 1, 0, stripEnd(oldLines[i])});
            for (qsizetype i = newPos; i < run.newIndex; ++i)
                hunk->lines.append({DiffLine::Kind::Added, 0, i + 1, stripEnd(newLines[i])});
        }
        if (hunk) {
            // Context after the change; a short run joins the next change
            // into the same hunk.
            const bool last =
                run.oldIndex + run.length == oldLines.size() && run.newIndex + run.length == newLines.size();
            if (!last && run.length <= 2 * qsizetype(context)) {
                addContext(run.oldIndex, run.oldIndex + run.length, run.newIndex);
            } else {
                addContext(run.oldIndex, run.oldIndex + qMin<qsizetype>(context, run.length), run.newIndex);
                hunk = nullptr;
            }
        }
        oldPos = run.oldIndex + run.length;
        newPos = run.newIndex + run.length;
    }

    for (DiffHunk &h : hunks) {
        for (const DiffLine &line : h.lines) {
            h.oldCount += line.kind != DiffLine::Kind::Added;
            h.newCount += line.kind != DiffLine::Kind::Removed;
        }
        // A side with no lines in the hunk is numbered, as diff writes it,
        // by the line before the change.
        h.oldStart -= h.oldCount == 0;
        h.newStart -= h.newCount == 0;
    }
    return hunks;
}

QByteArray unifiedText(const QList<DiffHunk> &hunks, const QByteArray &oldName, const QByteArray &newName)
{
    if (hunks.isEmpty())
        return {};
    QByteArray text = "--- " + oldName + "\n+++ " + newName + "\n";
    for (const DiffHunk &h : hunks) {
        text += "@@ -" + QByteArray::number(h.oldStart) + ',' + QByteArray::number(h.oldCount) + " +" +
                QByteArray::number(h.newStart) + ',' + QByteArray::number(h.newCount) + " @@\n";
        for (const DiffLine &line : h.lines) {
            text += line.kind == DiffLine::Kind::Context ? ' ' : line.kind == DiffLine::Kind::Removed ? '-' : '+';
            text += line.text;
            text += '\n';
        }
    }
    return text;
}

} // namespace vellamor
