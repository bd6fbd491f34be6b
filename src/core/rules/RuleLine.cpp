#include "RuleLine.h"

#include "RuleAnalysis.h"
#include "bindings/SystemAddresses.h"

#include <QStringList>

namespace vellamor {

namespace {

bool isDigits(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// The value of a run of digits, or -1 when the text is not one. Only values up
// to 255 matter here, so a run with more than three significant digits reads
// as 1000 rather than overflowing.
int smallDecimal(const QString &text)
{
    if (!isDigits(text))
        return -1;
    qsizetype first = 0;
    while (first < text.size() - 1 && text.at(first) == u'0')
        ++first;
    const QString significant = text.mid(first);
    return significant.size() > 3 ? 1000 : significant.toInt();
}

} // namespace

QString withoutBlanks(const QString &fieldText)
{
    QString value = fieldText;
    value.remove(u' ');
    return value;
}

bool IsValidIP(const QString &address)
{
    const QStringList groups = address.split(u'.');
    if (groups.size() != 4)
        return false;
    for (const QString &group : groups) {
        const int value = smallDecimal(group);
        if (value < 0 || value > 255)
            return false;
    }
    return true;
}

RuleLineResult buildRuleLine(const RuleEntry &entry)
{
    if (entry.ruleType.isEmpty())
        return {QString(), QStringLiteral("Please select rule type.")};

    QString line = entry.ruleType + u' ';
    switch (entry.target) {
    case RuleTarget::SingleIP: {
        const QString address = withoutBlanks(entry.singleip);
        if (!IsValidIP(address))
            return {QString(), QStringLiteral("Invalid IP")};
        line += address;
        break;
    }
    case RuleTarget::CidrBlock: {
        const QString address = withoutBlanks(entry.cidr1);
        const QString prefix = withoutBlanks(entry.cidr2);
        const int bits = smallDecimal(prefix);
        if (!IsValidIP(address) || bits < 0 || bits > 32)
            return {QString(), QStringLiteral("Invalid CIDR.")};
        line += address + u'/' + prefix;
        break;
    }
    case RuleTarget::IpRange: {
        // The end value only has to be there: the server judges it against the
        // address itself, so 999 or a value below the last group still pass.
        const QString address = withoutBlanks(entry.range1);
        const QString end = withoutBlanks(entry.range2);
        if (!IsValidIP(address) || end.isEmpty())
            return {QString(), QStringLiteral("Invalid Range.")};
        line += address + u'-' + end;
        break;
    }
    case RuleTarget::AllIPs:
        line += kAllAddresses;
        break;
    }
    return {line, QString()};
}

std::optional<RuleEntry> ruleEntryFromLine(const QString &line)
{
    const RuleLineParts parts = parseRuleLine(line.toLatin1());
    if (!parts.inGrammar())
        return std::nullopt;

    // A masked field shows each group in three positions, blanks after the
    // digits, so the text read back from it is the text put in.
    const auto addressField = [](QStringView address) {
        QStringList groups;
        for (QStringView group : address.split(u'.'))
            groups << group.toString().leftJustified(3, u' ');
        return groups.join(u'.');
    };
    const auto digitsField = [](QStringView digits) { return digits.toString().leftJustified(3, u' '); };

    RuleEntry entry;
    entry.ruleType = parts.accept ? QStringLiteral("ACCEPT") : QStringLiteral("REJECT");
    const QStringView rest = QStringView(line).sliced(line.indexOf(u' ') + 1);
    switch (parts.form) {
    case RuleForm::Outside:
        return std::nullopt;
    case RuleForm::AllAddresses:
        entry.target = RuleTarget::AllIPs;
        break;
    case RuleForm::Address:
        entry.target = RuleTarget::SingleIP;
        entry.singleip = addressField(rest);
        break;
    case RuleForm::Block: {
        const qsizetype slash = rest.indexOf(u'/');
        entry.target = RuleTarget::CidrBlock;
        entry.cidr1 = addressField(rest.first(slash));
        entry.cidr2 = digitsField(rest.sliced(slash + 1));
        break;
    }
    case RuleForm::Range: {
        const qsizetype dash = rest.indexOf(u'-');
        entry.target = RuleTarget::IpRange;
        entry.range1 = addressField(rest.first(dash));
        entry.range2 = digitsField(rest.sliced(dash + 1));
        break;
    }
    }
    return entry;
}

} // namespace vellamor
