#pragma once

#include <string>
#include <vector>

// Reads the scripted backend's record of calls and pairs everything the
// shell made with its release: class, window, device context, rendering
// context, current context, display mode and hidden cursor. A release that
// was tried and failed (injected by the test) counts as released: the
// shell did its part and forgot the handle.
//
// One line per fault, in the order found: "CreateWindow 6 never released",
// "DestroyWindow 2 released twice", "DeleteContext 9 of nothing made".
// Empty when every make has exactly one release.
std::vector<std::string> UnbalancedResources();

// The handles the last OpenGameWindow attempt made, by kind, read from the
// calls since its RegisterClass: 'C' class, 'W' window, 'D' device context,
// 'R' rendering context. Replaces each of these letters, standing alone as
// a word in text, with that handle's number ("DestroyWindow W" becomes
// "DestroyWindow 10").
std::string WithHandlesOfLastAttempt(const std::string &text);
