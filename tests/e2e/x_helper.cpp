// A second X client for the end-to-end tests: "window" maps a plain window that
// can take the keyboard focus; "grab" holds a passive grab of Ctrl+Alt+Z on the
// root window, as another program taking that key would. Each prints "ready"
// once done and then waits until it is killed.
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <cstdio>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv) {
    Display* d = XOpenDisplay(nullptr);
    if (!d || argc != 2)
        return 2;
    Window root = DefaultRootWindow(d);
    if (strcmp(argv[1], "window") == 0) {
        Window w = XCreateSimpleWindow(d, root, 700, 300, 300, 200, 0, 0, 0xFFFFFF);
        XStoreName(d, w, "other program");
        XMapWindow(d, w);
    } else if (strcmp(argv[1], "grab") == 0) {
        XGrabKey(d, XKeysymToKeycode(d, XK_z), ControlMask | Mod1Mask, root, True, GrabModeAsync,
                 GrabModeAsync);
    } else {
        return 2;
    }
    XSync(d, False);
    printf("ready\n");
    fflush(stdout);
    for (;;)
        pause();
}
