#include "RuleAnalysis.h"

#include <QHashFunctions>
#include <algorithm>
#include <deque>
#include <limits>

namespace vellamor {

namespace {

constexpr QByteArrayView kReject = "REJECT ";
constexpr QByteArrayView kAccept = "ACCEPT ";
constexpr QByteArrayView kAllAddressesText = "0.0.0.0";
constexpr quint32 kHighestAddress = std::numeric_limits<quint32>::max();

// Reads one to three digits at pos. Four or more digits are outside the
// grammar: the dialog's fields hold three.
bool readNumber(QByteArrayView line, qsizetype &pos, int &value)
{
    value = 0;
    qsizetype count = 0;
    while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9') {
        if (++count > 3)
            return false;
        value = value * 10 + (line[pos] - '0');
        ++pos;
    }
    return count > 0;
}

bool groupsWithin255(const RuleLineParts &rule)
{
    return std::all_of(std::begin(rule.groups), std::end(rule.groups), [](int g) { return g <= 255; });
}

quint32 addressValue(const RuleLineParts &rule)
{
    return (quint32(rule.groups[0]) << 24) | (quint32(rule.groups[1]) << 16) | (quint32(rule.groups[2]) << 8) |
           quint32(rule.groups[3]);
}

quint32 blockMask(int prefix)
{
    return prefix == 0 ? 0 : kHighestAddress << (32 - prefix);
}

quint16 lineProblems(const RuleLineParts &rule)
{
    if (!rule.inGrammar())
        return NotARule;
    quint16 problems = 0;
    const bool groupsOk = groupsWithin255(rule);
    if (!groupsOk)
        problems |= GroupAbove255;
    if (rule.form == RuleForm::Block) {
        if (rule.prefix > 32)
            problems |= PrefixAbove32;
        else if (groupsOk && (addressValue(rule) & ~blockMask(rule.prefix)) != 0)
            problems |= HostBitsSet;
    } else if (rule.form == RuleForm::Range) {
        if (rule.end > 255)
            problems |= EndAbove255;
        else if (rule.end < rule.groups[3])
            problems |= EndBelowStart;
    }
    return problems;
}

// What the analysis keeps of a rule that names addresses: enough to judge
// redundancy. Lines that name none (empty ones, comments, typing errors) cost
// nothing here, so a file of such lines costs no more than its findings.
struct ReadRule
{
    AddressSpan span;
    int row = 0;
    bool accept = false;
};

void findDuplicates(RuleLines lines, RuleSetAnalysis &result)
{
    // An open-addressing table of first occurrences, at most half full: one
    // probe sequence per line and a byte comparison only when hashes meet.
    // It grows with the distinct lines, not with all of them.
    struct Slot
    {
        quint32 hash = 0;
        int row = -1;
    };
    const auto checkOf = [](size_t hash) { return quint32(quint64(hash) >> 32) ^ quint32(hash); };
    std::vector<Slot> table(16);
    size_t used = 0;
    const auto place = [&](std::vector<Slot> &into, size_t hash, Slot slot) {
        const size_t mask = into.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            if (into[i].row < 0) {
                into[i] = slot;
                return;
            }
        }
    };
    for (qsizetype row = 0; row < lines.size(); ++row) {
        const QByteArrayView line = lines[row];
        const size_t hash = qHash(line);
        const quint32 check = checkOf(hash);
        const size_t mask = table.size() - 1;
        bool duplicate = false;
        size_t i = hash & mask;
        for (; table[i].row >= 0; i = (i + 1) & mask) {
            if (table[i].hash == check && lines[table[i].row] == line) {
                result.findings[size_t(row)].problems |= Duplicate;
                result.findings[size_t(row)].related = table[i].row;
                duplicate = true;
                break;
            }
        }
        if (duplicate)
            continue;
        table[i] = {check, int(row)};
        if (++used * 2 > table.size()) {
            std::vector<Slot> larger(table.size() * 2);
            for (const Slot &slot : table) {
                if (slot.row >= 0)
                    place(larger, qHash(lines[slot.row]), slot);
            }
            table.swap(larger);
        }
    }
}

