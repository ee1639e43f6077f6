// The About box, IDD_ABOUTBOX: the picture above a line and OK, centred over
// the main dialog.
#pragma once

#include <windows.h>

namespace talvek {

// Runs the box modally over `owner` until OK, Enter, Esc or the close box.
void runAboutBox(HINSTANCE module, HWND owner);

// The same box without its own loop, shown, for a caller that pumps the
// messages and destroys it (tests look at it so).
HWND createAboutBox(HINSTANCE module, HWND owner);

// The picture's control in a box (the template gives it no identifier).
HWND aboutPicture(HWND box);

}  // namespace talvek
