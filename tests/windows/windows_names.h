// The names that src/dialog/window_constants.h and src/settings/registry_codes.h
// share with <windows.h>, or mirror under names of their own, listed once so
// that their numbers can be compared with the system's wherever both are
// seen. X(ours, the system's).
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#define TALVEK_WINDOWS_NAMES(X)                                                              \
  X(MB_OK, MB_OK) X(MB_YESNO, MB_YESNO) X(MB_ICONHAND, MB_ICONHAND)                          \
  X(MB_ICONEXCLAMATION, MB_ICONEXCLAMATION) X(MB_ICONASTERISK, MB_ICONASTERISK)              \
  X(MB_DEFBUTTON2, MB_DEFBUTTON2) X(MB_TYPEMASK, MB_TYPEMASK) X(MB_ICONMASK, MB_ICONMASK)    \
  X(MB_DEFMASK, MB_DEFMASK) X(IDOK, IDOK) X(IDCANCEL, IDCANCEL) X(IDYES, IDYES)              \
  X(IDNO, IDNO) X(OFN_HIDEREADONLY, OFN_HIDEREADONLY) X(OFN_FILEMUSTEXIST, OFN_FILEMUSTEXIST) \
  X(HKEY_CLASSES_ROOT, HKEY_CLASSES_ROOT) X(HKEY_CURRENT_USER, HKEY_CURRENT_USER)            \
  X(HKEY_LOCAL_MACHINE, HKEY_LOCAL_MACHINE) X(REG_NONE, REG_NONE) X(REG_SZ, REG_SZ)          \
  X(REG_BINARY, REG_BINARY) X(REG_DWORD, REG_DWORD)                                          \
  X(kErrorSuccess, ERROR_SUCCESS) X(kErrorFileNotFound, ERROR_FILE_NOT_FOUND)                \
  X(kErrorAccessDenied, ERROR_ACCESS_DENIED) X(kErrorBadPathname, ERROR_BAD_PATHNAME)        \
  X(kErrorMoreData, ERROR_MORE_DATA) X(kErrorBadDb, ERROR_BADDB)                             \
  X(kErrorCantRead, ERROR_CANTREAD) X(kErrorCantWrite, ERROR_CANTWRITE)                      \
  X(kErrorUnsupportedType, ERROR_UNSUPPORTED_TYPE)

namespace talvek::test {

using NamedNumbers = std::vector<std::pair<std::string, std::uint32_t>>;

// A root key handle is made from the 32-bit number of the root, sign-extended;
// every other name is a number already.
template <typename T>
std::uint32_t numberOf(T value) {
  if constexpr (std::is_pointer_v<T>)
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(value));
  else
    return static_cast<std::uint32_t>(value);
}

// The numbers our headers give, taken where <windows.h> is not seen.
NamedNumbers ourNumbers();

}  // namespace talvek::test

#define TALVEK_OUR_NUMBER(ours, system) {#ours, ::talvek::test::numberOf(ours)},
#define TALVEK_SYSTEM_NUMBER(ours, system) {#ours, ::talvek::test::numberOf(system)},
