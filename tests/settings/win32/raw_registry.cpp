#include "win32/raw_registry.h"

#include "platform/win32/wide_text.h"

namespace talvek::test {

bool rawKeyExists(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, wideFromUtf8(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  ::RegCloseKey(key);
  return true;
}

RawValue rawValue(HKEY root, const std::string& path, const std::wstring& name) {
  RawValue value;
  HKEY key = nullptr;
  value.result = ::RegOpenKeyExW(root, wideFromUtf8(path).c_str(), 0, KEY_READ, &key);
  if (value.result != ERROR_SUCCESS) return value;
  DWORD size = 0;
  value.result = ::RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size);
  if (value.result == ERROR_SUCCESS) {
    value.bytes.assign(size, '\0');
    value.result = ::RegQueryValueExW(key, name.c_str(), nullptr, &value.type,
                                      reinterpret_cast<BYTE*>(value.bytes.data()), &size);
    value.bytes.resize(size);
  }
  ::RegCloseKey(key);
  return value;
}

LSTATUS rawSetValue(HKEY root, const std::string& path, const std::wstring& name, DWORD type,
                    const std::string& bytes) {
  HKEY key = nullptr;
  LSTATUS result = ::RegOpenKeyExW(root, wideFromUtf8(path).c_str(), 0, KEY_WRITE, &key);
  if (result != ERROR_SUCCESS) return result;
  result = ::RegSetValueExW(key, name.c_str(), 0, type,
                            reinterpret_cast<const BYTE*>(bytes.data()),
                            static_cast<DWORD>(bytes.size()));
  ::RegCloseKey(key);
  return result;
}

std::string utf16Bytes(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

bool runningUnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace talvek::test
