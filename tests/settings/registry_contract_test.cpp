// What every RegistryAccess promises, on the SQLite store and on the Windows
// registry alike: the operations, their results, and the key and value
// rules the options and the file types rely on.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "registry_test_place.h"
#include "settings/registry_access.h"

namespace talvek {
namespace {

using test::defaultText;

class RegistryContractTest : public test::RegistryTest {};

// Under HKEY_CURRENT_USER\K: the default text "kept", the number n = 5, and
// values that are no number a dword read takes.
class PreparedKeyTest : public RegistryContractTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, "K"), kErrorSuccess);
    ASSERT_EQ(registry_.setDefaultString(HKEY_CURRENT_USER, "K", "kept"), kErrorSuccess);
    ASSERT_EQ(registry_.writeDword(HKEY_CURRENT_USER, "K", "n", 5), kErrorSuccess);
    ASSERT_EQ(registry_.setValue(HKEY_CURRENT_USER, "K", "text", REG_SZ, std::string("1010", 5)),
              kErrorSuccess);
    ASSERT_EQ(registry_.setValue(HKEY_CURRENT_USER, "K", "long", REG_DWORD,
                                 std::string("\xf2\x03\0\0\0\0\0\0", 8)),
              kErrorSuccess);
    ASSERT_EQ(registry_.setValue(HKEY_CURRENT_USER, "K", "binary", REG_BINARY,
                                 std::string("\xf2\x03\0\0", 4)),
              kErrorSuccess);
  }
};

// Every way an operation fails, and the result it gives; none of them
// creates or changes anything.
TEST_F(PreparedKeyTest, FailuresGiveTheirResultAndChangeNothing) {
  using Call = std::function<RegResult(RegistryAccess&)>;
  std::uint32_t untouched = 77;
  RegistryType type = REG_NONE;
  std::string data;
  const auto readDword = [&](RegistryRoot root, const char* path, const char* name) -> Call {
    return [&, root, path, name](RegistryAccess& r) {
      return r.readDword(root, path, name, untouched);
    };
  };
  const struct {
    const char* what;
    Call call;
    RegResult expected;
  } cases[] = {
      {"dword of a missing key", readDword(HKEY_CURRENT_USER, "K\\Missing", "n"),
       kErrorFileNotFound},
      {"dword of a missing value", readDword(HKEY_CURRENT_USER, "K", "missing"),
       kErrorFileNotFound},
      {"dword stored as text", readDword(HKEY_CURRENT_USER, "K", "text"), kErrorUnsupportedType},
      {"dword stored as binary", readDword(HKEY_CURRENT_USER, "K", "binary"),
       kErrorUnsupportedType},
      {"dword of 8 bytes", readDword(HKEY_CURRENT_USER, "K", "long"), kErrorMoreData},
      {"dword of the default text", readDword(HKEY_CURRENT_USER, "K", ""), kErrorUnsupportedType},
      {"the same key under another root", readDword(HKEY_LOCAL_MACHINE, "K", "n"),
       kErrorFileNotFound},
      {"query of a missing value",
       [&](RegistryAccess& r) { return r.queryValue(HKEY_CURRENT_USER, "K", "x", type, data); },
       kErrorFileNotFound},
      {"query of a missing key",
       [&](RegistryAccess& r) { return r.queryValue(HKEY_CLASSES_ROOT, "K", "", type, data); },
       kErrorFileNotFound},
      {"default text of a missing key",
       [](RegistryAccess& r) { return r.setDefaultString(HKEY_CURRENT_USER, "K\\New", "t"); },
       kErrorFileNotFound},
      {"dword of a missing key and parent",
       [](RegistryAccess& r) { return r.writeDword(HKEY_CURRENT_USER, "K\\New\\Deeper", "n", 1); },
       kErrorFileNotFound},
      {"dword under another root",
       [](RegistryAccess& r) { return r.writeDword(HKEY_LOCAL_MACHINE, "K", "n", 1); },
       kErrorFileNotFound},
      {"value of a missing key",
       [](RegistryAccess& r) { return r.setValue(HKEY_CURRENT_USER, "K\\New", "v", REG_SZ, "a"); },
       kErrorFileNotFound},
      {"delete of a missing key",
       [](RegistryAccess& r) { return r.deleteKey(HKEY_CURRENT_USER, "K\\New"); },
       kErrorFileNotFound},
      {"delete of a root", [](RegistryAccess& r) { return r.deleteKey(HKEY_CURRENT_USER, ""); },
       kErrorAccessDenied},
      {"delete of another root",
       [](RegistryAccess& r) { return r.deleteKey(HKEY_CLASSES_ROOT, ""); }, kErrorAccessDenied},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.call(registry_), c.expected) << c.what;
  }
  EXPECT_EQ(untouched, 77u);
  EXPECT_FALSE(registry_.keyExists(HKEY_CURRENT_USER, "K\\New"));
  EXPECT_FALSE(registry_.keyExists(HKEY_CURRENT_USER, "K\\New\\Deeper"));
  EXPECT_FALSE(registry_.keyExists(HKEY_CURRENT_USER, "K\\Missing"));
  EXPECT_FALSE(registry_.keyExists(HKEY_LOCAL_MACHINE, "K"));
  EXPECT_FALSE(registry_.keyExists(HKEY_CLASSES_ROOT, "K"));
  EXPECT_EQ(defaultText(registry_, HKEY_CURRENT_USER, "K"), "kept");
  std::uint32_t n = 0;
  EXPECT_EQ(registry_.readDword(HKEY_CURRENT_USER, "K", "n", n), kErrorSuccess);
  EXPECT_EQ(n, 5u);
}

