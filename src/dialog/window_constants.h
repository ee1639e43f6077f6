// Message-box styles and results, and file-dialog flags, with their Windows
// numbers, so every window layer and every test speaks of the same boxes.
//
// <windows.h> defines the same names as macros with the same numbers. Where
// it comes first, each name here stays its macro; where it comes after, its
// macro stands for the name from then on. Either way a name has one number,
// so write them unqualified (MB_OK, not talvek::MB_OK).
#pragma once

namespace talvek {

// Message-box buttons, icons and default button.
#ifndef MB_OK
constexpr unsigned MB_OK = 0x0;
#endif
#ifndef MB_YESNO
constexpr unsigned MB_YESNO = 0x4;
#endif
#ifndef MB_ICONHAND
constexpr unsigned MB_ICONHAND = 0x10;
#endif
#ifndef MB_ICONEXCLAMATION
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
#endif
#ifndef MB_ICONASTERISK
constexpr unsigned MB_ICONASTERISK = 0x40;
#endif
#ifndef MB_DEFBUTTON2
constexpr unsigned MB_DEFBUTTON2 = 0x100;
#endif
#ifndef MB_TYPEMASK
constexpr unsigned MB_TYPEMASK = 0xF;
#endif
#ifndef MB_ICONMASK
constexpr unsigned MB_ICONMASK = 0xF0;
#endif
#ifndef MB_DEFMASK
constexpr unsigned MB_DEFMASK = 0xF00;
#endif

// Message-box and dialog results.
#ifndef IDOK
constexpr int IDOK = 1;
#endif
#ifndef IDCANCEL
constexpr int IDCANCEL = 2;
#endif
#ifndef IDYES
constexpr int IDYES = 6;
#endif
#ifndef IDNO
constexpr int IDNO = 7;
#endif

// File-dialog flags.
#ifndef OFN_HIDEREADONLY
constexpr unsigned OFN_HIDEREADONLY = 0x4;
#endif
#ifndef OFN_FILEMUSTEXIST
constexpr unsigned OFN_FILEMUSTEXIST = 0x1000;
#endif

}  // namespace talvek
