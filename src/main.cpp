// Tallyro: creates the application, the Qt platform and the main window, and
// runs the event loop.
#include <unistd.h>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <cstdio>
#include <optional>
#include <string>
#include <variant>

#include "app/form_login.h"
#include "app/server_addresses.h"
#include "qt/caret_rest.h"
#include "qt/form_view.h"
#include "qt/qt_platform.h"
#include "qt/redirect_browser.h"
#include "qt/watch_services.h"
#include "qt/x11_global_keys.h"
#include "session/login_exchange.h"

namespace {

struct Options {
    tallyro::app::ServerAddressTexts addresses;
    bool verbose = false;
};

std::optional<std::string> given(const QCommandLineParser& parser,
                                 const QCommandLineOption& option) {
    if (!parser.isSet(option))
        return std::nullopt;
    return parser.value(option).toStdString();
}

// The command line, read before anything of the window exists: --help and
// --version answer without a display. Gives the exit code when the program
// ends here.
std::variant<Options, int> readCommandLine(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Tallyro: stock analysis for the Shanghai and Shenzhen markets.\n"
                       "The server options override the [Server] section of config.ini\n"
                       "(LoginHost, LoginPort, WebBase), which overrides the built-in addresses."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption loginHost(
        QStringLiteral("login-host"),
        QStringLiteral("IPv4 address of the login server (built in: %1).")
            .arg(QStringLiteral(TALLYRO_LOGIN_HOST)),
        QStringLiteral("address"));
    const QCommandLineOption loginPort(
        QStringLiteral("login-port"),
        QStringLiteral("UDP port of the login server (built in: %1).").arg(TALLYRO_LOGIN_PORT),
        QStringLiteral("port"));
    const QCommandLineOption webBase(
        QStringLiteral("web-base"),
        QStringLiteral("http:// or https:// address of the web server, without a path "
                       "(built in: %1).")
            .arg(QStringLiteral(TALLYRO_WEB_BASE)),
        QStringLiteral("url"));
    const QCommandLineOption verbose(
        QStringLiteral("verbose"),
        QStringLiteral("Show the toolkit's and the browser engine's own messages."));
    parser.addOptions({help, version, loginHost, loginPort, webBase, verbose});
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "tallyro: %s\nTry 'tallyro --help'.\n",
                     qUtf8Printable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(help)) {
        // Without an application object the parser does not know the program's name.
        QString text = parser.helpText();
        text.replace(QStringLiteral("<executable_name>"), QStringLiteral("tallyro"));
        std::fputs(qUtf8Printable(text), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("tallyro %s\n", tallyro::session::kClientVersion);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "tallyro: unexpected argument \"%s\"\nTry 'tallyro --help'.\n",
                     qUtf8Printable(parser.positionalArguments().constFirst()));
        return 2;
    }
    return Options{{given(parser, loginHost), given(parser, loginPort), given(parser, webBase)},
                   parser.isSet(verbose)};
}

QtMessageHandler previousMessageHandler = nullptr;
// X11 is tried first on a Wayland desktop; where it cannot be reached, the
// toolkit's report of that failure is no news (the client says what it means).
bool x11TriedFirst = false;

// What the browser engine says on every start about choices the program made
// on purpose: no sandbox when run as root, and pages drawn without OpenGL.
bool isNoticeOfOwnChoice(const QString& message) {
    const QString line = message.trimmed();
    if (x11TriedFirst &&
        (line == QLatin1String("could not connect to display") ||
         line.startsWith(QLatin1String("Could not load the Qt platform plugin \"xcb\"")))) {
        return true;
    }
    return line == QLatin1String("Sandboxing disabled by user.") ||
           line == QLatin1String("No suitable graphics backend found") ||
           line.startsWith(QLatin1String("Qt WebEngine seems to be initialized from a plugin."));
}

void withoutOwnChoiceNotices(QtMsgType type, const QMessageLogContext& context,
                             const QString& message) {
    if (isNoticeOfOwnChoice(message))
        return;
    if (previousMessageHandler)
        previousMessageHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qUtf8Printable(qFormatLogMessage(type, context, message)));
}

// Off X11 a window cannot place itself: the user hears once what that costs.
// The headless platforms show no window to anyone.
void sayWhatNeedsX11(const QString& platform) {
    if (platform == QLatin1String("xcb") || platform == QLatin1String("offscreen") ||
        platform == QLatin1String("minimal")) {
        return;
    }
    std::fprintf(stderr,
                 "tallyro: running on %s without X11: the window cannot be placed where it was, "
                 "docked at a screen edge, slid out of view or kept above other windows, and "
                 "there is no boss key\n",
                 qUtf8Printable(platform));
}

}  // namespace

