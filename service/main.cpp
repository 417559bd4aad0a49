// tallyro-service: the stand-in for the remote service. Runs the UDP login server and
// the web server in one event loop, or performs one account command and exits.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <optional>

#include "account_store.h"
#include "control_socket.h"
#include "credentials.h"
#include "login_server.h"
#include "market_data.h"
#include "operator_console.h"
#include "service_log.h"
#include "session_table.h"
#include "stock_list.h"
#include "web_server.h"

using namespace tallyro::service;

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here: the event loop reads the byte and quits.
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

void printError(const QString& text) {
    std::fprintf(stderr, "tallyro-service: %s\n", text.toUtf8().constData());
}

void printLine(const QString& text) {
    std::printf("%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

std::optional<quint16> portValue(const QString& text) {
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value > 65535) {
        return std::nullopt;
    }
    return static_cast<quint16>(value);
}

QString defaultDatabasePath() {
    const QString appDir = QCoreApplication::applicationDirPath();
    if (QFileInfo(appDir).isWritable()) {
        return appDir + QStringLiteral("/tallyro-service.db");
    }
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/tallyro-service.db");
}

// The data folder the program came with: service-data beside it in the build
// tree, the installed data folder (../share/tallyro-service from bin/) otherwise.
QString defaultDataDir() {
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString beside = appDir + QStringLiteral("/service-data");
    if (QFileInfo(beside).isDir()) {
        return beside;
    }
    return QDir::cleanPath(appDir + QStringLiteral("/" TALLYRO_BIN_TO_SERVICE_DATA));
}

// Descriptors kept free beside the connection caps: the listeners, the database, the
// standard streams, the signal pipe and what Qt opens itself.
constexpr rlim_t kSpareDescriptors = 64;

// Makes room under the open-file limit for every connection the caps allow, raising
// the soft limit where the hard one permits; where it does not, the web cap is
// lowered to fit. Returns the limit in force.
rlim_t fitConnectionCaps(HttpLimits& web, const ControlServer::Limits& control,
                         const LogSink& log) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return 0;
    }
    const rlim_t needed =
        static_cast<rlim_t>(web.connections + control.connections) + kSpareDescriptors;
    if (limit.rlim_cur < needed) {
        limit.rlim_cur = std::min(needed, limit.rlim_max);
        ::setrlimit(RLIMIT_NOFILE, &limit);
        ::getrlimit(RLIMIT_NOFILE, &limit);
    }
    if (limit.rlim_cur < needed) {
        const auto room = static_cast<rlim_t>(control.connections) + kSpareDescriptors;
        const int fitted = limit.rlim_cur > room + 1 ? static_cast<int>(limit.rlim_cur - room) : 1;
        log(QStringLiteral("open-file limit %1: web connections capped at %2 instead of %3")
                .arg(limit.rlim_cur)
                .arg(fitted)
                .arg(web.connections));
        web.connections = fitted;
        web.connectionsPerAddress = std::min(web.connectionsPerAddress, fitted);
    }
    return limit.rlim_cur;
}

// Checks a NAME:PASSWORD argument and returns the name and digest, or prints why not.
std::optional<std::pair<QString, QString>> credentialsFrom(const QString& option,
                                                           const QString& value) {
    const auto parts = splitNameAndPassword(value);
    if (!parts) {
        printError(QStringLiteral("--%1 expects NAME:PASSWORD").arg(option));
        return std::nullopt;
    }
    QString problem = accountNameProblem(parts->name);
    if (problem.isEmpty()) {
        problem = passwordProblem(parts->password);
    }
    if (!problem.isEmpty()) {
        printError(QStringLiteral("--%1 %2: %3").arg(option, parts->name, problem));
        return std::nullopt;
    }
    return std::make_pair(parts->name, *passwordDigest(parts->password));
}

