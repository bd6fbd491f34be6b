#include "GitPack.h"

#include "LineDiff.h"

#include <QCryptographicHash>
#include <QSet>
#include <QtEndian>
#include <algorithm>
#include <array>

namespace vellamor::gitpack {

namespace {

const char *typeName(ObjectType type)
{
    switch (type) {
    case ObjectType::Commit:
        return "commit";
    case ObjectType::Tree:
        return "tree";
    case ObjectType::Blob:
        break;
    }
    return "blob";
}

constexpr int kRefDelta = 7;

quint32 crc32(const char *data, qsizetype size, quint32 crc = 0)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (qsizetype i = 0; i < size; ++i)
        crc = table[(crc ^ quint8(data[i])) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

// zlib's own stream, as a pack holds it; qCompress puts four bytes of length
// before it. The fastest level: packs are rewritten often, and the deltas
// that fill them hardly compress anyway.
QByteArray deflated(const QByteArray &data)
{
    return qCompress(data, 1).mid(4);
}

QByteArray entryHeader(int type, quint64 size)
{
    QByteArray header;
    auto byte = quint8((type << 4) | (size & 0x0F));
    size >>= 4;
    while (size) {
        header += char(byte | 0x80);
        byte = quint8(size & 0x7F);
        size >>= 7;
    }
    header += char(byte);
    return header;
}

void appendVarint(QByteArray &out, quint64 value)
{
    while (value >= 0x80) {
        out += char((value & 0x7F) | 0x80);
        value >>= 7;
    }
    out += char(value);
}

void appendCopy(QByteArray &out, quint64 offset, quint64 size)
{
    // One copy moves at most 16 MiB - 1.
    while (size > 0) {
        const quint64 chunk = std::min<quint64>(size, 0xFFFFFF);
        quint8 op = 0x80;
        QByteArray args;
        for (int i = 0; i < 4; ++i)
            if (auto b = quint8(offset >> (8 * i)); b)
                op |= quint8(1 << i), args += char(b);
        for (int i = 0; i < 3; ++i)
            if (auto b = quint8(chunk >> (8 * i)); b)
                op |= quint8(0x10 << i), args += char(b);
        out += char(op);
        out += args;
        offset += chunk;
        size -= chunk;
    }
}

void appendInsert(QByteArray &out, QByteArrayView bytes)
{
    for (qsizetype at = 0; at < bytes.size(); at += 127) {
        const qsizetype chunk = std::min<qsizetype>(127, bytes.size() - at);
        out += char(chunk);
        out.append(bytes.sliced(at, chunk));
    }
}

std::optional<quint64> readVarint(const QByteArray &data, qsizetype &at)
{
    quint64 value = 0;
    for (int shift = 0; at < data.size() && shift < 64; shift += 7) {
        const auto b = quint8(data[at++]);
        value |= quint64(b & 0x7F) << shift;
        if (!(b & 0x80))
            return value;
    }
    return std::nullopt;
}

QByteArray sha1(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha1);
}

} // namespace

QByteArray objectId(ObjectType type, const QByteArray &content)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(QByteArray(typeName(type)) + ' ' + QByteArray::number(content.size()) + '\0');
    hash.addData(content);
    return hash.result();
}

