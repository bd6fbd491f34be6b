#pragma once

#include "RuleLines.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace vellamor {

// The server's default answer to a client that no rule names.
enum class Policy { Reject, Accept };

// What rules.txt holds. Rule lines stay the file's own bytes (8-bit text in
// the system code page), not copied: the spans point into the file's bytes.
struct RuleSetContent
{
    std::optional<Policy> policy; // the last valid policy line, if any
    RuleLineStore rules;
    // The file ends a line with a carriage return alone somewhere: what
    // follows it within the line is not shown as a line of its own, and a
    // policy line hides it altogether, so writing the rules back would not
    // give the server what the file told it.
    bool loneCarriageReturn = false;
};

// Reads a rule set file's bytes. A line ends at LF, and a CR right before the
// LF goes with it; a last line without a line end still counts. A line that
// starts with "POLICY" is a policy line and never a rule: "ACCEPT" or "REJECT"
// as its characters 8 to 13 sets the policy (the last such line wins), any
// other word leaves the policy alone. Every other line, the empty one
// included, is a rule, kept whole whatever its length.
RuleSetContent parseRuleSet(QByteArray fileContent);

// The file's bytes for a policy and rules: the policy line first, then each
// rule, every line ending with CR LF (the server expects it on every platform)
// and nothing after the last one.
QByteArray composeRuleSet(Policy policy, RuleLines rules);

// The largest rules.txt read, in bytes and in lines: far above any real rule
// set (a million rules take about 23 MiB), low enough that the largest file
// accepted opens within seconds and in memory of about twice its size. Each
// line costs a few bytes of index and checks whatever its length, so a file
// of empty lines is bounded by its line count rather than its size.
inline constexpr qint64 kMaxRuleSetFileSize = qint64(32) << 20;
inline constexpr qsizetype kMaxRuleSetLines = 4'000'000;

// The whole content of the file, or nothing when it cannot be opened or read
// (missing, no access, a directory). Raises an error naming the file when it
// is not a regular file (a FIFO or a device, which could block or never end),
// is larger than kMaxRuleSetFileSize or holds more than kMaxRuleSetLines lines.
std::optional<QByteArray> readRuleSetFile(const QString &path);

} // namespace vellamor
