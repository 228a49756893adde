#pragma once

#include <functional>
#include <string>

#include <gtest/gtest.h>
#include <X11/Xlib.h>

#include "game_process.h"
#include "picture.h"

// What a user and a window manager do to the game, all through the X
// server: find its window, type keys, press the close box, look at the
// screen. Every wait polls and gives up after its limit.

// The title the game gives its window.
extern const char *const gameWindowTitle;

// A viewable window with this title, made by this game process (or one
// that does not say which process made it), searched through the whole
// tree from the root; None when there is none.
Window FindWindowTitled(Display *display, const GameProcess &game, const std::string &title);
// The same for the game's own title.
Window FindGameWindow(Display *display, const GameProcess &game);
// Waits until FindGameWindow finds a window that accept (if given) takes;
// None after timeoutMs or once the game has ended.
Window WaitForGameWindow(Display *display, GameProcess &game, int timeoutMs,
                         const std::function<bool(Window)> &accept = {});
// Asks the server to report when the window is unmapped or destroyed.
void WatchWindow(Display *display, Window window);
// After WatchWindow: waits until the window has been unmapped or destroyed.
bool WaitForWindowGone(Display *display, Window window, int timeoutMs);
// Waits until window (or a window inside it) has the keyboard focus, so a
// key sent now reaches it; false at the timeout.
bool WaitForFocus(Display *display, Window window, int timeoutMs);
// The mouse pointer is hidden where it stands (the middle of the screen,
// over the game): the game hides it in full screen only.
bool PointerHidden(Display *display);
// The window takes WM_DELETE_WINDOW, so a window manager's close box asks
// it to close instead of killing its client.
bool AcceptsDeleteWindow(Display *display, Window window);
// What a window manager sends when the close box is clicked.
void SendDeleteWindow(Display *display, Window window);

// Presses F1 and waits for the game's window to go and a new one to show,
// full screen (the pointer hidden) or not as wanted; None when it does not.
Window SwitchWithF1(Display *display, GameProcess &game, Window window, bool fullscreen,
                    int timeoutMs);
// The same, the new window told by isNew. withoutAutoRepeat: the server's
// auto-repeat is off while F1 is held, for a game that takes longer to
// switch than the repeat's delay (each repeat would switch again).
Window SwitchWithF1Until(Display *display, GameProcess &game, Window window,
                         const std::function<bool(Window)> &isNew, int timeoutMs,
                         bool withoutAutoRepeat = false);
// Escape, held until the game is gone (a press and release seen in one
// turn of the message loop would leave no trace in the key state): it must
// end by itself with exit code 0.
::testing::AssertionResult EndsOnEscape(Display *display, GameProcess &game, int timeoutMs);
// What a pager or task bar asks of a window manager (_NET_ACTIVE_WINDOW):
// show this window, raise it and give it the focus.
void ActivateWindow(Display *display, Window window);
// The ICCCM state a window manager gives a client window: NormalState,
// IconicState, or WithdrawnState when it has none.
long WindowState(Display *display, Window window);
// Waits until the window manager has given the window this state.
bool WaitForWindowState(Display *display, Window window, long state, int timeoutMs);

void PressKey(Display *display, KeySym key);
void ReleaseKey(Display *display, KeySym key);
// Waits until the screen has changed frames times: the game has drawn at
// least that many frames. False after timeoutMs.
bool WaitForFrames(Display *display, int frames, int timeoutMs);
// What read gives once it shows the whole 4:3 picture, a couple of frames
// drawn between reads, or its last read when the time is up: the star
// field is random and moving, and one picture may leave a band along an
// edge that no star lights.
Picture ReadFourByThree(Display *display, const std::function<Picture()> &read, int timeoutMs);
// Waits until the screen has not changed for stillMs; false when it kept
// changing for timeoutMs.
bool WaitForStillScreen(Display *display, int stillMs, int timeoutMs);
// Holds a key down while the game draws frames frames, so that it sees the
// key in its state for more than one frame, then lets it go.
bool HoldKey(Display *display, KeySym key, int frames, int timeoutMs);

// The whole screen as the X server shows it (XGetImage of the root).
Picture ReadScreen(Display *display);
// What a window holds (XGetImage of the window): under a rootless XWayland
// the root holds nothing, the game's window its picture.
Picture ReadWindow(Display *display, Window window);
