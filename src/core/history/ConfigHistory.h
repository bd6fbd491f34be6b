#pragma once

#include "ConfigSnapshot.h"

#include <QDateTime>
#include <QList>
#include <QMutex>
#include <QString>
#include <memory>
#include <optional>

namespace vellamor {

// One saved version of the two files.
struct HistoryEntry
{
    QString id; // the commit's 40 hex digits
    QDateTime time;
    QString author;
    QString message;
};

// The outcome of recording: `failure` holds the reason when nothing could be
// recorded; `recorded` is false also when there was nothing new to record.
struct HistoryOutcome
{
    bool recorded = false;
    QString failure;
    bool ok() const { return failure.isEmpty(); }
};

// The configuration history: a bare git repository "history.git" beside the
// files, one commit per Save holding both files as written, readable with
// plain git (git --git-dir=history.git log -p). It never stands in a Save's
// way: every call returns instead of raising, with the reason on failure,
// and a repository it cannot read is reported as damaged and left exactly as
// it is. Each call holds the history to itself, so a record can run on a
// worker while the window reads the list.
class ConfigHistory
{
public:
    static constexpr QLatin1StringView kDirectoryName{"history.git"};
    static constexpr QLatin1StringView kOutsideChangeMessage{"Changed outside the panel"};
    static constexpr QLatin1StringView kFirstRecordMessage{"Recorded as found at the first start"};

    explicit ConfigHistory(QString serverDir);
    ~ConfigHistory();
    ConfigHistory(const ConfigHistory &) = delete;
    ConfigHistory &operator=(const ConfigHistory &) = delete;

    QString repositoryPath() const;

    // The files as found on disk (at start-up, on a reload, before a Save):
    // the first record of a new history, or "Changed outside the panel" when
    // they differ from the newest entry; nothing when they do not.
    HistoryOutcome recordFound(const ConfigSnapshot &files);

    // The files a Save has just written, with a message saying what changed
    // since the newest entry; `note` (what was restored, say) goes first.
    HistoryOutcome recordSave(const ConfigSnapshot &written, const QString &note = QString());

    // Newest first; at most `limit` entries when it is not negative.
    struct Listing
    {
        QList<HistoryEntry> entries;
        QString failure;
    };
    Listing entries(qsizetype limit = -1);

    // The two files of an entry.
    struct Files
    {
        ConfigSnapshot files;
        QString failure;
    };
    Files files(const QString &id);

    // The author recorded with each entry: the login name unless set.
    void setAuthor(const QString &name);

    // The text for a Save's note after a restore of `entry`.
    static QString restoredNote(const HistoryEntry &entry);

private:
    struct Repository;
    QString open(bool create);
    HistoryOutcome record(const ConfigSnapshot &files, const QString &message, bool onlyWhenChanged);

    QMutex m_lock;
    QString m_serverDir;
    QString m_author;
    std::unique_ptr<Repository> m_repo;
};

} // namespace vellamor
