// Renders every page of the panel, as it looks after start-up on the given
// executable directory, into PNG files. Used for the pictures in docs/:
// light and dark (--dark), at 100 % and 200 % (QT_SCALE_FACTOR=2).

#include "QtDialogs.h"
#include "dialogs/ImportDialog.h"
#include "dialogs/Rule.h"
#include "dialogs/ServiceLogWindow.h"
#include "dialogs/about.h"
#include "rules/RuleListModel.h"
#include "window/VellamorDesktopMain.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPalette>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

using namespace vellamor;

namespace {

// A service manager that shows the service running, for pictures of the page
// as it looks on a server machine.
class RunningServiceManager final : public platform::ServiceManager
{
public:
    void openManager(Reply<Handle> done) override { done(this); }
    void openService(Handle, const std::string &, std::uint32_t, Reply<Handle> done) override { done(this); }
    void queryState(Handle, Reply<std::optional<std::uint32_t>> done) override { done(Running); }
    void start(Handle, Reply<Outcome> done) override { done({}); }
    void stop(Handle, Reply<Outcome> done) override { done({}); }
    void pause(Handle, Reply<Outcome> done) override { done({}); }
    void resume(Handle, Reply<Outcome> done) override { done({}); }
    void close(Handle) override {}
};

// A dark colour scheme such as a desktop's dark theme gives the panel.
QPalette darkPalette()
{
    QPalette p;
    const QColor window(45, 45, 48), base(30, 30, 30), text(232, 232, 232), disabled(120, 120, 120);
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Button, QPalette::AlternateBase})
        p.setColor(role, window);
    p.setColor(QPalette::Base, base);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::ToolTipText})
        p.setColor(role, text);
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
    p.setColor(QPalette::Highlight, QColor(38, 79, 120));
    p.setColor(QPalette::HighlightedText, Qt::white);
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    return p;
}

// A grown rule set with the slips the Security page points out: a block with
// host bits set, ranges whose end is out of place, a group above 255, a
// duplicate, a rule another one already covers, a line of other text.
const char kRulesWithWarnings[] = "POLICY REJECT\r\n"
                                  "ACCEPT 10.0.0.0/8\r\n"
                                  "REJECT 10.0.0.5/24\r\n"
                                  "ACCEPT 10.1.2.3\r\n"
                                  "ACCEPT 192.168.1.10-40\r\n"
                                  "REJECT 192.168.1.50-5\r\n"
                                  "REJECT 172.16.0.300\r\n"
                                  "accept 172.16.0.0/12\r\n"
                                  "ACCEPT 10.0.0.0/8\r\n"
                                  "REJECT 10.0.0.0-20\r\n"
                                  "ACCEPT 203.0.113.7\r\n"
                                  "REJECT 0.0.0.0\r\n";

// The Security page on that rule set: with its warnings, and found by an
// address, the tooltip of a covering rule open.
void shootRuleChecks(const platform::Platform &base, const std::function<void(QWidget *, QString)> &shoot)
{
    QTemporaryDir dir;
    QFile rules(dir.filePath(QStringLiteral("rules.txt")));
    if (!rules.open(QIODevice::WriteOnly) || rules.write(kRulesWithWarnings) < 0)
        return;
    rules.close();
    platform::Platform p = base;
    p.fileSystem = std::make_shared<platform::LocalFileSystem>(dir.path());
    TForm3 form(p);
    form.FormCreate();
    form.PageControl1->setCurrentIndex(1);
    form.TreeView1->setCurrentItem(form.TreeView1->topLevelItem(3));
    form.show();
    form.RulesList->setCurrentIndex(form.RulesList->model()->index(1, 0));
    shoot(&form, QStringLiteral("security-warnings.png"));
    form.RulesFilter_txt->setText(QStringLiteral("10.0.0.5"));
    shoot(&form, QStringLiteral("security-filter.png"));
    form.close();
}

// The import dialog as it stands after reading a small P2P list with a line
// it could not read.
void shootImport(platform::Dialogs &dialogs, const std::function<void(QWidget *, QString)> &shoot)
{
    QTemporaryDir dir;
    QFile list(dir.filePath(QStringLiteral("blocklist.p2p")));
    if (!list.open(QIODevice::WriteOnly) ||
        list.write("# published list\nsome range:10.0.0.0-10.0.3.255\nanother:192.168.1.20-192.168.2.9\n"
                   "broken line\nsix:2001:db8::1-2001:db8::9\n") < 0)
        return;
    list.close();
    RuleListModel rules;
    rules.appendLines(QByteArrayList{"REJECT 10.0.1.0/24"});
    ImportDialog import(rules, dialogs);
    import.open(list.fileName());
    import.show();
    QEventLoop read;
    QTimer::singleShot(500, &read, &QEventLoop::quit);
    read.exec();
    shoot(&import, QStringLiteral("import.png"));
    import.close();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    const bool running = args.removeAll(QStringLiteral("--service-running")) > 0;
    const bool dark = args.removeAll(QStringLiteral("--dark")) > 0;
    QString suffix;
    if (const qsizetype at = args.indexOf(QStringLiteral("--suffix")); at > 0 && at + 1 < args.size()) {
        suffix = args.at(at + 1);
        args.remove(at, 2);
    }
    if (args.size() < 2) {
        qWarning("usage: vellamor-screenshots [--service-running] [--dark] [--suffix TEXT] <output-dir> "
                 "[executable-dir]\n(run with QT_SCALE_FACTOR=2 for the pictures at 200 %%)");
        return 2;
    }
    if (dark)
        QApplication::setPalette(darkPalette());
    const QString out = args.at(1);
    QDir().mkpath(out);

    platform::Platform p = platform::makeSystemPlatform();
    if (args.size() > 2)
        p.fileSystem = std::make_shared<platform::LocalFileSystem>(args.at(2));
    if (running)
        p.serviceManager = std::make_shared<RunningServiceManager>();
    TForm3 form(p);
    form.FormCreate();
    form.show();
    form.activateWindow();

    std::function<void(QWidget *, QString)> shoot = [&](QWidget *w, QString name) {
        // Layouts settle over a few turns of the loop (a note hidden after
        // the rules were checked, say).
        QEventLoop settle;
        QTimer::singleShot(100, &settle, &QEventLoop::quit);
        settle.exec();
        w->grab().save(QDir(out).filePath(name.insert(name.lastIndexOf(u'.'), suffix)));
    };

    QTimer::singleShot(1500, [&] {
        shoot(&form, QStringLiteral("service.png"));
        form.ShowLog_lblClick();
        if (auto *log = form.findChild<ServiceLogWindow *>()) {
            // The log's first lines come from another process.
            QEventLoop lines;
            QTimer::singleShot(500, &lines, &QEventLoop::quit);
            lines.exec();
            shoot(log, QStringLiteral("log.png"));
            log->close();
        }
        form.PageControl1->setCurrentIndex(1);
        const char *names[] = {"general", "application", "management", "security", "ssl", "database"};
        for (int i = 0; i < 6; ++i) {
            form.TreeView1->setCurrentItem(form.TreeView1->topLevelItem(i));
            shoot(&form, QStringLiteral("config-%1.png").arg(QLatin1StringView(names[i])));
        }
        TForm33 rule(*p.dialogs, &form);
        rule.show();
        shoot(&rule, QStringLiteral("addrule.png"));
        rule.close();
        shootRuleChecks(p, shoot);
        shootImport(*p.dialogs, shoot);
        TAboutBox about;
        about.show();
        shoot(&about, QStringLiteral("about.png"));
        about.close();
        form.close();
        app.quit();
    });
    return app.exec();
}
