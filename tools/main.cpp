// vellamor-mgmt-server: a stand-in for the server's management service, so the
// panel can be run and watched without the real server. Not installed.

#include "ManagementServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTextStream>

using vellamor::tools::ManagementServer;

namespace {

std::optional<ManagementServer::Behaviour> behaviourNamed(const QString &name)
{
    using B = ManagementServer::Behaviour;
    const std::pair<const char *, B> names[] = {
        {"none", B::Answer}, {"close-early", B::CloseEarly}, {"silent", B::Silent},
        {"drip", B::Drip},   {"overlong", B::OverlongLine},  {"nul", B::Nul},
    };
    for (const auto &[text, behaviour] : names) {
        if (name == QLatin1StringView(text))
            return behaviour;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vellamor-mgmt-server"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A stand-in for the Vellamor server's management service, for development.\n"
                       "Answers USERSSTATUS with a first line and \"USERS n\", logs RULESRELOAD and\n"
                       "USERSRELOAD, and can be told to misbehave."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Port to listen on (default 1011)."),
                                        QStringLiteral("port"), QStringLiteral("1011"));
    const QCommandLineOption addressOption(QStringLiteral("address"),
                                           QStringLiteral("Address to listen on (default 127.0.0.1)."),
                                           QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption passwordOption(QStringLiteral("password"),
                                            QStringLiteral("Management password (default: the panel's built-in one)."),
                                            QStringLiteral("password"), QStringLiteral("71!*9203&6##"));
    const QCommandLineOption anyPasswordOption(QStringLiteral("any-password"), QStringLiteral("Take any password."));
    const QCommandLineOption usersOption(
        QStringLiteral("users"), QStringLiteral("Always report this many users (default: a count that wanders)."),
        QStringLiteral("n"));
    const QCommandLineOption firstLineOption(QStringLiteral("first-line"),
                                             QStringLiteral("First reply line to USERSSTATUS (default OK)."),
                                             QStringLiteral("text"), QStringLiteral("OK"));
    const QCommandLineOption misbehaveOption(
        QStringLiteral("misbehave"),
        QStringLiteral("Answer USERSSTATUS badly: close-early, silent, drip, overlong or nul (default none)."),
        QStringLiteral("how"), QStringLiteral("none"));
    const QCommandLineOption everyOption(QStringLiteral("misbehave-every"),
                                         QStringLiteral("Misbehave only on every n-th request (default 1)."),
                                         QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption dripOption(QStringLiteral("drip-ms"),
                                        QStringLiteral("Milliseconds between the bytes of a drip (default 200)."),
                                        QStringLiteral("ms"), QStringLiteral("200"));
    parser.addOptions({portOption, addressOption, passwordOption, anyPasswordOption, usersOption, firstLineOption,
                       misbehaveOption, everyOption, dripOption});
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    auto fail = [&err](const QString &message) {
        err << "vellamor-mgmt-server: " << message << Qt::endl;
        return 2;
    };

    bool ok = false;
    const uint port = parser.value(portOption).toUInt(&ok);
    if (!ok || port > 65535)
        return fail(QStringLiteral("not a port: %1").arg(parser.value(portOption)));
    const QHostAddress address(parser.value(addressOption));
    if (address.isNull())
        return fail(QStringLiteral("not an address: %1").arg(parser.value(addressOption)));
    const auto behaviour = behaviourNamed(parser.value(misbehaveOption));
    if (!behaviour)
        return fail(QStringLiteral("unknown misbehaviour: %1").arg(parser.value(misbehaveOption)));
    const int every = parser.value(everyOption).toInt(&ok);
    if (!ok || every < 1)
        return fail(QStringLiteral("--misbehave-every needs a whole number from 1"));
    const int dripMs = parser.value(dripOption).toInt(&ok);
    if (!ok || dripMs < 0)
        return fail(QStringLiteral("--drip-ms needs a whole number"));

    ManagementServer server;
    server.setPassword(parser.isSet(anyPasswordOption) ? QString() : parser.value(passwordOption));
    server.setFirstLine(parser.value(firstLineOption).toLatin1());
    server.setBehaviour(*behaviour);
    server.setMisbehaveEvery(every);
    server.setDripInterval(std::chrono::milliseconds(dripMs));
    if (parser.isSet(usersOption)) {
        const int users = parser.value(usersOption).toInt(&ok);
        if (!ok)
            return fail(QStringLiteral("--users needs a whole number"));
        server.setUsers(users);
    } else {
        // A count that moves, so that one sees the panel follow it.
        server.setUsers([users = 12](int) mutable {
            users = qMax(0, users + int(QRandomGenerator::global()->bounded(5)) - 2);
            return users;
        });
    }

    QObject::connect(&server, &ManagementServer::logged, &app,
                     [&out](const QString &line) { out << line << Qt::endl; });
    if (!server.listen(address, quint16(port)))
        return fail(
            QStringLiteral("cannot listen on %1:%2: %3").arg(address.toString()).arg(port).arg(server.errorString()));
    out << "listening on " << address.toString() << ':' << server.port() << Qt::endl;
    return app.exec();
}
