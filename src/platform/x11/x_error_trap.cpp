// X errors counted instead of ending the program.

#include "platform/x11/x_error_trap.h"

#include <X11/Xlib.h>

// Xlib calls its handler with no data of ours: the count is the process's,
// as the handler is.
static int trappedErrors = 0;

static int CountXError(Display *, XErrorEvent *)
{
    trappedErrors += 1;
    return 0;
}

XErrorTrap::XErrorTrap() : previous(reinterpret_cast<void *>(XSetErrorHandler(CountXError)))
{
    trappedErrors = 0;
}

XErrorTrap::~XErrorTrap()
{
    XSetErrorHandler(reinterpret_cast<XErrorHandler>(previous));
}

bool XErrorTrap::Seen() const
{
    return trappedErrors > 0;
}

void XErrorTrap::Clear()
{
    trappedErrors = 0;
}
