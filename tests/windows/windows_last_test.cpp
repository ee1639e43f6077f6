// Our headers first, then <windows.h>: they compile, and from there on the
// names are the system's, with our numbers.
#include "dialog/window_constants.h"
#include "settings/registry_codes.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "windows_names.h"

namespace talvek {
namespace {

TEST(WindowsHeaders, WindowsAfterOursHasTheSameNumbers) {
  const test::NamedNumbers systems{TALVEK_WINDOWS_NAMES(TALVEK_SYSTEM_NUMBER)};
  EXPECT_EQ(systems, test::ourNumbers());
}

}  // namespace
}  // namespace talvek
