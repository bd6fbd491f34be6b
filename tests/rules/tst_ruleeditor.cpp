// The Security page as a rule editor: moving, editing in place, finding and
// the warnings, through the real window on a temporary rules.txt.

#include "Controls.h"
#include "FakePlatform.h"
#include "dialogs/Rule.h"
#include "dialogs/RuleTextEditor.h"
#include "rules/RuleListModel.h"
#include "window/VellamorDesktopMain.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>

using namespace vellamor;
using vellamor::test::control;
using vellamor::test::FakePlatform;

namespace {

RuleListView *rulesList(const TForm3 &w)
{
    return control<RuleListView>(w, "RulesList");
}

using Step = std::function<void(TForm3 &)>;
using DialogStep = std::function<void(QWidget *)>;

const QByteArray kRules = "POLICY REJECT\r\nACCEPT 10.0.0.5\r\nREJECT 192.168.1.1\r\n"
                          "ACCEPT 10.0.0.0/24\r\nREJECT 10.0.0.0/8\r\n";

QStringList lines(const QAbstractItemModel *model)
{
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, 0).data().toString();
    return texts;
}

QString selected(const TForm3 &w)
{
    return rulesList(w)->selectionModel()->selectedIndexes().value(0).data().toString();
}

void select(TForm3 &w, int row)
{
    rulesList(w)->setCurrentIndex(rulesList(w)->model()->index(row, 0));
}

// Drops the row on the list at the given point, as the end of a drag does.
void drop(TForm3 &w, QMimeData *mime, QPoint at)
{
    QWidget *viewport = rulesList(w)->viewport();
    QDragEnterEvent enter(at, Qt::MoveAction, mime, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(at, Qt::MoveAction, mime, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &move);
    QDropEvent dropped(at, Qt::MoveAction, mime, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &dropped);
    delete mime;
}

Step keys(Qt::Key key)
{
    return [key](TForm3 &w) { QTest::keyClick(rulesList(w), key, Qt::ControlModifier); };
}

// The selected row dropped onto the upper part of row `target` (-1: below the last row).
Step dragTo(int target)
{
    return [target](TForm3 &w) {
        const int row = rulesList(w)->currentIndex().row();
        const QRect rect = target < 0 ? QRect(0, rulesList(w)->viewport()->height() - 4, 10, 2)
                                      : rulesList(w)->visualRect(rulesList(w)->model()->index(target, 0));
        drop(w, rulesList(w)->dragData(row), rect.topLeft() + QPoint(5, 2));
    };
}

// Runs `steps` on the modal dialog that `open` brings up.
void inDialog(const std::function<void()> &open, const DialogStep &steps)
{
    bool seen = false;
    QTimer timer; // gone with this call, should no dialog come up
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        seen = dialog != nullptr;
        if (dialog)
            steps(dialog);
        // Never leave the modal loop waiting on a failed step.
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    timer.start(0);
    open();
    QVERIFY(seen);
}

} // namespace

class TestRuleEditor : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakePlatform> m_fake;
    std::unique_ptr<TForm3> m_window;

    TForm3 &start(const QByteArray &rules = kRules)
    {
        m_fake = std::make_unique<FakePlatform>();
        QFile file(m_fake->path(QStringLiteral("rules.txt")));
        if (file.open(QIODevice::WriteOnly))
            file.write(rules);
        file.close();
        m_window = std::make_unique<TForm3>(m_fake->platform());
        m_window->FormCreate();
        control<QTabWidget>(*m_window, "PageControl1")->setCurrentIndex(1);
        control<QTabWidget>(*m_window, "PageControl2")
            ->setCurrentWidget(control<QWidget>(*m_window, "TabSheet2ConfigSecurity"));
        m_window->show();
        if (!QTest::qWaitForWindowActive(m_window.get()))
            qWarning("window not active");
        rulesList(*m_window)->setFocus();
        return *m_window;
    }

    QStringList ruleSet() const { return lines(m_window->rulesModel()); }

