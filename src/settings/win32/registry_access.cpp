// RegistryAccess on the Windows registry: each operation opens or creates its
// key with the W functions, does its one thing and closes the key again.
// Paths, names and texts are UTF-8 in the program and UTF-16 in the
// registry; text that is not UTF-8 has U+FFFD for each bad sequence there.
#include "settings/registry_access.h"

#include <windows.h>

#include "platform/win32/wide_text.h"
#include "settings/registry_paths.h"

namespace talvek {

// The registry keeps nothing of ours between calls.
class RegistryAccess::State {};

std::string defaultRegistryLocation() {
  return {};
}

namespace {

// One open key, closed when the object goes away.
class OpenKey {
 public:
  OpenKey() = default;
  ~OpenKey() {
    if (key_ != nullptr) ::RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;

  // Where the opening call puts the handle; keep() then takes its result,
  // so that a failed call leaves nothing to close.
  HKEY* receive() { return &key_; }
  LONG keep(LONG result) {
    if (result != ERROR_SUCCESS) key_ = nullptr;
    return result;
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// A key as the system's functions take it: a predefined key and a path.
struct Place {
  HKEY root;
  std::wstring path;
};

// The predefined key of a root: its number, sign-extended, as the system's
// headers make them.
HKEY predefinedKey(RegistryRoot root) {
  return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
}

std::string rootName(RegistryRoot root) {
  switch (root) {
    case kHkeyClassesRoot:
      return "HKEY_CLASSES_ROOT";
    case kHkeyCurrentUser:
      return "HKEY_CURRENT_USER";
    case kHkeyLocalMachine:
      return "HKEY_LOCAL_MACHINE";
  }
  return "root " + std::to_string(static_cast<std::uint32_t>(root));
}

// The key itself, or with a base its stand-in:
// HKEY_CURRENT_USER\<base>\<root's name>\<path>.
Place placeOf(const std::string& base, RegistryRoot root, std::string_view path) {
  if (base.empty()) return {predefinedKey(root), wideFromUtf8(std::string(path))};
  std::string full = base + "\\" + rootName(root);
  if (!path.empty()) full += "\\" + std::string(path);
  return {HKEY_CURRENT_USER, wideFromUtf8(full)};
}

LONG openKey(const Place& place, REGSAM access, OpenKey& key) {
  return key.keep(::RegOpenKeyExW(place.root, place.path.c_str(), 0, access, key.receive()));
}

// The types whose data the W functions keep as UTF-16.
bool isTextType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Text data from the registry's UTF-16 to the program's UTF-8, character for
// character; an odd last byte is no character and is left out.
std::string programBytes(DWORD type, const std::string& stored) {
  if (!isTextType(type)) return stored;
  std::wstring wide(stored.size() / sizeof(wchar_t), L'\0');
  stored.copy(reinterpret_cast<char*>(wide.data()), wide.size() * sizeof(wchar_t));
  return utf8FromWide(wide);
}

}  // namespace

RegistryAccess::RegistryAccess(std::string location) : location_(std::move(location)) {}
RegistryAccess::~RegistryAccess() = default;

RegResult RegistryAccess::ensureKey(RegistryRoot root, std::string_view path) {
  if (!validKeyPath(path)) return kErrorBadPathname;
  const Place place = placeOf(location_, root, path);
  // Default security, and a handle a child process could inherit, as the
  // original asks for.
  SECURITY_ATTRIBUTES security{};
  security.nLength = sizeof security;
  security.lpSecurityDescriptor = nullptr;
  security.bInheritHandle = TRUE;
  OpenKey key;
  DWORD disposition = 0;
  return key.keep(::RegCreateKeyExW(place.root, place.path.c_str(), 0, nullptr,
                                    REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, &security,
                                    key.receive(), &disposition));
}

RegResult RegistryAccess::setDefaultString(RegistryRoot root, std::string_view path,
                                           std::string_view text) {
  return setValue(root, path, "", kRegSz, stringValueData(text));
}

RegResult RegistryAccess::readDword(RegistryRoot root, std::string_view path, std::string_view name,
                                    std::uint32_t& value) {
  if (!validKeyPath(path)) return kErrorBadPathname;
  OpenKey key;
  const LONG opened = openKey(placeOf(location_, root, path), KEY_READ, key);
  if (opened != ERROR_SUCCESS) return opened;
  const std::wstring wideName = wideFromUtf8(std::string(name));
  // The type first, then at most 4 bytes into a number that starts as 0:
  // longer data is ERROR_MORE_DATA, shorter data its first bytes.
  DWORD type = REG_NONE;
  LONG result = ::RegQueryValueExW(key.get(), wideName.c_str(), nullptr, &type, nullptr, nullptr);
  if (result != ERROR_SUCCESS) return result;
  if (type != REG_DWORD) return kErrorUnsupportedType;
  std::uint8_t bytes[4] = {};
  DWORD size = sizeof bytes;
  result = ::RegQueryValueExW(key.get(), wideName.c_str(), nullptr, nullptr, bytes, &size);
  if (result != ERROR_SUCCESS) return result;
  value = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
          static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
  return kErrorSuccess;
}

RegResult RegistryAccess::writeDword(RegistryRoot root, std::string_view path,
                                     std::string_view name, std::uint32_t number) {
  return setValue(root, path, name, kRegDword, dwordValueData(number));
}

RegResult RegistryAccess::setValue(RegistryRoot root, std::string_view path, std::string_view name,
                                   RegistryType type, std::string_view data) {
  if (!validKeyPath(path)) return kErrorBadPathname;
  OpenKey key;
  const LONG opened = openKey(placeOf(location_, root, path), KEY_WRITE, key);
  if (opened != ERROR_SUCCESS) return opened;
  const std::wstring wideName = wideFromUtf8(std::string(name));
  if (!isTextType(type)) {
    return ::RegSetValueExW(key.get(), wideName.c_str(), 0, type,
                            reinterpret_cast<const BYTE*>(data.data()),
                            static_cast<DWORD>(data.size()));
  }
  // Character for character into UTF-16: a terminating NUL stays one. The
  // system adds a missing one (it looks at the character after the data,
  // which a wide string always has as NUL), so every text is stored
  // terminated.
  const std::wstring text = wideFromUtf8(std::string(data));
  return ::RegSetValueExW(key.get(), wideName.c_str(), 0, type,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() * sizeof(wchar_t)));
}

RegResult RegistryAccess::queryValue(RegistryRoot root, std::string_view path,
                                     std::string_view name, RegistryType& type, std::string& data) {
  if (!validKeyPath(path)) return kErrorBadPathname;
  OpenKey key;
  const LONG opened = openKey(placeOf(location_, root, path), KEY_READ, key);
  if (opened != ERROR_SUCCESS) return opened;
  const std::wstring wideName = wideFromUtf8(std::string(name));
  std::string stored;
  DWORD storedType = REG_NONE;
  LONG result;
  // The size, then the data; again if another writer made it grow between.
  do {
    DWORD size = 0;
    result = ::RegQueryValueExW(key.get(), wideName.c_str(), nullptr, &storedType, nullptr, &size);
    if (result != ERROR_SUCCESS) return result;
    stored.assign(size, '\0');
    result = ::RegQueryValueExW(key.get(), wideName.c_str(), nullptr, &storedType,
                                reinterpret_cast<BYTE*>(stored.data()), &size);
    stored.resize(size);
  } while (result == ERROR_MORE_DATA);
  if (result != ERROR_SUCCESS) return result;
  type = static_cast<RegistryType>(storedType);
  data = programBytes(storedType, stored);
  return kErrorSuccess;
}

RegResult RegistryAccess::deleteKey(RegistryRoot root, std::string_view path) {
  if (!validKeyPath(path)) return kErrorBadPathname;
  if (path.empty()) return kErrorAccessDenied;
  const Place place = placeOf(location_, root, path);
  return ::RegDeleteTreeW(place.root, place.path.c_str());
}

bool RegistryAccess::keyExists(RegistryRoot root, std::string_view path) {
  if (!validKeyPath(path)) return false;
  if (path.empty()) return true;
  OpenKey key;
  return openKey(placeOf(location_, root, path), KEY_READ, key) == ERROR_SUCCESS;
}

void RegistryAccess::limitWaiting(std::chrono::milliseconds) {}

bool RegistryAccess::waitSpent() const {
  return false;
}

std::chrono::milliseconds RegistryAccess::waited() const {
  return std::chrono::milliseconds(0);
}

}  // namespace talvek
