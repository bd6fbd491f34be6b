#include "rules/RuleLine.h"

#include <QTest>

using namespace vellamor;

Q_DECLARE_METATYPE(vellamor::RuleTarget)

namespace {
// Field texts as the masked fields show them, blanks included.
const QString kUntouchedAddress = QStringLiteral("   .   .   .   ");
const QString kUntouchedDigits = QStringLiteral("   ");
} // namespace

class TestRuleLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ruleLine_data()
    {
        QTest::addColumn<QString>("ruleType");
        QTest::addColumn<RuleTarget>("target");
        QTest::addColumn<QString>("singleip");
        QTest::addColumn<QString>("cidr1");
        QTest::addColumn<QString>("cidr2");
        QTest::addColumn<QString>("range1");
        QTest::addColumn<QString>("range2");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("refusal");

        const QString good = QStringLiteral("10 .0  .0  .1  ");
        const QString u = kUntouchedAddress;
        const QString d = kUntouchedDigits;
        const QString noType = QStringLiteral("Please select rule type.");
        using T = RuleTarget;

        // clang-format off
        //                                                   type        target        singleip           cidr1              cidr2   range1             range2  line                       refusal
        // The rule type is checked before anything else, in every mode.
        QTest::newRow("no type, All IPs")                 << ""       << T::AllIPs    << u                 << u                 << d     << u                 << d     << ""                       << noType;
        QTest::newRow("no type, Single IP, valid")        << ""       << T::SingleIP  << good              << u                 << d     << u                 << d     << ""                       << noType;
        QTest::newRow("no type, Single IP, invalid")      << ""       << T::SingleIP  << u                 << u                 << d     << u                 << d     << ""                       << noType;
        QTest::newRow("no type, CIDR, invalid")           << ""       << T::CidrBlock << u                 << u                 << d     << u                 << d     << ""                       << noType;
        QTest::newRow("no type, Range, invalid")          << ""       << T::IpRange   << u                 << u                 << d     << u                 << d     << ""                       << noType;
        // All IPs never reads the single address field.
        QTest::newRow("All IPs REJECT")                   << "REJECT" << T::AllIPs    << u                 << u                 << d     << u                 << d     << "REJECT 0.0.0.0"         << "";
        QTest::newRow("All IPs ignores singleip")         << "ACCEPT" << T::AllIPs    << "999.1  .   .   " << u                 << d     << u                 << d     << "ACCEPT 0.0.0.0"         << "";
        // Single IP: each group 0 to 255, none empty, blanks dropped, zeros kept.
        QTest::newRow("single highest")                   << "ACCEPT" << T::SingleIP  << "255.255.255.255" << u                 << d     << u                 << d     << "ACCEPT 255.255.255.255" << "";
        QTest::newRow("single lowest")                    << "REJECT" << T::SingleIP  << "0  .0  .0  .0  " << u                 << d     << u                 << d     << "REJECT 0.0.0.0"         << "";
        QTest::newRow("single 256 first")                 << "REJECT" << T::SingleIP  << "256.1  .1  .1  " << u                 << d     << u                 << d     << ""                       << "Invalid IP";
        QTest::newRow("single 256 last")                  << "REJECT" << T::SingleIP  << "1  .1  .1  .256" << u                 << d     << u                 << d     << ""                       << "Invalid IP";
        QTest::newRow("single untouched")                 << "REJECT" << T::SingleIP  << u                 << u                 << d     << u                 << d     << ""                       << "Invalid IP";
        QTest::newRow("single empty first group")         << "REJECT" << T::SingleIP  << "   .1  .2  .3  " << u                 << d     << u                 << d     << ""                       << "Invalid IP";
        QTest::newRow("single empty inner group")         << "REJECT" << T::SingleIP  << "1  .   .2  .3  " << u                 << d     << u                 << d     << ""                       << "Invalid IP";
        QTest::newRow("single empty last group")          << "REJECT" << T::SingleIP  << "1  .2  .3  .   " << u                 << d     << u                 << d     << ""                       << "Invalid IP";
        QTest::newRow("blank inside a group")             << "ACCEPT" << T::SingleIP  << "1 2.0  .0  . 1 " << u                 << d     << u                 << d     << "ACCEPT 12.0.0.1"        << "";
        QTest::newRow("leading zeros kept")               << "ACCEPT" << T::SingleIP  << "010.001.000.009" << u                 << d     << u                 << d     << "ACCEPT 010.001.000.009" << "";
        QTest::newRow("single ignores the other fields")  << "ACCEPT" << T::SingleIP  << good              << "999.   .   .   " << "99 "  << u                 << d     << "ACCEPT 10.0.0.1"        << "";
        // CIDR Block: prefix 0 to 32, present; an address fault is a CIDR fault.
        QTest::newRow("cidr")                             << "REJECT" << T::CidrBlock << u                 << "10 .0  .0  .0  " << "8  "  << u                 << d     << "REJECT 10.0.0.0/8"      << "";
        QTest::newRow("cidr prefix 0")                    << "REJECT" << T::CidrBlock << u                 << "0  .0  .0  .0  " << "0  "  << u                 << d     << "REJECT 0.0.0.0/0"       << "";
        QTest::newRow("cidr prefix 32")                   << "ACCEPT" << T::CidrBlock << u                 << "1  .2  .3  .4  " << "32 "  << u                 << d     << "ACCEPT 1.2.3.4/32"      << "";
        QTest::newRow("cidr prefix 33")                   << "ACCEPT" << T::CidrBlock << u                 << "1  .2  .3  .4  " << "33 "  << u                 << d     << ""                       << "Invalid CIDR.";
        QTest::newRow("cidr prefix 033")                  << "ACCEPT" << T::CidrBlock << u                 << "1  .2  .3  .4  " << "033"  << u                 << d     << ""                       << "Invalid CIDR.";
        QTest::newRow("cidr prefix empty")                << "ACCEPT" << T::CidrBlock << u                 << "1  .2  .3  .4  " << d      << u                 << d     << ""                       << "Invalid CIDR.";
        QTest::newRow("cidr prefix blank inside")         << "ACCEPT" << T::CidrBlock << u                 << "1  .2  .3  .0  " << "2 4"  << u                 << d     << "ACCEPT 1.2.3.0/24"      << "";
        QTest::newRow("cidr host bits kept")              << "ACCEPT" << T::CidrBlock << u                 << "10 .1  .2  .3  " << "8  "  << u                 << d     << "ACCEPT 10.1.2.3/8"      << "";
        QTest::newRow("cidr bad address")                 << "ACCEPT" << T::CidrBlock << good              << "10 .256.0  .0  " << "8  "  << u                 << d     << ""                       << "Invalid CIDR.";
        QTest::newRow("cidr empty group")                 << "ACCEPT" << T::CidrBlock << good              << "10 .   .0  .0  " << "8  "  << u                 << d     << ""                       << "Invalid CIDR.";
        // IP Range: the end value only has to be there.
        QTest::newRow("range")                            << "ACCEPT" << T::IpRange   << u                 << u                 << d     << "192.168.1  .10 " << "20 "  << "ACCEPT 192.168.1.10-20" << "";
        QTest::newRow("range end 999")                    << "ACCEPT" << T::IpRange   << u                 << u                 << d     << "192.168.1  .10 " << "999"  << "ACCEPT 192.168.1.10-999"<< "";
        QTest::newRow("range end below start")            << "REJECT" << T::IpRange   << u                 << u                 << d     << "192.168.1  .10 " << "5  "  << "REJECT 192.168.1.10-5"  << "";
        QTest::newRow("range end empty")                  << "REJECT" << T::IpRange   << u                 << u                 << d     << "192.168.1  .10 " << d      << ""                       << "Invalid Range.";
        QTest::newRow("range bad address")                << "REJECT" << T::IpRange   << good              << u                 << d     << "192.168.1  .300" << "20 "  << ""                       << "Invalid Range.";
        QTest::newRow("range untouched address")          << "REJECT" << T::IpRange   << good              << u                 << d     << u                 << "20 "  << ""                       << "Invalid Range.";
        // clang-format on
    }

    void ruleLine()
    {
        QFETCH(QString, ruleType);
        QFETCH(RuleTarget, target);
        RuleEntry entry;
        entry.ruleType = ruleType;
        entry.target = target;
        QFETCH(QString, singleip);
        QFETCH(QString, cidr1);
        QFETCH(QString, cidr2);
        QFETCH(QString, range1);
        QFETCH(QString, range2);
        entry.singleip = singleip;
        entry.cidr1 = cidr1;
        entry.cidr2 = cidr2;
        entry.range1 = range1;
        entry.range2 = range2;

        const RuleLineResult result = buildRuleLine(entry);
        QTEST(result.line, "line");
        QTEST(result.refusal, "refusal");
        QCOMPARE(result.accepted(), result.refusal.isEmpty());
    }

    // Text the masked fields cannot produce still gets a sound answer.
    void isValidIP_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("valid");
        QTest::newRow("leading zeros") << "010.0.00.001" << true;
        QTest::newRow("999") << "999.1.1.1" << false;
        QTest::newRow("dot at start") << ".1.2.3" << false;
        QTest::newRow("two dots") << "1..2.3" << false;
        QTest::newRow("dot at end") << "1.2.3." << false;
        QTest::newRow("three groups") << "1.2.3" << false;
        QTest::newRow("five groups") << "1.2.3.4.5" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("letters") << "1.2.3.a" << false;
        QTest::newRow("sign") << "1.2.3.+4" << false;
        QTest::newRow("huge group") << "99999999999999999999.1.1.1" << false;
        QTest::newRow("long zero group") << "0000000001.1.1.1" << true;
    }

    void isValidIP()
    {
        QFETCH(QString, address);
        QTEST(IsValidIP(address), "valid");
    }
};

QTEST_GUILESS_MAIN(TestRuleLine)
#include "tst_ruleline.moc"