QByteArray makeDelta(const QByteArray &base, const QByteArray &target)
{
    QByteArray delta;
    appendVarint(delta, quint64(base.size()));
    appendVarint(delta, quint64(target.size()));
    // The ends they share are one copy each; the lines between, diffed.
    const CommonEnds ends = commonEnds(base, target);
    const QByteArrayView baseMiddle = QByteArrayView(base).sliced(ends.prefix, base.size() - ends.prefix - ends.suffix);
    const QByteArrayView targetMiddle =
        QByteArrayView(target).sliced(ends.prefix, target.size() - ends.prefix - ends.suffix);
    appendCopy(delta, 0, quint64(ends.prefix));
    const QList<QByteArrayView> baseLines = splitLines(baseMiddle, true), targetLines = splitLines(targetMiddle, true);
    // Byte offsets of each line, and one past the last.
    auto offsets = [](const QList<QByteArrayView> &lines, qsizetype start) {
        QList<quint64> at(lines.size() + 1);
        at[0] = quint64(start);
        for (qsizetype i = 0; i < lines.size(); ++i)
            at[i + 1] = at[i] + quint64(lines[i].size());
        return at;
    };
    const QList<quint64> baseAt = offsets(baseLines, ends.prefix), targetAt = offsets(targetLines, ends.prefix);
    qsizetype targetLine = 0;
    for (const CommonRun &run : commonLineRuns(baseLines, targetLines)) {
        appendInsert(delta, QByteArrayView(target).sliced(qsizetype(targetAt[targetLine]),
                                                          qsizetype(targetAt[run.newIndex] - targetAt[targetLine])));
        appendCopy(delta, baseAt[run.oldIndex], baseAt[run.oldIndex + run.length] - baseAt[run.oldIndex]);
        targetLine = run.newIndex + run.length;
    }
    appendInsert(delta, QByteArrayView(target).sliced(qsizetype(targetAt[targetLine]),
                                                      qsizetype(targetAt[targetLines.size()] - targetAt[targetLine])));
    appendCopy(delta, quint64(base.size() - ends.suffix), quint64(ends.suffix));
    return delta;
}

std::optional<QByteArray> applyDelta(const QByteArray &base, const QByteArray &delta)
{
    qsizetype at = 0;
    const auto baseSize = readVarint(delta, at), targetSize = readVarint(delta, at);
    if (!baseSize || !targetSize || *baseSize != quint64(base.size()) || *targetSize > quint64(1) << 32)
        return std::nullopt;
    QByteArray target;
    target.reserve(qsizetype(*targetSize));
    while (at < delta.size()) {
        const auto op = quint8(delta[at++]);
        if (op & 0x80) {
            quint64 offset = 0, size = 0;
            for (int i = 0; i < 4; ++i)
                if (op & (1 << i)) {
                    if (at >= delta.size())
                        return std::nullopt;
                    offset |= quint64(quint8(delta[at++])) << (8 * i);
                }
            for (int i = 0; i < 3; ++i)
                if (op & (0x10 << i)) {
                    if (at >= delta.size())
                        return std::nullopt;
                    size |= quint64(quint8(delta[at++])) << (8 * i);
                }
            if (size == 0)
                size = 0x10000;
            if (offset + size > quint64(base.size()))
                return std::nullopt;
            target.append(base.constData() + offset, qsizetype(size));
        } else if (op > 0) {
            if (at + op > delta.size())
                return std::nullopt;
            target.append(delta.constData() + at, op);
            at += op;
        } else {
            return std::nullopt;
        }
        if (quint64(target.size()) > *targetSize)
            return std::nullopt;
    }
    if (quint64(target.size()) != *targetSize)
        return std::nullopt;
    return target;
}

std::optional<PackIndex> readIndex(const QByteArray &file)
{
    constexpr qsizetype kHeader = 8 + 256 * 4;
    if (file.size() < kHeader + 40 || !file.startsWith("\377tOc") || qFromBigEndian<quint32>(file.constData() + 4) != 2)
        return std::nullopt;
    if (sha1(file.left(file.size() - 20)) != file.right(20))
        return std::nullopt;
    const auto count = qFromBigEndian<quint32>(file.constData() + 8 + qsizetype(255) * 4);
    const qsizetype ids = kHeader, crcs = ids + qsizetype(count) * 20, offsets = crcs + qsizetype(count) * 4,
                    large = offsets + qsizetype(count) * 4;
    if (large + 40 > file.size())
        return std::nullopt;
    PackIndex index;
    index.entries.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        IndexEntry e;
        e.id = file.mid(ids + qsizetype(i) * 20, 20);
        e.crc = qFromBigEndian<quint32>(file.constData() + crcs + qsizetype(i) * 4);
        const auto offset = qFromBigEndian<quint32>(file.constData() + offsets + qsizetype(i) * 4);
        if (offset & 0x80000000u) {
            const qsizetype slot = large + qsizetype(offset & 0x7FFFFFFFu) * 8;
            if (slot + 8 > file.size() - 40)
                return std::nullopt;
            e.offset = qFromBigEndian<quint64>(file.constData() + slot);
        } else {
            e.offset = offset;
        }
        index.entries.append(e);
    }
    index.packChecksum = file.mid(file.size() - 40, 20);
    return index;
}

