// Start-up to the first shown window, measured as a user starts the program:
// a fresh process of the built client, timed from just before exec until the X
// server maps its first top-level window. Needs a display (the bench script
// starts Xvfb). Each iteration ends the client with SIGTERM, so its settings
// file is never written.
#include <X11/Xlib.h>
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Waits for the first MapNotify of a child of the root window; false on timeout.
bool waitForMap(Display* display, std::chrono::steady_clock::time_point deadline) {
    const int fd = ConnectionNumber(display);
    for (;;) {
        while (XPending(display) > 0) {
            XEvent ev;
            XNextEvent(display, &ev);
            if (ev.type == MapNotify)
                return true;
        }
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        fd_set set;
        FD_ZERO(&set);
        FD_SET(fd, &set);
        timeval tv{0, 2000};
        select(fd + 1, &set, nullptr, nullptr, &tv);
    }
}

void BM_StartupToFirstWindow(benchmark::State& state) {
    const char* client = std::getenv("TALLYRO_CLIENT");
    Display* display = XOpenDisplay(nullptr);
    if (!client || !display) {
        state.SkipWithError("needs TALLYRO_CLIENT and a display");
        return;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True);
    std::vector<double> samples;
    for (auto _ : state) {
        XSync(display, True);  // drop earlier events
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = fork();
        if (pid == 0) {
            execl(client, client, static_cast<char*>(nullptr));
            _exit(127);
        }
        const bool mapped = waitForMap(display, start + std::chrono::seconds(20));
        const auto elapsed = std::chrono::steady_clock::now() - start;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        if (!mapped) {
            state.SkipWithError("the client showed no window within 20 s");
            break;
        }
        const double seconds = std::chrono::duration<double>(elapsed).count();
        samples.push_back(seconds);
        state.SetIterationTime(seconds);
        // Let the killed client's windows go before the next start.
        usleep(100000);
    }
    XCloseDisplay(display);
    if (samples.empty())
        return;
    std::sort(samples.begin(), samples.end());
    state.counters["median_ms"] = samples[samples.size() / 2] * 1000;
    state.counters["min_ms"] = samples.front() * 1000;
    state.counters["max_ms"] = samples.back() * 1000;
}

BENCHMARK(BM_StartupToFirstWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

}  // namespace

BENCHMARK_MAIN();
