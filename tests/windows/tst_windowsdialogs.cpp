// The system's own message boxes of the Windows panel, shown for real (under
// Wine on Xvfb in CI): which box comes up for which question, what each
// button answers, and that Qt's timers and queued calls go on while a box is
// open, as the reload after a Save needs. The boxes are answered from a timer
// the way a user would: by pressing one of their buttons.

#include "Dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <windows.h>

#include <commctrl.h>

using namespace vellamor::platform;

Q_DECLARE_METATYPE(Buttons)
Q_DECLARE_METATYPE(Answer)

namespace {

// The box's window, found by its caption among the thread's windows.
HWND findBox(const QString &caption)
{
    return FindWindowW(nullptr, reinterpret_cast<const wchar_t *>(caption.utf16()));
}

} // namespace

class TestWindowsDialogs : public QObject
{
    Q_OBJECT

private slots:
    void boxesAnswerWithTheButtonPressed_data();
    void boxesAnswerWithTheButtonPressed();
};

void TestWindowsDialogs::boxesAnswerWithTheButtonPressed_data()
{
    QTest::addColumn<Buttons>("buttons");
    QTest::addColumn<int>("press"); // the button's command id
    QTest::addColumn<Answer>("answer");
    QTest::newRow("OK") << Buttons::Ok << IDOK << Answer::Ok;
    QTest::newRow("Yes") << Buttons::YesNo << IDYES << Answer::Yes;
    QTest::newRow("No") << Buttons::YesNo << IDNO << Answer::No;
    QTest::newRow("Save") << Buttons::SaveDiscardCancel << 100 << Answer::Save;
    QTest::newRow("Discard") << Buttons::SaveDiscardCancel << 101 << Answer::Discard;
    QTest::newRow("Cancel") << Buttons::SaveDiscardCancel << IDCANCEL << Answer::Cancel;
}

void TestWindowsDialogs::boxesAnswerWithTheButtonPressed()
{
    QFETCH(Buttons, buttons);
    QFETCH(int, press);
    QFETCH(Answer, answer);
    const QString caption = QStringLiteral("Confirmation %1").arg(QTest::currentDataTag());

    // A 10 ms timer like Timer3 and a queued call like the poller's status
    // line must both get through while the box waits for its button.
    int ticks = 0;
    bool queuedRan = false;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (++ticks == 3)
            QMetaObject::invokeMethod(
                qApp, [&] { queuedRan = true; }, Qt::QueuedConnection);
        const HWND box = findBox(caption);
        if (!box || ticks < 5 || !queuedRan)
            return;
        ticker.stop();
        if (buttons == Buttons::SaveDiscardCancel)
            PostMessageW(box, TDM_CLICK_BUTTON, WPARAM(press), 0);
        else
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(press, BN_CLICKED), 0);
    });
    ticker.start();
    QTimer giveUp;
    giveUp.setSingleShot(true);
    giveUp.start(20000);
    QObject::connect(&giveUp, &QTimer::timeout, [&] {
        if (const HWND box = findBox(caption))
            PostMessageW(box, WM_CLOSE, 0, 0);
    });

    const auto dialogs = makeSystemDialogs();
    const Answer got =
        dialogs->messageBox(nullptr, QStringLiteral("Save them before closing?"), caption, buttons, Icon::Question);
    QVERIFY2(giveUp.isActive(), "no box came up to press a button of");
    QCOMPARE(got, answer);
    QVERIFY(ticks >= 5);
    QVERIFY(queuedRan);
    QVERIFY(!findBox(caption));
}

QTEST_MAIN(TestWindowsDialogs)
#include "tst_windowsdialogs.moc"
