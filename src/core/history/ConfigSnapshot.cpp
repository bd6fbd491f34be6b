#include "ConfigSnapshot.h"

#include "config/AtomicFile.h"
#include "rules/RuleSetFile.h" // Policy, the rule set bound

#include <QDir>
#include <QHash>
#include <QRegularExpression>
#include <QStringList>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <map>

namespace vellamor {

namespace {

constexpr QLatin1StringView kGlobalConfigName("gc.xml");
constexpr QLatin1StringView kRulesName("rules.txt");
constexpr QLatin1StringView kPasswordMask("********");
// gc.xml is a few hundred bytes; anything past this is not the server's.
constexpr qint64 kMaxGlobalConfigSize = qint64(16) << 20;

// The values of gc.xml as the server reads them: for each group (ACC,
// Management) the first element of each name, the IP elements in order; a
// later group of the same name overrides.
struct ConfigValues
{
    std::map<QString, QString> values; // "ACC/port" -> "8080"
    std::map<QString, QStringList> addresses;
};

std::optional<ConfigValues> readValues(const QByteArray &content)
{
    QXmlStreamReader xml(content);
    ConfigValues result;
    std::map<QString, QString> group;
    QString groupName;
    int depth = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            ++depth;
            if (depth == 2) {
                groupName = xml.name().toString();
                group.clear();
                if (groupName == QLatin1StringView("ACC") || groupName == QLatin1StringView("Management"))
                    result.addresses[groupName].clear();
            } else if (depth == 3) {
                const QString name = xml.name().toString();
                const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                --depth;
                if (name == QLatin1StringView("IP"))
                    result.addresses[groupName].append(text);
                else if (!group.count(name))
                    group[name] = text;
            }
        } else if (xml.isEndElement()) {
            if (depth == 2)
                for (const auto &[name, text] : group)
                    result.values[groupName + QLatin1Char('/') + name] = text;
            --depth;
        }
    }
    if (xml.hasError())
        return std::nullopt;
    return result;
}

QString shown(const QString &value)
{
    constexpr qsizetype kLongest = 60;
    if (value.isEmpty())
        return QStringLiteral("(empty)");
    return value.size() > kLongest ? value.left(kLongest) + QStringLiteral("…") : value;
}

void describeConfig(const std::optional<QByteArray> &before, const std::optional<QByteArray> &after, QStringList &parts)
{
    if (before == after)
        return;
    if (!after) {
        parts << QStringLiteral("gc.xml removed");
        return;
    }
    const std::optional<ConfigValues> old = before ? readValues(*before) : ConfigValues{};
    const std::optional<ConfigValues> now = readValues(*after);
    if (!before)
        parts << QStringLiteral("gc.xml created");
    if (!old || !now) {
        parts << QStringLiteral("gc.xml changed (it does not read as XML)");
        return;
    }
    static const std::pair<const char *, const char *> kLabels[] = {
        {"ACC/port", "Application Service port"},
        {"ACC/maxcon", "maximum connections"},
        {"ACC/logdir", "log directory"},
        {"ACC/cert", "certificate file"},
        {"ACC/key", "key file"},
        {"Management/port", "Management Service port"},
    };
    const qsizetype before0 = parts.size();
    auto valueOf = [](const ConfigValues &values, const QString &key) {
        const auto it = values.values.find(key);
        return it == values.values.end() ? QString() : it->second;
    };
    for (const auto &[key, label] : kLabels) {
        const QString was = valueOf(*old, QLatin1StringView(key)), is = valueOf(*now, QLatin1StringView(key));
        if (was != is)
            parts << QStringLiteral("%1 %2 → %3").arg(QLatin1StringView(label), shown(was), shown(is));
    }
    for (const char *group : {"ACC", "Management"}) {
        const QString key = QLatin1StringView(group);
        const QStringList was = old->addresses.count(key) ? old->addresses.at(key) : QStringList();
        const QStringList is = now->addresses.count(key) ? now->addresses.at(key) : QStringList();
        if (was != is) {
            auto list = [](const QStringList &l) { return l.isEmpty() ? QStringLiteral("none") : l.join(u", "); };
            parts << QStringLiteral("%1 addresses %2 → %3")
                         .arg(key == QLatin1StringView("ACC") ? QStringLiteral("Application Service")
                                                              : QStringLiteral("Management Service"),
                              shown(list(was)), shown(list(is)));
        }
    }
    if (valueOf(*old, QStringLiteral("Management/password")) != valueOf(*now, QStringLiteral("Management/password")))
        parts << QStringLiteral("management password changed");
    if (before && parts.size() == before0)
        parts << QStringLiteral("gc.xml rewritten, no value changed");
}

