// A second X client for the end-to-end tests: "window" maps a plain window that
// can take the keyboard focus; "grab" holds a passive grab of Ctrl+Alt+Z on the
// root window, as another program taking that key would. Each prints "ready"
// once done and then waits until it is killed.
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    Display* d = XOpenDisplay(nullptr);
    const std::string what = argc == 2 ? argv[1] : "";
    if (!d || (what != "window" && what != "grab"))
        return 2;
    Window root = DefaultRootWindow(d);
    if (what == "window") {
        Window w = XCreateSimpleWindow(d, root, 700, 300, 300, 200, 0, 0, 0xFFFFFF);
        XStoreName(d, w, "other program");
        XMapWindow(d, w);
    } else {
        XGrabKey(d, XKeysymToKeycode(d, XK_z), ControlMask | Mod1Mask, root, True, GrabModeAsync,
                 GrabModeAsync);
    }
    XSync(d, False);
    std::puts("ready");
    std::fflush(stdout);
    for (;;)
        pause();
}
