#pragma once

#include "LineDiff.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace vellamor {

// Both files as they are on disk, byte for byte; nothing where a file is
// missing.
struct ConfigSnapshot
{
    std::optional<QByteArray> globalConfig; // gc.xml
    std::optional<QByteArray> rules;        // rules.txt

    friend bool operator==(const ConfigSnapshot &, const ConfigSnapshot &) = default;
};

// Reads both files from the server's directory. A file too large or not a
// regular file reads as its reason in `failure`, and the snapshot holds
// nothing for it.
struct SnapshotRead
{
    ConfigSnapshot snapshot;
    QString failure;
};
SnapshotRead readConfigSnapshot(const QString &serverDir);

// What changed from one version to the next, in words, for a history entry:
// "Application Service port 8080 → 8081; 3 rules added, 1 removed; default
// policy Reject All". The management password is never quoted, only said to
// have changed.
QString describeChange(const ConfigSnapshot &before, const ConfigSnapshot &after);

// gc.xml as the history shows it: one element a line when the file is the
// panel's own single line, and the management password as "********" either
// way.
QByteArray globalConfigForDisplay(const QByteArray &content);

// The unified diff of one file between two versions (of the display form of
// gc.xml), with each line's number in its version.
struct FileDiff
{
    QString fileName;
    QByteArray oldText, newText; // what the hunks' lines point into
    QList<DiffHunk> hunks;
};
QList<FileDiff> diffSnapshots(const ConfigSnapshot &before, const ConfigSnapshot &after);

} // namespace vellamor