// For each rule of one type in file order: is there an earlier rule of that
// type whose span holds all of it? The earlier spans are indexed by the rank
// of their first address in a Fenwick tree that keeps, for every prefix of
// ranks, the span reaching furthest: a rule is covered exactly when the
// furthest-reaching earlier span starting at or before it reaches its end.
void findRedundant(const std::deque<ReadRule> &rules, bool accept, RuleSetAnalysis &result)
{
    // First address and place in one key: a single sort gives the ranks.
    std::vector<quint64> keys;
    keys.reserve(
        size_t(std::count_if(rules.begin(), rules.end(), [&](const ReadRule &r) { return r.accept == accept; })));
    for (size_t i = 0; i < rules.size(); ++i) {
        if (rules[i].accept == accept)
            keys.push_back((quint64(rules[i].span.first) << 32) | i);
    }
    if (keys.size() < 2)
        return;
    std::sort(keys.begin(), keys.end());
    std::vector<quint32> rank(rules.size(), 0);
    quint32 ranks = 0;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (i == 0 || (keys[i] >> 32) != (keys[i - 1] >> 32))
            ++ranks;
        rank[size_t(keys[i] & 0xFFFFFFFFu)] = ranks;
    }

    struct Reach
    {
        quint32 last = 0;
        int row = -1;
    };
    std::vector<Reach> tree(size_t(ranks) + 1);
    for (size_t at = 0; at < rules.size(); ++at) {
        if (rank[at] == 0)
            continue;
        const AddressSpan span = rules[at].span;
        Reach best;
        for (size_t i = rank[at]; i > 0; i &= i - 1) {
            if (tree[i].row >= 0 && (best.row < 0 || tree[i].last > best.last))
                best = tree[i];
        }
        RuleFinding &finding = result.findings[size_t(rules[at].row)];
        if (best.row >= 0 && best.last >= span.last && !(finding.problems & Duplicate)) {
            finding.problems |= Redundant;
            finding.related = best.row;
        }
        for (size_t i = rank[at]; i < tree.size(); i += i & (~i + 1)) {
            if (tree[i].row < 0 || span.last > tree[i].last)
                tree[i] = {span.last, rules[at].row};
        }
    }
}

QString rest(QByteArrayView line)
{
    return QString::fromLatin1(line.sliced(kReject.size()));
}

} // namespace

RuleLineParts parseRuleLine(QByteArrayView line)
{
    RuleLineParts parts;
    bool accept = false;
    if (line.startsWith(kAccept))
        accept = true;
    else if (!line.startsWith(kReject))
        return parts;

    qsizetype pos = kReject.size();
    for (int group = 0; group < 4; ++group) {
        if (group > 0) {
            if (pos >= line.size() || line[pos] != '.')
                return parts;
            ++pos;
        }
        if (!readNumber(line, pos, parts.groups[group]))
            return parts;
    }

    RuleForm form = RuleForm::Address;
    if (pos < line.size()) {
        const char separator = line[pos++];
        if (separator == '/') {
            form = RuleForm::Block;
            if (!readNumber(line, pos, parts.prefix))
                return parts;
        } else if (separator == '-') {
            form = RuleForm::Range;
            if (!readNumber(line, pos, parts.end))
                return parts;
        } else {
            return parts;
        }
        if (pos != line.size())
            return parts;
    } else if (line.sliced(kReject.size()) == kAllAddressesText) {
        form = RuleForm::AllAddresses;
    }
    parts.form = form;
    parts.accept = accept;
    return parts;
}

std::optional<AddressSpan> ruleSpan(const RuleLineParts &rule)
{
    if (!rule.inGrammar() || !groupsWithin255(rule))
        return std::nullopt;
    const quint32 address = addressValue(rule);
    switch (rule.form) {
    case RuleForm::Outside:
        return std::nullopt;
    case RuleForm::AllAddresses:
        return AddressSpan{0, kHighestAddress};
    case RuleForm::Address:
        // However it is written, the address 0.0.0.0 stands for all.
        if (address == 0)
            return AddressSpan{0, kHighestAddress};
        return AddressSpan{address, address};
    case RuleForm::Block: {
        if (rule.prefix > 32)
            return std::nullopt;
        const quint32 mask = blockMask(rule.prefix);
        return AddressSpan{address & mask, (address & mask) | ~mask};
    }
    case RuleForm::Range:
        if (rule.end > 255 || rule.end < rule.groups[3])
            return std::nullopt;
        return AddressSpan{address, (address & 0xFFFFFF00u) | quint32(rule.end)};
    }
    return std::nullopt;
}

