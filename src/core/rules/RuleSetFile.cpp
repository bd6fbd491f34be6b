#include "RuleSetFile.h"

#include "common/Error.h"
#include "config/AtomicFile.h"

#include <QDir>

namespace vellamor {

namespace {

std::optional<Policy> policyOf(const QByteArray &line)
{
    // Character 7 is not looked at, and whatever follows the word is ignored,
    // so "POLICY ACCEPTED" still accepts.
    const QByteArray word = line.mid(7, 6);
    if (word == "ACCEPT")
        return Policy::Accept;
    if (word == "REJECT")
        return Policy::Reject;
    return std::nullopt;
}

} // namespace

RuleSetContent parseRuleSet(const QByteArray &fileContent)
{
    RuleSetContent content;
    qsizetype start = 0;
    while (start < fileContent.size()) {
        qsizetype end = fileContent.indexOf('\n', start);
        const qsizetype next = end < 0 ? fileContent.size() : end + 1;
        if (end < 0)
            end = fileContent.size();
        else if (end > start && fileContent.at(end - 1) == '\r')
            --end;
        const QByteArray line = fileContent.mid(start, end - start);
        start = next;

        if (line.startsWith("POLICY")) {
            if (const std::optional<Policy> policy = policyOf(line))
                content.policy = policy;
            continue;
        }
        content.rules.append(line);
    }
    return content;
}

QByteArray composeRuleSet(Policy policy, const QList<QByteArray> &rules)
{
    const QByteArray policyLine =
        policy == Policy::Accept ? QByteArrayLiteral("POLICY ACCEPT\r\n") : QByteArrayLiteral("POLICY REJECT\r\n");
    // Sized once: a million rules are one allocation, not one per line.
    qsizetype size = policyLine.size();
    for (const QByteArray &rule : rules)
        size += rule.size() + 2;
    QByteArray content;
    content.reserve(size);
    content += policyLine;
    for (const QByteArray &rule : rules) {
        content += rule;
        content += "\r\n";
    }
    return content;
}

std::optional<QByteArray> readRuleSetFile(const QString &path)
{
    BoundedRead read = readFileBounded(path, kMaxRuleSetFileSize);
    if (!read.failure)
        return std::move(read.content);
    switch (*read.failure) {
    case BoundedRead::Failure::NotAFile:
        throw Error(QStringLiteral("Could not read the rules from \"%1\": it is not a regular file")
                        .arg(QDir::toNativeSeparators(path)));
    case BoundedRead::Failure::TooLarge:
        throw Error(QStringLiteral("Could not read the rules from \"%1\": it is larger than 1 GiB")
                        .arg(QDir::toNativeSeparators(path)));
    case BoundedRead::Failure::CannotOpen:
    case BoundedRead::Failure::ReadError:
        break;
    }
    return std::nullopt;
}

} // namespace vellamor
