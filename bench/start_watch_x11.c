/* The X side of tools/bench-start.sh: sets the desktop's colour, types a key
 * combination through XTEST (as a keyboard would) or starts a command, and
 * times until one pixel of the screen shows the expected colour.
 *
 *   start_watch_x11 root RRGGBB
 *       Paints the root window (the desktop under Wine) RRGGBB.
 *   start_watch_x11 key COMBO X Y RRGGBB TOLERANCE TIMEOUT_MS
 *       Presses COMBO ("ctrl+alt+F9", "Escape"), then waits.
 *   start_watch_x11 run X Y RRGGBB TOLERANCE TIMEOUT_MS COMMAND [ARG...]
 *       Starts COMMAND, then waits.
 *   start_watch_x11 wait X Y RRGGBB TOLERANCE TIMEOUT_MS
 *       Only waits.
 *
 * Waiting polls pixel (X, Y) of the root window about every millisecond until
 * each of its channels is within TOLERANCE of RRGGBB. Prints one line:
 *   <start, Unix µs> <first change, ms> <match, ms> <last colour RRGGBB>
 * where the start is the moment the key went down (or the command was
 * started) and "first change" is when the pixel first differed from what it
 * showed at the start (-1 when never; the match is -1 on a timeout, which
 * also makes the exit status 1).
 *
 * Built by tools/bench-start.sh with the system compiler: cc -O2 ... -lX11
 * -l:libXtst.so.6 (the XTEST library xdotool uses; its one function is
 * declared here so that no development package is needed for it).
 */
#define _POSIX_C_SOURCE 200809L
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

int XTestFakeKeyEvent(Display* display, unsigned int keycode, Bool is_press, unsigned long delay);

static long long now_us(clockid_t clock) {
    struct timespec t;
    clock_gettime(clock, &t);
    return (long long)t.tv_sec * 1000000LL + t.tv_nsec / 1000;
}

static unsigned long pixel_at(Display* display, Window root, int x, int y) {
    XImage* image = XGetImage(display, root, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == NULL) return 0xFFFFFFFFUL;
    const unsigned long p = XGetPixel(image, 0, 0) & 0xFFFFFFUL;
    XDestroyImage(image);
    return p;
}

static int near(unsigned long a, unsigned long b, int tolerance) {
    for (int shift = 0; shift <= 16; shift += 8) {
        const int d = (int)((a >> shift) & 0xFF) - (int)((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance) return 0;
    }
    return 1;
}

/* Keys by their X names, modifiers by short ones. */
static KeySym keysym_of(const char* name) {
    if (strcmp(name, "ctrl") == 0) return XK_Control_L;
    if (strcmp(name, "alt") == 0) return XK_Alt_L;
    if (strcmp(name, "shift") == 0) return XK_Shift_L;
    if (strcmp(name, "super") == 0) return XK_Super_L;
    return XStringToKeysym(name);
}

/* Holds the combination's first keys, presses the last one and lets all go;
 * gives the moment the last key went down. */
static long long press_combo(Display* display, const char* combo) {
    unsigned int codes[8];
    int count = 0;
    char buffer[128];
    snprintf(buffer, sizeof buffer, "%s", combo);
    for (char* part = strtok(buffer, "+"); part != NULL && count < 8; part = strtok(NULL, "+")) {
        const KeySym sym = keysym_of(part);
        const KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(display, sym);
        if (code == 0) {
            fprintf(stderr, "no key for \"%s\"\n", part);
            exit(2);
        }
        codes[count++] = code;
    }
    if (count == 0) exit(2);
    for (int i = 0; i < count - 1; ++i) XTestFakeKeyEvent(display, codes[i], True, 0);
    XSync(display, False);
    const long long start = now_us(CLOCK_REALTIME);
    XTestFakeKeyEvent(display, codes[count - 1], True, 0);
    XFlush(display);
    for (int i = count - 1; i >= 0; --i) XTestFakeKeyEvent(display, codes[i], False, 0);
    XSync(display, False);
    return start;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: see the comment at the top of start_watch_x11.c\n");
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "cannot open the display\n");
        return 2;
    }
    const Window root = DefaultRootWindow(display);
    const char* mode = argv[1];

    if (strcmp(mode, "root") == 0) {
        XSetWindowBackground(display, root, strtoul(argv[2], NULL, 16));
        XClearWindow(display, root);
        XSync(display, False);
        XCloseDisplay(display);
        return 0;
    }

    int first = 2;
    const char* combo = NULL;
    if (strcmp(mode, "key") == 0) {
        combo = argv[2];
        first = 3;
    } else if (strcmp(mode, "run") != 0 && strcmp(mode, "wait") != 0) {
        fprintf(stderr, "unknown mode %s\n", mode);
        return 2;
    }
    if (argc < first + 5 || (strcmp(mode, "run") == 0 && argc < first + 6)) {
        fprintf(stderr, "missing arguments\n");
        return 2;
    }
    const int x = atoi(argv[first]);
    const int y = atoi(argv[first + 1]);
    const unsigned long wanted = strtoul(argv[first + 2], NULL, 16);
    const int tolerance = atoi(argv[first + 3]);
    const long long timeout_us = atoll(argv[first + 4]) * 1000LL;

    const unsigned long before = pixel_at(display, root, x, y);
    long long start = now_us(CLOCK_REALTIME);
    if (combo != NULL) {
        start = press_combo(display, combo);
    } else if (strcmp(mode, "run") == 0) {
        /* The command outlives this watcher; nobody waits for it here. */
        signal(SIGCHLD, SIG_IGN);
        start = now_us(CLOCK_REALTIME);
        const pid_t child = fork();
        if (child == 0) {
            execvp(argv[first + 5], argv + first + 5);
            _exit(127);
        }
        if (child < 0) return 2;
    }
    /* Intervals on the monotonic clock, the start reported in Unix time. */
    const long long origin = now_us(CLOCK_MONOTONIC) - (now_us(CLOCK_REALTIME) - start);
    long long changed = -1, matched = -1;
    unsigned long last = before;
    const struct timespec pause = {0, 1000000L};
    for (;;) {
        last = pixel_at(display, root, x, y);
        const long long elapsed = now_us(CLOCK_MONOTONIC) - origin;
        if (changed < 0 && last != before) changed = elapsed;
        if (near(last, wanted, tolerance)) {
            matched = elapsed;
            break;
        }
        if (elapsed > timeout_us) break;
        nanosleep(&pause, NULL);
    }
    printf("%lld %.1f %.1f %06lx\n", start, changed < 0 ? -1.0 : changed / 1000.0,
           matched < 0 ? -1.0 : matched / 1000.0, last);
    XCloseDisplay(display);
    return matched < 0 ? 1 : 0;
}