TEST_F(PreparedKeyTest, PathsWithAnEmptyLevelAreRefusedByEveryOperation) {
  std::uint32_t value = 0;
  RegistryType type = REG_NONE;
  std::string data;
  for (const char* path : {"\\K", "K\\", "K\\\\Sub", "\\"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, path), kErrorBadPathname);
    EXPECT_EQ(registry_.setDefaultString(HKEY_CURRENT_USER, path, "t"), kErrorBadPathname);
    EXPECT_EQ(registry_.readDword(HKEY_CURRENT_USER, path, "n", value), kErrorBadPathname);
    EXPECT_EQ(registry_.writeDword(HKEY_CURRENT_USER, path, "n", 1), kErrorBadPathname);
    EXPECT_EQ(registry_.setValue(HKEY_CURRENT_USER, path, "n", REG_SZ, "a"), kErrorBadPathname);
    EXPECT_EQ(registry_.queryValue(HKEY_CURRENT_USER, path, "n", type, data), kErrorBadPathname);
    EXPECT_EQ(registry_.deleteKey(HKEY_CURRENT_USER, path), kErrorBadPathname);
    EXPECT_FALSE(registry_.keyExists(HKEY_CURRENT_USER, path));
  }
  EXPECT_FALSE(registry_.keyExists(HKEY_CURRENT_USER, "K\\Sub"));
  EXPECT_EQ(registry_.readDword(HKEY_CURRENT_USER, "K", "n", value), kErrorSuccess);
}

TEST_F(RegistryContractTest, TheRootIsThereWithoutBeingCreated) {
  for (RegistryRoot root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    EXPECT_TRUE(registry_.keyExists(root, "")) << root;
    EXPECT_EQ(registry_.ensureKey(root, ""), kErrorSuccess) << root;
  }
}

TEST_F(RegistryContractTest, ReadsCreateNothing) {
  std::uint32_t value = 77;
  EXPECT_EQ(registry_.readDword(HKEY_CURRENT_USER, "Software", "x", value), kErrorFileNotFound);
  EXPECT_FALSE(registry_.keyExists(HKEY_CURRENT_USER, "Software"));
  EXPECT_EQ(value, 77u);
}

TEST_F(RegistryContractTest, EnsureKeyCreatesParentsAndKeepsWhatExists) {
  ASSERT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, "A\\B\\C"), kErrorSuccess);
  EXPECT_TRUE(registry_.keyExists(HKEY_CURRENT_USER, "A"));
  EXPECT_TRUE(registry_.keyExists(HKEY_CURRENT_USER, "A\\B"));
  ASSERT_EQ(registry_.writeDword(HKEY_CURRENT_USER, "A\\B", "n", 5), kErrorSuccess);
  ASSERT_EQ(registry_.setDefaultString(HKEY_CURRENT_USER, "A\\B", "kept"), kErrorSuccess);

  ASSERT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, "a\\b"), kErrorSuccess);
  std::uint32_t n = 0;
  EXPECT_EQ(registry_.readDword(HKEY_CURRENT_USER, "A\\B", "n", n), kErrorSuccess);
  EXPECT_EQ(n, 5u);
  RegistryType type = REG_NONE;
  std::string data;
  EXPECT_EQ(registry_.queryValue(HKEY_CURRENT_USER, "A\\B", "", type, data), kErrorSuccess);
  EXPECT_EQ(data, std::string("kept", 5));
  EXPECT_TRUE(registry_.keyExists(HKEY_CURRENT_USER, "A\\B\\C"));
}

