// Renders every page of the panel, as it looks after start-up on the given
// executable directory, into PNG files. Used for the pictures in docs/.

#include "QtDialogs.h"
#include "dialogs/Rule.h"
#include "dialogs/ServiceLogWindow.h"
#include "dialogs/about.h"
#include "window/VellamorDesktopMain.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

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

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    const bool running = args.removeAll(QStringLiteral("--service-running")) > 0;
    if (args.size() < 2) {
        qWarning("usage: vellamor-screenshots [--service-running] <output-dir> [executable-dir]");
        return 2;
    }
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

    auto shoot = [&](QWidget *w, const QString &name) {
        QApplication::processEvents();
        w->grab().save(QDir(out).filePath(name));
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
        TAboutBox about;
        about.show();
        shoot(&about, QStringLiteral("about.png"));
        about.close();
        form.close();
        app.quit();
    });
    return app.exec();
}
