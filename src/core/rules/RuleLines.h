#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <QList>

namespace vellamor {

// Where one rule line lies in a block of bytes. Offsets are 32 bits: the
// largest rule set the panel reads is far below 4 GiB, and a line costs
// eight bytes of index instead of an array of its own.
struct LineSpan
{
    quint32 offset = 0;
    quint32 length = 0;

    friend bool operator==(LineSpan, LineSpan) = default;
};

// A read-only view of rule lines: a block of bytes and the spans of the lines
// in it, in order. It holds pointers, not the data: it stays valid only while
// the store or model it came from is left unchanged.
class RuleLines
{
public:
    RuleLines() = default;
    RuleLines(const QByteArray &bytes, const QList<LineSpan> &spans)
        : m_bytes(bytes.constData()), m_spans(spans.constData()), m_size(spans.size())
    {
    }

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    QByteArrayView at(qsizetype row) const
    {
        const LineSpan span = m_spans[row];
        return {m_bytes + span.offset, qsizetype(span.length)};
    }
    QByteArrayView operator[](qsizetype row) const { return at(row); }
    QByteArrayList toList() const;

private:
    const char *m_bytes = nullptr;
    const LineSpan *m_spans = nullptr;
    qsizetype m_size = 0;
};

// Rule lines that own their bytes: a file's own bytes with the spans of its
// rule lines (the policy line and the line ends left out), or lines put
// together one by one.
struct RuleLineStore
{
    QByteArray bytes;
    QList<LineSpan> spans;

    RuleLines lines() const { return {bytes, spans}; }
    static RuleLineStore fromList(const QByteArrayList &lines);
};

} // namespace vellamor