bool PackBuilder::startFrom(const QByteArray &pack, const PackIndex &index)
{
    m_body.clear();
    m_entries.clear();
    if (pack.size() < 32 || !pack.startsWith("PACK") || qFromBigEndian<quint32>(pack.constData() + 4) != 2 ||
        qFromBigEndian<quint32>(pack.constData() + 8) != quint32(index.entries.size()) ||
        pack.right(20) != index.packChecksum)
        return false;
    for (const IndexEntry &e : index.entries)
        if (e.offset < 12 || e.offset >= quint64(pack.size() - 20))
            return false;
    // Not hashed again: the new pack's checksum covers these bytes, and git's
    // own check would find a fault in them. The entries keep their offsets:
    // the new pack has the same header size.
    m_body = pack.mid(12, pack.size() - 32);
    m_entries = index.entries;
    return true;
}

bool PackBuilder::contains(const QByteArray &id) const
{
    return std::any_of(m_entries.cbegin(), m_entries.cend(), [&](const IndexEntry &e) { return e.id == id; });
}

void PackBuilder::append(const QByteArray &entry, const QByteArray &id)
{
    m_entries.append({id, crc32(entry.constData(), entry.size()), quint64(12 + m_body.size())});
    m_body += entry;
}

void PackBuilder::addObject(ObjectType type, const QByteArray &content, const QByteArray &id)
{
    append(entryHeader(int(type), quint64(content.size())) + deflated(content), id);
}

void PackBuilder::addDelta(const QByteArray &baseId, const QByteArray &delta, const QByteArray &id)
{
    append(entryHeader(kRefDelta, quint64(delta.size())) + baseId + deflated(delta), id);
}

PackBuilder::Files PackBuilder::finish() const
{
    Files files;
    files.pack.reserve(12 + m_body.size() + 20);
    files.pack += "PACK";
    char word[4];
    qToBigEndian<quint32>(2, word);
    files.pack.append(word, 4);
    qToBigEndian<quint32>(quint32(m_entries.size()), word);
    files.pack.append(word, 4);
    files.pack += m_body;
    const QByteArray checksum = sha1(files.pack);
    files.pack += checksum;

    QList<IndexEntry> sorted = m_entries;
    std::sort(sorted.begin(), sorted.end(), [](const IndexEntry &a, const IndexEntry &b) { return a.id < b.id; });
    QByteArray &idx = files.index;
    idx += "\377tOc";
    qToBigEndian<quint32>(2, word);
    idx.append(word, 4);
    std::array<quint32, 256> fanout{};
    for (const IndexEntry &e : sorted)
        ++fanout[quint8(e.id[0])];
    for (int i = 1; i < 256; ++i)
        fanout[size_t(i)] += fanout[size_t(i - 1)];
    for (quint32 n : fanout) {
        qToBigEndian<quint32>(n, word);
        idx.append(word, 4);
    }
    for (const IndexEntry &e : sorted)
        idx += e.id;
    for (const IndexEntry &e : sorted) {
        qToBigEndian<quint32>(e.crc, word);
        idx.append(word, 4);
    }
    QByteArray large;
    for (const IndexEntry &e : sorted) {
        auto small = quint32(e.offset);
        if (e.offset >= 0x80000000u) {
            small = 0x80000000u | quint32(large.size() / 8);
            char wide[8];
            qToBigEndian<quint64>(e.offset, wide);
            large.append(wide, 8);
        }
        qToBigEndian<quint32>(small, word);
        idx.append(word, 4);
    }
    idx += large;
    idx += checksum;
    idx += sha1(idx);
    files.name = QStringLiteral("pack-") + QString::fromLatin1(checksum.toHex());
    return files;
}

} // namespace vellamor::gitpack
