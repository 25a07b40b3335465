// Waits for the X server to map a top-level window of the given name and prints the moment, in
// microseconds since the epoch, taken when the server's MapNotify arrives. Prints "ready" once it
// listens, so the caller starts the program only then. Exits 1 after the given seconds.
#include <X11/Xlib.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static long long now_us(void) {
    struct timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return (long long)t.tv_sec * 1000000 + t.tv_nsec / 1000;
}

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: map_watch NAME SECONDS\n");
        return 2;
    }
    Display *display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "map_watch: no display\n");
        return 2;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    printf("ready\n");
    fflush(stdout);
    const long long deadline = now_us() + atoll(argv[2]) * 1000000LL;
    struct pollfd fd = {ConnectionNumber(display), POLLIN, 0};
    while (now_us() < deadline) {
        if (!XPending(display)) {
            poll(&fd, 1, 100);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != MapNotify) {
            continue;
        }
        const long long when = now_us();
        char *name = NULL;
        if (XFetchName(display, event.xmap.window, &name) && name) {
            const int hit = strcmp(name, argv[1]) == 0;
            XFree(name);
            if (hit) {
                printf("%lld\n", when);
                return 0;
            }
        }
    }
    return 1;
}