int main(int argc, char* argv[]) {
    const auto commandLine = readCommandLine(argc, argv);
    if (const int* exitCode = std::get_if<int>(&commandLine))
        return *exitCode;
    const Options& options = std::get<Options>(commandLine);
    // The browser engine describes its set-up at length on every start; that and
    // the toolkit's other chatter is shown with --verbose, or as QT_LOGGING_RULES
    // asks. Warnings and the program's own lines are always shown.
    const bool quiet = !options.verbose && !qEnvironmentVariableIsSet("QT_LOGGING_RULES");
    if (quiet) {
        QLoggingCategory::setFilterRules(
            QStringLiteral("qt.webenginecontext.debug=false\nqt.webenginecontext.info=false"));
        previousMessageHandler = qInstallMessageHandler(withoutOwnChoiceNotices);
    }
    // The window places itself in absolute screen coordinates, which native
    // Wayland does not allow: use X11 (XWayland) unless the user chose otherwise,
    // and native Wayland only where X11 cannot be reached.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") &&
        qEnvironmentVariableIsSet("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb;wayland");
        x11TriedFirst = true;
    }
    // The web views draw through Qt Quick's software renderer: a window that gains
    // an OpenGL-drawn view has its native window recreated by Qt, which the user
    // would see as a blink shortly after start, and asking for OpenGL up front
    // costs more start-up time than the whole rest of the window. The pages are
    // small and static, so nothing is lost by not drawing them on the GPU.
    if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
    // The engine's set-up report describes the OpenGL context shared between
    // views, and the engine crashes writing it when there is none. A start that
    // shows the report is one for diagnosis: it gets the shared context.
    if (QLoggingCategory("qt.webenginecontext").isInfoEnabled())
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The browser engine's sandbox cannot work for root and ends the whole
    // process instead; run as root, the pages go without it.
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tallyro"));
    QApplication::setOrganizationName(QStringLiteral("Tallyro"));
    // Docks and task switchers match the window to its menu entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tallyro.Tallyro"));
    // The tray icon keeps the program alive while its window is hidden.
    QApplication::setQuitOnLastWindowClosed(false);
    sayWhatNeedsX11(QGuiApplication::platformName());

    using namespace tallyro;
    const auto userDir = [](QStandardPaths::StandardLocation where) {
        return std::filesystem::path(
            (QStandardPaths::writableLocation(where) + QStringLiteral("/Tallyro")).toStdString());
    };
    const app::FileLocations files =
        app::locateFiles(QCoreApplication::applicationDirPath().toStdString(),
                         userDir(QStandardPaths::GenericConfigLocation),
                         userDir(QStandardPaths::GenericDataLocation));
    // Nothing to stop for: the program runs with its defaults and says what it cannot keep.
    if (!files.notice.empty())
        qWarning("%s", files.notice.c_str());

    int exitCode = 1;
    {
        qt::QtWindowSystem windows;
        qt::CaretRest caretRest;
        qt::QtTimers timers;
        qt::QtScreen screen;
        qt::QtUdp link;
        qt::QtShell shell;
        qt::QtTextMeasure measure;
        qt::QtProcess process;
        qt::RedirectBrowser browser;
        qt::QtTray tray(windows);
        qt::X11GlobalKeys keys;
        qt::QtWallClock wallClock;
        qt::HttpQuoteFetcher fetcher;
        qt::DesktopNotifier notifier(tray);

        platform::Platform platform{timers,  screen,  link, shell,     tray,    measure, windows,
                                    process, browser, keys, wallClock, fetcher, notifier};
        const app::ServerAddresses addresses = app::resolveServerAddresses(
            context::Deployment{}, app::serverSection(files.settings), options.addresses);
        for (const std::string& problem : addresses.problems)
            std::fprintf(stderr, "tallyro: %s\n", problem.c_str());
        app::FormLogin form(platform, addresses.deployment, files);
        windows.setDispatch([&form](ui::Event& e) { form.dispatch(e); });
        windows.setWheelTarget(&form.form().window());
        if (form.start())
            exitCode = QApplication::exec();
    }
    // The windows left with the main window, to be deleted by the event loop,
    // which has ended: they go now, and their web pages with them, before the
    // application releases the browser engine's profile on its way out.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return exitCode;
}
