#pragma once

// X errors caught instead of ending the program. Xlib's default handler
// ends the program at the first protocol error, with Xlib's words instead
// of the game's and none of its release steps; while a trap lives, errors
// are counted instead. The handler is Xlib's, one for the whole process:
// a trap put back the one it found when it goes. No Xlib in this header,
// so that code with no X of its own can hold one around SDL's calls.

class XErrorTrap {
public:
    XErrorTrap();
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap &) = delete;
    XErrorTrap &operator=(const XErrorTrap &) = delete;

    // An error came since the trap was set or last cleared. Errors of
    // requests still on their way count once the connection is synced.
    bool Seen() const;
    // Forgets the errors counted so far.
    void Clear();

private:
    void *previous; // the handler found, put back on the way out
};
