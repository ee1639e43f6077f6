// The stored option and the keys refreshed with it, on every system's
// registry.
#include "settings/options_store.h"

#include <gtest/gtest.h>

#include <string>

#include "registry_test_place.h"
#include "settings/file_types.h"
#include "settings/shell_classes.h"

namespace talvek {
namespace {

constexpr char kProgram[] = "/opt/talvek/talvek";

class OptionsStoreTest : public test::RegistryTest {
 protected:
  OptionsStore options_{registry_, kProgram};

  RegResult storedOptType(std::uint32_t& value) {
    return registry_.readDword(HKEY_CURRENT_USER, ProductKeyPath, "optType", value);
  }
};

TEST_F(OptionsStoreTest, FirstRunChoosesPasswordAndStoresItOnClosing) {
  EXPECT_EQ(options_.loadOptType(), kOptPassword);
  std::uint32_t value = 0;
  EXPECT_EQ(storedOptType(value), kErrorFileNotFound);

  options_.saveOptType(true);
  ASSERT_EQ(storedOptType(value), kErrorSuccess);
  EXPECT_EQ(value, 1009u);
  RegistryType type = REG_NONE;
  std::string data;
  ASSERT_EQ(
      registry_.queryValue(HKEY_CURRENT_USER, "Software\\Brellam\\Talvek", "optType", type, data),
      kErrorSuccess);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(data, std::string("\xf1\x03\0\0", 4));
}

TEST_F(OptionsStoreTest, KeysAreKeptUnderBothRootsOnlyTheUserHoldsTheValue) {
  options_.loadOptType();
  for (RegistryRoot root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    EXPECT_TRUE(registry_.keyExists(root, "Software\\Brellam"));
    EXPECT_TRUE(registry_.keyExists(root, "Software\\Brellam\\Talvek"));
  }
  options_.saveOptType(false);
  std::uint32_t value = 0;
  EXPECT_EQ(registry_.readDword(HKEY_LOCAL_MACHINE, ProductKeyPath, "optType", value),
            kErrorFileNotFound);
}

TEST_F(OptionsStoreTest, KeyFileChoiceSurvivesARestart) {
  options_.loadOptType();
  options_.saveOptType(false);

  RegistryAccess registry(place_.location());
  OptionsStore restarted(registry, kProgram);
  EXPECT_EQ(restarted.loadOptType(), kOptKeyFile);
  restarted.saveOptType(true);
  EXPECT_EQ(options_.loadOptType(), kOptPassword);
}

TEST_F(OptionsStoreTest, AnythingButTheKeyFileNumberMeansPassword) {
  options_.loadOptType();
  const struct {
    RegistryType type;
    std::string data;
  } stored[] = {
      {REG_SZ, std::string("1010", 5)},
      {REG_DWORD, std::string("\0\0\0\0", 4)},
      {REG_DWORD, std::string("\x07\0\0\0", 4)},
      {REG_DWORD, std::string("\xf2\x03\0\0\0\0\0\0", 8)},
      {REG_BINARY, std::string("\xf2\x03\0\0", 4)},
  };
  for (const auto& value : stored) {
    ASSERT_EQ(
        registry_.setValue(HKEY_CURRENT_USER, ProductKeyPath, "optType", value.type, value.data),
        kErrorSuccess);
    EXPECT_EQ(options_.loadOptType(), kOptPassword) << value.type << " " << value.data.size();
  }
  ASSERT_EQ(registry_.writeDword(HKEY_CURRENT_USER, ProductKeyPath, "optType", 1010),
            kErrorSuccess);
  EXPECT_EQ(options_.loadOptType(), kOptKeyFile);
}

TEST_F(OptionsStoreTest, DeletedProductKeyIsCreatedAgainOnSave) {
  options_.loadOptType();
  ASSERT_EQ(registry_.deleteKey(HKEY_CURRENT_USER, "Software\\Brellam"), kErrorSuccess);
  ASSERT_FALSE(registry_.keyExists(HKEY_CURRENT_USER, ProductKeyPath));

  options_.saveOptType(false);
  std::uint32_t value = 0;
  ASSERT_EQ(storedOptType(value), kErrorSuccess);
  EXPECT_EQ(value, 1010u);
}

// Both operations refresh the file types on the way, and run the desktop's
// own association after them.
TEST_F(OptionsStoreTest, LoadAndSaveRegisterTheFileTypes) {
  int desktopRuns = 0;
  const ClassesKey classes = userClassesKey();
  OptionsStore options(registry_, kProgram, [&] {
    EXPECT_EQ(test::defaultText(registry_, classes.root, classes.below(".mk")), "Morva.Key");
    ++desktopRuns;
  });
  options.loadOptType();
  EXPECT_EQ(test::defaultText(registry_, classes.root, classes.below(".tc")), "Talvek");
  EXPECT_EQ(desktopRuns, 1);
  ASSERT_EQ(registry_.deleteKey(classes.root, classes.below(".tc")), kErrorSuccess);
  options.saveOptType(true);
  EXPECT_EQ(test::defaultText(registry_, classes.root, classes.below(".tc")), "Talvek");
  EXPECT_EQ(desktopRuns, 2);
}

}  // namespace
}  // namespace talvek
