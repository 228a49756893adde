// The page's backend state and its message queue, which the page's events,
// the pads and the canvas's size all feed.

#include "platform/web/web_backend.h"

WebPlatform webPlatform;

void Web_Post(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    webPlatform.pending.push_back(Message{message, wParam, lParam});
}
