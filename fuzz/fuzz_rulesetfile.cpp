// rules.txt read and written back: whatever bytes the reader is given, what it
// makes of them survives a Save and a restart unchanged.
#include "FuzzSupport.h"
#include "rules/RuleSetFile.h"

using namespace vellamor;
using fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const RuleSetContent read = parseRuleSet(fuzz::expandedInput(data, size, qsizetype(256) << 10));
    for (const QByteArray &rule : read.rules)
        require(!rule.contains('\n') && !rule.startsWith("POLICY"), "a rule is one line and never a policy line");

    const Policy policy = read.policy.value_or(Policy::Reject);
    const QByteArray written = composeRuleSet(policy, read.rules);
    const RuleSetContent reread = parseRuleSet(written);
    require(reread.policy == policy, "the saved policy reads back");
    require(reread.rules == read.rules, "the saved rules read back, byte for byte");
    require(composeRuleSet(policy, reread.rules) == written, "a second Save writes the same bytes");
    return 0;
}
