#pragma once

#include "RuleLines.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <QStringView>
#include <optional>
#include <vector>

namespace vellamor {

// An inclusive run of IPv4 addresses, each as its 32-bit value.
struct AddressSpan
{
    quint32 first = 0;
    quint32 last = 0;

    bool contains(quint32 address) const { return first <= address && address <= last; }
    bool contains(AddressSpan other) const { return first <= other.first && other.last <= last; }
    friend bool operator==(AddressSpan, AddressSpan) = default;
};

// The shapes a rule line takes in the Add Rule dialog's grammar.
enum class RuleForm { Outside, AllAddresses, Address, Block, Range };

// A rule line as the grammar reads it: "REJECT" or "ACCEPT", one blank, then
// "0.0.0.0", an address, an address "/" prefix, or an address "-" end value,
// where an address is four dot-separated groups of one to three digits and a
// prefix or end value is one to three digits. Nothing else, not even a blank,
// may follow. The values are read as written: a line can be in the grammar
// and still hold a group above 255, which the dialog would have refused.
struct RuleLineParts
{
    RuleForm form = RuleForm::Outside;
    bool accept = false;
    int groups[4] = {};
    int prefix = -1; // a block's
    int end = -1;    // a range's

    bool inGrammar() const { return form != RuleForm::Outside; }
};

RuleLineParts parseRuleLine(QByteArrayView line);

// The addresses a rule names, or nothing when its values name none (a group
// above 255, a prefix above 32, a range end outside its start's group). A
// lone address whose value is 0 stands for every address; a block with host
// bits set covers the whole block its prefix gives.
std::optional<AddressSpan> ruleSpan(const RuleLineParts &rule);

// Dotted decimal text of four groups of one to three digits, each at most
// 255, as an address value. Blanks around the text are ignored.
std::optional<quint32> parseAddress(QStringView text);
QString addressText(quint32 address);

// Why a rule line may not do what its author meant. None of these stops the
// line from being kept or saved: they are hints for the administrator.
enum RuleProblem : quint16 {
    NotARule = 1 << 0,
    GroupAbove255 = 1 << 1,
    PrefixAbove32 = 1 << 2,
    HostBitsSet = 1 << 3,
    EndAbove255 = 1 << 4,
    EndBelowStart = 1 << 5,
    Duplicate = 1 << 6, // of the line at related
    Redundant = 1 << 7, // every address is already named by the rule at related, of the same type
};

struct RuleFinding
{
    quint16 problems = 0;
    int related = -1; // the earlier row a duplicate or redundant rule refers to
};

struct RuleSetAnalysis
{
    std::vector<RuleFinding> findings; // one per line, in order
    int needingAttention = 0;          // lines with at least one problem
    bool anyAccepting = false;         // an ACCEPT rule names at least one address
};

// Every line's problems in one pass. Duplicates are found through hashes and
// redundant rules through a prefix-maximum tree over the rules' first
// addresses, per type, so a rule set of any size costs O(n log n).
RuleSetAnalysis analyseRules(RuleLines lines);

// The administrator's reading of a line's finding, one sentence per problem;
// rows are counted from 1 as the list shows them.
QStringList describeFinding(RuleLines lines, qsizetype row, const RuleFinding &finding);

} // namespace vellamor