TEST_F(RegistryContractTest, KeysAndValueNamesIgnoreAsciiCase) {
  ASSERT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, "Software\\Brellam\\Talvek"), kErrorSuccess);
  ASSERT_EQ(registry_.writeDword(HKEY_CURRENT_USER, "SOFTWARE\\brellam\\TALVEK", "OptType", 1010),
            kErrorSuccess);
  std::uint32_t value = 0;
  EXPECT_EQ(registry_.readDword(HKEY_CURRENT_USER, "software\\BRELLAM\\talvek", "optTYPE", value),
            kErrorSuccess);
  EXPECT_EQ(value, 1010u);
  // Writing under another spelling replaces the one value.
  ASSERT_EQ(registry_.writeDword(HKEY_CURRENT_USER, "software\\brellam\\talvek", "OPTTYPE", 1009),
            kErrorSuccess);
  EXPECT_EQ(registry_.readDword(HKEY_CURRENT_USER, "Software\\Brellam\\Talvek", "optType", value),
            kErrorSuccess);
  EXPECT_EQ(value, 1009u);
  EXPECT_TRUE(registry_.keyExists(HKEY_CURRENT_USER, "SOFTWARE\\BRELLAM"));
}

TEST_F(RegistryContractTest, DwordIsFourLittleEndianBytesAndShortDataStartsAtZero) {
  ASSERT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, "K"), kErrorSuccess);
  ASSERT_EQ(registry_.writeDword(HKEY_CURRENT_USER, "K", "n", 0x01020304u), kErrorSuccess);
  RegistryType type = REG_NONE;
  std::string data;
  ASSERT_EQ(registry_.queryValue(HKEY_CURRENT_USER, "K", "n", type, data), kErrorSuccess);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(data, std::string("\x04\x03\x02\x01", 4));
  std::uint32_t value = 0;
  EXPECT_EQ(registry_.readDword(HKEY_CURRENT_USER, "K", "n", value), kErrorSuccess);
  EXPECT_EQ(value, 0x01020304u);

  // Fewer bytes land in a buffer that starts as 0.
  ASSERT_EQ(registry_.setValue(HKEY_CURRENT_USER, "K", "short", REG_DWORD, "\xf2\x03"),
            kErrorSuccess);
  EXPECT_EQ(registry_.readDword(HKEY_CURRENT_USER, "K", "short", value), kErrorSuccess);
  EXPECT_EQ(value, 1010u);
}

// Each type's data comes back as it went in: texts as the program's UTF-8
// with their NUL, and everything else byte for byte.
TEST_F(RegistryContractTest, ValuesComeBackAsTheyWentIn) {
  ASSERT_EQ(registry_.ensureKey(HKEY_CLASSES_ROOT, "Talvek\\shell\\open"), kErrorSuccess);
  const struct {
    const char* name;
    RegistryType type;
    std::string data;
  } values[] = {
      {"text", REG_SZ, std::string("&Decode with Talvek \"quoted\" %1") + '\0'},
      {"utf8", REG_SZ, std::string("D\xc3\xa9\x63od\xc3\xa9 \xe2\x9c\x93 \xf0\x9f\x94\x91", 18)},
      {"empty text", REG_SZ, std::string(1, '\0')},
      {"binary", REG_BINARY, std::string("\0\xff\x1a\r\n\0", 6)},
      {"nothing", REG_BINARY, ""},
      {"none", REG_NONE, std::string("\x01\0", 2)},
      {"dword", REG_DWORD, std::string("\xf1\x03\0\0", 4)},
  };
  for (const auto& value : values) {
    ASSERT_EQ(registry_.setValue(HKEY_CLASSES_ROOT, "Talvek\\shell\\open", value.name, value.type,
                                 value.data),
              kErrorSuccess)
        << value.name;
  }
  for (const auto& value : values) {
    RegistryType type = REG_NONE;
    std::string data = "junk";
    ASSERT_EQ(registry_.queryValue(HKEY_CLASSES_ROOT, "Talvek\\shell\\open", value.name, type, data),
              kErrorSuccess)
        << value.name;
    EXPECT_EQ(type, value.type) << value.name;
    EXPECT_EQ(data, value.data) << value.name;
  }
}

