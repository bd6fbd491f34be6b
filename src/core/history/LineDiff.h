#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace vellamor {

// A stretch of lines that two versions share: `length` lines from line
// `oldIndex` of the old one and `newIndex` of the new one (both from 0).
struct CommonRun
{
    qsizetype oldIndex = 0;
    qsizetype newIndex = 0;
    qsizetype length = 0;

    friend bool operator==(const CommonRun &, const CommonRun &) = default;
};

// The lines of a text, split after each LF; a last line without one counts.
// With keepEnds the LF (and a CR before it) stays with its line, so that the
// lines put together give the text back.
QList<QByteArrayView> splitLines(QByteArrayView text, bool keepEnds);

// The lengths of the longest runs of whole lines (each ending with LF, or
// at the text's end) that two texts begin and end with, not overlapping:
// a Save that changed one rule leaves the rest to these, and only the few
// lines between them need looking at.
struct CommonEnds
{
    qsizetype prefix = 0, suffix = 0;
};
CommonEnds commonEnds(QByteArrayView a, QByteArrayView b);

// The lines both versions share, in order, as few edits apart as Myers'
// algorithm finds in linear space. Lines found in only one version are set
// aside first, which keeps two very different rule sets quick; when the
// remaining edit distance is still huge, a stretch is given up as replaced
// rather than searched for long.
QList<CommonRun> commonLineRuns(const QList<QByteArrayView> &oldLines, const QList<QByteArrayView> &newLines);

// One line of a unified diff, numbered in its own version (from 1; 0 where
// the line is not in that version).
struct DiffLine
{
    enum class Kind { Context, Removed, Added };
    Kind kind = Kind::Context;
    qsizetype oldLine = 0;
    qsizetype newLine = 0;
    QByteArrayView text; // without its line end, in the lines given to unifiedHunks()
};

struct DiffHunk
{
    qsizetype oldStart = 0, oldCount = 0, newStart = 0, newCount = 0;
    QList<DiffLine> lines;
};

// The changes between two versions with `context` unchanged lines around
// each, as the hunks of a unified diff.
QList<DiffHunk> unifiedHunks(const QList<QByteArrayView> &oldLines, const QList<QByteArrayView> &newLines,
                             int context = 3);

// The hunks as unified diff text under "--- oldName" and "+++ newName"
// headers; nothing when there are no hunks.
QByteArray unifiedText(const QList<DiffHunk> &hunks, const QByteArray &oldName, const QByteArray &newName);

} // namespace vellamor
