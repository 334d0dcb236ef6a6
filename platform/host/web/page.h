// The page side of the web host: small JavaScript functions
// (library_zentrick.js) that the host calls. The page queues what the
// browser reports (pointers, keys, motion, visibility, size) and the host
// takes it out in its idle turn; nothing on the page calls into the program.
#pragma once

#include <cstdint>

extern "C" {

// Installs the page's listeners and canvas. Call once, at boot.
void zt_page_start(int rehearse);
// Copies the page's URL query ("?..."), NUL-terminated, into `buffer`;
// returns its length (longer queries are cut).
int zt_page_query(char* buffer, int size);
// A line on the browser's console: level 0 info, 1 warning, 2 error.
void zt_page_log(int level, const char* text);
// Sleeps until the page has an event queued or `wait` ms have passed on the
// platform's clock (whole ms of performance.now(); negative: no limit), so
// that it wakes when a timer the platform computed is due, not a hair
// before. Other JavaScript runs meanwhile (Asyncify).
void zt_page_wait(int wait);
// Takes the oldest queued event into `fields` (8 numbers); returns its kind
// (a PageEvent), or 0 when none is queued. The latest motion sample comes
// after the queue, once; samples do not wake zt_page_wait.
int zt_page_next_event(double* fields);
// The page's size in CSS pixels and the device pixel ratio.
void zt_page_size(double* fields);
// Places the canvas at (x, y, width, height) CSS pixels.
void zt_page_layout(int x, int y, int width, int height);
// Shows a 480x720 frame of RGBA bytes, of which only the rectangle at
// (x, y, width, height) changed since the last (empty: nothing did; the
// frame still counts as shown).
void zt_page_present(const std::uint8_t* rgba, int x, int y, int width, int height);
// Slides the canvas up from the bottom, as the phone animates the app's
// window in.
void zt_page_slide_in(int milliseconds);
}

namespace zt::web {

enum PageEvent {
    kPointerDown = 1, // id, button (-1: none changed), x, y, buttons held
    kPointerMove = 2,
    kPointerUp = 3,
    kPointerCancel = 4,
    kKey = 5,         // key (0 up, 1 down, 2 left, 3 right, 4 F), down
    kMotion = 6,      // x, y, z in m/s^2 (NaN: none)
    kActive = 7,      // 1 visible and focused, 0 not
    kResize = 8,      // (read zt_page_size)
    kPermission = 9,  // 0 unknown, 1 ask, 2 allowed, 3 denied
    kPageStatus = 10, // wake lock (a WakeLockState), installed (0 or 1)
};

} // namespace zt::web
