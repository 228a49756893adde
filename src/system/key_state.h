#pragma once

// One flag per Windows virtual-key code: 1 while the key is down. Set and
// cleared by the window procedure; read by the frame loop and the ship.
extern unsigned char KeyState[256];
