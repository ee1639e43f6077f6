// The option and the file types on the registry, as the window's start and
// close leave them: under a test key of their own, each root a subkey.
#include <windows.h>

#include <gtest/gtest.h>

#include "dialog/resource_ids.h"
#include "platform/win32/wide_text.h"
#include "settings/options_store.h"
#include "settings/registry_access.h"
#include "win32/raw_registry.h"
#include "win32/test_base_key.h"
#include "window_fixture.h"
#include "winui/registry_options.h"

namespace talvek::test {
namespace {

constexpr char kProgram[] = "C:\\Apps\\Talvek\\talvek.exe";

class WindowRegistryTest : public WindowTest {
 protected:
  WindowRegistryTest()
      : base_("Software"), registry_(base_.path()), store_(registry_, kProgram), options_(store_) {}

  std::unique_ptr<EncoderWindow> start() {
    return openWindow(DialogEnvironment{&options_, "", ""});
  }
  std::string under(const char* root, const std::string& path) const {
    return base_.path() + "\\" + root + "\\" + path;
  }
  // A default text as the registry holds it.
  std::string defaultText(const std::string& classKey) const {
    const RawValue value = rawValue(
        HKEY_CURRENT_USER, under("HKEY_CURRENT_USER", "Software\\Classes\\" + classKey), L"");
    EXPECT_EQ(value.result, ERROR_SUCCESS) << classKey;
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ)) << classKey;
    std::wstring text(value.bytes.size() / 2, L'\0');
    value.bytes.copy(reinterpret_cast<char*>(text.data()), text.size() * 2);
    if (!text.empty() && text.back() == L'\0') text.pop_back();
    return utf8FromWide(text);
  }
  RawValue storedOption() const {
    return rawValue(HKEY_CURRENT_USER, under("HKEY_CURRENT_USER", ProductKeyPath), L"optType");
  }

  TestBaseKey base_;
  RegistryAccess registry_;
  OptionsStore store_;
  RegistryOptions options_;
};

TEST_F(WindowRegistryTest, TheStartWritesTheKeysAndFileTypesButNoOption) {
  auto window = start();
  EXPECT_TRUE(window->isChecked(IDC_USE_PASSWORD));
  for (const char* root : {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER"}) {
    EXPECT_TRUE(rawKeyExists(HKEY_CURRENT_USER, under(root, CompanyKeyPath))) << root;
    EXPECT_TRUE(rawKeyExists(HKEY_CURRENT_USER, under(root, ProductKeyPath))) << root;
  }
  EXPECT_EQ(storedOption().result, ERROR_FILE_NOT_FOUND);
  const std::pair<const char*, std::string> rows[] = {
      {"Talvek", "Talvek Encoded File"},
      {"Talvek\\shell\\open", "&Decode with Talvek"},
      {"Talvek\\shell\\open\\command", std::string("\"") + kProgram + "\" \"%1\""},
      {"Talvek\\DefaultIcon", std::string(kProgram) + ",1"},
      {".tc", "Talvek"},
      {"Morva.Key", "Key File"},
      {"Morva.Key\\shell\\open", "&Open with Notepad"},
      {"Morva.Key\\DefaultIcon", std::string(kProgram) + ",2"},
      {".mk", "Morva.Key"},
  };
  for (const auto& [key, text] : rows) EXPECT_EQ(defaultText(key), text) << key;
  const std::string notepad = defaultText("Morva.Key\\shell\\open\\command");
  EXPECT_EQ(notepad.front(), '"');
  EXPECT_NE(notepad.find("\\notepad.exe\" \"%1\""), std::string::npos) << notepad;
}

TEST_F(WindowRegistryTest, EscStoresTheCheckedOptionForTheNextStart) {
  {
    auto window = start();
    ::SendMessageW(item(*window, IDC_USE_KEY_FILE), BM_CLICK, 0, 0);
    press(*window, item(*window, IDC_SOURCE), VK_ESCAPE);
    ASSERT_TRUE(window->ended());
  }
  const RawValue stored = storedOption();
  ASSERT_EQ(stored.result, ERROR_SUCCESS);
  EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(stored.bytes, std::string("\xF2\x03\x00\x00", 4));  // 1010
  {
    auto window = start();
    EXPECT_TRUE(window->isChecked(IDC_USE_KEY_FILE));
    EXPECT_FALSE(window->isChecked(IDC_USE_PASSWORD));
    press(*window, item(*window, IDC_PASSWORD1), VK_RETURN);
    ASSERT_TRUE(window->ended());
  }
  EXPECT_EQ(storedOption().bytes, std::string("\xF2\x03\x00\x00", 4));
}

}  // namespace
}  // namespace talvek::test
