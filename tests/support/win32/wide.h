// UTF-8 and UTF-16 for the Win32 halves of the test helpers, which stay
// apart from the code they test.
#pragma once

#include <windows.h>

#include <string>

namespace talvek::test {

inline std::wstring wide(const std::string& text) {
  std::wstring out(text.size(), L'\0');
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      out.data(), static_cast<int>(out.size()));
  out.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return out;
}

inline std::string narrow(const std::wstring& text) {
  std::string out(text.size() * 3, '\0');
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      out.data(), static_cast<int>(out.size()), nullptr, nullptr);
  out.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return out;
}

}  // namespace talvek::test
