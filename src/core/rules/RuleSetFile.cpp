#include "RuleSetFile.h"

#include <QFile>
#include <QSaveFile>

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
    QByteArray content =
        policy == Policy::Accept ? QByteArrayLiteral("POLICY ACCEPT\r\n") : QByteArrayLiteral("POLICY REJECT\r\n");
    for (const QByteArray &rule : rules)
        content += rule + "\r\n";
    return content;
}

std::optional<QByteArray> readRuleSetFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return content;
}

std::optional<QString> writeRuleSetFile(const QString &path, const QByteArray &content)
{
    // Binary mode: the CR LF line ends are in the content already.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(content) != content.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

} // namespace vellamor
