// tarvix_test_xwindow: what a test does to a program's window that xdotool
// does not, as a small Xlib client of the display in $DISPLAY.
//
//   tarvix_test_xwindow close WINDOW
//       Asks the window to close the way a window manager does when the user
//       clicks its close button: a WM_PROTOCOLS client message carrying
//       WM_DELETE_WINDOW (ICCCM 4.2.8.1). The program decides what to do with
//       it; nothing is destroyed or killed, unlike `xdotool windowkill`.
//   tarvix_test_xwindow checksum WINDOW X Y WIDTH HEIGHT
//       Prints a checksum of the pixels of that part of the window, so that a
//       test can tell whether it looks as it did before.
//
// WINDOW is the window's id in decimal or 0x-hexadecimal, as xdotool prints
// it. Exits 0 on success, 1 when the display or the window fails, 2 on a
// usage error; says why on stderr.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int lastXError = 0;

int recordXError(Display *, XErrorEvent *event)
{
    lastXError = event->error_code;
    return 0;
}

int usage()
{
    std::fputs("usage: tarvix_test_xwindow close WINDOW\n"
               "       tarvix_test_xwindow checksum WINDOW X Y WIDTH HEIGHT\n",
               stderr);
    return 2;
}

bool parseNumber(const char *text, unsigned long long *value)
{
    errno = 0;
    char *end = nullptr;
    *value = std::strtoull(text, &end, 0);
    return errno == 0 && end != text && *end == '\0';
}

// Whether the window takes part in the WM_DELETE_WINDOW protocol: a client
// that does not would have to be killed by a window manager instead.
bool takesDeleteWindow(Display *display, Window window, Atom deleteWindow)
{
    Atom *list = nullptr;
    int count = 0;
    if (!XGetWMProtocols(display, window, &list, &count))
        return false;
    bool found = false;
    for (int i = 0; i < count; ++i)
        found = found || list[i] == deleteWindow;
    XFree(list);
    return found;
}

int requestClose(Display *display, Window window)
{
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    if (!takesDeleteWindow(display, window, deleteWindow)) {
        std::fprintf(stderr, "tarvix_test_xwindow: window 0x%lx does not list WM_DELETE_WINDOW in WM_PROTOCOLS\n",
                     window);
        return 1;
    }
    XClientMessageEvent message{};
    message.type = ClientMessage;
    message.window = window;
    message.message_type = protocols;
    message.format = 32;
    message.data.l[0] = long(deleteWindow);
    message.data.l[1] = CurrentTime;
    // Sent to the client itself with an empty event mask: ICCCM 4.2.8 says so.
    XSendEvent(display, window, False, NoEventMask, reinterpret_cast<XEvent *>(&message));
    XSync(display, False);
    if (lastXError) {
        std::fprintf(stderr, "tarvix_test_xwindow: sending to window 0x%lx failed (X error %d)\n", window,
                     lastXError);
        return 1;
    }
    return 0;
}

int printChecksum(Display *display, Window window, int x, int y, unsigned width, unsigned height)
{
    XImage *image = XGetImage(display, window, x, y, width, height, AllPlanes, ZPixmap);
    XSync(display, False);
    if (!image || lastXError) {
        std::fprintf(stderr, "tarvix_test_xwindow: cannot read %ux%u+%d+%d of window 0x%lx (X error %d)\n", width,
                     height, x, y, window, lastXError);
        if (image)
            XDestroyImage(image);
        return 1;
    }
    // FNV-1a over the pixel values, row by row: the padding at the end of the
    // image's rows is no part of the picture.
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned row = 0; row < height; ++row) {
        for (unsigned column = 0; column < width; ++column) {
            unsigned long pixel = XGetPixel(image, int(column), int(row));
            for (int byte = 0; byte < 4; ++byte, pixel >>= 8) {
                hash ^= pixel & 0xff;
                hash *= 0x100000001b3ULL;
            }
        }
    }
    XDestroyImage(image);
    std::printf("%016" PRIx64 "\n", hash);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return usage();
    const std::string command = argv[1];
    unsigned long long window = 0;
    if (!parseNumber(argv[2], &window) || window == 0)
        return usage();
    unsigned long long area[4] = {};
    if (command == "checksum") {
        if (argc != 7)
            return usage();
        for (int i = 0; i < 4; ++i) {
            if (!parseNumber(argv[3 + i], &area[i]) || area[i] > 32767 || (i >= 2 && area[i] == 0))
                return usage();
        }
    } else if (command != "close" || argc != 3) {
        return usage();
    }

    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "tarvix_test_xwindow: cannot open display \"%s\"\n", XDisplayName(nullptr));
        return 1;
    }
    XSetErrorHandler(recordXError);
    const int status = command == "close"
        ? requestClose(display, Window(window))
        : printChecksum(display, Window(window), int(area[0]), int(area[1]), unsigned(area[2]), unsigned(area[3]));
    XCloseDisplay(display);
    return status;
}
