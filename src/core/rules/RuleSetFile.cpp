#include "RuleSetFile.h"

#include "common/Error.h"
#include "config/AtomicFile.h"

#include <QDir>
#include <QLocale>
#include <algorithm>
#include <cstring>

namespace vellamor {

namespace {

std::optional<Policy> policyOf(QByteArrayView line)
{
    // Character 7 is not looked at, and whatever follows the word is ignored,
    // so "POLICY ACCEPTED" still accepts.
    const QByteArrayView word =
        line.size() > 7 ? line.sliced(7, qMin<qsizetype>(6, line.size() - 7)) : QByteArrayView();
    if (word == "ACCEPT")
        return Policy::Accept;
    if (word == "REJECT")
        return Policy::Reject;
    return std::nullopt;
}

} // namespace

RuleSetContent parseRuleSet(QByteArray fileContent)
{
    RuleSetContent content;
    const char *const data = fileContent.constData();
    const qsizetype size = fileContent.size();
    // One span per line, counted first: a million lines are one allocation.
    content.rules.spans.reserve(qsizetype(std::count(data, data + size, '\n')) + 1);
    qsizetype start = 0;
    while (start < size) {
        const auto *lf = static_cast<const char *>(std::memchr(data + start, '\n', size_t(size - start)));
        qsizetype end = lf ? lf - data : size;
        const qsizetype next = lf ? end + 1 : size;
        if (lf && end > start && data[end - 1] == '\r')
            --end;
        const QByteArrayView line(data + start, end - start);
        if (line.contains('\r'))
            content.loneCarriageReturn = true;
        if (line.startsWith("POLICY")) {
            if (const std::optional<Policy> policy = policyOf(line))
                content.policy = policy;
        } else {
            content.rules.spans.append({quint32(start), quint32(end - start)});
        }
        start = next;
    }
    content.rules.bytes = std::move(fileContent);
    return content;
}

QByteArray composeRuleSet(Policy policy, RuleLines rules)
{
    const QByteArray policyLine =
        policy == Policy::Accept ? QByteArrayLiteral("POLICY ACCEPT\r\n") : QByteArrayLiteral("POLICY REJECT\r\n");
    // Sized once: a million rules are one allocation, not one per line.
    qsizetype size = policyLine.size();
    for (qsizetype row = 0; row < rules.size(); ++row)
        size += rules.at(row).size() + 2;
    QByteArray content;
    content.reserve(size);
    content += policyLine;
    for (qsizetype row = 0; row < rules.size(); ++row) {
        content += rules.at(row);
        content += "\r\n";
    }
    return content;
}

std::optional<QByteArray> readRuleSetFile(const QString &path)
{
    BoundedRead read = readFileBounded(path, kMaxRuleSetFileSize);
    if (!read.failure) {
        if (std::count(read.content.cbegin(), read.content.cend(), '\n') > kMaxRuleSetLines) {
            throw Error(QStringLiteral("Could not read the rules from \"%1\": it holds more than %2 lines")
                            .arg(QDir::toNativeSeparators(path), QLocale(QLocale::English).toString(kMaxRuleSetLines)));
        }
        return std::move(read.content);
    }
    switch (*read.failure) {
    case BoundedRead::Failure::NotAFile:
        throw Error(QStringLiteral("Could not read the rules from \"%1\": it is not a regular file")
                        .arg(QDir::toNativeSeparators(path)));
    case BoundedRead::Failure::TooLarge:
        throw Error(QStringLiteral("Could not read the rules from \"%1\": it is larger than 32 MiB")
                        .arg(QDir::toNativeSeparators(path)));
    case BoundedRead::Failure::CannotOpen:
    case BoundedRead::Failure::ReadError:
        break;
    }
    return std::nullopt;
}

} // namespace vellamor
