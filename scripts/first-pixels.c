/* first-pixels: waits until a colour shows on the X screen and prints the
 * wall-clock time (CLOCK_REALTIME, nanoseconds) when it was first seen.
 *   first-pixels RRGGBB [TIMEOUT_MS]
 * Every 2 ms it reads nine one-pixel columns across the root window (cheap
 * requests, whatever the window layout) and counts pixels within 24 of the
 * colour on each channel; 16 of them count as shown. Exits 1 on timeout.
 * Used by scripts/bench-start.sh to time any program the same way; built by
 * that script with: cc -O2 -o first-pixels first-pixels.c -lX11 */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

static long long Now(clockid_t clock)
{
    struct timespec t;
    clock_gettime(clock, &t);
    return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}

static int Near(unsigned long pixel, int r, int g, int b)
{
    const int pr = (int)((pixel >> 16) & 255), pg = (int)((pixel >> 8) & 255), pb = (int)(pixel & 255);
    return abs(pr - r) <= 24 && abs(pg - g) <= 24 && abs(pb - b) <= 24;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: first-pixels RRGGBB [TIMEOUT_MS]\n");
        return 2;
    }
    const unsigned long colour = strtoul(argv[1], NULL, 16);
    const int r = (int)((colour >> 16) & 255), g = (int)((colour >> 8) & 255), b = (int)(colour & 255);
    const long long timeout = (argc > 2 ? atoll(argv[2]) : 30000) * 1000000LL;
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "first-pixels: no display\n");
        return 2;
    }
    const Window root = DefaultRootWindow(display);
    const int width = DisplayWidth(display, DefaultScreen(display));
    const int height = DisplayHeight(display, DefaultScreen(display));
    const long long start = Now(CLOCK_MONOTONIC);
    const struct timespec pause = {0, 2000000};
    printf("ready\n");
    fflush(stdout);
    while (Now(CLOCK_MONOTONIC) - start < timeout) {
        int found = 0;
        for (int column = 1; column <= 9 && found < 16; ++column) {
            XImage* image
                = XGetImage(display, root, width * column / 10, 0, 1, (unsigned)height, AllPlanes, ZPixmap);
            if (!image)
                continue;
            for (int y = 0; y < height; ++y)
                found += Near(XGetPixel(image, 0, y), r, g, b);
            XDestroyImage(image);
        }
        if (found >= 16) {
            printf("%lld\n", Now(CLOCK_REALTIME));
            return 0;
        }
        nanosleep(&pause, NULL);
    }
    return 1;
}
