#pragma once

// The fixed-function state a rendering context is set up with: swap
// control, depth, culling, blending, the lighting and the projection.

// Sets the swap interval (0 or 1); null until a context offers swap
// control, and kept once one did.
extern bool (*swapIntervalProc)(int interval);

// Everything a new rendering context needs: swap control, the fixed GL
// state, the text font and the lighting.
void SetupRenderState();
// Looks for swap control; logs once when there is none.
void InitVSync();
// Logs "SetVSyncState(true|false)" and sets the interval when it can.
void SetVSyncState(bool on);

// Fixed lighting (a dim white GL_LIGHT0, colour material) and, the first
// time only, the seven explosion lights.
void SetupLighting();

// Viewport and 45-degree projection for a client area: the 4:3 picture,
// centred, as large as it fits (math/picture_rect.h); selects model-view.
// Drawing is held inside the picture (the scissor) where bars surround it.
void ResizeViewport(int width, int height);
// Clears the colour and depth of the whole client area, bars included.
void ClearPicture();

// Sets the point size and builds the score's font again when the picture's
// scale (its pixels per pixel of the 800 x 600 game) changed since the
// context was set up; needs the context current.
void FollowPictureScale();
