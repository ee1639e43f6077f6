// The registry as the system's own W functions show it, for checking what
// RegistryAccess left there without going through it.
#pragma once

#include <windows.h>

#include <string>

namespace talvek::test {

struct RawValue {
  LSTATUS result = ERROR_SUCCESS;
  DWORD type = REG_NONE;
  std::string bytes;
};

bool rawKeyExists(HKEY root, const std::string& path);
RawValue rawValue(HKEY root, const std::string& path, const std::wstring& name);
LSTATUS rawSetValue(HKEY root, const std::string& path, const std::wstring& name, DWORD type,
                    const std::string& bytes);

// The UTF-16 bytes of text, as the W functions store it; with its NUL when
// the text ends in one.
std::string utf16Bytes(const std::wstring& text);

// Wine's ntdll names itself; Windows' does not.
bool runningUnderWine();

}  // namespace talvek::test
