// The phone's screen: 480x720 pixels, portrait, origin at the top left. The
// application's window fills it, the display DC reports it, and every host
// shows and composes exactly this many pixels.
#pragma once

constexpr int SCREEN_WIDTH = 480;
constexpr int SCREEN_HEIGHT = 720;
// The shell's taskbar: a strip this tall across the top of the screen.
constexpr int TASKBAR_HEIGHT = 40;
