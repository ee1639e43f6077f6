// The registry operations the program keeps its option and its file types
// with, standing on one SQLite database file. Each operation is one short
// transaction on its own connection; nothing is held between calls, so two
// running instances share the file safely.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "settings/lock_wait.h"
#include "settings/registry_codes.h"
#include "settings/store_file.h"

namespace talvek {

// configHome() + "/Brellam/Talvek/registry.db": each user's store; "" when
// there is no home to keep it in.
std::string defaultRegistryPath();

class StoreSession;

// Keys are backslash-separated paths below a root, matched without regard to
// ASCII case; the empty path is the root itself, which always exists. Value
// names are matched the same way; the empty name is the key's default value.
// Every operation returns a RegResult (see registry_codes.h) and never throws.
//
// A damaged store (corrupt, not a database, in a format or with tables the
// store cannot use, unreadable, or failing SQLite's quick check, which runs
// whenever the file has changed since it last passed) reads as empty. The
// next write moves it aside to <path>.corrupt-<UTC time> and starts afresh.
// A file counts as damaged only when a second try finds it so again, since
// a read that failed once looks the same.
//
// A store locked by another instance is waited for as lockWait() allows.
class RegistryAccess {
 public:
  // databasePath: the store's file; its directory is created by the first
  // write that creates a key. Reads never create anything.
  explicit RegistryAccess(std::string databasePath);

  const std::string& databasePath() const { return path_; }

  // Creates the key and any missing parents; an existing key, its values and
  // its subkeys are left as they are.
  RegResult ensureKey(RegistryRoot root, std::string_view path);

  // Sets the existing key's default value to text (up to its first NUL) as
  // REG_SZ, stored with its terminating NUL. A missing key is not created.
  RegResult setDefaultString(RegistryRoot root, std::string_view path, std::string_view text);

  // Reads a REG_DWORD value of at most 4 bytes (little-endian) into value;
  // value is untouched on any failure: kErrorUnsupportedType for another
  // type, kErrorMoreData for longer data.
  RegResult readDword(RegistryRoot root, std::string_view path, std::string_view name,
                      std::uint32_t& value);

  // Sets the named value of the existing key to number as REG_DWORD,
  // 4 little-endian bytes. A missing key is not created.
  RegResult writeDword(RegistryRoot root, std::string_view path, std::string_view name,
                       std::uint32_t number);

  // The general forms of the two above: any type, any bytes.
  RegResult setValue(RegistryRoot root, std::string_view path, std::string_view name,
                     RegistryType type, std::string_view data);
  RegResult queryValue(RegistryRoot root, std::string_view path, std::string_view name,
                       RegistryType& type, std::string& data);

  // Removes the key with all its subkeys and values. A root cannot be
  // removed (kErrorAccessDenied).
  RegResult deleteKey(RegistryRoot root, std::string_view path);

  bool keyExists(RegistryRoot root, std::string_view path);

  // How long operations wait for another instance's lock; limit it to bound
  // the waiting of a whole run of operations.
  LockWait& lockWait() { return wait_; }

 private:
  using Body = std::function<RegResult(StoreSession&)>;

  // Runs body in an immediate transaction, committing only when it returns
  // success. create: whether a missing store may be created.
  RegResult write(bool create, const Body& body);
  // One try of write(). found: the file was damaged; `damaged` then names
  // it, unless another instance has put another file in its place.
  RegResult writeOnce(bool create, const Body& body, bool& found, StoreFileIdentity& damaged);
  // Runs body in a read transaction; a store without tables is empty.
  RegResult read(const Body& body);
  // One try of read(); damaged: the file looked damaged.
  RegResult readOnce(const Body& body, bool& damaged);
  // Inside a transaction that holds a lock (a read has run, or it began
  // IMMEDIATE), so the file cannot change meanwhile: runs the quick check
  // unless the file is as it was when it last passed. False on a failure or
  // a damaged file, both recorded in the session.
  bool checkStore(StoreSession& session);

  std::string path_;
  LockWait wait_;
  FileStamp checked_;
};

}  // namespace talvek
