#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <optional>

namespace vellamor {

// Notices when gc.xml or rules.txt change on disk behind the panel's back:
// another administrator's panel, a script, the server itself. It remembers a
// hash of the bytes the panel last loaded or saved for each file and says
// "changed outside" only when the file's content differs from them, so a
// touch, an editor saving the same bytes, or the panel's own Save is no
// change. Files replaced by rename (our own Save, sed -i, most editors) stay
// watched: the watch is on the directory too, and the file is watched again
// whenever it reappears. A slow poll of size and time covers file systems
// that send no notices.
class OutsideChangeWatcher : public QObject
{
    Q_OBJECT

public:
    explicit OutsideChangeWatcher(QObject *parent = nullptr);

    // Watches `path`, known to the panel as `content` (nothing: the panel
    // knows it as missing). Calling it again for the same path after a load
    // or Save tells the watcher what the panel now holds; call it before
    // returning to the event loop, and the panel's own write goes unnoticed.
    void setKnown(const QString &path, const std::optional<QByteArray> &content);
    // The same for a file the panel could not read (a directory in its
    // place, say): what is there now is what the panel knows, so a Save that
    // meets it again is no outside change.
    void setKnownAsOnDisk(const QString &path);

    // The check a Save makes just before it writes: the file on disk now
    // differs from what the panel last loaded or saved.
    bool changedOnDisk(const QString &path) const;

    // How long a burst of notices settles before the files are compared, and
    // how often the poll looks; the tests shorten both.
    void setIntervals(int settleMs, int pollMs);

Q_SIGNALS:
    // Once for each new content found on disk; the same content again (after
    // "Keep my edits", say) is not reported twice.
    void changedOutside(const QString &path);

private:
    struct Watched
    {
        QByteArray knownHash;    // of what the panel holds
        QByteArray reportedHash; // of the last content reported
        qint64 size = -1;        // what the poll last saw
        QDateTime modified;
    };

    static QByteArray diskHash(const QString &path);
    void schedule(const QString &path);
    void rewatch(const QString &path);
    void check();
    void poll();

    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QTimer m_poll;
    QHash<QString, Watched> m_files;
    QSet<QString> m_pending;
};

} // namespace vellamor
