// Asks an X window to close as a window manager's close button does: a
// WM_DELETE_WINDOW client message. Usage: zt_send_close WINDOW-ID
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zt_send_close WINDOW-ID\n");
        return 2;
    }
    char* end = nullptr;
    const unsigned long id = std::strtoul(argv[1], &end, 0);
    if (end == argv[1] || *end != '\0' || id == 0) {
        std::fprintf(stderr, "zt_send_close: not a window id: %s\n", argv[1]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "zt_send_close: no display\n");
        return 1;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = static_cast<Window>(id);
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, static_cast<Window>(id), False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return sent != 0 ? 0 : 1;
}
