#pragma once

#include <QString>
#include <optional>

namespace vellamor {

// What an access rule applies to: one choice per radio button of the Add Rule dialog.
enum class RuleTarget { AllIPs, SingleIP, CidrBlock, IpRange };

// An Add Rule entry as the dialog's fields show it. The address, prefix and
// end value fields are masked, so their text may hold blanks where the user
// left a position empty.
struct RuleEntry
{
    QString ruleType; // "REJECT" or "ACCEPT"; empty while none is chosen
    RuleTarget target = RuleTarget::AllIPs;
    QString singleip;
    QString cidr1;  // address of the block
    QString cidr2;  // prefix
    QString range1; // first address of the range
    QString range2; // end value
};

// The outcome of an entry: the rule line, or the text that refuses it.
struct RuleLineResult
{
    QString line;
    QString refusal;

    bool accepted() const { return refusal.isEmpty(); }
};

// A masked field's value: its text with every blank dropped, so a group typed
// as "1", blank, "2" reads "12".
QString withoutBlanks(const QString &fieldText);

// True for four dot-separated groups of digits, none empty and none above 255.
// Leading zeros are allowed ("010" is 10).
bool IsValidIP(const QString &address);

// Checks an entry in the order the user is told about problems (rule type
// first, then the fields of the chosen target only) and builds its line,
// e.g. "REJECT 10.0.0.0/8" or "ACCEPT 192.168.1.10-20". Values go into the
// line as typed, leading zeros included.
RuleLineResult buildRuleLine(const RuleEntry &entry);

// The entry that builds this very line, its fields as the dialog shows them,
// or nothing when the line is not in the dialog's grammar (see
// RuleAnalysis.h). "0.0.0.0" reads as All IPs; the fields of the other modes
// stay empty.
std::optional<RuleEntry> ruleEntryFromLine(const QString &line);

} // namespace vellamor
