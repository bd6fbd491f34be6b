#include "ServiceLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

// A server that writes its log into files of its log directory: the newest
// file is the one being written. It is looked at every second, which finds
// new lines, a file that was cut short, and a newer file that took over.
namespace vellamor::platform {

namespace {

// No more than this is read from the end of a file for its last lines.
constexpr qint64 kLongestTail = qint64(1024) * 1024;
constexpr int kLookEveryMs = 1000;

class FolderLog final : public ServiceLog
{
public:
    explicit FolderLog(QString directory) : m_directory(std::move(directory))
    {
        m_timer.setInterval(kLookEveryMs);
        connect(&m_timer, &QTimer::timeout, this, [this] { look(); });
    }

    QString source() const override
    {
        return m_file.isEmpty() ? QDir::toNativeSeparators(m_directory) : QDir::toNativeSeparators(m_file);
    }

    void start() override
    {
        look();
        m_timer.start();
    }

private:
    void look()
    {
        const QDir dir(m_directory);
        if (m_directory.isEmpty() || !dir.exists()) {
            explain(tr("The log directory %1 does not exist.").arg(QDir::toNativeSeparators(m_directory)));
            return;
        }
        const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Readable, QDir::Time);
        if (files.isEmpty()) {
            explain(tr("There is no log file in %1 yet.").arg(QDir::toNativeSeparators(m_directory)));
            return;
        }
        const QFileInfo &newest = files.constFirst();
        if (newest.absoluteFilePath() != m_file) {
            m_file = newest.absoluteFilePath();
            m_offset = -1;
        }
        QFile file(m_file);
        if (!file.open(QIODevice::ReadOnly)) {
            explain(tr("The log file %1 cannot be read: %2").arg(QDir::toNativeSeparators(m_file), file.errorString()));
            return;
        }
        explain(QString());
        const qint64 size = file.size();
        if (m_offset < 0 || size < m_offset) {
            // A new file, or one cut short: its last lines.
            readTail(file, size);
        } else if (size > m_offset && file.seek(m_offset)) {
            const QByteArray bytes = file.read(size - m_offset);
            m_offset += bytes.size();
            emitLines(m_lines.feed(bytes));
        }
    }

    void readTail(QFile &file, qint64 size)
    {
        const qint64 from = qMax<qint64>(0, size - kLongestTail);
        QByteArray bytes;
        if (file.seek(from))
            bytes = file.read(size - from);
        m_offset = from + bytes.size();
        m_lines = LineSplitter();
        QList<QByteArray> lines = m_lines.feed(bytes);
        // A tail that begins inside a line starts with the next one.
        if (from > 0 && !lines.isEmpty())
            lines.removeFirst();
        if (lines.size() > kLastLines)
            lines = lines.mid(lines.size() - kLastLines);
        emitLines(lines);
    }

    void emitLines(const QList<QByteArray> &lines)
    {
        if (lines.isEmpty())
            return;
        QStringList text;
        text.reserve(lines.size());
        // The server writes text in the system's 8-bit code page.
        for (const QByteArray &line : lines)
            text.append(QString::fromLocal8Bit(line));
        Q_EMIT linesRead(text);
    }

    // Tells the reader about a problem once, not at every look.
    void explain(const QString &explanation)
    {
        if (explanation == m_explained)
            return;
        m_explained = explanation;
        Q_EMIT problem(explanation);
    }

    QString m_directory;
    QString m_file;
    qint64 m_offset = -1;
    LineSplitter m_lines;
    QString m_explained;
    QTimer m_timer;
};

class FolderLogs final : public ServiceLogs
{
public:
    std::unique_ptr<ServiceLog> open(const QString &, const QString &logDirectory) override
    {
        return std::make_unique<FolderLog>(logDirectory);
    }
};

} // namespace

std::shared_ptr<ServiceLogs> makeFolderLogs()
{
    return std::make_shared<FolderLogs>();
}

} // namespace vellamor::platform
