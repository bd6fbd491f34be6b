#include "common/StandardError.h"

#include <QTest>

using namespace vellamor;

class TestStandardError : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fullStopRule_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ends with full stop") << "Failed."
                                             << "Failed.";
        QTest::newRow("ends with exclamation") << "Failed!"
                                               << "Failed!";
        QTest::newRow("ends with a letter") << "Invalid"
                                            << "Invalid.";
        QTest::newRow("ends with a digit") << "Line: 12"
                                           << "Line: 12.";
        QTest::newRow("ends with a quote") << "''abc'' is not a valid integer value"
                                           << "''abc'' is not a valid integer value.";
        QTest::newRow("ends with a comma") << "a,"
                                           << "a,";
        QTest::newRow("ends with a slash") << "C:/logs/"
                                           << "C:/logs/.";
        QTest::newRow("empty") << ""
                               << "";
    }
    void fullStopRule()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(standardErrorText(message), shown);
    }
};

QTEST_GUILESS_MAIN(TestStandardError)
#include "tst_standarderror.moc"
