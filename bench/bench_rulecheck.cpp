// What the rule checks cost beside reading the same rule set from its file
// bytes, in the same run: the warnings of every line (duplicates, redundant
// rules, faulty values) and the coverage filter over every line. Goal: the
// checks stay within a small multiple of reading the file, at every size, so
// they grow as n log n and never as n squared. It prints; it asserts nothing.
//
// Usage: bench_rulecheck

#include "rules/RuleAnalysis.h"
#include "rules/RuleSetFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <cstdio>
#include <functional>

using namespace vellamor;

namespace {

// A mix like a grown rule set: mostly single addresses, blocks and ranges in
// a few private networks, some duplicates and some lines of other text.
QList<QByteArray> ruleSet(int count)
{
    QRandomGenerator random(15);
    QList<QByteArray> lines;
    lines.reserve(count);
    for (int i = 0; i < count; ++i) {
        const char *type = random.bounded(3) == 0 ? "REJECT" : "ACCEPT";
        const quint32 address = (random.bounded(2) ? 0x0A000000u : 0xAC100000u) | random.bounded(1u << 20);
        switch (random.bounded(10)) {
        case 0:
            lines << QByteArray("# ") + QByteArray::number(i);
            break;
        case 1:
        case 2:
            lines << QStringLiteral("%1 %2/%3").arg(type, addressText(address)).arg(24 + random.bounded(9)).toLatin1();
            break;
        case 3:
            lines << QStringLiteral("%1 %2-%3")
                         .arg(type, addressText(address))
                         .arg(qMin(255u, (address & 0xFF) + random.bounded(32u)))
                         .toLatin1();
            break;
        case 4:
            lines << (lines.isEmpty() ? QByteArray("ACCEPT 0.0.0.0") : lines[random.bounded(lines.size())]);
            break;
        default:
            lines << QStringLiteral("%1 %2").arg(type, addressText(address)).toLatin1();
        }
    }
    return lines;
}

// The best of a few runs, in milliseconds.
double best(const std::function<void()> &work)
{
    double fastest = 1e9;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        fastest = qMin(fastest, double(timer.nsecsElapsed()) / 1e6);
    }
    return fastest;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::printf("%10s %12s %12s %8s %12s %8s %10s\n", "rules", "read (ms)", "check (ms)", "ratio", "filter (ms)",
                "ratio", "attention");
    for (const int count : {10'000, 100'000, 1'000'000}) {
        const QList<QByteArray> lines = ruleSet(count);
        const RuleLineStore store = RuleLineStore::fromList(lines);
        const QByteArray file = composeRuleSet(Policy::Reject, store.lines());

        int attention = 0;
        qsizetype read = 0;
        int covering = 0;
        const double readMs = best([&] { read += parseRuleSet(file).rules.spans.size(); });
        const double checkMs = best([&] { attention = analyseRules(store.lines()).needingAttention; });
        const quint32 address = *parseAddress(u"10.0.18.7");
        const double filterMs = best([&] {
            covering = 0;
            for (const QByteArray &line : lines) {
                const std::optional<AddressSpan> span = ruleSpan(parseRuleLine(line));
                covering += span && span->contains(address);
            }
        });
        std::printf("%10d %12.2f %12.2f %8.2f %12.2f %8.2f %10d\n", count, readMs, checkMs, checkMs / readMs, filterMs,
                    filterMs / readMs, attention);
        Q_UNUSED(read);
        Q_UNUSED(covering);
    }
    return 0;
}
