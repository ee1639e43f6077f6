#include "platform/win32/wide_text.h"

#include <windows.h>

namespace talvek {

std::wstring wideFromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string utf8FromWide(const wchar_t* text, size_t length) {
  if (length == 0) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
  std::string narrow(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), narrow.data(), size, nullptr,
                        nullptr);
  return narrow;
}

std::string utf8FromWide(const std::wstring& text) {
  return utf8FromWide(text.data(), text.size());
}

std::wstring widePath(const std::string& path) {
  std::wstring wide = wideFromUtf8(path);
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  const bool drive = wide.size() >= 3 && wide[1] == L':' && wide[2] == L'\\';
  const bool unc = wide.size() >= 2 && wide[0] == L'\\' && wide[1] == L'\\';
  if (wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  if (drive) return L"\\\\?\\" + wide;
  if (unc) return L"\\\\?\\UNC\\" + wide.substr(2);
  return wide;
}

}  // namespace talvek
