// <windows.h> first, then our headers: they compile, the names are the
// system's, and our numbers are the same.
#include <windows.h>

#include "dialog/window_constants.h"
#include "settings/registry_codes.h"

#include <gtest/gtest.h>

#include "windows_names.h"

namespace talvek {
namespace {

TEST(WindowsHeaders, OursAfterWindowsHaveTheSystemsNumbers) {
  const test::NamedNumbers systems{TALVEK_WINDOWS_NAMES(TALVEK_SYSTEM_NUMBER)};
  EXPECT_EQ(systems, test::ourNumbers());
}

// What the registry's half of the settings store needs in such a file.
TEST(WindowsHeaders, TheTypedNamesStayOursBesideTheSystems) {
  const RegistryRoot root = kHkeyCurrentUser;
  EXPECT_EQ(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root))),
            HKEY_CURRENT_USER);
  const RegistryType type = kRegDword;
  EXPECT_EQ(type, REG_DWORD);
}

}  // namespace
}  // namespace talvek
