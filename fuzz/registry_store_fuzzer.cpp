// The registry store opened on any bytes: reads change nothing, a write that
// reports success reads back, and a store that cannot take a write is moved
// aside, so the writes after it succeed on a fresh store.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "directory_entries.h"
#include "fuzz_support.h"
#include "settings/registry_access.h"

namespace {

using talvek::HKEY_CLASSES_ROOT;
using talvek::HKEY_CURRENT_USER;
using talvek::kErrorSuccess;
using talvek::RegistryAccess;
using talvek::RegResult;

constexpr char kProductKey[] = "Software\\Brellam\\Talvek";
constexpr char kCommandKey[] = "Talvek\\shell\\open\\command";
constexpr char kCommand[] = "\"/usr/bin/talvek\" \"%1\"";

std::string fileBytes(const std::string& path) {
  std::string bytes;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
    std::fclose(file);
  }
  return bytes;
}

// The program's own writes; each one that reports success must read back.
// Returns whether all of them succeeded.
bool writeAndReadBack(RegistryAccess& registry, std::uint32_t number, const std::string& what) {
  using talvek::fuzz::check;
  bool all = true;
  if (registry.ensureKey(HKEY_CURRENT_USER, kProductKey) == kErrorSuccess) {
    check(registry.keyExists(HKEY_CURRENT_USER, kProductKey), "ensureKey lost its key" + what);
  } else {
    all = false;
  }
  if (registry.writeDword(HKEY_CURRENT_USER, kProductKey, "optType", number) == kErrorSuccess) {
    std::uint32_t value = 0;
    const RegResult read = registry.readDword(HKEY_CURRENT_USER, kProductKey, "optType", value);
    check(read == kErrorSuccess && value == number,
          "writeDword lost its value (read " + std::to_string(read) + ")" + what);
  } else {
    all = false;
  }
  if (registry.ensureKey(HKEY_CLASSES_ROOT, kCommandKey) == kErrorSuccess &&
      registry.setDefaultString(HKEY_CLASSES_ROOT, kCommandKey, kCommand) == kErrorSuccess) {
    talvek::RegistryType type = talvek::REG_NONE;
    std::string data;
    const RegResult read = registry.queryValue(HKEY_CLASSES_ROOT, kCommandKey, "", type, data);
    check(read == kErrorSuccess && type == talvek::REG_SZ && data == std::string(kCommand) + '\0',
          "setDefaultString lost its text (read " + std::to_string(read) + ")" + what);
  } else {
    all = false;
  }
  return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using talvek::fuzz::check;
  talvek::fuzz::clearScratchDirectory();
  const std::string& directory = talvek::fuzz::scratchDirectory();
  const std::string path = directory + "/registry.db";
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  talvek::fuzz::writeScratchFile(path, bytes);
  const std::string what = " on a store of " + talvek::fuzz::quoted(bytes);

  RegistryAccess registry(path);
  std::uint32_t value = 0;
  registry.readDword(HKEY_CURRENT_USER, kProductKey, "optType", value);
  registry.keyExists(HKEY_CLASSES_ROOT, kCommandKey);
  check(talvek::test::entries(directory) == std::set<std::string>{"registry.db"} &&
            fileBytes(path) == bytes,
        "a read changed the store" + what);

  // The first writes may find the store damaged and move it aside; from then
  // on every write has a sound store to go to.
  writeAndReadBack(registry, 1010, what);
  check(writeAndReadBack(registry, 1009, what), "a write failed after the first ones" + what);
  return 0;
}
