// The registry operations the program keeps its option and its file types
// with. Each one opens its key, does one thing and lets go again; nothing is
// held between calls, so two running instances can share the store. On
// Windows they are the system's registry functions (win32/); elsewhere they
// stand on one SQLite database file, each operation one short transaction on
// its own connection (posix/).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "settings/registry_codes.h"

namespace talvek {

// Where this user's store is: on Linux configHome() +
// "/Brellam/Talvek/registry.db", or "" when there is no home to keep it in;
// on Windows "", the registry itself.
std::string defaultRegistryLocation();

// Keys are backslash-separated paths below a root, matched without regard to
// (at least ASCII) case; the empty path is the root itself, which always
// exists. A path with an empty level (leading, trailing or doubled
// backslash) is kErrorBadPathname. Value names are matched the same way; the
// empty name is the key's default value. Every operation returns a RegResult
// (see registry_codes.h) and never throws.
//
// Values are bytes with a type. A text (REG_SZ) is UTF-8 with its
// terminating NUL, as the program writes it; the Windows registry keeps it
// as UTF-16 and the Windows half converts at the boundary, so callers see
// the same bytes on both systems. Other types pass as they are.
//
// The SQLite store: a damaged store (corrupt, not a database, in a format or
// with tables the store cannot use, unreadable, or failing SQLite's quick
// check, which runs whenever the file has changed since it last passed)
// reads as empty. The next write moves it aside to <path>.corrupt-<UTC time>
// and starts afresh. A file counts as damaged only when a second try finds
// it so again, since a read that failed once looks the same. A store locked
// by another instance is waited for as limitWaiting() allows.
class RegistryAccess {
 public:
  // location: on Linux the store's database file, whose directory the first
  // write that creates a key creates (reads never create anything; "" is no
  // store at all: reads find nothing and writes fail). On Windows a key
  // below HKEY_CURRENT_USER under which the whole tree lives, each root as
  // a subkey named after it (<location>\HKEY_CURRENT_USER\...), so that
  // tests touch nothing else; "" is the registry's real roots.
  explicit RegistryAccess(std::string location);
  ~RegistryAccess();
  RegistryAccess(const RegistryAccess&) = delete;
  RegistryAccess& operator=(const RegistryAccess&) = delete;

  const std::string& location() const { return location_; }

  // Creates the key and any missing parents; an existing key, its values and
  // its subkeys are left as they are.
  RegResult ensureKey(RegistryRoot root, std::string_view path);

  // Sets the existing key's default value to text (up to its first NUL) as
  // REG_SZ, stored with its terminating NUL. A missing key is not created.
  RegResult setDefaultString(RegistryRoot root, std::string_view path, std::string_view text);

  // Reads a REG_DWORD value of at most 4 bytes (little-endian) into value;
  // value is untouched on any failure: kErrorUnsupportedType for another
  // type, kErrorMoreData for longer data. Shorter data fills a number that
  // starts as 0.
  RegResult readDword(RegistryRoot root, std::string_view path, std::string_view name,
                      std::uint32_t& value);

  // Sets the named value of the existing key to number as REG_DWORD,
  // 4 little-endian bytes. A missing key is not created.
  RegResult writeDword(RegistryRoot root, std::string_view path, std::string_view name,
                       std::uint32_t number);

  // The general forms of the two above: any type, any bytes (texts as
  // above).
  RegResult setValue(RegistryRoot root, std::string_view path, std::string_view name,
                     RegistryType type, std::string_view data);
  RegResult queryValue(RegistryRoot root, std::string_view path, std::string_view name,
                       RegistryType& type, std::string& data);

  // Removes the key with all its subkeys and values. A root cannot be
  // removed (kErrorAccessDenied).
  RegResult deleteKey(RegistryRoot root, std::string_view path);

  bool keyExists(RegistryRoot root, std::string_view path);

  // From now on all waits for another instance's lock together take at most
  // `total`, to bound a whole run of operations (a dialog's start or close);
  // once it is spent, operations fail at once without touching the store
  // until the next limit. The Windows registry serialises its writers
  // itself: nothing is waited for there, and nothing is ever spent.
  void limitWaiting(std::chrono::milliseconds total);
  bool waitSpent() const;
  // Time spent waiting since the last limit.
  std::chrono::milliseconds waited() const;

 private:
  // What the system's half keeps between calls (the SQLite store: its lock
  // waits and the file its last check passed).
  class State;

  std::string location_;
  std::unique_ptr<State> state_;
};

}  // namespace talvek
