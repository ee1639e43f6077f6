// Roots, value types and result codes of the settings store, with the numbers
// the Windows registry gives them, so callers and tests speak its language.
#pragma once

#include <cstdint>

namespace talvek {

// The k names never collide with <windows.h>; the registry's own names
// below are what callers write.
enum RegistryRoot : std::uint32_t {
  kHkeyClassesRoot = 0x80000000u,
  kHkeyCurrentUser = 0x80000001u,
  kHkeyLocalMachine = 0x80000002u,
};

enum RegistryType : std::uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegBinary = 3,
  kRegDword = 4,
};

// <windows.h> defines these names as macros: the roots as the system's key
// handles, the types with the same numbers. Where it comes first, each name
// stays its macro; where it comes after, its macro stands for the name from
// then on. Code that sees both and needs our types uses the k names.
#ifndef HKEY_CLASSES_ROOT
inline constexpr RegistryRoot HKEY_CLASSES_ROOT = kHkeyClassesRoot;
#endif
#ifndef HKEY_CURRENT_USER
inline constexpr RegistryRoot HKEY_CURRENT_USER = kHkeyCurrentUser;
#endif
#ifndef HKEY_LOCAL_MACHINE
inline constexpr RegistryRoot HKEY_LOCAL_MACHINE = kHkeyLocalMachine;
#endif
#ifndef REG_NONE
inline constexpr RegistryType REG_NONE = kRegNone;
#endif
#ifndef REG_SZ
inline constexpr RegistryType REG_SZ = kRegSz;
#endif
#ifndef REG_BINARY
inline constexpr RegistryType REG_BINARY = kRegBinary;
#endif
#ifndef REG_DWORD
inline constexpr RegistryType REG_DWORD = kRegDword;
#endif

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