// The one-shot account commands. Returns the exit code.
int runAccountCommands(const QCommandLineParser& parser, AccountStore& store) {
    bool ok = true;
    for (const QString& value : parser.values(QStringLiteral("add-account"))) {
        const auto cred = credentialsFrom(QStringLiteral("add-account"), value);
        if (!cred) {
            ok = false;
            continue;
        }
        switch (store.addAccount(cred->first.toStdString(), cred->second.toStdString())) {
            case AccountStore::AddResult::Added:
                printLine(QStringLiteral("account \"%1\" added").arg(cred->first));
                break;
            case AccountStore::AddResult::NameTaken:
                printError(QStringLiteral("account \"%1\" exists already").arg(cred->first));
                ok = false;
                break;
            case AccountStore::AddResult::Failed:
                printError(QString::fromStdString(store.lastError()));
                ok = false;
                break;
        }
    }
    for (const QString& value : parser.values(QStringLiteral("set-password"))) {
        const auto cred = credentialsFrom(QStringLiteral("set-password"), value);
        if (!cred) {
            ok = false;
        } else if (store.setDigest(cred->first.toStdString(), cred->second.toStdString())) {
            printLine(QStringLiteral("password of \"%1\" set").arg(cred->first));
        } else {
            printError(QString::fromStdString(store.lastError()));
            ok = false;
        }
    }
    for (const auto& [option, block] :
         {std::pair{QStringLiteral("block"), true}, std::pair{QStringLiteral("unblock"), false}}) {
        for (const QString& name : parser.values(option)) {
            if (store.setBlocked(name.toStdString(), block)) {
                printLine(
                    QStringLiteral("account \"%1\" %2").arg(name, block ? "blocked" : "unblocked"));
            } else {
                printError(QString::fromStdString(store.lastError()));
                ok = false;
            }
        }
    }
    if (parser.isSet(QStringLiteral("list-accounts"))) {
        for (const Account& a : store.accounts()) {
            printLine(QStringLiteral("%1\t%2\t%3")
                          .arg(QString::fromStdString(a.name),
                               a.blocked ? QStringLiteral("blocked") : QStringLiteral("active"),
                               QString::fromStdString(a.created)));
        }
    }
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "ctl") == 0) {
        return runControlCommand(QCoreApplication::arguments().mid(2));
    }
    QCoreApplication::setApplicationName(QStringLiteral("tallyro-service"));
    QCoreApplication::setApplicationVersion(QStringLiteral("10.09"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Stand-in for the Tallyro service: the UDP login server and the web server.\n"
        "With an account option it changes the account database and exits.\n"
        "'tallyro-service ctl [--control PATH] COMMAND' sends an operator command to a\n"
        "running service and prints its answer."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("listen"), QStringLiteral("Address to listen on (default 127.0.0.1)."),
         QStringLiteral("address"), QStringLiteral("127.0.0.1")},
        {QStringLiteral("login-port"), QStringLiteral("UDP port of the login server (4116)."),
         QStringLiteral("port"), QStringLiteral("4116")},
        {QStringLiteral("web-port"), QStringLiteral("TCP port of the web server (8340)."),
         QStringLiteral("port"), QStringLiteral("8340")},
        {QStringLiteral("db"),
         QStringLiteral("Account database (default tallyro-service.db next to the program)."),
         QStringLiteral("path")},
        {QStringLiteral("data"),
         QStringLiteral("Data folder with stocks.csv, bars/, suspended.csv, watchlist.csv "
                        "(default service-data next to the program)."),
         QStringLiteral("dir")},
        {QStringLiteral("package"),
         QStringLiteral("Client package served at /Qelvix.exe (default <data>/Qelvix.exe)."),
         QStringLiteral("path")},
        {QStringLiteral("control"),
         QStringLiteral("Local socket for operator commands (default %1 when its folder "
                        "exists; 'none' for no socket).")
             .arg(QString::fromUtf8(kDefaultControlSocket)),
         QStringLiteral("path")},
        {QStringLiteral("probe-seconds"),
         QStringLiteral("Seconds between liveness probes, 0 for none (30)."),
         QStringLiteral("seconds"), QStringLiteral("30")},
        {QStringLiteral("idle-timeout"),
         QStringLiteral("Seconds a web or control connection has to send its request, and "
                        "may stay idle between requests (15; fractions allowed)."),
         QStringLiteral("seconds"), QStringLiteral("15")},
        {QStringLiteral("web-connections"),
         QStringLiteral("Web connections held at once (512)."), QStringLiteral("count"),
         QStringLiteral("512")},
        {QStringLiteral("web-connections-per-address"),
         QStringLiteral("Web connections held at once from one address (64)."),
         QStringLiteral("count"), QStringLiteral("64")},
        {QStringLiteral("demo-account"),
         QStringLiteral("Make sure this account exists, unblocked, with this password."),
         QStringLiteral("name:password")},
        {QStringLiteral("add-account"), QStringLiteral("Add an account and exit."),
         QStringLiteral("name:password")},
        {QStringLiteral("set-password"), QStringLiteral("Set an account's password and exit."),
         QStringLiteral("name:password")},
        {QStringLiteral("block"), QStringLiteral("Block an account and exit."),
         QStringLiteral("name")},
        {QStringLiteral("unblock"), QStringLiteral("Unblock an account and exit."),
         QStringLiteral("name")},
        {QStringLiteral("list-accounts"), QStringLiteral("List the accounts and exit.")},
    });
    parser.process(app);

    const QString dataDir = parser.isSet(QStringLiteral("data"))
                                ? parser.value(QStringLiteral("data"))
                                : defaultDataDir();
    const QString dbPath = parser.isSet(QStringLiteral("db")) ? parser.value(QStringLiteral("db"))
                                                              : defaultDatabasePath();

    std::string error;
    auto store = AccountStore::open(dbPath.toStdString(), &error);
    if (!store) {
        printError(QString::fromStdString(error));
        return 1;
    }

    const bool accountCommand =
        parser.isSet(QStringLiteral("add-account")) ||
        parser.isSet(QStringLiteral("set-password")) || parser.isSet(QStringLiteral("block")) ||
        parser.isSet(QStringLiteral("unblock")) || parser.isSet(QStringLiteral("list-accounts"));
    if (accountCommand) {
        return runAccountCommands(parser, *store);
    }

    const QHostAddress address(parser.value(QStringLiteral("listen")));
    const auto loginPort = portValue(parser.value(QStringLiteral("login-port")));
    const auto webPort = portValue(parser.value(QStringLiteral("web-port")));
    bool probeOk = false;
    const int probeSeconds = parser.value(QStringLiteral("probe-seconds")).toInt(&probeOk);
    if (address.isNull() || !loginPort || !webPort || !probeOk || probeSeconds < 0) {
        printError(QStringLiteral("invalid --listen, port or --probe-seconds value"));
        return 2;
    }
    bool timeoutOk = false;
    bool connectionsOk = false;
    bool perAddressOk = false;
    const double idleSeconds = parser.value(QStringLiteral("idle-timeout")).toDouble(&timeoutOk);
    HttpLimits webLimits;
    webLimits.connections =
        parser.value(QStringLiteral("web-connections")).toInt(&connectionsOk);
    webLimits.connectionsPerAddress =
        parser.value(QStringLiteral("web-connections-per-address")).toInt(&perAddressOk);
    if (!timeoutOk || !(idleSeconds >= 0.01 && idleSeconds <= 3600) || !connectionsOk ||
        !perAddressOk || webLimits.connections < 1 || webLimits.connectionsPerAddress < 1) {
        printError(QStringLiteral("invalid --idle-timeout (0.01 to 3600 seconds) or connection "
                                  "count (at least 1)"));
        return 2;
    }
    webLimits.timeout = std::chrono::milliseconds(std::lround(idleSeconds * 1000));
    ControlServer::Limits controlLimits;
    controlLimits.timeout = webLimits.timeout;

    auto stocks = StockList::load((dataDir + QStringLiteral("/stocks.csv")).toStdString(), &error);
    if (!stocks) {
        printError(QString::fromStdString(error));
        return 1;
    }
    MarketData market(dataDir.toStdString(), *stocks);
    LivePrices livePrices([] { return QDateTime::currentMSecsSinceEpoch(); });
    market.setLivePrices(&livePrices);
    const LogSink log = stdoutLog();
    if (stocks->skippedLines() > 0) {
        log(QStringLiteral("stocks.csv: %1 malformed line(s) skipped").arg(stocks->skippedLines()));
    }
    for (const std::string& warning : market.loadWarnings()) {
        log(QString::fromStdString(warning));
    }

    if (parser.isSet(QStringLiteral("demo-account"))) {
        const auto cred = credentialsFrom(QStringLiteral("demo-account"),
                                          parser.value(QStringLiteral("demo-account")));
        if (!cred) {
            return 2;
        }
        const std::string name = cred->first.toStdString();
        const auto added = store->addAccount(name, cred->second.toStdString());
        const bool ready =
            added == AccountStore::AddResult::Added ||
            (added == AccountStore::AddResult::NameTaken &&
             store->setDigest(name, cred->second.toStdString()) && store->setBlocked(name, false));
        if (!ready) {
            printError(QString::fromStdString(store->lastError()));
            return 1;
        }
        log(QStringLiteral("demo account \"%1\" ready").arg(cred->first));
    }

    SessionTable sessions;
    LoginServer login(*store, sessions, log);
    QString listenError;
    if (!login.listen(address, *loginPort, &listenError)) {
        printError(listenError);
        return 1;
    }
    login.setProbeInterval(probeSeconds);

    const rlim_t fileLimit = fitConnectionCaps(webLimits, controlLimits, log);
    WebServer web(*store, sessions, market, *stocks, log);
    web.setLimits(webLimits);
    web.setPackagePath(parser.isSet(QStringLiteral("package"))
                           ? parser.value(QStringLiteral("package"))
                           : dataDir + QStringLiteral("/Qelvix.exe"));
    web.setLoginPort(login.port());
    const quint16 actualWebPort = web.start(address, *webPort, &listenError);
    if (actualWebPort == 0) {
        printError(listenError);
        return 1;
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [&] {
            char byte;
            [[maybe_unused]] const auto got = ::read(signalPipe[0], &byte, 1);
            log(QStringLiteral("signal received, stopping"));
            QCoreApplication::quit();
        });
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
    }
    std::signal(SIGTTIN, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);

    OperatorConsole console(login, *store, sessions, log);
    console.setLivePrices(&livePrices);
    QObject::connect(&console, &OperatorConsole::quitRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    ControlServer control(console, log);
    control.setLimits(controlLimits);
    const QString controlPath = parser.isSet(QStringLiteral("control"))
                                    ? parser.value(QStringLiteral("control"))
                                    : QString::fromUtf8(kDefaultControlSocket);
    if (controlPath != QLatin1String("none")) {
        QString controlError;
        if (control.listen(controlPath, &controlError)) {
            log(QStringLiteral("operator commands on %1 (tallyro-service ctl; %2)")
                    .arg(controlPath, control.groupMayConnect()
                                          ? QStringLiteral("its user and group may connect")
                                          : QStringLiteral("only its user may connect")));
        } else if (parser.isSet(QStringLiteral("control"))) {
            printError(controlError);
            return 1;
        } else if (QFileInfo(controlPath).dir().exists()) {
            // The default place exists but is not ours to use; the console still is.
            log(controlError);
        }
    }
    log(QStringLiteral("tallyro-service ready: login udp %1:%2, web http://%1:%3/ "
                       "(data %4, database %5, %6 stocks, probes every %7 s)")
            .arg(address.toString(), QString::number(login.port()), QString::number(actualWebPort),
                 QDir::cleanPath(dataDir), QDir::cleanPath(dbPath),
                 QString::number(stocks->entries().size()), QString::number(probeSeconds)));
    log(QStringLiteral("limits: %1 web connections, %2 per address; request line and header "
                       "fields %3 bytes each, form bodies %4 bytes; %5 ms to send a request; "
                       "open-file limit %6")
            .arg(webLimits.connections)
            .arg(webLimits.connectionsPerAddress)
            .arg(webLimits.head.requestLine)
            .arg(webLimits.head.body)
            .arg(webLimits.timeout.count())
            .arg(fileLimit));
    console.startReadingStdin();

    const int rc = QCoreApplication::exec();
    log(QStringLiteral("tallyro-service stopped"));
    return rc;
}
