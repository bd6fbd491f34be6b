#include "rules/RuleAnalysis.h"
#include "rules/RuleLine.h"

#include <QRandomGenerator>
#include <QTest>

using namespace vellamor;

class TestRuleAnalysis : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The last line of a rule set: does it cover the address, and what does
    // the administrator read about it?
    void coverageAndWarnings_data()
    {
        QTest::addColumn<QStringList>("earlier");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("covers");
        QTest::addColumn<QString>("warning");

        const QString notARule = QStringLiteral("Not in the rule form: REJECT or ACCEPT, one blank, then an address, "
                                                "an address/prefix or an address-end value");
        const QStringList none;
        // clang-format off
        QTest::newRow("single")                << none << "REJECT 10.0.0.5"         << "10.0.0.5"        << true  << "";
        QTest::newRow("single, other")         << none << "REJECT 10.0.0.5"         << "10.0.0.6"        << false << "";
        QTest::newRow("leading zeros")         << none << "ACCEPT 010.000.000.001"  << "10.0.0.1"        << true  << "";
        QTest::newRow("all")                   << none << "ACCEPT 0.0.0.0"          << "203.0.113.9"     << true  << "";
        QTest::newRow("all, written long")     << none << "ACCEPT 000.0.0.0"        << "255.255.255.255" << true  << "";
        QTest::newRow("block, last")           << none << "REJECT 10.0.0.0/8"       << "10.255.255.255"  << true  << "";
        QTest::newRow("block, beyond")         << none << "REJECT 10.0.0.0/8"       << "11.0.0.0"        << false << "";
        QTest::newRow("block /0")              << none << "REJECT 0.0.0.0/0"        << "255.255.255.255" << true  << "";
        QTest::newRow("block /32")             << none << "ACCEPT 1.2.3.4/32"       << "1.2.3.5"         << false << "";
        QTest::newRow("host bits set")         << none << "REJECT 10.0.0.5/24"      << "10.0.0.200"      << true
                                               << "10.0.0.5/24 has host bits set: it covers 10.0.0.0\u201310.0.0.255";
        QTest::newRow("range, end")            << none << "ACCEPT 192.168.1.10-20"  << "192.168.1.20"    << true  << "";
        QTest::newRow("range, before")         << none << "ACCEPT 192.168.1.10-20"  << "192.168.1.9"     << false << "";
        QTest::newRow("range, after")          << none << "ACCEPT 192.168.1.10-20"  << "192.168.1.21"    << false << "";
        QTest::newRow("range of one")          << none << "ACCEPT 192.168.1.10-10"  << "192.168.1.10"    << true  << "";
        QTest::newRow("range end below start") << none << "ACCEPT 192.168.1.10-5"   << "192.168.1.7"     << false
                                               << "Range end 5 is below its start 10: the rule names no address";
        QTest::newRow("range end above 255")   << none << "ACCEPT 192.168.1.10-999" << "192.168.1.200"   << false
                                               << "Range end 999 is above 255: the rule names no address";
        QTest::newRow("group above 255")       << none << "REJECT 10.0.300.1"       << "10.0.44.1"       << false
                                               << "Address group 300 is above 255: the rule names no address";
        QTest::newRow("prefix above 32")       << none << "REJECT 1.2.3.4/33"       << "1.2.3.4"         << false
                                               << "Prefix 33 is above 32: the rule names no address";
        QTest::newRow("lower case")            << none << "reject 1.2.3.4"          << "1.2.3.4"         << false << notARule;
        QTest::newRow("two blanks")            << none << "REJECT  1.2.3.4"         << "1.2.3.4"         << false << notARule;
        QTest::newRow("trailing blank")        << none << "REJECT 1.2.3.4 "         << "1.2.3.4"         << false << notARule;
        QTest::newRow("three groups")          << none << "REJECT 1.2.3"            << "1.2.3.0"         << false << notARule;
        QTest::newRow("four digits")           << none << "REJECT 1.2.3.0004"       << "1.2.3.4"         << false << notARule;
        QTest::newRow("prefix missing")        << none << "REJECT 1.2.3.4/"         << "1.2.3.4"         << false << notARule;
        QTest::newRow("other word")            << none << "DENY 1.2.3.4"            << "1.2.3.4"         << false << notARule;
        QTest::newRow("empty line")            << none << ""                        << "1.2.3.4"         << false << notARule;
        QTest::newRow("duplicate")             << QStringList{"ACCEPT 1.1.1.1", "REJECT 1.2.3.4"} << "REJECT 1.2.3.4" << "1.2.3.4" << true
                                               << "Same as rule 2";
        QTest::newRow("duplicate non-rule")    << QStringList{"hello"} << "hello" << "1.2.3.4" << false
                                               << notARule + "\nSame as rule 1";
        QTest::newRow("redundant")             << QStringList{"ACCEPT 10.0.0.0/8"} << "ACCEPT 10.1.2.3" << "10.1.2.3" << true
                                               << "Redundant: rule 1 (ACCEPT 10.0.0.0/8) already covers every address of this one";
        QTest::newRow("same span, other text") << QStringList{"ACCEPT 10.0.0.1"} << "ACCEPT 010.0.0.1" << "10.0.0.1" << true
                                               << "Redundant: rule 1 (ACCEPT 10.0.0.1) already covers every address of this one";
        QTest::newRow("after all addresses")   << QStringList{"REJECT 0.0.0.0"} << "REJECT 10.0.0.0/8" << "10.0.0.1" << true
                                               << "Redundant: rule 1 (REJECT 0.0.0.0) already covers every address of this one";
        QTest::newRow("furthest earlier rule") << QStringList{"ACCEPT 10.0.0.5-9", "ACCEPT 10.0.0.0/24"} << "ACCEPT 10.0.0.1-3" << "10.0.0.2" << true
                                               << "Redundant: rule 2 (ACCEPT 10.0.0.0/24) already covers every address of this one";
        QTest::newRow("other type covers")     << QStringList{"REJECT 10.0.0.0/8"} << "ACCEPT 10.1.2.3" << "10.1.2.3" << true << "";
        QTest::newRow("earlier is narrower")   << QStringList{"ACCEPT 10.0.0.1"} << "ACCEPT 10.0.0.0/24" << "10.0.0.1" << true << "";
        QTest::newRow("only overlaps")         << QStringList{"ACCEPT 10.0.0.0/25"} << "ACCEPT 10.0.0.100-200" << "10.0.0.150" << true << "";
        QTest::newRow("two rules together")    << QStringList{"ACCEPT 10.0.0.1-5", "ACCEPT 10.0.0.6-9"} << "ACCEPT 10.0.0.3-7" << "10.0.0.3" << true << "";
        QTest::newRow("broken rule covers none") << QStringList{"ACCEPT 10.0.0.0/40"} << "ACCEPT 10.0.0.1" << "10.0.0.1" << true << "";
        // clang-format on
    }

    void coverageAndWarnings()
    {
        QFETCH(QStringList, earlier);
        QFETCH(QString, line);
        QFETCH(QString, address);

        const std::optional<quint32> value = parseAddress(address);
        QVERIFY(value);
        const std::optional<AddressSpan> span = ruleSpan(parseRuleLine(line.toLatin1()));
        QTEST(span.has_value() && span->contains(*value), "covers");

        QList<QByteArray> lines;
        for (const QString &text : earlier << line)
            lines << text.toLatin1();
        const RuleLineStore store = RuleLineStore::fromList(lines);
        const RuleSetAnalysis analysis = analyseRules(store.lines());
        QCOMPARE(analysis.findings.size(), size_t(lines.size()));
        QTEST(describeFinding(store.lines(), lines.size() - 1, analysis.findings.back()).join(u'\n'), "warning");
    }

    // Random rule sets against the plain quadratic reading of "redundant".
    void redundancyMatchesPairwiseCheck()
    {
        QRandomGenerator random(16);
        QList<QByteArray> lines;
        for (int i = 0; i < 1500; ++i) {
            const char *type = random.bounded(2) ? "ACCEPT" : "REJECT";
            const quint32 base = 0x0A000000u | random.bounded(4096u);
            switch (random.bounded(3)) {
            case 0:
                lines << QStringLiteral("%1 %2").arg(type, addressText(base)).toLatin1();
                break;
            case 1:
                lines
                    << QStringLiteral("%1 %2/%3").arg(type, addressText(base)).arg(20 + random.bounded(13)).toLatin1();
                break;
            default:
                lines << QStringLiteral("%1 %2-%3").arg(type, addressText(base)).arg(random.bounded(256)).toLatin1();
            }
        }
        const RuleSetAnalysis analysis = analyseRules(RuleLineStore::fromList(lines).lines());
        int attention = 0;
        int redundant = 0;
        int duplicates = 0;
        for (qsizetype row = 0; row < lines.size(); ++row) {
            const RuleLineParts rule = parseRuleLine(lines[row]);
            const std::optional<AddressSpan> span = ruleSpan(rule);
            bool duplicate = false;
            bool covered = false;
            for (qsizetype before = 0; before < row; ++before) {
                const RuleLineParts other = parseRuleLine(lines[before]);
                const std::optional<AddressSpan> otherSpan = ruleSpan(other);
                duplicate = duplicate || lines[before] == lines[row];
                covered = covered || (span && otherSpan && other.accept == rule.accept && otherSpan->contains(*span));
            }
            const RuleFinding finding = analysis.findings[size_t(row)];
            QCOMPARE(bool(finding.problems & Duplicate), duplicate);
            QCOMPARE(bool(finding.problems & Redundant), covered && !duplicate);
            attention += finding.problems != 0;
            redundant += covered && !duplicate;
            duplicates += duplicate;
        }
        QCOMPARE(analysis.needingAttention, attention);
        QVERIFY(redundant > 10 && duplicates > 10);
        QVERIFY(analysis.anyAccepting);
    }

    // The dialog opens on a line in its own grammar and builds that line again.
    void entryFromLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("target"); // -1: not the dialog's
        QTest::newRow("all") << "REJECT 0.0.0.0" << int(RuleTarget::AllIPs);
        QTest::newRow("single, zeros") << "ACCEPT 000.010.0.1" << int(RuleTarget::SingleIP);
        QTest::newRow("block") << "ACCEPT 10.0.0.5/024" << int(RuleTarget::CidrBlock);
        QTest::newRow("range") << "REJECT 192.168.1.10-999" << int(RuleTarget::IpRange);
        QTest::newRow("lower case") << "accept 1.2.3.4" << -1;
        QTest::newRow("four digits") << "ACCEPT 1.2.3.1000" << -1;
        QTest::newRow("not ASCII") << "ACCEPT 1.2.3.\u0664" << -1;
    }

    void entryFromLine()
    {
        QFETCH(QString, line);
        QFETCH(int, target);
        const std::optional<RuleEntry> entry = ruleEntryFromLine(line);
        QCOMPARE(entry.has_value(), target >= 0);
        if (entry) {
            QCOMPARE(int(entry->target), target);
            QCOMPARE(buildRuleLine(*entry).line, line);
        }
    }
};

QTEST_GUILESS_MAIN(TestRuleAnalysis)
#include "tst_ruleanalysis.moc"
