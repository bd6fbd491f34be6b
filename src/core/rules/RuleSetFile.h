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

// The whole content of the file, or nothing when it cannot be read.
std::optional<QByteArray> readRuleSetFile(const QString &path);

// Replaces the file with the content in one step: readers see the old file or
// the new one, never a part of it. Returns the system's reason on failure, in
// which case the old file is left as it was.
std::optional<QString> writeRuleSetFile(const QString &path, const QByteArray &content);

} // namespace vellamor
