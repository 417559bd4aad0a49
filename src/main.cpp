// Tallyro: creates the application, the Qt platform and the main window, and
// runs the event loop.
#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QStandardPaths>

#include "app/form_login.h"
#include "qt/analysis_browser.h"
#include "qt/form_view.h"
#include "qt/qt_platform.h"

int main(int argc, char* argv[]) {
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
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tallyro"));
    QApplication::setOrganizationName(QStringLiteral("Tallyro"));
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
    app::FormLogin form(platform, app::Deployment{}, files);
    windows.setDispatch([&form](app::Event& e) { form.dispatch(e); });
    windows.setWheelTarget(&form.form().window());
    if (!form.start())
        return 1;
    return QApplication::exec();
}
