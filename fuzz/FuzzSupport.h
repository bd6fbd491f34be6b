#pragma once

#include <QByteArray>
#include <QList>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace vellamor::fuzz {

// A broken property is a finding like a sanitizer report: it names itself and
// aborts, so that libFuzzer keeps the input.
inline void require(bool holds, const char *property)
{
    if (holds)
        return;
    std::fprintf(stderr, "Property broken: %s\n", property);
    std::abort();
}

// The input, where a small seed may stand for a large file: "REPEAT <n>\n"
// then head, \x01, unit, \x01, tail is the head, n times the unit and the
// tail, at most `limit` bytes of units. The fuzzer mutates the count like any
// other byte, so large files are tried without large seeds in the tree.
inline QByteArray expandedInput(const uint8_t *data, size_t size, qsizetype limit)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype eol = input.indexOf('\n');
    if (!input.startsWith("REPEAT ") || eol < 0)
        return input;
    bool ok = false;
    qint64 count = input.mid(7, eol - 7).toLongLong(&ok);
    const QList<QByteArray> parts = input.mid(eol + 1).split('\x01');
    if (!ok || count < 0 || parts.size() != 3)
        return input;
    if (!parts[1].isEmpty())
        count = qMin(count, limit / parts[1].size());
    return parts[0] + parts[1].repeated(qsizetype(count)) + parts[2];
}

} // namespace vellamor::fuzz
