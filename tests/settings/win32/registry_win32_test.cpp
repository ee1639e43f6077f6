// The Windows half of RegistryAccess as the system sees it: where a base
// puts the program's tree, texts and names as UTF-16, and the real roots.
// (With <windows.h> seen, our roots and types go by their k names.)
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/wide_text.h"
#include "registry_test_place.h"
#include "settings/options_store.h"
#include "settings/registry_access.h"
#include "win32/raw_registry.h"
#include "win32/test_base_key.h"

namespace talvek {
namespace {

using test::rawKeyExists;
using test::rawSetValue;
using test::rawValue;
using test::utf16Bytes;

class Win32RegistryTest : public test::RegistryTest {
 protected:
  // The key below HKEY_CURRENT_USER that stands for <root>\<path> here.
  std::string standIn(const std::string& root, const std::string& path) const {
    return place_.location() + "\\" + root + (path.empty() ? "" : "\\" + path);
  }
};

// A whole start and close of the dialog keeps every root's keys in a subkey
// of the base named after the root, and nothing outside it.
TEST_F(Win32RegistryTest, TheBaseHoldsEachRootUnderItsName) {
  OptionsStore options(registry_, "C:\\Program Files\\Talvek\\talvek.exe");
  options.loadOptType();
  options.saveOptType(false);

  EXPECT_TRUE(rawKeyExists(HKEY_CURRENT_USER, standIn("HKEY_LOCAL_MACHINE", ProductKeyPath)));
  const test::RawValue stored =
      rawValue(HKEY_CURRENT_USER, standIn("HKEY_CURRENT_USER", ProductKeyPath), L"optType");
  ASSERT_EQ(stored.result, ERROR_SUCCESS);
  EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(stored.bytes, std::string("\xf2\x03\0\0", 4));
  const test::RawValue extension =
      rawValue(HKEY_CURRENT_USER, standIn("HKEY_CURRENT_USER", "Software\\Classes\\.tc"), L"");
  ASSERT_EQ(extension.result, ERROR_SUCCESS);
  EXPECT_EQ(extension.bytes, utf16Bytes(std::wstring(L"Talvek", 7)));

  // Another base is another tree.
  test::TestRegistryPlace otherPlace;
  RegistryAccess other(otherPlace.location());
  EXPECT_FALSE(other.keyExists(kHkeyCurrentUser, ProductKeyPath));
  EXPECT_FALSE(other.keyExists(kHkeyLocalMachine, CompanyKeyPath));
  std::uint32_t value = 0;
  EXPECT_EQ(other.readDword(kHkeyCurrentUser, ProductKeyPath, "optType", value),
            kErrorFileNotFound);
}

// What the program writes as UTF-8 the registry holds as UTF-16 with its
// NUL, as the W functions keep it; what others wrote there reads as UTF-8.
TEST_F(Win32RegistryTest, TextsAreUtf16InTheRegistry) {
  ASSERT_EQ(registry_.ensureKey(kHkeyClassesRoot, "Talvek"), kErrorSuccess);
  const std::string key = standIn("HKEY_CLASSES_ROOT", "Talvek");
  ASSERT_EQ(registry_.setDefaultString(kHkeyClassesRoot, "Talvek",
                                       "D\xc3\xa9\x63od\xc3\xa9 \xe2\x9c\x93 \xf0\x9f\x94\x91"),
            kErrorSuccess);
  const test::RawValue text = rawValue(HKEY_CURRENT_USER, key, L"");
  ASSERT_EQ(text.result, ERROR_SUCCESS);
  EXPECT_EQ(text.type, static_cast<DWORD>(REG_SZ));
  const std::wstring expected = L"D\u00e9cod\u00e9 \u2713 \U0001F511";
  EXPECT_EQ(text.bytes, utf16Bytes(std::wstring(expected.c_str(), expected.size() + 1)));

  // A text without its NUL gets one, as the system adds it.
  ASSERT_EQ(registry_.setValue(kHkeyClassesRoot, "Talvek", "bare", kRegSz, "no NUL"),
            kErrorSuccess);
  EXPECT_EQ(rawValue(HKEY_CURRENT_USER, key, L"bare").bytes,
            utf16Bytes(std::wstring(L"no NUL", 7)));

  const struct {
    const wchar_t* name;
    DWORD type;
    std::string stored;
    std::string read;
  } others[] = {
      {L"text", REG_SZ, utf16Bytes(std::wstring(L"Cl\u00e9", 4)), std::string("Cl\xc3\xa9", 5)},
      {L"expand", REG_EXPAND_SZ, utf16Bytes(std::wstring(L"%SystemRoot%\\a", 15)),
       std::string("%SystemRoot%\\a", 15)},
      {L"multi", REG_MULTI_SZ, utf16Bytes(std::wstring(L"a\0b\0", 5)), std::string("a\0b\0", 5)},
      {L"odd", REG_SZ, std::string("A\0B", 3), "A"},
      {L"binary", REG_BINARY, std::string("A\0B", 3), std::string("A\0B", 3)},
  };
  for (const auto& value : others) {
    ASSERT_EQ(rawSetValue(HKEY_CURRENT_USER, key, value.name, value.type, value.stored),
              ERROR_SUCCESS);
    RegistryType type = kRegNone;
    std::string data;
    ASSERT_EQ(registry_.queryValue(kHkeyClassesRoot, "Talvek",
                                   utf8FromWide(std::wstring(value.name)), type, data),
              kErrorSuccess);
    EXPECT_EQ(static_cast<DWORD>(type), value.type) << utf8FromWide(std::wstring(value.name));
    EXPECT_EQ(data, value.read) << utf8FromWide(std::wstring(value.name));
  }
}

TEST_F(Win32RegistryTest, KeyAndValueNamesAreUtf16InTheRegistry) {
  // Schlüssel\Ключ, and Zähler.
  const std::string path = "Schl\xc3\xbcssel\\\xd0\x9a\xd0\xbb\xd1\x8e\xd1\x87";
  ASSERT_EQ(registry_.ensureKey(kHkeyCurrentUser, path), kErrorSuccess);
  ASSERT_EQ(registry_.writeDword(kHkeyCurrentUser, path, "Z\xc3\xa4hler", 7), kErrorSuccess);
  EXPECT_EQ(rawValue(HKEY_CURRENT_USER, standIn("HKEY_CURRENT_USER", path), L"Z\u00e4hler").bytes,
            std::string("\x07\0\0\0", 4));
}

// Without a base the roots are the system's own. Reads look at them; the
// writes here stay in a test key of their own.
TEST(Win32RealRootsTest, AreTheSystemsOwn) {
  RegistryAccess real("");
  EXPECT_EQ(real.location(), defaultRegistryLocation());
  EXPECT_TRUE(real.keyExists(kHkeyCurrentUser, "Software"));
  EXPECT_TRUE(real.keyExists(kHkeyLocalMachine, "Software"));
  EXPECT_TRUE(real.keyExists(kHkeyClassesRoot, "CLSID"));
  EXPECT_FALSE(real.keyExists(kHkeyCurrentUser, "CLSID"));
  for (RegistryRoot root : {kHkeyClassesRoot, kHkeyCurrentUser, kHkeyLocalMachine}) {
    EXPECT_EQ(real.deleteKey(root, ""), kErrorAccessDenied) << root;
  }

  test::TestBaseKey base("Software");
  const std::string key = base.path() + "\\Real";
  ASSERT_EQ(real.ensureKey(kHkeyCurrentUser, key), kErrorSuccess);
  ASSERT_EQ(real.setDefaultString(kHkeyCurrentUser, key, "real"), kErrorSuccess);
  const test::RawValue text = rawValue(HKEY_CURRENT_USER, key, L"");
  ASSERT_EQ(text.result, ERROR_SUCCESS);
  EXPECT_EQ(text.bytes, utf16Bytes(std::wstring(L"real", 5)));
  EXPECT_EQ(real.deleteKey(kHkeyCurrentUser, base.path()), kErrorSuccess);
  EXPECT_FALSE(rawKeyExists(HKEY_CURRENT_USER, base.path()));
}

}  // namespace
}  // namespace talvek
