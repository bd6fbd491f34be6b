#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace vellamor {

// The server's default answer to a client that no rule names.
enum class Policy { Reject, Accept };

// What rules.txt holds. Rule lines stay the file's own bytes (8-bit text in
// the system code page); the page decides how to show them.
struct RuleSetContent
{
    std::optional<Policy> policy; // the last valid policy line, if any
    QList<QByteArray> rules;
};

// Reads a rule set file's bytes. A line ends at LF, and a CR right before the
// LF goes with it; a last line without a line end still counts. A line that
// starts with "POLICY" is a policy line and never a rule: "ACCEPT" or "REJECT"
// as its characters 8 to 13 sets the policy (the last such line wins), any
// other word leaves the policy alone. Every other line, the empty one
// included, is a rule, kept whole whatever its length.
RuleSetContent parseRuleSet(const QByteArray &fileContent);

// The file's bytes for a policy and rules: the policy line first, then each
// rule, every line ending with CR LF (the server expects it on every platform)
// and nothing after the last one.
QByteArray composeRuleSet(Policy policy, const QList<QByteArray> &rules);

// The largest rules.txt read: far above any real rule set, low enough that
// a runaway file cannot take all memory.
inline constexpr qint64 kMaxRuleSetFileSize = qint64(1) << 30;

// The whole content of the file, or nothing when it cannot be opened or read
// (missing, no access, a directory). Raises an error naming the file when it
// is not a regular file (a FIFO or a device, which could block or never end)
// or is larger than kMaxRuleSetFileSize.
std::optional<QByteArray> readRuleSetFile(const QString &path);

} // namespace vellamor
