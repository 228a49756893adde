#include "system/key_state.h"

unsigned char KeyState[256] = {};
