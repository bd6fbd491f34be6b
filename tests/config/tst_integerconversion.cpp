#include "common/Error.h"
#include "config/IntegerConversion.h"

#include <QTest>

using namespace vellamor;

class TestIntegerConversion : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void conversion_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");

        QTest::newRow("zero") << "0" << true << 0;
        QTest::newRow("decimal") << "1011" << true << 1011;
        QTest::newRow("leading zeros are decimal") << "0010" << true << 10;
        QTest::newRow("leading blanks") << "   1011" << true << 1011;
        QTest::newRow("plus") << "+12" << true << 12;
        QTest::newRow("minus") << "-12" << true << -12;
        QTest::newRow("blank then sign") << "  -12" << true << -12;
        QTest::newRow("dollar hex") << "$3F3" << true << 1011;
        QTest::newRow("dollar hex lower case") << "$3f3" << true << 1011;
        QTest::newRow("x hex") << "x3F3" << true << 1011;
        QTest::newRow("X hex") << "X3f3" << true << 1011;
        QTest::newRow("0x hex") << "0x3F3" << true << 1011;
        QTest::newRow("0X hex") << "0X3F3" << true << 1011;
        QTest::newRow("negative hex") << "-$10" << true << -16;
        QTest::newRow("blank, sign, 0x") << " +0x10" << true << 16;
        QTest::newRow("largest") << "2147483647" << true << 2147483647;
        QTest::newRow("smallest") << "-2147483648" << true << int(-2147483647 - 1);
        QTest::newRow("largest hex") << "$7FFFFFFF" << true << 2147483647;
        QTest::newRow("smallest hex") << "-0x80000000" << true << int(-2147483647 - 1);

        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("blanks only") << "   " << false << 0;
        QTest::newRow("sign only") << "-" << false << 0;
        QTest::newRow("dollar only") << "$" << false << 0;
        QTest::newRow("0x only") << "0x" << false << 0;
        QTest::newRow("letters") << "abc" << false << 0;
        QTest::newRow("trailing letter") << "12a" << false << 0;
        QTest::newRow("trailing blank") << "1011 " << false << 0;
        QTest::newRow("blank inside") << "10 11" << false << 0;
        QTest::newRow("blank after sign") << "- 5" << false << 0;
        QTest::newRow("two signs") << "+-5" << false << 0;
        QTest::newRow("tab is not a blank") << "\t1011" << false << 0;
        QTest::newRow("hex digit in decimal") << "1F" << false << 0;
        QTest::newRow("sign after prefix") << "$-5" << false << 0;
        QTest::newRow("decimal point") << "3.0" << false << 0;
        QTest::newRow("one too large") << "2147483648" << false << 0;
        QTest::newRow("one too small") << "-2147483649" << false << 0;
        QTest::newRow("hex too large") << "$80000000" << false << 0;
        QTest::newRow("far too large") << "99999999999999999999999" << false << 0;
        QTest::newRow("non-ASCII digits") << QStringLiteral("\u0661\u0662") << false << 0;
    }

    void conversion()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, value);

        const std::optional<qint32> parsed = parseInteger(text);
        QCOMPARE(parsed.has_value(), valid);
        if (valid) {
            QCOMPARE(*parsed, value);
            QCOMPARE(toInteger(text), value);
            return;
        }
        try {
            toInteger(text);
            QFAIL("no error raised");
        } catch (const Error &e) {
            QCOMPARE(e.message(), QStringLiteral("''%1'' is not a valid integer value").arg(text));
        }
    }
};

QTEST_GUILESS_MAIN(TestIntegerConversion)
#include "tst_integerconversion.moc"
