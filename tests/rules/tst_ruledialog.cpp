#include "Controls.h"
#include "FakeDialogs.h"
#include "dialogs/Rule.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace vellamor;
using vellamor::test::control;
using vellamor::test::FakeDialogs;

namespace {

const QString kUntouchedAddress = QStringLiteral("   .   .   .   ");
const QString kUntouchedDigits = QStringLiteral("   ");

// Clicks a radio button on its indicator, where a click always lands.
void clickRadio(QRadioButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

// Clicks into a field the way a user does and types there.
void typeInto(QLineEdit *field, const QString &keys)
{
    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(field->width() - 4, field->height() / 2));
    QTest::keyClicks(field, keys);
}

} // namespace

class TestRuleDialog : public QObject
{
    Q_OBJECT

private:
    FakeDialogs m_boxes;
    std::unique_ptr<TForm33> m_dialog;

    QList<QLineEdit *> fields() const
    {
        return {control<QLineEdit>(*m_dialog, "singleip"), control<QLineEdit>(*m_dialog, "cidr1"),
                control<QLineEdit>(*m_dialog, "cidr2"), control<QLineEdit>(*m_dialog, "range1"),
                control<QLineEdit>(*m_dialog, "range2")};
    }

    QStringList shownTexts() const
    {
        QStringList texts;
        for (QLineEdit *field : fields())
            texts << field->displayText();
        return texts;
    }

    QRadioButton *radioNamed(const QString &name) const { return m_dialog->findChild<QRadioButton *>(name); }

    // Puts text into every field, going through the modes that open them.
    void fillEveryField()
    {
        clickRadio(control<QRadioButton>(*m_dialog, "RadioButton2"));
        typeInto(control<QLineEdit>(*m_dialog, "cidr1"), QStringLiteral("10.0.0.0"));
        typeInto(control<QLineEdit>(*m_dialog, "cidr2"), QStringLiteral("8"));
        clickRadio(control<QRadioButton>(*m_dialog, "RadioButton3"));
        typeInto(control<QLineEdit>(*m_dialog, "range1"), QStringLiteral("192.168.1.10"));
        typeInto(control<QLineEdit>(*m_dialog, "range2"), QStringLiteral("20"));
        clickRadio(control<QRadioButton>(*m_dialog, "RadioButton1"));
        typeInto(control<QLineEdit>(*m_dialog, "singleip"), QStringLiteral("1.2.3.4"));
    }

private Q_SLOTS:
    void init()
    {
        m_boxes.boxes.clear();
        m_dialog = std::make_unique<TForm33>(m_boxes);
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    }

    void cleanup() { m_dialog.reset(); }

    void startingState()
    {
        TForm33 &d = *m_dialog;
        QCOMPARE(d.windowTitle(), QStringLiteral("Add Rule"));
        QCOMPARE(control<QGroupBox>(d, "GroupBox5")->title(), QStringLiteral("Rule Applies to"));
        QCOMPARE(control<QRadioButton>(d, "RadioButton4")->text(), QStringLiteral("All IPs"));
        QCOMPARE(control<QRadioButton>(d, "RadioButton1")->text(), QStringLiteral("Single IP"));
        QCOMPARE(control<QRadioButton>(d, "RadioButton2")->text(), QStringLiteral("CIDR Block"));
        QCOMPARE(control<QRadioButton>(d, "RadioButton3")->text(), QStringLiteral("IP Range"));
        QCOMPARE(control<QLabel>(d, "Label2")->text(), QStringLiteral("/"));
        QCOMPARE(control<QLabel>(d, "Label4")->text(), QStringLiteral("---"));
        QCOMPARE(control<QPushButton>(d, "Button3")->text(), QStringLiteral("Add Rule"));
        QCOMPARE(control<QPushButton>(d, "Button2")->text(), QStringLiteral("Cancel"));
        QVERIFY(control<QRadioButton>(d, "RadioButton4")->isChecked());

        QVERIFY(!control<QComboBox>(d, "RuleType")->isEditable());
        QCOMPARE(control<QComboBox>(d, "RuleType")->count(), 2);
        QCOMPARE(control<QComboBox>(d, "RuleType")->itemText(0), QStringLiteral("REJECT"));
        QCOMPARE(control<QComboBox>(d, "RuleType")->itemText(1), QStringLiteral("ACCEPT"));
        QCOMPARE(control<QComboBox>(d, "RuleType")->currentIndex(), -1);
        QCOMPARE(control<QComboBox>(d, "RuleType")->currentText(), QString());

        QCOMPARE(shownTexts(), QStringList({kUntouchedAddress, kUntouchedAddress, kUntouchedDigits, kUntouchedAddress,
                                            kUntouchedDigits}));
        QCOMPARE(control<QLineEdit>(d, "singleip")->isEnabled(), true);
        for (QLineEdit *field : {control<QLineEdit>(d, "cidr1"), control<QLineEdit>(d, "cidr2"),
                                 control<QLineEdit>(d, "range1"), control<QLineEdit>(d, "range2")})
            QVERIFY2(!field->isEnabled(), qPrintable(field->objectName()));
        QCOMPARE(control<QLineEdit>(d, "singleip")->palette().color(QPalette::Base), TForm33::enabledFieldColour());
        QCOMPARE(control<QLineEdit>(d, "cidr1")->palette().color(QPalette::Base), TForm33::disabledFieldColour());
        QVERIFY(TForm33::enabledFieldColour() != TForm33::disabledFieldColour());
        QVERIFY(d.RuleLine.isEmpty());

        for (const char *name :
             {"GroupBox5", "RadioButton4", "RadioButton1", "singleip", "RadioButton2", "cidr1", "Label2", "cidr2",
              "RadioButton3", "range1", "Label4", "range2", "RuleType", "Button3", "Button2"})
            QVERIFY2(d.findChild<QWidget *>(QLatin1StringView(name)), name);
    }