QString ruleCount(qsizetype n, bool withNoun)
{
    return withNoun ? QStringLiteral("%1 %2").arg(n).arg(n == 1 ? QStringLiteral("rule") : QStringLiteral("rules"))
                    : QString::number(n);
}

// The policy the server takes from a rule set: its last valid policy line,
// Reject All when there is none (as the window shows it).
Policy effectivePolicy(QByteArrayView text)
{
    Policy policy = Policy::Reject;
    for (qsizetype at = text.indexOf("POLICY"); at >= 0; at = text.indexOf("POLICY", at + 6)) {
        if (at > 0 && text[at - 1] != '\n')
            continue;
        const QByteArrayView word = text.size() - at >= 13 ? text.sliced(at + 7, 6) : QByteArrayView();
        if (word == "ACCEPT")
            policy = Policy::Accept;
        else if (word == "REJECT")
            policy = Policy::Reject;
    }
    return policy;
}

QList<QByteArrayView> ruleLines(QByteArrayView text)
{
    QList<QByteArrayView> lines = splitLines(text, false);
    lines.removeIf([](QByteArrayView line) { return line.startsWith("POLICY"); });
    return lines;
}

void describeRules(const std::optional<QByteArray> &before, const std::optional<QByteArray> &after, QStringList &parts)
{
    if (before == after)
        return;
    if (!after) {
        parts << QStringLiteral("rules.txt removed");
        return;
    }
    if (!before)
        parts << QStringLiteral("rules.txt created");
    // Only the lines between the ends both versions share can differ.
    const QByteArray old = before.value_or(QByteArray());
    const CommonEnds ends = commonEnds(old, *after);
    const QList<QByteArrayView> oldRules =
        ruleLines(QByteArrayView(old).sliced(ends.prefix, old.size() - ends.prefix - ends.suffix));
    const QList<QByteArrayView> newRules =
        ruleLines(QByteArrayView(*after).sliced(ends.prefix, after->size() - ends.prefix - ends.suffix));

    QHash<QByteArrayView, qsizetype> remaining;
    remaining.reserve(oldRules.size());
    for (QByteArrayView rule : oldRules)
        ++remaining[rule];
    qsizetype added = 0;
    for (QByteArrayView rule : newRules) {
        auto it = remaining.find(rule);
        if (it != remaining.end() && *it > 0)
            --*it;
        else
            ++added;
    }
    const qsizetype removed = oldRules.size() - (newRules.size() - added);
    const qsizetype before0 = parts.size();
    if (added > 0 && removed > 0)
        parts << ruleCount(added, true) + QStringLiteral(" added, ") + ruleCount(removed, false) +
                     QStringLiteral(" removed");
    else if (added > 0)
        parts << ruleCount(added, true) + QStringLiteral(" added");
    else if (removed > 0)
        parts << ruleCount(removed, true) + QStringLiteral(" removed");
    else if (oldRules != newRules)
        parts << QStringLiteral("rules reordered");
    const Policy oldPolicy = effectivePolicy(old), newPolicy = effectivePolicy(*after);
    if (oldPolicy != newPolicy || !before)
        parts << (newPolicy == Policy::Accept ? QStringLiteral("default policy Accept All")
                                              : QStringLiteral("default policy Reject All"));
    if (before && parts.size() == before0)
        parts << QStringLiteral("rules.txt rewritten, no rule changed");
}

