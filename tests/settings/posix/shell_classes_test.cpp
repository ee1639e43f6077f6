// The file types' place on Linux: the store's HKEY_CLASSES_ROOT, with the
// desktop's opener in Notepad's place.
#include "settings/shell_classes.h"

#include <gtest/gtest.h>

#include "registry_test_place.h"
#include "settings/file_types.h"

namespace talvek {
namespace {

class ShellClassesTest : public test::RegistryTest {};

TEST_F(ShellClassesTest, KeyFilesOpenWithTheDesktopsOpener) {
  EXPECT_EQ(windowsDirectory(), "/usr/bin/");
  EXPECT_EQ(keyFileOpener(), "xdg-open");
  // The desktop reads its own association: nobody to tell, nothing to
  // compare first.
  EXPECT_FALSE(shellWantsNotice());
  EXPECT_FALSE(registerFileTypes(registry_, "/opt/talvek/talvek"));
  EXPECT_EQ(test::defaultText(registry_, HKEY_CLASSES_ROOT, "Morva.Key\\shell\\open\\command"),
            "\"/usr/bin/xdg-open\" \"%1\"");
  EXPECT_EQ(test::defaultText(registry_, HKEY_CLASSES_ROOT, ".tc"), "Talvek");
}

}  // namespace
}  // namespace talvek
