// rules.txt read and written back: whatever bytes the reader is given, what it
// makes of them survives a Save and a restart unchanged, and the rule list
// that holds them shows the same lines.
#include "FuzzSupport.h"
#include "rules/RuleListModel.h"
#include "rules/RuleSetFile.h"

using namespace vellamor;
using fuzz::require;

namespace {

bool sameLines(RuleLines a, RuleLines b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype row = 0; row < a.size(); ++row) {
        if (a[row] != b[row])
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = fuzz::expandedInput(data, size, qsizetype(4) << 20);
    const RuleSetContent read = parseRuleSet(input);
    const RuleLines rules = read.rules.lines();
    bool carriageReturn = false;
    for (qsizetype row = 0; row < rules.size(); ++row) {
        require(!rules[row].contains('\n') && !rules[row].startsWith("POLICY"),
                "a rule is one line and never a policy line");
        carriageReturn = carriageReturn || rules[row].contains('\r');
    }
    require(!carriageReturn || read.loneCarriageReturn, "a carriage return left in a rule is reported");

    const Policy policy = read.policy.value_or(Policy::Reject);
    const QByteArray written = composeRuleSet(policy, rules);
    const RuleSetContent reread = parseRuleSet(written);
    require(reread.policy == policy, "the saved policy reads back");
    require(sameLines(reread.rules.lines(), rules), "the saved rules read back, byte for byte");
    require(composeRuleSet(policy, reread.rules.lines()) == written, "a second Save writes the same bytes");

    RuleListModel model;
    model.appendLines(read.rules);
    model.markSaved();
    require(sameLines(model.lines(), rules), "the rule list holds the lines read");
    if (model.rowCount() > 0) {
        model.replaceLine(0, "ACCEPT 10.0.0.1");
        model.replaceLine(0, rules[0].toByteArray());
        require(model.sameAsMarked(), "an edit put back is no change");
    }
    return 0;
}
