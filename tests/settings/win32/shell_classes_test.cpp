// The file types' place on Windows: the current user's part of
// HKEY_CLASSES_ROOT, which the shell reads through HKEY_CLASSES_ROOT, and
// Notepad from the Windows directory for key files.
#include "settings/shell_classes.h"

#include <gtest/gtest.h>

#include <string.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/wide_text.h"
#include "registry_test_place.h"
#include "settings/file_types.h"
#include "win32/raw_registry.h"
#include "win32/test_base_key.h"

namespace talvek {
namespace {

constexpr char kProgram[] = "C:\\Program Files\\Talvek\\talvek.exe";

// The twelve rows as the shell is to find them below HKEY_CLASSES_ROOT.
std::vector<std::pair<std::string, std::string>> expectedRows(const std::string& windows) {
  return {
      {"Talvek", "Talvek Encoded File"},
      {"Talvek\\shell", ""},
      {"Talvek\\shell\\open", "&Decode with Talvek"},
      {"Talvek\\shell\\open\\command", "\"C:\\Program Files\\Talvek\\talvek.exe\" \"%1\""},
      {"Talvek\\DefaultIcon", "C:\\Program Files\\Talvek\\talvek.exe,1"},
      {".tc", "Talvek"},
      {"Morva.Key", "Key File"},
      {"Morva.Key\\shell", ""},
      {"Morva.Key\\shell\\open", "&Open with Notepad"},
      {"Morva.Key\\shell\\open\\command", "\"" + windows + "\\notepad.exe\" \"%1\""},
      {"Morva.Key\\DefaultIcon", "C:\\Program Files\\Talvek\\talvek.exe,2"},
      {".mk", "Morva.Key"},
  };
}

// The Windows directory as the system tells every program, without the
// call that windowsDirectory() makes.
std::string windowsFromEnvironment() {
  const char* windir = std::getenv("windir");
  return windir != nullptr ? windir : "";
}

// The default text of HKEY_CLASSES_ROOT\<key> as registry has it, "" for
// none, "<no key>" for a missing key.
std::string classesText(RegistryAccess& registry, const std::string& key) {
  const std::string text = test::defaultText(registry, kHkeyClassesRoot, key);
  return text == "<no value>" ? "" : text;
}

class ShellClassesTest : public test::RegistryTest {};

TEST_F(ShellClassesTest, KeyFilesOpenWithNotepadFromTheWindowsDirectory) {
  const std::string windows = windowsFromEnvironment();
  ASSERT_FALSE(windows.empty());
  ASSERT_EQ(windowsDirectory().size(), windows.size() + 1);
  EXPECT_EQ(::_stricmp(windowsDirectory().c_str(), (windows + "\\").c_str()), 0)
      << windowsDirectory();
  EXPECT_EQ(keyFileOpener(), "notepad.exe");
  // The command names a program that is there.
  const std::wstring notepad = wideFromUtf8(windowsDirectory() + std::string(keyFileOpener()));
  EXPECT_NE(::GetFileAttributesW(notepad.c_str()), INVALID_FILE_ATTRIBUTES);
}

// A user who is no administrator may write only the user's part; the
// machine's part and the merged view stay untouched.
TEST_F(ShellClassesTest, EntriesGoToTheUsersOwnClasses) {
  EXPECT_EQ(userClassesKey().root, kHkeyCurrentUser);
  EXPECT_EQ(userClassesKey().path, "Software\\Classes");
  registerFileTypes(registry_, kProgram);
  const std::string windows = windowsDirectory().substr(0, windowsDirectory().size() - 1);
  for (const auto& [key, text] : expectedRows(windows)) {
    const test::RawValue value =
        test::rawValue(HKEY_CURRENT_USER,
                       place_.location() + "\\HKEY_CURRENT_USER\\Software\\Classes\\" + key, L"");
    if (text.empty()) {
      EXPECT_EQ(value.result, ERROR_FILE_NOT_FOUND) << key;
      continue;
    }
    ASSERT_EQ(value.result, ERROR_SUCCESS) << key;
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ)) << key;
    const std::wstring wide = wideFromUtf8(text);
    EXPECT_EQ(value.bytes, test::utf16Bytes(std::wstring(wide.c_str(), wide.size() + 1))) << key;
  }
  EXPECT_FALSE(registry_.keyExists(kHkeyClassesRoot, "Talvek"));
  EXPECT_FALSE(registry_.keyExists(kHkeyLocalMachine, "Software\\Classes\\Talvek"));
}

// The rows written below HKEY_CURRENT_USER\Software\Classes, here in a test
// key there, are what the shell reads through HKEY_CLASSES_ROOT.
TEST(ShellClassesThroughRootTest, TheShellReadsTheRowsThroughHkeyClassesRoot) {
  test::TestBaseKey base("Software\\Classes");
  RegistryAccess registry(base.path());
  EXPECT_TRUE(registerFileTypes(registry, kProgram));
  RegistryAccess real("");
  const std::string userPart = base.path() + "\\HKEY_CURRENT_USER\\Software\\Classes\\";
  const std::string throughRoot = base.name() + "\\HKEY_CURRENT_USER\\Software\\Classes\\";
  const std::string windows = windowsDirectory().substr(0, windowsDirectory().size() - 1);
  for (const auto& [key, text] : expectedRows(windows)) {
    EXPECT_EQ(test::defaultText(real, kHkeyCurrentUser, userPart + key),
              text.empty() ? "<no value>" : text)
        << key;
  }
  if (!real.keyExists(kHkeyClassesRoot, base.name()) && test::runningUnderWine()) {
    GTEST_SKIP() << "wine's HKEY_CLASSES_ROOT is the machine's part alone: it does not show "
                    "HKEY_CURRENT_USER\\Software\\Classes";
  }
  for (const auto& [key, text] : expectedRows(windows)) {
    EXPECT_EQ(classesText(real, throughRoot + key), text) << key;
  }
}

}  // namespace
}  // namespace talvek
