// Enter to result page against the local service: the real main window on the
// offscreen platform, signed in to a tallyro-service started for the run,
// requests a stock with Enter in the search box; the time runs until the
// result page is shown and applied to the widgets.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "app/form_login.h"
#include "fake_platform.h"
#include "qt/form_view.h"
#include "qt/qt_platform.h"
#include "qt/redirect_browser.h"
#include "test_database.h"

namespace {

using namespace tallyro;

bool waitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

void BM_EnterToResultPage(benchmark::State& state) {
    QTemporaryDir dir;
    QProcess service;
    service.setProcessChannelMode(QProcess::MergedChannels);
    service.start(QStringLiteral(TALLYRO_SERVICE_BINARY),
                  {"--login-port", "0", "--web-port", "0", "--db", dir.filePath("accounts.db"),
                   "--demo-account", "demo:demo123"});
    QString log;
    QRegularExpressionMatch ready;
    const QRegularExpression readyLine(
        R"(login udp 127\.0\.0\.1:(\d+), web http://127\.0\.0\.1:(\d+)/)");
    if (!waitUntil(
            [&] {
                log += QString::fromUtf8(service.readAll());
                ready = readyLine.match(log);
                return ready.hasMatch();
            },
            10000)) {
        state.SkipWithError("tallyro-service did not start");
        return;
    }
    const context::Deployment deployment{"127.0.0.1",
                                         static_cast<std::uint16_t>(ready.captured(1).toUInt()),
                                         "http://127.0.0.1:" + ready.captured(2).toStdString()};

    qt::QtWindowSystem windows;
    qt::QtTimers timers;
    test::FakeScreen screen;
    qt::QtUdp link;
    test::FakeShell shell;
    test::FakeTray tray;
    qt::QtTextMeasure measure;
    test::FakeProcess process;
    qt::RedirectBrowser browser;
    test::FakeGlobalKeys keys;
    test::VirtualClock wallClock;
    test::FakeFetcher fetcher;
    test::FakeNotifier notifier;
    platform::Platform platform{timers,  screen,  link, shell,     tray,    measure, windows,
                                process, browser, keys, wallClock, fetcher, notifier};
    const std::filesystem::path folder = dir.path().toStdString();
    app::FormLogin form(platform, deployment,
                        {folder / "config.ini", test::copyBuiltDatabase(folder)});
    windows.setDispatch([&form](ui::Event& e) { form.dispatch(e); });
    form.start();
    auto send = [&form](ui::Element& target, ui::EventKind kind, std::int16_t key = 0,
                        std::string text = {}) {
        ui::Event e{&target, kind};
        e.key = key;
        e.text = std::move(text);
        form.dispatch(e);
    };
    send(form.el("UserName_Txt"), ui::EventKind::UserText, 0, "demo");
    send(form.el("PassWord_Txt"), ui::EventKind::UserText, 0, "demo123");
    send(form.el("Login_Bot"), ui::EventKind::Click);
    if (!waitUntil([&] { return form.el("Frame_Search").visible(); }, 5000)) {
        state.SkipWithError("sign-in failed");
        return;
    }
    ui::Element& box = form.el("SearchForm_Text");
    send(box, ui::EventKind::GotFocus);
    send(box, ui::EventKind::UserText, 0, "sh600519");
    send(box, ui::EventKind::KeyDown, 40);
    const ui::Element& results = form.el("Frame_results");
    for (auto _ : state) {
        // From the search page: Enter on the highlighted, complete code.
        form.pages().ShowPage(pages::kSearchMainPage);
        QElapsedTimer t;
        t.start();
        send(box, ui::EventKind::KeyPress, ui::kKeyEnter);
        if (!waitUntil([&] { return results.visible(); }, 5000)) {
            state.SkipWithError("no result page");
            break;
        }
        QCoreApplication::processEvents();  // the result page reaches the screen
        state.SetIterationTime(static_cast<double>(t.nsecsElapsed()) / 1e9);
    }
    service.terminate();
    service.waitForFinished(3000);
}

BENCHMARK(BM_EnterToResultPage)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(30)
    ->Repetitions(5);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