std::optional<QByteArray> readOne(const QString &path, qint64 maxBytes, QString &failure)
{
    BoundedRead read = readFileBounded(path, maxBytes);
    if (!read.failure)
        return std::move(read.content);
    if (*read.failure == BoundedRead::Failure::CannotOpen && !QFileInfo::exists(path))
        return std::nullopt;
    const QString reason = *read.failure == BoundedRead::Failure::TooLarge   ? QStringLiteral("too large")
                           : *read.failure == BoundedRead::Failure::NotAFile ? QStringLiteral("not a regular file")
                                                                             : read.reason;
    if (!failure.isEmpty())
        failure += QStringLiteral("; ");
    failure += QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), reason);
    return std::nullopt;
}

} // namespace

SnapshotRead readConfigSnapshot(const QString &serverDir)
{
    SnapshotRead read;
    const QDir dir(serverDir);
    read.snapshot.globalConfig = readOne(dir.filePath(kGlobalConfigName), kMaxGlobalConfigSize, read.failure);
    read.snapshot.rules = readOne(dir.filePath(kRulesName), kMaxRuleSetFileSize, read.failure);
    return read;
}

QString describeChange(const ConfigSnapshot &before, const ConfigSnapshot &after)
{
    QStringList parts;
    describeConfig(before.globalConfig, after.globalConfig, parts);
    describeRules(before.rules, after.rules, parts);
    return parts.isEmpty() ? QStringLiteral("No change") : parts.join(QStringLiteral("; "));
}

QByteArray globalConfigForDisplay(const QByteArray &content)
{
    if (!content.trimmed().contains('\n')) {
        // One element a line, with the password's text masked as it goes by.
        QXmlStreamReader xml(content);
        QByteArray out;
        QXmlStreamWriter writer(&out);
        writer.setAutoFormatting(true);
        writer.setAutoFormattingIndent(2);
        bool inPassword = false;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement()) {
                writer.writeStartElement(xml.name().toString());
                inPassword = xml.name() == QLatin1StringView("password");
            } else if (xml.isEndElement()) {
                writer.writeEndElement();
                inPassword = false;
            } else if (xml.isCharacters() && !xml.isWhitespace()) {
                writer.writeCharacters(inPassword ? QString(kPasswordMask) : xml.text().toString());
            }
        }
        if (!xml.hasError())
            return out.trimmed() + '\n';
    }
    // Not the panel's own shape: the file's own lines, the password's text
    // (CDATA and all) masked wherever an element of that name holds any.
    static const QRegularExpression password(QStringLiteral("(<password(?:\\s[^>]*)?>)(.+?)(</password\\s*>)"),
                                             QRegularExpression::DotMatchesEverythingOption);
    QString text = QString::fromUtf8(content);
    text.replace(password, QStringLiteral("\\1") + kPasswordMask + QStringLiteral("\\3"));
    return text.toUtf8();
}

QList<FileDiff> diffSnapshots(const ConfigSnapshot &before, const ConfigSnapshot &after)
{
    QList<FileDiff> diffs{
        {kGlobalConfigName,
         globalConfigForDisplay(before.globalConfig.value_or(QByteArray())),
         globalConfigForDisplay(after.globalConfig.value_or(QByteArray())),
         {}},
        {kRulesName, before.rules.value_or(QByteArray()), after.rules.value_or(QByteArray()), {}},
    };
    for (FileDiff &diff : diffs)
        diff.hunks = unifiedHunks(splitLines(diff.oldText, false), splitLines(diff.newText, false));
    return diffs;
}

} // namespace vellamor
