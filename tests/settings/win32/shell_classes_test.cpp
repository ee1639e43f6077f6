// The file types' place on Windows: the current user's part of
// HKEY_CLASSES_ROOT, which the shell reads through HKEY_CLASSES_ROOT, and
// Notepad from the Windows directory for key files. (The rows themselves:
// file_types_test.cpp.)
#include "settings/shell_classes.h"

#include <gtest/gtest.h>
#include <string.h>

#include <cstdlib>
#include <string>

#include "platform/win32/wide_text.h"
#include "registry_test_place.h"
#include "settings/file_types.h"
#include "win32/raw_registry.h"
#include "win32/test_base_key.h"

namespace talvek {
namespace {

class ShellClassesTest : public test::RegistryTest {};

TEST_F(ShellClassesTest, KeyFilesOpenWithNotepadFromTheWindowsDirectory) {
  // The Windows directory as the system tells every program.
  const char* windir = std::getenv("windir");
  ASSERT_NE(windir, nullptr);
  EXPECT_EQ(::_stricmp(windowsDirectory().c_str(), (std::string(windir) + "\\").c_str()), 0)
      << windowsDirectory();
  EXPECT_EQ(keyFileOpener(), "notepad.exe");
  registerFileTypes(registry_, "talvek.exe");
  const ClassesKey classes = userClassesKey();
  EXPECT_EQ(test::defaultText(registry_, classes.root,
                              classes.below("Morva.Key\\shell\\open\\command")),
            "\"" + windowsDirectory() + "notepad.exe\" \"%1\"");
  // The command names a program that is there.
  const std::wstring notepad = wideFromUtf8(windowsDirectory() + "notepad.exe");
  EXPECT_NE(::GetFileAttributesW(notepad.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Written below HKEY_CURRENT_USER\Software\Classes (here in a test key
// there), which a user who is no administrator may write: what the shell
// reads through HKEY_CLASSES_ROOT. Neither the merged view nor the
// machine's part is written.
TEST(ShellClassesThroughRootTest, TheShellReadsTheRowsThroughHkeyClassesRoot) {
  EXPECT_EQ(userClassesKey().root, kHkeyCurrentUser);
  EXPECT_EQ(userClassesKey().path, "Software\\Classes");
  test::TestBaseKey base("Software\\Classes");
  RegistryAccess registry(base.path());
  EXPECT_TRUE(registerFileTypes(registry, "C:\\Program Files\\Talvek\\talvek.exe"));
  EXPECT_FALSE(registry.keyExists(kHkeyClassesRoot, "Talvek"));
  EXPECT_FALSE(registry.keyExists(kHkeyLocalMachine, "Software\\Classes\\Talvek"));

  RegistryAccess real("");
  const char* const keys[] = {"Talvek", "Talvek\\shell", "Talvek\\shell\\open",
                              "Talvek\\shell\\open\\command", "Talvek\\DefaultIcon", ".tc",
                              "Morva.Key", "Morva.Key\\shell", "Morva.Key\\shell\\open",
                              "Morva.Key\\shell\\open\\command", "Morva.Key\\DefaultIcon", ".mk"};
  const std::string userPart = base.path() + "\\HKEY_CURRENT_USER\\Software\\Classes\\";
  const std::string throughRoot = base.name() + "\\HKEY_CURRENT_USER\\Software\\Classes\\";
  if (!real.keyExists(kHkeyClassesRoot, base.name()) && test::runningUnderWine()) {
    GTEST_SKIP() << "wine's HKEY_CLASSES_ROOT is the machine's part alone: it does not show "
                    "HKEY_CURRENT_USER\\Software\\Classes";
  }
  for (const char* key : keys) {
    const std::string text = test::defaultText(real, kHkeyCurrentUser, userPart + key);
    EXPECT_NE(text, "<no key>") << key;
    EXPECT_EQ(test::defaultText(real, kHkeyClassesRoot, throughRoot + key), text) << key;
  }
}

}  // namespace
}  // namespace talvek
