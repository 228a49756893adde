// The SDL backend's message boxes; their processes end with the game.

#include "platform/video.h"

#include <SDL.h>

#include "platform/process/box_processes.h"
#include "platform/process/process_hooks.h"
#include "platform/sdl/sdl_state.h"
#include "system/debug_log.h"

int Vid_MessageBox(const char *text, const char *caption, uint32_t flags)
{
    const bool question = (flags & 0x0F) == MB_YESNO;
    // The icon is a 4-bit field, not a set of bits: MB_ICONEXCLAMATION
    // contains the bit of MB_ICONSTOP.
    Uint32 icon = 0;
    switch (flags & 0xF0) {
    case MB_ICONSTOP: icon = SDL_MESSAGEBOX_ERROR; break;
    case MB_ICONEXCLAMATION: icon = SDL_MESSAGEBOX_WARNING; break;
    case MB_ICONINFORMATION: icon = SDL_MESSAGEBOX_INFORMATION; break;
    default: break;
    }
    const SDL_MessageBoxButtonData yesNo[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"},
    };
    const SDL_MessageBoxButtonData ok[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK,
         "OK"},
    };
    SDL_MessageBoxData box{};
    box.flags = icon;
    box.window = nullptr;
    box.title = caption ? caption : "";
    box.message = text ? text : "";
    box.numbuttons = question ? 2 : 1;
    box.buttons = question ? yesNo : ok;

    // A close request that came before the box would leave it waiting
    // for a click that may never come: its text goes to stderr instead.
    // So it does with no display, where SDL 3 would try a box on Wayland
    // through zenity all the same.
    int  answer = -1;
    bool shown = false;
    if (!Process_CloseRequested() && !sdl.video.noDisplay) {
        // SDL shows it in a process of its own, held while it is up
        Box_BeginWatch();
        shown = SDL_ShowMessageBox(&box, &answer) == 0;
        Box_EndWatch();
        // A box ended by a close request fails on purpose
        if (!shown && !Process_CloseRequested())
            Sdl_ReportFailure("SDL_ShowMessageBox");
        shown = shown && !Process_CloseRequested();
    }
    if (!shown) {
        // No display to show it on, or the game is closing: the user
        // still learns why
        StderrLine("%s: %s\n", box.title, box.message);
        return question ? IDNO : IDOK;
    }
    // Closed without a button: the safe answer. SDL says the same when the
    // program it runs for the box (zenity, where SDL has no box of its own:
    // Wayland, or no display at all) ended without showing it, as zenity
    // does when it cannot open a display (mutter depends on zenity, so
    // GNOME machines have it): the text goes to stderr too, so that it is
    // never lost.
    if (answer != IDYES && answer != IDNO && answer != IDOK) {
        StderrLine("%s: %s\n", box.title, box.message);
        return question ? IDNO : IDOK;
    }
    return answer;
}
