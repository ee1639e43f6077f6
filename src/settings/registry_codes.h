// Roots, value types and result codes of the settings store, with the numbers
// the Windows registry gives them, so callers and tests speak its language.
#pragma once

#include <cstdint>

namespace talvek {

enum RegistryRoot : std::uint32_t {
  HKEY_CLASSES_ROOT = 0x80000000u,
  HKEY_CURRENT_USER = 0x80000001u,
  HKEY_LOCAL_MACHINE = 0x80000002u,
};

enum RegistryType : std::uint32_t {
  REG_NONE = 0,
  REG_SZ = 1,
  REG_BINARY = 3,
  REG_DWORD = 4,
};

// A Windows system error number: 0 for success.
using RegResult = std::int32_t;

inline constexpr RegResult kErrorSuccess = 0;
// The key or value does not exist, or there is no store yet.
inline constexpr RegResult kErrorFileNotFound = 2;
// The store or its directory may not be read or written by this user.
inline constexpr RegResult kErrorAccessDenied = 5;
// A key path with an empty level (leading, trailing or doubled backslash).
inline constexpr RegResult kErrorBadPathname = 161;
// The value holds more bytes than the caller takes (a "dword" of 8 bytes).
inline constexpr RegResult kErrorMoreData = 234;
// The store is corrupt or not a database; reads give nothing until a write
// has put a fresh store in its place.
inline constexpr RegResult kErrorBadDb = 1009;
// The store could not be read: still locked after the busy timeout, I/O.
inline constexpr RegResult kErrorCantRead = 1012;
// The store could not be written: still locked after the busy timeout, I/O,
// disk full.
inline constexpr RegResult kErrorCantWrite = 1013;
// The value exists but has another type than the one asked for.
inline constexpr RegResult kErrorUnsupportedType = 1630;

}  // namespace talvek
