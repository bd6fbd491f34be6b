// An error that escapes an event handler nobody guards reaches the
// application object, which shows the standard error box through the
// platform's boxes and goes on with the next event.

#include "FakeDialogs.h"
#include "VellamorApplication.h"
#include "common/Error.h"

#include <QTest>
#include <QTimer>

using namespace vellamor;
using namespace vellamor::test;

class TestApplication : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void unhandledErrorShowsTheStandardBoxAndGoesOn_data()
    {
        QTest::addColumn<bool>("ownError");
        QTest::addColumn<QString>("shown");
        QTest::newRow("the panel's own error") << true << "Disk on fire.";
        QTest::newRow("any other standard exception") << false << "Out of luck!";
    }
    void unhandledErrorShowsTheStandardBoxAndGoesOn()
    {
        QFETCH(bool, ownError);
        QFETCH(QString, shown);
        auto dialogs = std::make_shared<FakeDialogs>();
        static_cast<VellamorApplication *>(qApp)->setErrorReporter(ErrorReporter(dialogs));
        // Here a foreign exception is what is under test, not a fault.
        const ErrorReporter::FaultHook failing = ErrorReporter::faultHook();
        if (!ownError)
            ErrorReporter::setFaultHook(nullptr);

        bool nextEventRan = false;
        QTimer::singleShot(0, qApp, [ownError] {
            if (ownError)
                throw Error(QStringLiteral("Disk on fire"));
            throw std::runtime_error("Out of luck!");
        });
        QTimer::singleShot(0, qApp, [&nextEventRan] { nextEventRan = true; });
        QTRY_VERIFY(nextEventRan);
        ErrorReporter::setFaultHook(failing);

        QCOMPARE(dialogs->boxes.size(), 1);
        const ShownBox &box = dialogs->boxes.first();
        QCOMPARE(box.text, shown);
        QCOMPARE(box.caption, QStringLiteral("Vellamor Application Server Desktop"));
        QCOMPARE(box.icon, platform::Icon::Error);
        QCOMPARE(box.buttons, platform::Buttons::Ok);
    }
};

int main(int argc, char **argv)
{
    VellamorApplication app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
