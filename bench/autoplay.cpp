#include "autoplay.h"

#include <X11/keysym.h>
#include <X11/extensions/XTest.h>

#include "child_process.h"

#include <utility>

enum { Space, Left, Right, Up, Shield, Down };
static const char *const keyNames[6] = {"space", "left", "right", "up", "z", "down"};

bool HasXTest(Display *display)
{
    int event = 0, error = 0, major = 0, minor = 0;
    return XTestQueryExtension(display, &event, &error, &major, &minor);
}

AutoPlayer::AutoPlayer(Display *display, FILE *keyLog) : display(display), keyLog(keyLog)
{
    const KeySym keys[6] = {XK_space, XK_Left, XK_Right, XK_Up, XK_z, XK_Down};
    for (int i = 0; i < 6; ++i)
        keycodes[i] = XKeysymToKeycode(display, keys[i]);
}

AutoPlayer::AutoPlayer(KeySender send, FILE *keyLog) : send(std::move(send)), keyLog(keyLog)
{
    // The same keys by their evdev codes: space, left, right, up, z, down
    const unsigned codes[6] = {57, 105, 106, 103, 44, 108};
    for (int i = 0; i < 6; ++i)
        keycodes[i] = codes[i];
}

AutoPlayer::~AutoPlayer()
{
    ReleaseAll();
}

void AutoPlayer::Hold(int index, bool down)
{
    if (held[index] == down || keycodes[index] == 0)
        return;
    if (display)
        XTestFakeKeyEvent(display, keycodes[index], down ? True : False, CurrentTime);
    else
        send(static_cast<int>(keycodes[index]), down);
    held[index] = down;
    if (keyLog)
        std::fprintf(keyLog, "key %s %s %.0f\n", keyNames[index], down ? "down" : "up",
                     NowMs() * 1e6);
}

void AutoPlayer::Tick(long tick)
{
    // The ship fires once per press: Space has to come up between shots.
    Hold(Space, tick % 2 == 0);
    const long turnPhase = (tick / 20) % 3;
    Hold(Left, turnPhase == 0 || turnPhase == 1);
    Hold(Right, turnPhase == 2 && tick % 20 < 10);
    Hold(Up, tick % 50 < 5);
    Hold(Shield, tick % 70 >= 60);
    Hold(Down, tick % 150 == 100);
    if (display)
        XFlush(display);
}

void AutoPlayer::Spray(long tick)
{
    Hold(Left, true);
    Hold(Space, tick % 2 == 0);
    if (display)
        XFlush(display);
}

void AutoPlayer::ReleaseAll()
{
    for (int i = 0; i < 6; ++i)
        Hold(i, false);
    if (display)
        XFlush(display);
}