    // Every switch sets all five fields at once and clears none of them.
    void modeSwitch_data()
    {
        QTest::addColumn<QString>("radio");
        QTest::addColumn<QString>("enabled"); // singleip, cidr1, cidr2, range1, range2
        QTest::newRow("All IPs") << "RadioButton4"
                                 << "10000";
        QTest::newRow("Single IP") << "RadioButton1"
                                   << "10000";
        QTest::newRow("CIDR Block") << "RadioButton2"
                                    << "01100";
        QTest::newRow("IP Range") << "RadioButton3"
                                  << "00011";
    }

    void modeSwitch()
    {
        QFETCH(QString, radio);
        QFETCH(QString, enabled);
        fillEveryField();
        const QStringList typed = shownTexts();
        QCOMPARE(typed, QStringList({"1  .2  .3  .4  ", "10 .0  .0  .0  ", "8  ", "192.168.1  .10 ", "20 "}));

        // From every other mode, so a switch cannot lean on the state before it.
        for (QRadioButton *from :
             {control<QRadioButton>(*m_dialog, "RadioButton2"), control<QRadioButton>(*m_dialog, "RadioButton3"),
              control<QRadioButton>(*m_dialog, "RadioButton4")}) {
            clickRadio(from);
            clickRadio(radioNamed(radio));
            QVERIFY(radioNamed(radio)->isChecked());
            for (int i = 0; i < fields().size(); ++i) {
                QLineEdit *field = fields().at(i);
                const bool on = enabled.at(i) == u'1';
                QVERIFY2(field->isEnabled() == on, qPrintable(field->objectName()));
                QCOMPARE(field->palette().color(QPalette::Base),
                         on ? TForm33::enabledFieldColour() : TForm33::disabledFieldColour());
            }
            QCOMPARE(shownTexts(), typed);
        }
    }

    // One Add Rule click after really typing an entry: either the line, or a
    // refusal that leaves the dialog open with every field as it was.
    void addRule_data()
    {
        QTest::addColumn<QString>("radio");
        QTest::addColumn<QString>("address"); // typed into the mode's address field
        QTest::addColumn<QString>("value");   // typed into its prefix or end value field
        QTest::addColumn<QString>("typeKey"); // typed into RuleType; empty: nothing chosen
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("refusal");

        // clang-format off
        QTest::newRow("all IPs ignores singleip")            << "RadioButton4" << "999.1"           << ""     << "R" << "REJECT 0.0.0.0"          << "";
        QTest::newRow("all IPs, no type")                    << "RadioButton4" << ""                << ""     << ""  << ""                        << "Please select rule type.";
        QTest::newRow("single")                              << "RadioButton1" << "192.168.1.10"    << ""     << "A" << "ACCEPT 192.168.1.10"     << "";
        QTest::newRow("single, blank in a group")            << "RadioButton1" << "1 2.0.0.1"       << ""     << "R" << "REJECT 12.0.0.1"         << "";
        QTest::newRow("single, letters ignored")             << "RadioButton1" << "1x0.0.0.1"       << ""     << "A" << "ACCEPT 10.0.0.1"         << "";
        QTest::newRow("single, no type")                     << "RadioButton1" << "10.0.0.1"        << ""     << ""  << ""                        << "Please select rule type.";
        QTest::newRow("single, untouched")                   << "RadioButton1" << ""                << ""     << "A" << ""                        << "Invalid IP";
        QTest::newRow("single, last group empty")            << "RadioButton1" << "10.0.0"          << ""     << "A" << ""                        << "Invalid IP";
        QTest::newRow("cidr")                                << "RadioButton2" << "10.0.0.0"        << "8"    << "R" << "REJECT 10.0.0.0/8"       << "";
        QTest::newRow("cidr, prefix 33")                     << "RadioButton2" << "1.2.3.4"         << "33"   << "A" << ""                        << "Invalid CIDR.";
        QTest::newRow("cidr, prefix capped at three digits") << "RadioButton2" << "1.2.3.4"         << "3245" << "A" << ""                        << "Invalid CIDR.";
        QTest::newRow("cidr, no prefix")                     << "RadioButton2" << "1.2.3.4"         << ""     << "A" << ""                        << "Invalid CIDR.";
        QTest::newRow("cidr, bad address")                   << "RadioButton2" << "1.2.300.4"       << "8"    << "A" << ""                        << "Invalid CIDR.";
        QTest::newRow("cidr, no type")                       << "RadioButton2" << ""                << ""     << ""  << ""                        << "Please select rule type.";
        QTest::newRow("range")                               << "RadioButton3" << "192.168.1.10"    << "20"   << "A" << "ACCEPT 192.168.1.10-20"  << "";
        QTest::newRow("range, no end")                       << "RadioButton3" << "192.168.1.10"    << ""     << "A" << ""                        << "Invalid Range.";
        QTest::newRow("range, letters as end")               << "RadioButton3" << "192.168.1.10"    << "ab"   << "A" << ""                        << "Invalid Range.";
        QTest::newRow("range, bad address")                  << "RadioButton3" << "192..1.10"       << "20"   << "A" << ""                        << "Invalid Range.";
        // clang-format on
    }

