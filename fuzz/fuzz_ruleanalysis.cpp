// The rule grammar and the checks behind the Security page's warnings, on the
// lines the rules.txt reader makes of any bytes. Each finding is checked
// against the grammar's own reading of the lines; in small rule sets the
// duplicates and redundant rules are also sought the slow way, so that none
// is missed.
#include "FuzzSupport.h"
#include "rules/RuleAnalysis.h"
#include "rules/RuleSetFile.h"

using namespace vellamor;
using fuzz::require;

namespace {

constexpr qsizetype kSlowCheckLines = 300;

struct ReadLine
{
    RuleLineParts parts;
    std::optional<AddressSpan> span;
};

void checkFinding(RuleLines lines, const std::vector<ReadLine> &read, qsizetype row, const RuleFinding &finding)
{
    const ReadLine &line = read[size_t(row)];
    const quint16 own = finding.problems & ~(Duplicate | Redundant);
    require(line.parts.inGrammar() == !(own & NotARule), "NotARule exactly for lines outside the grammar");
    require(line.span.has_value() == (own == 0 || own == HostBitsSet),
            "a rule names addresses unless a problem of its own says it names none");
    require(!line.span || line.span->first <= line.span->last, "a span runs upwards");
    if (finding.problems & (Duplicate | Redundant))
        require(finding.related >= 0 && finding.related < row, "a duplicate or redundant rule names an earlier row");
    if (finding.problems & Duplicate)
        require(lines[finding.related] == lines[row], "a duplicate equals the row it names");
    if (finding.problems & Redundant) {
        const ReadLine &earlier = read[size_t(finding.related)];
        require(!(finding.problems & Duplicate) && line.span && earlier.span &&
                    earlier.parts.accept == line.parts.accept && earlier.span->contains(*line.span),
                "a redundant rule is covered by the earlier rule of its type it names");
    }
    require(describeFinding(lines, row, finding).isEmpty() == (finding.problems == 0),
            "every finding is described, and only findings");
}

void checkNoneMissed(RuleLines lines, const std::vector<ReadLine> &read, const RuleSetAnalysis &analysis)
{
    for (qsizetype row = 0; row < lines.size(); ++row) {
        const RuleFinding &finding = analysis.findings[size_t(row)];
        const ReadLine &line = read[size_t(row)];
        qsizetype first = 0;
        while (lines[first] != lines[row])
            ++first;
        if (first < row) {
            require((finding.problems & Duplicate) && finding.related == first,
                    "a repeated line is a duplicate of its first occurrence");
            continue;
        }
        bool covered = false;
        for (qsizetype earlier = 0; earlier < row && line.span && !covered; ++earlier) {
            const ReadLine &other = read[size_t(earlier)];
            covered = other.span && other.parts.accept == line.parts.accept && other.span->contains(*line.span);
        }
        require(covered == bool(finding.problems & Redundant),
                "a rule is redundant exactly when an earlier one covers it");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const RuleLineStore store = parseRuleSet(fuzz::expandedInput(data, size, qsizetype(1) << 20)).rules;
    const RuleLines lines = store.lines();
    const RuleSetAnalysis analysis = analyseRules(lines);
    require(analysis.findings.size() == size_t(lines.size()), "one finding per line");

    std::vector<ReadLine> read;
    read.reserve(size_t(lines.size()));
    int needingAttention = 0;
    bool anyAccepting = false;
    for (qsizetype row = 0; row < lines.size(); ++row) {
        const RuleLineParts parts = parseRuleLine(lines[row]);
        read.push_back({parts, ruleSpan(parts)});
        anyAccepting = anyAccepting || (read.back().span && parts.accept);
        needingAttention += analysis.findings[size_t(row)].problems != 0;
    }
    for (qsizetype row = 0; row < lines.size(); ++row)
        checkFinding(lines, read, row, analysis.findings[size_t(row)]);
    require(analysis.needingAttention == needingAttention, "the count of lines needing attention");
    require(analysis.anyAccepting == anyAccepting, "whether an ACCEPT rule names an address");
    if (lines.size() <= kSlowCheckLines)
        checkNoneMissed(lines, read, analysis);
    return 0;
}
