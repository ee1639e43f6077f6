// Text at the Win32 boundary: the program's strings are UTF-8, the system's
// W functions take UTF-16. Paths get the long-path prefix where they need it.
#pragma once

#include <string>

namespace talvek {

std::wstring wideFromUtf8(const std::string& text);
std::string utf8FromWide(const std::wstring& text);
std::string utf8FromWide(const wchar_t* text, size_t length);

// A path for the W functions: UTF-16, with "\\?\" before an absolute one
// (drive or UNC) so that no length limit or name rewriting applies, and
// forward slashes turned into backslashes as that form needs.
std::wstring widePath(const std::string& path);

}  // namespace talvek