    void addRule()
    {
        QFETCH(QString, radio);
        QFETCH(QString, address);
        QFETCH(QString, value);
        QFETCH(QString, typeKey);
        QFETCH(QString, line);
        QFETCH(QString, refusal);
        TForm33 &d = *m_dialog;

        clickRadio(radioNamed(radio));
        QLineEdit *addressField = radio == "RadioButton2"   ? control<QLineEdit>(d, "cidr1")
                                  : radio == "RadioButton3" ? control<QLineEdit>(d, "range1")
                                                            : control<QLineEdit>(d, "singleip");
        QLineEdit *valueField =
            radio == "RadioButton2" ? control<QLineEdit>(d, "cidr2") : control<QLineEdit>(d, "range2");
        if (!address.isEmpty())
            typeInto(addressField, address);
        if (!value.isEmpty())
            typeInto(valueField, value);
        if (!typeKey.isEmpty())
            QTest::keyClicks(control<QComboBox>(d, "RuleType"), typeKey);
        const QStringList before = shownTexts();

        QTest::mouseClick(control<QPushButton>(d, "Button3"), Qt::LeftButton);

        if (refusal.isEmpty()) {
            QVERIFY(m_boxes.boxes.isEmpty());
            QVERIFY(!d.isVisible());
            QCOMPARE(d.result(), int(QDialog::Accepted));
            QCOMPARE(d.RuleLine, line);
            return;
        }
        QCOMPARE(m_boxes.boxes.size(), 1);
        const test::ShownBox &box = m_boxes.boxes.first();
        QCOMPARE(box.text, refusal);
        QCOMPARE(box.caption, QStringLiteral("Error"));
        QCOMPARE(box.buttons, platform::Buttons::Ok);
        QCOMPARE(box.icon, platform::Icon::None);
        QCOMPARE(box.owner.data(), static_cast<QWidget *>(&d));
        QVERIFY(d.isVisible());
        QVERIFY(d.RuleLine.isEmpty());
        QCOMPARE(shownTexts(), before);
        QVERIFY(radioNamed(radio)->isChecked());

        // The same entry is refused again: nothing about it changed.
        QTest::mouseClick(control<QPushButton>(d, "Button3"), Qt::LeftButton);
        QCOMPARE(m_boxes.boxes.size(), 2);
        QCOMPARE(m_boxes.boxes.last().text, refusal);
        QVERIFY(d.isVisible());
    }

    // Text typed for another mode waits in its fields and is used once that
    // mode is chosen again.
    void otherModesKeepTheirFields()
    {
        TForm33 &d = *m_dialog;
        fillEveryField();
        QTest::keyClicks(control<QComboBox>(d, "RuleType"), QStringLiteral("A"));
        clickRadio(control<QRadioButton>(d, "RadioButton2"));
        QTest::mouseClick(control<QPushButton>(d, "Button3"), Qt::LeftButton);
        QCOMPARE(d.RuleLine, QStringLiteral("ACCEPT 10.0.0.0/8"));
        QCOMPARE(control<QLineEdit>(d, "singleip")->text(), QStringLiteral("1.2.3.4"));
        QCOMPARE(control<QLineEdit>(d, "range1")->text(), QStringLiteral("192.168.1.10"));
    }

