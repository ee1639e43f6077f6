// Text at the Win32 boundary: the program's strings are UTF-8, the system's
// W functions take UTF-16. Paths get the long-path prefix where they need it.
#pragma once

#include <string>

namespace talvek {

std::wstring wideFromUtf8(const std::string& text);
std::string utf8FromWide(const std::wstring& text);
std::string utf8FromWide(const wchar_t* text, size_t length);

// A path for the W functions: UTF-16, made absolute as the system would
// (relative paths, ".", "..", forward slashes), with "\\?\" before it so
// that no length limit applies. Devices ("CON", "\\.\pipe\...") stay as the
// system names them.
std::wstring widePath(const std::string& path);

// The same path as the user reads it: absolute, with backslashes, without
// the "\\?\" prefix; the path itself when the system cannot say.
std::string absolutePathOf(const std::string& path);

}  // namespace talvek
