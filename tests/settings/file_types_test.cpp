// The shell's entries for encoded files and key files.
#include "settings/file_types.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "settings_test_env.h"

namespace talvek {
namespace {

class FileTypesTest : public test::SettingsTest {
 protected:
  // The key's default text without its NUL, "<no value>" or "<no key>".
  std::string defaultText(const char* key) {
    if (!registry_.keyExists(HKEY_CLASSES_ROOT, key)) return "<no key>";
    RegistryType type = REG_NONE;
    std::string data;
    if (registry_.queryValue(HKEY_CLASSES_ROOT, key, "", type, data) != kErrorSuccess) {
      return "<no value>";
    }
    EXPECT_EQ(type, REG_SZ) << key;
    EXPECT_TRUE(!data.empty() && data.back() == '\0') << key;
    return data.substr(0, data.size() - 1);
  }

  RegistryAccess registry_{storePath()};
};

TEST_F(FileTypesTest, WindowsDirectoryHoldsTheOpener) {
  EXPECT_EQ(windowsDirectory(), "/usr/bin/");
}

TEST_F(FileTypesTest, WritesTheTwelveEntries) {
  registerFileTypes(registry_, "/opt/talvek/talvek");
  const std::vector<std::pair<const char*, std::string>> expected = {
      {"Talvek", "Talvek Encoded File"},
      {"Talvek\\shell", "<no value>"},
      {"Talvek\\shell\\open", "&Decode with Talvek"},
      {"Talvek\\shell\\open\\command", "\"/opt/talvek/talvek\" \"%1\""},
      {"Talvek\\DefaultIcon", "/opt/talvek/talvek,1"},
      {".tc", "Talvek"},
      {"Morva.Key", "Key File"},
      {"Morva.Key\\shell", "<no value>"},
      {"Morva.Key\\shell\\open", "&Open with Notepad"},
      {"Morva.Key\\shell\\open\\command", "\"/usr/bin/xdg-open\" \"%1\""},
      {"Morva.Key\\DefaultIcon", "/opt/talvek/talvek,2"},
      {".mk", "Morva.Key"},
  };
  for (const auto& [key, text] : expected) EXPECT_EQ(defaultText(key), text) << key;
}

TEST_F(FileTypesTest, RegistersThePathAsGivenAndFollowsAMove) {
  registerFileTypes(registry_, "/opt/talvek/talvek");
  registerFileTypes(registry_, "bin/talvek");
  EXPECT_EQ(defaultText("Talvek\\shell\\open\\command"), "\"bin/talvek\" \"%1\"");
  EXPECT_EQ(defaultText("Talvek\\DefaultIcon"), "bin/talvek,1");
  EXPECT_EQ(defaultText("Morva.Key\\DefaultIcon"), "bin/talvek,2");
}

TEST_F(FileTypesTest, TakesOverTheExtensionsAndLeavesOtherEntriesAlone) {
  ASSERT_EQ(registry_.ensureKey(HKEY_CLASSES_ROOT, ".tc\\OpenWithProgids"), kErrorSuccess);
  ASSERT_EQ(registry_.setDefaultString(HKEY_CLASSES_ROOT, ".tc", "Other.Program"), kErrorSuccess);
  ASSERT_EQ(registry_.ensureKey(HKEY_CLASSES_ROOT, "Talvek\\shell\\print"), kErrorSuccess);
  ASSERT_EQ(registry_.setDefaultString(HKEY_CLASSES_ROOT, "Talvek\\shell\\print", "&Print"),
            kErrorSuccess);
  ASSERT_EQ(registry_.writeDword(HKEY_CLASSES_ROOT, "Talvek", "EditFlags", 0x10000), kErrorSuccess);

  registerFileTypes(registry_, "/opt/talvek/talvek");
  EXPECT_EQ(defaultText(".tc"), "Talvek");
  EXPECT_TRUE(registry_.keyExists(HKEY_CLASSES_ROOT, ".tc\\OpenWithProgids"));
  EXPECT_EQ(defaultText("Talvek\\shell\\print"), "&Print");
  std::uint32_t flags = 0;
  EXPECT_EQ(registry_.readDword(HKEY_CLASSES_ROOT, "Talvek", "EditFlags", flags), kErrorSuccess);
  EXPECT_EQ(flags, 0x10000u);
}

TEST_F(FileTypesTest, DamagedStoreIsReplacedOnTheWay) {
  registerFileTypes(registry_, "/opt/talvek/talvek");
  test::writeFile(storePath(), std::string(3000, 'q'));
  registerFileTypes(registry_, "/opt/talvek/talvek");
  EXPECT_EQ(defaultText("Talvek"), "Talvek Encoded File");
  EXPECT_EQ(defaultText(".mk"), "Morva.Key");
}

}  // namespace
}  // namespace talvek