    // A click anywhere on blank positions continues after the typed digits,
    // so the user never has to aim for the first position.
    void clickContinuesAfterTypedDigits()
    {
        auto *field = control<QLineEdit>(*m_dialog, "singleip");
        typeInto(field, QStringLiteral("192.168.1.1"));
        typeInto(field, QStringLiteral("0"));
        QCOMPARE(field->text(), QStringLiteral("192.168.1.10"));
        QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(2, field->height() / 2));
        QCOMPARE(field->cursorPosition(), 0);
    }

    void keyboardAlone()
    {
        TForm33 &d = *m_dialog;
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(control<QRadioButton>(d, "RadioButton4")));

        const auto press = [](Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); };
        const auto tabTo = [&](QWidget *target) {
            for (int i = 0; i < 12 && QApplication::focusWidget() != target; ++i)
                press(Qt::Key_Tab);
            return QApplication::focusWidget() == target;
        };

        press(Qt::Key_Down);
        press(Qt::Key_Down);
        QVERIFY(control<QRadioButton>(d, "RadioButton2")->isChecked());
        QVERIFY(control<QLineEdit>(d, "cidr1")->isEnabled());
        QVERIFY(tabTo(control<QLineEdit>(d, "cidr1")));
        QTest::keyClicks(control<QLineEdit>(d, "cidr1"), QStringLiteral("172.16.0.0"));
        QVERIFY(tabTo(control<QLineEdit>(d, "cidr2")));
        QTest::keyClicks(control<QLineEdit>(d, "cidr2"), QStringLiteral("12"));
        QVERIFY(tabTo(control<QComboBox>(d, "RuleType")));
        press(Qt::Key_Down);
        press(Qt::Key_Down);
        QCOMPARE(control<QComboBox>(d, "RuleType")->currentText(), QStringLiteral("ACCEPT"));
        press(Qt::Key_Return);

        QVERIFY(m_boxes.boxes.isEmpty());
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.RuleLine, QStringLiteral("ACCEPT 172.16.0.0/12"));
    }

    // GetRule after the dialog was left without an accepted entry.
    void getRuleWithoutAccept_data()
    {
        QTest::addColumn<int>("refusals");
        QTest::addColumn<QString>("leave"); // "cancel", "close" or "escape"
        QTest::newRow("cancel at once") << 0 << "cancel";
        QTest::newRow("cancel after refusals") << 2 << "cancel";
        QTest::newRow("close box after a refusal") << 1 << "close";
        QTest::newRow("escape after a refusal") << 1 << "escape";
    }

    void getRuleWithoutAccept()
    {
        QFETCH(int, refusals);
        QFETCH(QString, leave);
        m_dialog->hide();
        TForm33 &d = *m_dialog;

        QTimer::singleShot(0, this, [&] {
            if (QApplication::activeModalWidget() == &d) {
                clickRadio(control<QRadioButton>(d, "RadioButton1"));
                typeInto(control<QLineEdit>(d, "singleip"), QStringLiteral("10.0.0.1"));
                for (int i = 0; i < refusals; ++i)
                    QTest::mouseClick(control<QPushButton>(d, "Button3"), Qt::LeftButton); // no rule type chosen
                QTest::keyClicks(control<QComboBox>(d, "RuleType"), QStringLiteral("A"));
                if (leave == "cancel")
                    QTest::mouseClick(control<QPushButton>(d, "Button2"), Qt::LeftButton);
                else if (leave == "escape")
                    QTest::keyClick(&d, Qt::Key_Escape);
                else
                    d.close();
            }
            // Never leave the modal loop waiting on a failed step.
            if (d.isVisible())
                d.reject();
        });
        const QString rule = d.GetRule();

        QCOMPARE(rule, QString());
        QCOMPARE(m_boxes.boxes.size(), refusals);
        for (const test::ShownBox &box : std::as_const(m_boxes.boxes))
            QCOMPARE(box.text, QStringLiteral("Please select rule type."));
    }

    void getRuleReturnsTheAcceptedLine()
    {
        m_dialog->hide();
        TForm33 &d = *m_dialog;
        QTimer::singleShot(0, this, [&] {
            if (QApplication::activeModalWidget() == &d) {
                QTest::mouseClick(control<QPushButton>(d, "Button3"), Qt::LeftButton); // refused first: no type
                QTest::keyClicks(control<QComboBox>(d, "RuleType"), QStringLiteral("R"));
                QTest::mouseClick(control<QPushButton>(d, "Button3"), Qt::LeftButton);
            }
            if (d.isVisible())
                d.reject();
        });
        QCOMPARE(d.GetRule(), QStringLiteral("REJECT 0.0.0.0"));
        QCOMPARE(m_boxes.boxes.size(), 1);
    }
};

QTEST_MAIN(TestRuleDialog)
#include "tst_ruledialog.moc"
