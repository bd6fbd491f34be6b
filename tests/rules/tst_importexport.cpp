#include "FakeDialogs.h"
#include "dialogs/ExportDialog.h"
#include "dialogs/ImportDialog.h"
#include "rules/RuleListModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocumentFragment>

using namespace vellamor;
using vellamor::test::FakeDialogs;

namespace {

QString writeFile(const QTemporaryDir &dir, const QByteArray &content)
{
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return {};
    return path;
}

void clickOk(QDialogButtonBox *box)
{
    QTest::mouseClick(box->button(QDialogButtonBox::Ok), Qt::LeftButton);
}

} // namespace

class TestImportExport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // What the user sees before OK, and what OK adds where.
    void import_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("acceptBefore"); // ACCEPT, before the existing rules
        QTest::addColumn<QString>("counts");
        QTest::addColumn<QStringList>("rules");
        // clang-format off
        QTest::newRow("cidr list") << QByteArray("# drop\n10.0.0.0/24 ; a\n10.0.1.0/24\n1.2.3.4\nbad\n") << false
            << "3 entries read, 1 lines not understood (show), 1 rules after merging, 1 already covered"
            << QStringList{"REJECT 1.2.3.0/24", "ACCEPT 9.9.9.9", "REJECT 10.0.0.0/23"};
        QTest::newRow("p2p, accepting, before") << QByteArray("a:10.0.0.1-10.0.0.9\nb:9.9.9.9-9.9.9.9\n::1\n") << true
            << "2 entries read, 1 lines not understood (show), 1 rules after merging, 1 already covered"
            << QStringList{"ACCEPT 10.0.0.1-9", "REJECT 1.2.3.0/24", "ACCEPT 9.9.9.9"};
        QTest::newRow("dat") << QByteArray("1.0.0.0 - 1.0.1.255 , 100 , x\n2.0.0.0 - 2.0.0.5 , 200 , y\n") << false
            << "1 entries read, 1 rules after merging, 0 already covered, 1 entries above level 127 skipped"
            << QStringList{"REJECT 1.2.3.0/24", "ACCEPT 9.9.9.9", "REJECT 1.0.0.0/23"};
        // clang-format on
    }
    void import()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, acceptBefore);
        QFETCH(QString, counts);
        QFETCH(QStringList, rules);
        QTemporaryDir dir;
        RuleListModel model;
        model.appendLines({"REJECT 1.2.3.0/24", "ACCEPT 9.9.9.9"});
        FakeDialogs dialogs;
        ImportDialog dialog(model, dialogs);
        dialog.open(writeFile(dir, content));
        dialog.show();
        if (acceptBefore) {
            dialog.RuleType_cmb->setCurrentIndex(1);
            QTest::mouseClick(dialog.Before_radio, Qt::LeftButton, {}, QPoint(6, dialog.Before_radio->height() / 2));
        }
        QTRY_VERIFY(dialog.isIdle() && dialog.Buttons_box->button(QDialogButtonBox::Ok)->isEnabled());
        QCOMPARE(QTextDocumentFragment::fromHtml(dialog.Counts_lbl->text()).toPlainText(), counts);
        QCOMPARE(model.rowCount(), 2);
        clickOk(dialog.Buttons_box);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QStringList shown;
        for (int row = 0; row < model.rowCount(); ++row)
            shown << QString::fromLatin1(model.line(row));
        QCOMPARE(shown, rules);
    }

    // The lines not understood, by number and text; the policy of a
    // rules.txt offered, not taken unless asked; Cancel in the middle of a
    // large read adds nothing; no file picked, no dialog.
    void importDetails()
    {
        QTemporaryDir dir;
        RuleListModel model;
        FakeDialogs dialogs;
        {
            ImportDialog dialog(model, dialogs);
            dialog.open(writeFile(dir, "POLICY ACCEPT\r\nREJECT 10.0.0.1\r\nREJECT 300.0.0.1\r\n"));
            QTRY_VERIFY(dialog.isIdle());
            QCOMPARE(dialog.Unread_txt->toPlainText(), "Line 3 (address or prefix out of range): REJECT 300.0.0.1");
            QVERIFY(!dialog.Policy_chk->isHidden());
            QCOMPARE(dialog.chosenPolicy(), std::nullopt);
            dialog.Policy_chk->setChecked(true);
            QCOMPARE(dialog.chosenPolicy(), std::optional(Policy::Accept));
        }
        {
            ImportDialog dialog(model, dialogs);
            dialog.open(writeFile(dir, QByteArray("x:10.0.0.1-10.0.0.9\n").repeated(2'000'000)));
            dialog.show();
            QTest::mouseClick(dialog.Buttons_box->button(QDialogButtonBox::Cancel), Qt::LeftButton);
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QVERIFY(dialog.isIdle());
        }
        QCOMPARE(model.rowCount(), 0);
        ImportDialog dialog(model, dialogs);
        QVERIFY(!dialog.Import(dir.path()));
        QCOMPARE(dialogs.fileDialogOwners.size(), 1);
    }

    // The export as the user picks it, written where asked; an existing
    // file is replaced only on Yes, and a failed write says why.
    void exportDialog()
    {
        QTemporaryDir dir;
        RuleListModel model;
        model.appendLines({"REJECT 10.0.0.1-9", "ACCEPT 9.9.9.9", "junk", "REJECT 1.2.3.0/24"});
        FakeDialogs dialogs;
        dialogs.directoryAnswers.enqueue(dir.path());
        ExportDialog dialog(model, {0, 1}, Policy::Reject, dialogs, QStringLiteral("/nowhere"));
        QTest::mouseClick(dialog.Folder_btn, Qt::LeftButton);
        dialog.Selected_radio->setChecked(true);
        dialog.Format_cmb->setCurrentIndex(1);
        dialog.Types_cmb->setCurrentIndex(1);
        QCOMPARE(dialog.Counts_lbl->text(), "1 rules to write, 1 lines left out");
        clickOk(dialog.Buttons_box);
        QFile file(dir.filePath(QStringLiteral("rules-export.txt")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "REJECT 10.0.0.1-9:10.0.0.1-10.0.0.9\r\n");

        ExportDialog again(model, {}, Policy::Reject, dialogs, dir.path());
        again.Format_cmb->setCurrentIndex(0);
        clickOk(again.Buttons_box); // the file exists: No
        QCOMPARE(dialogs.boxes.last().caption, "Confirmation");
        QVERIFY(file.seek(0));
        QCOMPARE(file.readAll(), "REJECT 10.0.0.1-9:10.0.0.1-10.0.0.9\r\n");
        again.Folder_txt->setText(dir.filePath(QStringLiteral("missing")));
        clickOk(again.Buttons_box);
        QCOMPARE(dialogs.boxes.last().caption, "Error");
        QVERIFY(dialogs.boxes.last().text.contains(QStringLiteral("rules-export.txt")));
    }
};

QTEST_MAIN(TestImportExport)
#include "tst_importexport.moc"
