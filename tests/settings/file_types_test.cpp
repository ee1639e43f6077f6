// The shell's entries for encoded files and key files, wherever this
// system's shell reads them (userClassesKey()).
#include "settings/file_types.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "registry_test_place.h"
#include "settings/shell_classes.h"

namespace talvek {
namespace {

class FileTypesTest : public test::RegistryTest {
 protected:
  // The default text of HKEY_CLASSES_ROOT\<key> as this user's entries have it.
  std::string defaultText(const char* key) {
    return test::defaultText(registry_, classes_.root, classes_.below(key));
  }
  bool keyExists(const char* key) { return registry_.keyExists(classes_.root, classes_.below(key)); }

  const ClassesKey classes_ = userClassesKey();
};

TEST_F(FileTypesTest, WritesTheTwelveEntries) {
  registerFileTypes(registry_, "/opt/talvek/talvek");
  const std::string keyCommand =
      "\"" + windowsDirectory() + std::string(keyFileOpener()) + "\" \"%1\"";
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
      {"Morva.Key\\shell\\open\\command", keyCommand},
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

// The shell is told only when an entry's text is not what it was, so that
// every start and close of the dialog does not make it reload them.
TEST_F(FileTypesTest, TellsOfAChangeOnlyWhenThereIsOne) {
  if (!shellWantsNotice()) GTEST_SKIP() << "this system's shell is told nothing";
  EXPECT_TRUE(registerFileTypes(registry_, "talvek"));
  EXPECT_FALSE(registerFileTypes(registry_, "talvek"));
  ASSERT_EQ(registry_.setDefaultString(classes_.root, classes_.below(".mk"), "Other.Program"),
            kErrorSuccess);
  EXPECT_TRUE(registerFileTypes(registry_, "talvek"));
  ASSERT_EQ(registry_.deleteKey(classes_.root, classes_.below("Talvek\\shell")), kErrorSuccess);
  EXPECT_TRUE(registerFileTypes(registry_, "talvek"));
  ASSERT_EQ(registry_.setValue(classes_.root, classes_.below("Talvek"), "", REG_BINARY,
                               std::string("Talvek Encoded File", 20)),
            kErrorSuccess);
  EXPECT_TRUE(registerFileTypes(registry_, "talvek"));
  EXPECT_EQ(defaultText("Talvek"), "Talvek Encoded File");
  EXPECT_FALSE(registerFileTypes(registry_, "talvek"));
}

TEST_F(FileTypesTest, TakesOverTheExtensionsAndLeavesOtherEntriesAlone) {
  ASSERT_EQ(registry_.ensureKey(classes_.root, classes_.below(".tc\\OpenWithProgids")),
            kErrorSuccess);
  ASSERT_EQ(registry_.setDefaultString(classes_.root, classes_.below(".tc"), "Other.Program"),
            kErrorSuccess);
  ASSERT_EQ(registry_.ensureKey(classes_.root, classes_.below("Talvek\\shell\\print")),
            kErrorSuccess);
  ASSERT_EQ(
      registry_.setDefaultString(classes_.root, classes_.below("Talvek\\shell\\print"), "&Print"),
      kErrorSuccess);
  ASSERT_EQ(registry_.writeDword(classes_.root, classes_.below("Talvek"), "EditFlags", 0x10000),
            kErrorSuccess);

  registerFileTypes(registry_, "/opt/talvek/talvek");
  EXPECT_EQ(defaultText(".tc"), "Talvek");
  EXPECT_TRUE(keyExists(".tc\\OpenWithProgids"));
  EXPECT_EQ(defaultText("Talvek\\shell\\print"), "&Print");
  std::uint32_t flags = 0;
  EXPECT_EQ(registry_.readDword(classes_.root, classes_.below("Talvek"), "EditFlags", flags),
            kErrorSuccess);
  EXPECT_EQ(flags, 0x10000u);
}

}  // namespace
}  // namespace talvek
