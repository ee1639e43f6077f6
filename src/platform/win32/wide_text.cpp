#include "platform/win32/wide_text.h"

#include <windows.h>

namespace talvek {

std::wstring wideFromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int size =
      ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
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
  if (wide.empty() || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  // The long form takes every name literally: "." and "..", doubled
  // separators and relative paths are resolved first, as the system would.
  const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  const DWORD length = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return wide;
  full.resize(length);
  const bool drive = full.size() >= 3 && full[1] == L':' && full[2] == L'\\';
  const bool unc =
      full.size() >= 2 && full[0] == L'\\' && full[1] == L'\\' && full.rfind(L"\\\\.\\", 0) != 0;
  if (drive) return L"\\\\?\\" + full;
  if (unc) return L"\\\\?\\UNC\\" + full.substr(2);
  // A device ("\\.\CON"): as the system named it.
  return full;
}

std::string absolutePathOf(const std::string& path) {
  const std::wstring wide = widePath(path);
  if (wide.rfind(L"\\\\?\\UNC\\", 0) == 0) return "\\\\" + utf8FromWide(wide.substr(8));
  if (wide.rfind(L"\\\\?\\", 0) == 0) return utf8FromWide(wide.substr(4));
  return wide.empty() ? path : utf8FromWide(wide);
}

}  // namespace talvek
