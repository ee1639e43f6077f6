// A typed password's key on Windows is its text in the system's ANSI code
// page, byte for byte what the program has always made of it there; a text
// the page cannot hold is refused rather than turned into question marks.
// Run once under a 1252 and once under a 1251 locale.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>

#include "cli/standard_streams.h"
#include "cli/terminal_window.h"
#include "dialog/encoder_dialog.h"
#include "dialog/resource_ids.h"

namespace talvek {
namespace {

TEST(PasswordCodePageTest, TheKeyIsTheTypedTextInTheAnsiCodePage) {
  struct Case {
    UINT page;
    const char* typed;  // UTF-8, as the console hands it on
    std::optional<std::string> key;
  };
  const Case cases[] = {
      {1252, "p\xC3\xA4ssw\xC3\xB6rd", std::string("\x70\xE4\x73\x73\x77\xF6\x72\x64")},
      {1252, "\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C", std::nullopt},
      {1251, "\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C",
       std::string("\xEF\xE0\xF0\xEE\xEB\xFC")},
      {1251, "p\xC3\xA4ssw\xC3\xB6rd", std::nullopt},
      {1251, "plain ascii", std::string("plain ascii")},
  };
  const UINT page = ::GetACP();
  ASSERT_TRUE(page == 1252 || page == 1251) << "run under a 1252 or a 1251 locale, not " << page;
  int ran = 0;
  for (const Case& c : cases) {
    if (c.page != page) continue;
    ++ran;
    SCOPED_TRACE(c.typed);
    std::ostringstream err;
    TerminalWindow window(err, nullptr, false);
    DialogEnvironment environment;
    environment.passwordCharset = typedPasswordKeyCharset();
    environment.passwordTextCharset = typedPasswordCharset();
    EncoderDialog dialog(window, environment);
    window.checkButton(IDC_USE_PASSWORD);
    window.setControlText(IDC_PASSWORD1, c.typed);
    window.setControlText(IDC_PASSWORD2, c.typed);
    std::string key;
    EXPECT_EQ(dialog.acquireKeyText(key), c.key.has_value());
    if (c.key) {
      EXPECT_EQ(key, *c.key);
      EXPECT_EQ(err.str(), "");
    } else {
      EXPECT_EQ(err.str(), "Warning: <Password #1> cannot be converted to CP" +
                               std::to_string(page) + "!\n");
    }
  }
  EXPECT_GE(ran, 2);
}

}  // namespace
}  // namespace talvek
