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
#include "qt/analysis_browser.h"
#include "qt/form_view.h"
#include "qt/qt_platform.h"
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

void withoutSandboxNotice(QtMsgType type, const QMessageLogContext& context,
                          const QString& message) {
    if (message == QLatin1String("Sandboxing disabled by user."))
        return;
    if (previousMessageHandler)
        previousMessageHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qUtf8Printable(qFormatLogMessage(type, context, message)));
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
    }
    // The window places itself in absolute screen coordinates, which native
    // Wayland does not allow: use X11 (XWayland) unless the user chose otherwise.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") &&
        qEnvironmentVariableIsSet("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    // The web views' engine is loaded later, from a library; it needs shared
    // OpenGL contexts, which can only be asked for before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // A window that gains a web view switches to composing through OpenGL, and
    // Qt recreates its native window for that: the user would see the window
    // blink shortly after start. Composing that way from the start avoids it.
    // Platforms without a screen (offscreen, minimal) have no OpenGL to compose with.
    const QByteArray platformName = qgetenv("QT_QPA_PLATFORM");
    const bool headless =
        platformName.startsWith("offscreen") || platformName.startsWith("minimal");
    if (!qEnvironmentVariableIsSet("QT_WIDGETS_RHI") && !headless)
        qputenv("QT_WIDGETS_RHI", "1");
    // The browser engine's sandbox cannot work for root and ends the whole
    // process instead; run as root, the pages go without it.
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        // The engine then says so on every start; it is the program's own choice.
        if (quiet)
            previousMessageHandler = qInstallMessageHandler(withoutSandboxNotice);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tallyro"));
    QApplication::setOrganizationName(QStringLiteral("Tallyro"));
    // Docks and task switchers match the window to its menu entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tallyro.Tallyro"));
    // The tray icon keeps the program alive while its window is hidden.
    QApplication::setQuitOnLastWindowClosed(false);

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

    qt::QtWindowSystem windows;
    qt::QtTimers timers;
    qt::QtScreen screen;
    qt::QtUdp link;
    qt::QtShell shell;
    qt::QtTextMeasure measure;
    qt::QtProcess process;
    qt::QtAnalysisBrowser browser;
    qt::QtTray tray(windows);

    platform::Platform platform{timers,  screen,  link,    shell,  tray,
                                measure, windows, process, browser};
    const app::ServerAddresses addresses = app::resolveServerAddresses(
        app::Deployment{}, app::serverSection(files.settings), options.addresses);
    for (const std::string& problem : addresses.problems)
        std::fprintf(stderr, "tallyro: %s\n", problem.c_str());
    app::FormLogin form(platform, addresses.deployment, files);
    windows.setDispatch([&form](app::Event& e) { form.dispatch(e); });
    windows.setWheelTarget(&form.form().window());
    if (!form.start())
        return 1;
    return QApplication::exec();
}
