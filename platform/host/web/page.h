// The page side of the web host: small JavaScript functions
// (library_zentrick.js) that the host's driver calls. The page queues what
// the browser reports (pointers, keys, motion, visibility, size) and the
// driver takes it out at the start of each turn of the loop; the page calls
// into the program only to run a turn (zt_page_turn). Nothing else of the
// driver knows the browser: a native build links these to a page of its own
// (the driver's tests).
#pragma once

#include <cstdint>

extern "C" {

// Installs the page's listeners and canvas. Call once, at boot.
void zt_page_start(int rehearse);
// Copies the page's URL query ("?..."), NUL-terminated, into `buffer` of
// `size` bytes as far as it fits; returns the query's whole length in
// bytes, without the NUL (ask with size 0 first).
int zt_page_query(char* buffer, int size);
// A line on the browser's console: level 0 info, 1 warning, 2 error.
void zt_page_log(int level, const char* text);
// performance.now(): for the start-up, before the first turn says the time.
double zt_page_now();
// The page runs the program's loop from now on: zt_page_turn at once, then
// again when an event is queued or the deadline it returned has come on the
// platform's clock (whole ms of performance.now(), so that it wakes when a
// timer the platform computed is due, not a hair before).
void zt_page_loop();
// One turn of the program's loop, called by the page (WebHost::turn);
// `eventsQueued` is nonzero when zt_page_next_event has something to give;
// `at` is the turn's time (performance.now()). Returns the next turn's
// deadline (-1: none, below: the loop has ended).
double zt_page_turn(int eventsQueued, double at);
// Takes the oldest queued event into `fields` (8 numbers); returns its kind
// (a PageEvent), or 0 when none is queued. The sensors' events (motion and
// orientation, every one, in the order they came) follow the queue; they
// wake nobody.
int zt_page_next_event(double* fields);
// The page's size in CSS pixels and the device pixel ratio.
void zt_page_size(double* fields);
// Places the canvas at (x, y, width, height) CSS pixels.
void zt_page_layout(int x, int y, int width, int height);
// Shows a 480x720 frame of RGBA bytes, of which only the rectangle at
// (x, y, width, height) changed since the last (empty: nothing did; the
// frame still counts as shown), `lowered` screen pixels below its place
// (the window sliding in).
void zt_page_present(const std::uint8_t* rgba, int x, int y, int width, int height, int lowered);
// The rehearsal overlay's lines, joined with newlines, as they were last
// drawn: window.zentrick.page.rehearsal, for tests and for a look from the
// browser's console.
void zt_page_rehearsal_lines(const char* text);
}

namespace zt::web {

// `at`: the event's own time (event.timeStamp), ms on performance.now()'s
// clock, earlier than the turn that takes it on a loaded page.
enum PageEvent {
    kPointerDown = 1, // id, button (-1: none changed), x, y, buttons held, at
    kPointerMove = 2,
    kPointerUp = 3,
    kPointerCancel = 4,
    kKey = 5,          // key (0 up, 1 down, 2 left, 3 right, 4 F), down
    kMotion = 6,       // x, y, z in m/s^2 (NaN: none), at
    kActive = 7,       // 1 visible and focused, 0 not
    kResize = 8,       // (read zt_page_size)
    kPermission = 9,   // 0 unknown, 1 ask, 2 allowed, 3 denied
    kPageStatus = 10,  // wake lock (a WakeLockState), installed (0 or 1)
    kOrientation = 11, // beta, gamma in degrees (NaN: none), at
};

} // namespace zt::web