private Q_SLOTS:
    void cleanup()
    {
        m_window.reset();
        m_fake.reset();
    }

    void moves_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<int>("row"); // shown row selected first
        QTest::addColumn<Step>("move");
        QTest::addColumn<QStringList>("after");

        const QString a = "ACCEPT 10.0.0.5", b = "REJECT 192.168.1.1", c = "ACCEPT 10.0.0.0/24",
                      d = "REJECT 10.0.0.0/8";
        const Step up = [](TForm3 &w) { QTest::mouseClick(control<QToolButton>(w, "MoveRuleUp_btn"), Qt::LeftButton); };
        QTest::newRow("Ctrl+Down") << "" << 0 << keys(Qt::Key_Down) << QStringList{b, a, c, d};
        QTest::newRow("Ctrl+Up") << "" << 2 << keys(Qt::Key_Up) << QStringList{a, c, b, d};
        QTest::newRow("Move Up button") << "" << 3 << up << QStringList{a, b, d, c};
        QTest::newRow("nothing above the first") << "" << 0 << up << QStringList{a, b, c, d};
        QTest::newRow("drag to the top") << "" << 3 << dragTo(0) << QStringList{d, a, b, c};
        QTest::newRow("drag below the last") << "" << 0 << dragTo(-1) << QStringList{b, c, d, a};
        QTest::newRow("drag onto itself") << "" << 1 << dragTo(1) << QStringList{a, b, c, d};
        // Found by an address, a rule moves past the next rule shown; the
        // rules hidden keep their places.
        QTest::newRow("found, Ctrl+Down") << "10.0.0.5" << 0 << keys(Qt::Key_Down) << QStringList{b, c, a, d};
        QTest::newRow("found, drag to the top") << "10.0.0.5" << 2 << dragTo(0) << QStringList{d, a, b, c};
        QTest::newRow("drag from elsewhere") << "" << 0 << Step([](TForm3 &w) {
            auto *mime = new QMimeData;
            mime->setData(RuleListView::rowMimeType(), "12345/beef 3");
            drop(w, mime, QPoint(5, 2));
        }) << QStringList{a, b, c, d};
    }

    void moves()
    {
        QFETCH(QString, filter);
        QFETCH(int, row);
        QFETCH(Step, move);
        TForm3 &w = start();
        control<QLineEdit>(w, "RulesFilter_txt")->setText(filter);
        select(w, row);
        const QString moved = selected(w);

        move(w);
        QTEST(ruleSet(), "after");
        // The moved rule stays selected and in sight.
        QCOMPARE(selected(w), moved);
        QVERIFY(rulesList(w)->viewport()->rect().intersects(rulesList(w)->visualRect(rulesList(w)->currentIndex())));
        QCOMPARE(control<QToolButton>(w, "MoveRuleUp_btn")->isEnabled(), rulesList(w)->currentIndex().row() > 0);
    }

    // Double click, Enter or "Edit Rule" open the rule where it stands.
    void editInPlace_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<Step>("open");
        QTest::addColumn<DialogStep>("edit");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("error"); // shown on the way

        const Step enter = [](TForm3 &w) { QTest::keyClick(rulesList(w), Qt::Key_Return); };
        const Step menu = [](TForm3 &w) { control<QAction>(w, "EditRule1")->trigger(); };
        const Step doubleClick = [](TForm3 &w) {
            // A double click begins with a press, which QTest leaves out.
            const QPoint at = rulesList(w)->visualRect(rulesList(w)->currentIndex()).center();
            QTest::mouseClick(rulesList(w)->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(rulesList(w)->viewport(), Qt::LeftButton, {}, at);
        };
        const auto form33 = [](const std::function<void(TForm33 &)> &steps) {
            return DialogStep([steps](QWidget *dialog) {
                auto *d = qobject_cast<TForm33 *>(dialog);
                QVERIFY(d);
                QCOMPARE(d->windowTitle(), QStringLiteral("Edit Rule"));
                steps(*d);
            });
        };
        const auto retype = [](QLineEdit *field, const QString &text) {
            field->selectAll();
            QTest::keyClicks(field, text);
        };
        const auto ok = [](TForm33 &d) { QTest::mouseClick(control<QPushButton>(d, "Button3"), Qt::LeftButton); };

        QTest::newRow("All IPs, new type") << "REJECT 0.0.0.0" << enter << form33([ok](TForm33 &d) {
            QVERIFY(control<QRadioButton>(d, "RadioButton4")->isChecked());
            QCOMPARE(control<QComboBox>(d, "RuleType")->currentText(), QStringLiteral("REJECT"));
            control<QComboBox>(d, "RuleType")->setCurrentIndex(1);
            ok(d);
        }) << "ACCEPT 0.0.0.0"
                                           << "";
        QTest::newRow("single, unchanged") << "ACCEPT 010.0.0.5" << doubleClick << form33([ok](TForm33 &d) {
            QVERIFY(control<QRadioButton>(d, "RadioButton1")->isChecked());
            QCOMPARE(control<QLineEdit>(d, "singleip")->displayText(), QStringLiteral("010.0  .0  .5  "));
            ok(d);
        }) << "ACCEPT 010.0.0.5"
                                           << "";
        QTest::newRow("block, new prefix") << "REJECT 10.0.0.0/8" << menu << form33([ok, retype](TForm33 &d) {
            QVERIFY(control<QRadioButton>(d, "RadioButton2")->isChecked());
            retype(control<QLineEdit>(d, "cidr2"), QStringLiteral("16"));
            ok(d);
        }) << "REJECT 10.0.0.0/16"
                                           << "";
        QTest::newRow("range, refused then fixed")
            << "ACCEPT 192.168.1.10-20" << enter << form33([ok, retype](TForm33 &d) {
                   QVERIFY(control<QRadioButton>(d, "RadioButton3")->isChecked());
                   retype(control<QLineEdit>(d, "range1"), QStringLiteral("192.168.1.300"));
                   ok(d);
                   retype(control<QLineEdit>(d, "range1"), QStringLiteral("192.168.1.15"));
                   ok(d);
               })
            << "ACCEPT 192.168.1.15-20"
            << "Invalid Range.";
        QTest::newRow("cancel") << "ACCEPT 10.0.0.5" << enter << form33([](TForm33 &d) {
            control<QComboBox>(d, "RuleType")->setCurrentIndex(0);
            QTest::mouseClick(control<QPushButton>(d, "Button2"), Qt::LeftButton);
        }) << "ACCEPT 10.0.0.5"
                                << "";
        const auto plain = [](const QString &text) {
            return DialogStep([text](QWidget *dialog) {
                auto *e = qobject_cast<TRuleTextEditor *>(dialog);
                QVERIFY(e);
                e->RuleText_txt->selectAll();
                QTest::keyClicks(e->RuleText_txt, text);
                QTest::mouseClick(e->Ok_btn, Qt::LeftButton);
            });
        };
        QTest::newRow("outside the grammar")
            << "reject all" << enter << plain("REJECT 1.2.3.4 # office") << "REJECT 1.2.3.4 # office"
            << "";
        QTest::newRow("never two lines") << "reject all" << menu << DialogStep([](QWidget *dialog) {
            auto *e = qobject_cast<TRuleTextEditor *>(dialog);
            QVERIFY(e);
            e->RuleText_txt->setText(QStringLiteral("REJECT 1.2.3.4\nACCEPT 5.6.7.8")); // as pasted
            QTest::mouseClick(e->Ok_btn, Qt::LeftButton);
        }) << "reject all"
                                         << "A rule is one line: remove the line break.";
        QTest::newRow("never a policy line")
            << "reject all" << menu << plain("POLICY ACCEPT") << "reject all"
            << "A rule cannot begin with POLICY: rules.txt would read it as the default policy.";
    }

    void editInPlace()
    {
        QFETCH(QString, line);
        QFETCH(Step, open);
        QFETCH(DialogStep, edit);
        QFETCH(QString, error);
        TForm3 &w = start("POLICY REJECT\r\nREJECT 1.1.1.1\r\n" + line.toLatin1() + "\r\nREJECT 3.3.3.3\r\n");
        select(w, 1);

        inDialog([&] { open(w); }, edit);
        QTEST(ruleSet().value(1), "after");
        QCOMPARE(ruleSet().size(), 3);
        QCOMPARE(selected(w), ruleSet().value(1));
        QCOMPARE(m_fake->dialogs->boxes.value(0).text, error);
        QTRY_COMPARE(w.isWindowModified(), ruleSet().value(1) != line);
    }

    void find_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("found");
        QTest::newRow("address") << "10.0.0.5"
                                 << QStringList{"ACCEPT 10.0.0.5", "ACCEPT 10.0.0.0/24", "REJECT 10.0.0.0/8"}
                                 << "Rules covering 10.0.0.5: 3 of 4";
        QTest::newRow("address, blanks around")
            << " 10.0.1.9 " << QStringList{"REJECT 10.0.0.0/8"} << "Rules covering 10.0.1.9: 1 of 4";
        QTest::newRow("address no rule covers")
            << "11.0.0.1" << QStringList{} << "No rule covers 11.0.0.1: the default policy decides.";
        QTest::newRow("text, any case") << "accept" << QStringList{"ACCEPT 10.0.0.5", "ACCEPT 10.0.0.0/24"}
                                        << "Rules holding \u201Caccept\u201D: 2 of 4";
        QTest::newRow("part of an address")
            << "192.168" << QStringList{"REJECT 192.168.1.1"} << "Rules holding \u201C192.168\u201D: 1 of 4";
        QTest::newRow("not an address") << "10.0.0.300" << QStringList{}
                                        << "Rules holding \u201C10.0.0.300\u201D: 0 of 4";
    }

    void find()
    {
        QFETCH(QString, text);
        TForm3 &w = start();
        select(w, 3);
        QTest::keyClicks(control<QLineEdit>(w, "RulesFilter_txt"), text);
        QTEST(lines(rulesList(w)->model()), "shown");
        QTEST(control<QLabel>(w, "RulesFound_lbl")->text(), "found");

        // Cleared, the whole list again, the selection kept.
        control<QLineEdit>(w, "RulesFilter_txt")->clear();
        QCOMPARE(lines(rulesList(w)->model()), ruleSet());
        QCOMPARE(selected(w), QStringLiteral("REJECT 10.0.0.0/8"));
        QVERIFY(control<QLabel>(w, "RulesFound_lbl")->isHidden());
    }

    // An added rule that the find text would hide clears the find; one it
    // shows keeps it.
    void addingWhileFinding_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kept");
        QTest::newRow("hidden") << "192.168"
                                << "";
        QTest::newRow("shown") << "10.0.0.5"
                               << "10.0.0.5";
    }
    void addingWhileFinding()
    {
        QFETCH(QString, text);
        TForm3 &w = start();
        QTest::keyClicks(control<QLineEdit>(w, "RulesFilter_txt"), text);
        inDialog([&] { QTest::mouseClick(control<QPushButton>(w, "Button2"), Qt::LeftButton); },
                 [](QWidget *dialog) {
                     auto *d = qobject_cast<TForm33 *>(dialog);
                     QVERIFY(d);
                     control<QComboBox>(*d, "RuleType")->setCurrentIndex(0); // REJECT; the dialog starts on All IPs
                     QTest::mouseClick(control<QPushButton>(*d, "Button3"), Qt::LeftButton);
                 });
        QTEST(control<QLineEdit>(w, "RulesFilter_txt")->text(), "kept");
        QCOMPARE(lines(rulesList(w)->model()).constLast(), QStringLiteral("REJECT 0.0.0.0"));
    }

    void warnings()
    {
        TForm3 &w = start("POLICY REJECT\r\nREJECT 10.0.0.5/24\r\nREJECT 1.2.3.4\r\nREJECT 1.2.3.4\r\n");
        QTRY_VERIFY(!control<QLabel>(w, "RulesAttention_lbl")->isHidden());
        QCOMPARE(control<QLabel>(w, "RulesAttention_lbl")->text(), QStringLiteral("2 rules need attention"));
        const QAbstractItemModel *shown = rulesList(w)->model();
        QCOMPARE(shown->index(0, 0).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("10.0.0.5/24 has host bits set: it covers 10.0.0.0\u201310.0.0.255"));
        QVERIFY(shown->index(1, 0).data(Qt::ToolTipRole).isNull());
        QCOMPARE(shown->index(2, 0).data(Qt::ToolTipRole).toString(), QStringLiteral("Same as rule 2"));
        QVERIFY(!control<QLabel>(w, "PolicyNote_lbl")->isHidden());

        // The checks follow the edits.
        select(w, 0);
        QTest::keyClick(rulesList(w), Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(shown->index(2, 0).data(Qt::ToolTipRole).toString(), QStringLiteral("Same as rule 1"));
        control<QRadioButton>(w, "PolicyAccept_radio")->click();
        QVERIFY(control<QLabel>(w, "PolicyNote_lbl")->isHidden());
        control<QPushButton>(w, "Button3")->click();
        QTRY_VERIFY(control<QLabel>(w, "RulesAttention_lbl")->isHidden());
    }
};

QTEST_MAIN(TestRuleEditor)
#include "tst_ruleeditor.moc"
