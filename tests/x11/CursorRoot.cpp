// The cursor an X server shows, compared with an Xcursor file's image:
//
//   vexil_cursor_root FILE SIZE
//
// reads the cursor of the display's pointer (XFixesGetCursorImage; over the bare root window
// that is the root window's cursor) and the image of FILE for SIZE as libXcursor loads it.
// Exit status 0 when both are the same picture with the same hotspot, 1 when they differ (what
// differs on stderr), 77 without a display or the XFIXES extension.
#include <X11/Xcursor/Xcursor.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: vexil_cursor_root FILE SIZE\n", stderr);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fputs("vexil_cursor_root: no display\n", stderr);
        return 77;
    }
    int event = 0, error = 0;
    if (!XFixesQueryExtension(display, &event, &error)) {
        std::fputs("vexil_cursor_root: no XFIXES extension\n", stderr);
        return 77;
    }
    XcursorImage* wanted = XcursorFilenameLoadImage(argv[1], std::atoi(argv[2]));
    if (!wanted) {
        std::fprintf(stderr, "vexil_cursor_root: %s: no image libXcursor loads\n", argv[1]);
        return 1;
    }
    XFixesCursorImage* shown = XFixesGetCursorImage(display);
    if (!shown) {
        std::fputs("vexil_cursor_root: the server gives no cursor image\n", stderr);
        return 1;
    }
    int status = 0;
    if (shown->width != wanted->width || shown->height != wanted->height || shown->xhot != wanted->xhot ||
        shown->yhot != wanted->yhot) {
        std::fprintf(stderr, "vexil_cursor_root: shown %ux%u at %u,%u; the file's %ux%u at %u,%u\n", shown->width, shown->height,
                     shown->xhot, shown->yhot, wanted->width, wanted->height, wanted->xhot, wanted->yhot);
        status = 1;
    } else {
        // XFixes gives each 32-bit ARGB pixel in a long.
        for (unsigned i = 0; i < wanted->width * wanted->height; ++i) {
            const auto pixel = static_cast<XcursorPixel>(shown->pixels[i] & 0xFFFFFFFFu);
            if (pixel != wanted->pixels[i]) {
                std::fprintf(stderr, "vexil_cursor_root: pixel %u,%u shown %08X, the file's %08X\n", i % wanted->width, i / wanted->width,
                             pixel, wanted->pixels[i]);
                status = 1;
                break;
            }
        }
    }
    XFree(shown);
    XcursorImageDestroy(wanted);
    XCloseDisplay(display);
    return status;
}
