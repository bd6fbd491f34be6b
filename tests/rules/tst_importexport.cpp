#include "Controls.h"
#include "FakePlatform.h"
#include "dialogs/ExportDialog.h"
#include "dialogs/ImportDialog.h"
#include "rules/RuleListModel.h"
#include "window/VellamorDesktopMain.h"

#include <QApplication>
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
#include <QTimer>

#include <functional>
#include <memory>

using namespace vellamor;
using vellamor::test::control;
using vellamor::test::FakeDialogs;
using vellamor::test::FakePlatform;

namespace {

QString writeFile(const QTemporaryDir &dir, const QByteArray &content)
{
    QString path = dir.filePath(QStringLiteral("list.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return {};
    return path;
}

void clickOk(QDialogButtonBox *box)
{
    QTest::mouseClick(box->button(QDialogButtonBox::Ok), Qt::LeftButton);
}

// Presses `button` of the window, then runs `steps` in the modal dialog it opens.
void inDialog(QPushButton *button, const std::function<void(QDialog &)> &steps)
{
    bool seen = false;
    QTimer::singleShot(0, button, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        seen = dialog != nullptr;
        if (dialog)
            steps(*dialog);
        // Never leave the modal loop waiting on a failed step.
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(seen);
}

QStringList rulesOf(const TForm3 &window)
{
    QStringList shown;
    for (int row = 0; row < window.rulesModel()->rowCount(); ++row)
        shown << QString::fromLatin1(window.rulesModel()->line(row));
    return shown;
}

std::unique_ptr<TForm3> startWindow(const FakePlatform &fake)
{
    auto window = std::make_unique<TForm3>(fake.platform());
    window->FormCreate();
    window->show();
    return window;
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
            << "3 entries read, 1 line not understood (show), 1 rule after merging, 1 already covered"
            << QStringList{"REJECT 1.2.3.0/24", "ACCEPT 9.9.9.9", "REJECT 10.0.0.0/23"};
        QTest::newRow("p2p, accepting, before") << QByteArray("a:10.0.0.1-10.0.0.9\nb:9.9.9.9-9.9.9.9\n::1\n") << true
            << "2 entries read, 1 line not understood (show), 1 rule after merging, 1 already covered"
            << QStringList{"ACCEPT 10.0.0.1-9", "REJECT 1.2.3.0/24", "ACCEPT 9.9.9.9"};
        QTest::newRow("dat") << QByteArray("1.0.0.0 - 1.0.1.255 , 100 , x\n2.0.0.0 - 2.0.0.5 , 200 , y\n") << false
            << "1 entry read, 1 rule after merging, 0 already covered, 1 entry above level 127 skipped"
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

    // Through the window as an administrator does it: a list made here,
    // imported (unsaved until Save), saved, found again after a restart,
    // exported and imported again into an emptied list; Cancel adds nothing.
    void throughTheWindow_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<QStringList>("rules"); // empty: the import is cancelled
        // clang-format off
        QTest::newRow("cidr with comments")
            << QByteArray("# don't route\n; nor this\n10.0.0.0/24 ; a\n10.0.1.0/24\n\n// x\n192.168.5.7\n")
            << QStringList{"REJECT 10.0.0.0/23", "REJECT 192.168.5.7"};
        QTest::newRow("p2p, a range across a group") << QByteArray("a b:1.2.3.250-1.2.4.5\nc:5.0.0.0-5.0.255.255\n")
            << QStringList{"REJECT 1.2.3.250-255", "REJECT 1.2.4.0-5", "REJECT 5.0.0.0/16"};
        QTest::newRow("dat") << QByteArray("3.0.0.0 - 3.0.0.127 , 100 , a\n4.0.0.0 - 4.0.0.1 , 200 , b\n")
            << QStringList{"REJECT 3.0.0.0/25"};
        QTest::newRow("cancel") << QByteArray("c:5.0.0.0-5.0.255.255\n") << QStringList();
        // clang-format on
    }
    void throughTheWindow()
    {
        QFETCH(QByteArray, list);
        QFETCH(QStringList, rules);
        FakePlatform fake;
        QFile config(fake.path(QStringLiteral("gc.xml")));
        QVERIFY(config.open(QIODevice::WriteOnly) && config.write("<global/>") == 9);
        config.close();
        // The Save needs the key and the certificate the server directory has.
        for (const char *name : {"default.key", "default.cer"}) {
            QFile file(fake.path(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QString listPath = writeFile(fake.tempDir, list);
        auto window = startWindow(fake);
        const auto importOnce = [&](const QString &path, bool ok) {
            fake.dialogs->fileAnswers.enqueue(path);
            inDialog(control<QPushButton>(*window, "ImportRules_btn"), [ok](QDialog &dialog) {
                auto *buttons = control<QDialogButtonBox>(dialog, "Buttons_box");
                QTRY_VERIFY(buttons->button(QDialogButtonBox::Ok)->isEnabled());
                QTest::mouseClick(buttons->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel),
                                  Qt::LeftButton);
            });
        };
        importOnce(listPath, !rules.isEmpty());
        QCOMPARE(rulesOf(*window), rules);
        QTRY_COMPARE(window->isWindowModified(), !rules.isEmpty());
        if (rules.isEmpty())
            return;

        QTest::mouseClick(control<QPushButton>(*window, "Button1"), Qt::LeftButton);
        QTRY_VERIFY(!window->isWindowModified());
        window.reset();
        window = startWindow(fake);
        QCOMPARE(rulesOf(*window), rules);

        const QString exported = fake.path(QStringLiteral("exported.txt"));
        fake.dialogs->saveFileAnswers.enqueue(exported);
        inDialog(control<QPushButton>(*window, "ExportRules_btn"), [](QDialog &dialog) {
            QTest::mouseClick(control<QPushButton>(dialog, "Browse_btn"), Qt::LeftButton);
            clickOk(control<QDialogButtonBox>(dialog, "Buttons_box"));
        });
        QTest::mouseClick(control<QPushButton>(*window, "Button3"), Qt::LeftButton);
        importOnce(exported, true);
        QCOMPARE(rulesOf(*window), rules);
    }

    // The export as the user picks it, written where asked; an existing
    // file is replaced only on Yes, and a failed write says why.
    void exportDialog()
    {
        QTemporaryDir dir;
        RuleListModel model;
        model.appendLines({"REJECT 10.0.0.1-9", "ACCEPT 9.9.9.9", "junk", "REJECT 1.2.3.0/24"});
        FakeDialogs dialogs;
        dialogs.saveFileAnswers.enqueue(dir.filePath(QStringLiteral("chosen.p2p")));
        ExportDialog dialog(model, {0, 1}, Policy::Reject, dialogs, QStringLiteral("/nowhere"));
        QTest::mouseClick(dialog.Browse_btn, Qt::LeftButton);
        dialog.Selected_radio->setChecked(true);
        dialog.Format_cmb->setCurrentIndex(1);
        dialog.Types_cmb->setCurrentIndex(1);
        QCOMPARE(dialog.Counts_lbl->text(), "1 rule to write, 1 line left out");
        clickOk(dialog.Buttons_box);
        QFile file(dir.filePath(QStringLiteral("chosen.p2p")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "REJECT 10.0.0.1-9:10.0.0.1-10.0.0.9\r\n");

        ExportDialog again(model, {}, Policy::Reject, dialogs, dir.path());
        again.FileName_txt->setText(QStringLiteral("chosen.p2p"));
        again.Format_cmb->setCurrentIndex(0);
        clickOk(again.Buttons_box); // the file exists: No
        QCOMPARE(dialogs.boxes.last().caption, "Confirmation");
        QVERIFY(file.seek(0));
        QCOMPARE(file.readAll(), "REJECT 10.0.0.1-9:10.0.0.1-10.0.0.9\r\n");
        again.Folder_txt->setText(dir.filePath(QStringLiteral("missing")));
        clickOk(again.Buttons_box);
        QCOMPARE(dialogs.boxes.last().caption, "Error");
        QVERIFY(dialogs.boxes.last().text.contains(QStringLiteral("chosen.p2p")));
    }
};

QTEST_MAIN(TestImportExport)
#include "tst_importexport.moc"