TEST_F(RegistryContractTest, DefaultStringKeepsItsCharactersAndOneNul) {
  ASSERT_EQ(registry_.ensureKey(HKEY_CLASSES_ROOT, "Talvek\\shell\\open"), kErrorSuccess);
  const std::string text = "&Decode with Talvek \xc3\xa4\xc3\xb6 \"quoted\" %1";
  ASSERT_EQ(registry_.setDefaultString(HKEY_CLASSES_ROOT, "Talvek\\shell\\open", text),
            kErrorSuccess);
  RegistryType type = REG_NONE;
  std::string data;
  ASSERT_EQ(registry_.queryValue(HKEY_CLASSES_ROOT, "Talvek\\shell\\open", "", type, data),
            kErrorSuccess);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(data, text + '\0');
  // A C string ends at its first NUL.
  ASSERT_EQ(registry_.setDefaultString(HKEY_CLASSES_ROOT, "Talvek\\shell\\open",
                                       std::string("ab\0cd", 5)),
            kErrorSuccess);
  ASSERT_EQ(registry_.queryValue(HKEY_CLASSES_ROOT, "Talvek\\shell\\open", "", type, data),
            kErrorSuccess);
  EXPECT_EQ(data, std::string("ab\0", 3));
  // The default value and a value named "" are one.
  EXPECT_EQ(defaultText(registry_, HKEY_CLASSES_ROOT, "talvek\\SHELL\\open"), "ab");
}

TEST_F(RegistryContractTest, DeleteKeyTakesTheTreeButNotNamesakes) {
  ASSERT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, "S\\Talvek\\Sub\\Deeper"), kErrorSuccess);
  ASSERT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, "S\\Talvek2"), kErrorSuccess);
  ASSERT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, "S\\Talvek]"), kErrorSuccess);
  ASSERT_EQ(registry_.ensureKey(HKEY_LOCAL_MACHINE, "S\\Talvek"), kErrorSuccess);
  ASSERT_EQ(registry_.writeDword(HKEY_CURRENT_USER, "S\\Talvek", "n", 0), kErrorSuccess);
  ASSERT_EQ(registry_.writeDword(HKEY_CURRENT_USER, "S\\Talvek\\Sub", "n", 1), kErrorSuccess);
  ASSERT_EQ(registry_.setDefaultString(HKEY_CURRENT_USER, "S\\Talvek\\Sub\\Deeper", "d"),
            kErrorSuccess);
  ASSERT_EQ(registry_.writeDword(HKEY_CURRENT_USER, "S\\Talvek2", "n", 2), kErrorSuccess);

  EXPECT_EQ(registry_.deleteKey(HKEY_CURRENT_USER, "s\\talvek"), kErrorSuccess);
  EXPECT_FALSE(registry_.keyExists(HKEY_CURRENT_USER, "S\\Talvek"));
  EXPECT_FALSE(registry_.keyExists(HKEY_CURRENT_USER, "S\\Talvek\\Sub"));
  EXPECT_FALSE(registry_.keyExists(HKEY_CURRENT_USER, "S\\Talvek\\Sub\\Deeper"));
  EXPECT_TRUE(registry_.keyExists(HKEY_CURRENT_USER, "S"));
  EXPECT_TRUE(registry_.keyExists(HKEY_CURRENT_USER, "S\\Talvek2"));
  EXPECT_TRUE(registry_.keyExists(HKEY_CURRENT_USER, "S\\Talvek]"));
  EXPECT_TRUE(registry_.keyExists(HKEY_LOCAL_MACHINE, "S\\Talvek"));
  std::uint32_t value = 0;
  EXPECT_EQ(registry_.readDword(HKEY_CURRENT_USER, "S\\Talvek2", "n", value), kErrorSuccess);
  EXPECT_EQ(value, 2u);
  // A re-created key starts empty.
  ASSERT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, "S\\Talvek\\Sub"), kErrorSuccess);
  EXPECT_EQ(registry_.readDword(HKEY_CURRENT_USER, "S\\Talvek\\Sub", "n", value),
            kErrorFileNotFound);
  EXPECT_EQ(registry_.readDword(HKEY_CURRENT_USER, "S\\Talvek", "n", value), kErrorFileNotFound);
  EXPECT_FALSE(registry_.keyExists(HKEY_CURRENT_USER, "S\\Talvek\\Sub\\Deeper"));
}

// Nothing is held between calls: another instance sees every write at once.
TEST_F(RegistryContractTest, AnotherInstanceSeesTheWrites) {
  RegistryAccess other(place_.location());
  ASSERT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, "K"), kErrorSuccess);
  ASSERT_EQ(registry_.writeDword(HKEY_CURRENT_USER, "K", "n", 42), kErrorSuccess);
  std::uint32_t value = 0;
  EXPECT_EQ(other.readDword(HKEY_CURRENT_USER, "k", "N", value), kErrorSuccess);
  EXPECT_EQ(value, 42u);
  ASSERT_EQ(other.deleteKey(HKEY_CURRENT_USER, "K"), kErrorSuccess);
  EXPECT_FALSE(registry_.keyExists(HKEY_CURRENT_USER, "K"));
}

}  // namespace
}  // namespace talvek