std::optional<quint32> parseAddress(QStringView text)
{
    const QByteArray ascii = text.trimmed().toLatin1();
    RuleLineParts parts;
    qsizetype pos = 0;
    for (int group = 0; group < 4; ++group) {
        if (group > 0) {
            if (pos >= ascii.size() || ascii[pos] != '.')
                return std::nullopt;
            ++pos;
        }
        if (!readNumber(ascii, pos, parts.groups[group]))
            return std::nullopt;
    }
    if (pos != ascii.size() || !groupsWithin255(parts))
        return std::nullopt;
    return addressValue(parts);
}

QString addressText(quint32 address)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address >> 24)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg(address & 0xFF);
}

RuleSetAnalysis analyseRules(RuleLines lines)
{
    RuleSetAnalysis result;
    result.findings.resize(size_t(lines.size()));
    // Grown in blocks: a vector's doubling could leave half its room unused.
    std::deque<ReadRule> rules;
    for (qsizetype row = 0; row < lines.size(); ++row) {
        const RuleLineParts parts = parseRuleLine(lines[row]);
        result.findings[size_t(row)].problems = lineProblems(parts);
        if (const std::optional<AddressSpan> span = ruleSpan(parts)) {
            rules.push_back({*span, int(row), parts.accept});
            result.anyAccepting = result.anyAccepting || parts.accept;
        }
    }
    findDuplicates(lines, result);
    findRedundant(rules, false, result);
    findRedundant(rules, true, result);
    result.needingAttention = int(std::count_if(result.findings.begin(), result.findings.end(),
                                                [](const RuleFinding &f) { return f.problems != 0; }));
    return result;
}

QStringList describeFinding(RuleLines lines, qsizetype row, const RuleFinding &finding)
{
    QStringList texts;
    if (finding.problems == 0 || row < 0 || row >= lines.size())
        return texts;
    const QByteArrayView line = lines[row];
    const RuleLineParts parts = parseRuleLine(line);

    if (finding.problems & NotARule) {
        texts << QStringLiteral("Not in the rule form: REJECT or ACCEPT, one blank, then an address, "
                                "an address/prefix or an address-end value");
    }
    if (finding.problems & GroupAbove255) {
        const int *high = std::find_if(std::begin(parts.groups), std::end(parts.groups), [](int g) { return g > 255; });
        texts << QStringLiteral("Address group %1 is above 255: the rule names no address").arg(*high);
    }
    if (finding.problems & PrefixAbove32)
        texts << QStringLiteral("Prefix %1 is above 32: the rule names no address").arg(parts.prefix);
    if (finding.problems & HostBitsSet) {
        const AddressSpan span = ruleSpan(parts).value_or(AddressSpan{});
        texts << QStringLiteral("%1 has host bits set: it covers %2\u2013%3")
                     .arg(rest(line), addressText(span.first), addressText(span.last));
    }
    if (finding.problems & EndAbove255)
        texts << QStringLiteral("Range end %1 is above 255: the rule names no address").arg(parts.end);
    if (finding.problems & EndBelowStart) {
        texts << QStringLiteral("Range end %1 is below its start %2: the rule names no address")
                     .arg(parts.end)
                     .arg(parts.groups[3]);
    }
    const bool related = finding.related >= 0 && finding.related < lines.size();
    if ((finding.problems & Duplicate) && related)
        texts << QStringLiteral("Same as rule %1").arg(finding.related + 1);
    if ((finding.problems & Redundant) && related) {
        texts << QStringLiteral("Redundant: rule %1 (%2) already covers every address of this one")
                     .arg(finding.related + 1)
                     .arg(QString::fromLatin1(lines[finding.related]));
    }
    return texts;
}

} // namespace vellamor
