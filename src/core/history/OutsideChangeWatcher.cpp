#include "OutsideChangeWatcher.h"

#include "config/AtomicFile.h"
#include "rules/RuleSetFile.h"

#include <QCryptographicHash>
#include <QFileInfo>

namespace vellamor {

namespace {

constexpr int kSettleMs = 150;
constexpr int kPollMs = 2000;

// A hash for a missing file and for one that cannot be read, neither of
// which SHA-256 ever gives.
const QByteArray kMissing("missing");
const QByteArray kUnreadable("unreadable");

QByteArray hashOf(const std::optional<QByteArray> &content)
{
    return content ? QCryptographicHash::hash(*content, QCryptographicHash::Sha256) : kMissing;
}

} // namespace

OutsideChangeWatcher::OutsideChangeWatcher(QObject *parent) : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    m_poll.setInterval(kPollMs);
    connect(&m_settle, &QTimer::timeout, this, &OutsideChangeWatcher::check);
    connect(&m_poll, &QTimer::timeout, this, &OutsideChangeWatcher::poll);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this](const QString &path) {
        rewatch(path);
        schedule(path);
    });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this](const QString &dir) {
        for (auto it = m_files.cbegin(); it != m_files.cend(); ++it)
            if (QFileInfo(it.key()).absolutePath() == dir) {
                rewatch(it.key());
                schedule(it.key());
            }
    });
}

void OutsideChangeWatcher::setKnownAsOnDisk(const QString &path)
{
    setKnown(path, std::nullopt);
    m_files[QFileInfo(path).absoluteFilePath()].knownHash = diskHash(QFileInfo(path).absoluteFilePath());
}

void OutsideChangeWatcher::setIntervals(int settleMs, int pollMs)
{
    m_settle.setInterval(settleMs);
    m_poll.setInterval(pollMs);
    if (m_poll.isActive())
        m_poll.start();
}

void OutsideChangeWatcher::setKnown(const QString &path, const std::optional<QByteArray> &content)
{
    const QString file = QFileInfo(path).absoluteFilePath();
    Watched &watched = m_files[file];
    watched.knownHash = hashOf(content);
    watched.reportedHash.clear();
    const QFileInfo info(file);
    watched.size = info.exists() ? info.size() : -1;
    watched.modified = info.exists() ? info.lastModified() : QDateTime();
    const QString dir = info.absolutePath();
    if (!m_watcher.directories().contains(dir))
        m_watcher.addPath(dir);
    rewatch(file);
    if (!m_poll.isActive())
        m_poll.start();
}

bool OutsideChangeWatcher::changedOnDisk(const QString &path) const
{
    const auto it = m_files.constFind(QFileInfo(path).absoluteFilePath());
    return it != m_files.constEnd() && diskHash(it.key()) != it->knownHash;
}

QByteArray OutsideChangeWatcher::diskHash(const QString &path)
{
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return kMissing;
    // gc.xml is far smaller than the rule set's bound, which suits both.
    const BoundedRead read = readFileBounded(path, kMaxRuleSetFileSize);
    return read.failure ? kUnreadable + QByteArray::number(int(*read.failure)) : hashOf(read.content);
}

void OutsideChangeWatcher::schedule(const QString &path)
{
    m_pending.insert(path);
    // Not restarted by every notice: a file written without pause is still
    // compared every interval.
    if (!m_settle.isActive())
        m_settle.start();
}

void OutsideChangeWatcher::rewatch(const QString &path)
{
    if (QFileInfo::exists(path) && !m_watcher.files().contains(path))
        m_watcher.addPath(path);
}

void OutsideChangeWatcher::check()
{
    const QSet<QString> pending = std::exchange(m_pending, {});
    for (const QString &path : pending) {
        auto it = m_files.find(path);
        if (it == m_files.end())
            continue;
        const QByteArray hash = diskHash(path);
        if (hash == it->knownHash || hash == it->reportedHash)
            continue;
        it->reportedHash = hash;
        Q_EMIT changedOutside(path);
    }
}

void OutsideChangeWatcher::poll()
{
    for (auto it = m_files.begin(); it != m_files.end(); ++it) {
        const QFileInfo info(it.key());
        const qint64 size = info.exists() ? info.size() : -1;
        const QDateTime modified = info.exists() ? info.lastModified() : QDateTime();
        if (size != it->size || modified != it->modified) {
            it->size = size;
            it->modified = modified;
            rewatch(it.key());
            schedule(it.key());
        }
    }
}

} // namespace vellamor
