#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace vellamor::gitpack {

// The history writes its objects straight into pack files of git's own
// format rather than as loose objects: a rule set of 100,000 lines is a
// couple of megabytes however little a Save changed, and a pack stores each
// new version as the few bytes that differ from the one before.

enum class ObjectType { Commit = 1, Tree = 2, Blob = 3 };

// The object's id (20 bytes): the SHA-1 of its git header and content.
QByteArray objectId(ObjectType type, const QByteArray &content);

// git's delta from `base` to `target`: copies of the lines they share and
// the other bytes inserted.
QByteArray makeDelta(const QByteArray &base, const QByteArray &target);

// The target a delta gives from its base; nothing when the delta is damaged.
std::optional<QByteArray> applyDelta(const QByteArray &base, const QByteArray &delta);

struct IndexEntry
{
    QByteArray id; // 20 bytes
    quint32 crc = 0;
    quint64 offset = 0;
};

// A pack's entries, as its version 2 index lists them, and the pack's own
// checksum; nothing when the index is not one.
struct PackIndex
{
    QList<IndexEntry> entries;
    QByteArray packChecksum;
};
std::optional<PackIndex> readIndex(const QByteArray &indexFile);

// A pack under construction: the entries of an earlier pack taken over
// as they are, then new objects, whole or as deltas against an object the
// pack holds.
class PackBuilder
{
public:
    // Starts from an existing pack file's bytes and its index (both checked),
    // or from nothing.
    bool startFrom(const QByteArray &pack, const PackIndex &index);

    bool contains(const QByteArray &id) const;
    void addObject(ObjectType type, const QByteArray &content, const QByteArray &id);
    void addDelta(const QByteArray &baseId, const QByteArray &delta, const QByteArray &id);
    qsizetype count() const { return m_entries.size(); }

    // The finished pack and index files; the pack's name is its checksum.
    struct Files
    {
        QByteArray pack, index;
        QString name; // "pack-<40 hex digits>"
    };
    Files finish() const;

private:
    void append(const QByteArray &entry, const QByteArray &id);

    QByteArray m_body; // the entries, after the 12-byte header
    QList<IndexEntry> m_entries;
};

} // namespace vellamor::gitpack
