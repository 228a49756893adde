#pragma once

// The shield is up while any of these letter keys is down (virtual-key
// codes, their upper-case ASCII). The ship reads them from KeyState; the
// pad's shield buttons hold the first of them.
constexpr unsigned char shieldKeys[] = {'Z', 'X', 'C', 'V', 'B', 'N', 'M'};
