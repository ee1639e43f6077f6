#include "platform/charset.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace talvek {
namespace {

std::string converted(const std::string& text, const std::string& from, const std::string& to) {
  std::string out = "unchanged";
  return convertCharset(text, from, to, out) == CharsetConversion::Done ? out : "failed";
}

TEST(CharsetTest, TypedTextBecomesTheBytesOfASingleByteCodePage) {
  EXPECT_EQ(converted("caf\xC3\xA9", "UTF-8", "WINDOWS-1252"), "caf\xE9");
  EXPECT_EQ(converted("\xE2\x82\xAC", "UTF-8", "WINDOWS-1252"), "\x80");
  EXPECT_EQ(converted("caf\xE9 \x80", "WINDOWS-1252", "UTF-8"), "caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(converted("", "UTF-8", "WINDOWS-1252"), "");
  // A set that shifts between states ends back in its first.
  EXPECT_EQ(converted("\xE6\x97\xA5\xE6\x9C\xAC", "UTF-8", "ISO-2022-JP"), "\x1B$BF|K\\\x1B(B");
  EXPECT_EQ(converted(std::string(1000, 'a'), "UTF-8", "UTF-32LE").size(), 4000u);
  // More than four bytes out for each byte in (a shift into JIS X 0208 and
  // back for every Greek letter) grows the result past its first guess.
  std::string greek;
  std::string shifted;
  for (int i = 0; i < 1000; ++i) {
    greek +=
        "\xE1"
        "a";
    shifted += "\x1B$B&A\x1B(Ba";
  }
  EXPECT_EQ(converted(greek, "ISO-8859-7", "ISO-2022-JP"), shifted);
}

TEST(CharsetTest, NothingIsDroppedOrGuessed) {
  std::string out = "kept";
  EXPECT_EQ(convertCharset("\xE6\x97\xA5", "UTF-8", "WINDOWS-1252", out),
            CharsetConversion::NotRepresentable);
  EXPECT_EQ(convertCharset("caf\xE9", "UTF-8", "WINDOWS-1252", out),  // not UTF-8
            CharsetConversion::NotRepresentable);
  EXPECT_EQ(convertCharset("caf\xC3", "UTF-8", "WINDOWS-1252", out),  // cut short
            CharsetConversion::NotRepresentable);
  EXPECT_EQ(convertCharset("ab", "UTF-8", "NO-SUCH-CHARSET", out),
            CharsetConversion::UnknownCharset);
  EXPECT_EQ(out, "kept");
  EXPECT_TRUE(charsetConversionAvailable("UTF-8", "CP1252"));
  EXPECT_FALSE(charsetConversionAvailable("NO-SUCH-CHARSET", "UTF-8"));
}

TEST(CharsetTest, TheLocalesSetComesFromTheEnvironment) {
  const char* old = std::getenv("LC_ALL");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  ::setenv("LC_ALL", "C.UTF-8", 1);
  EXPECT_EQ(localeCharset(), "UTF-8");
  ::setenv("LC_ALL", "C", 1);
  EXPECT_EQ(localeCharset(), "ANSI_X3.4-1968");
  ::setenv("LC_ALL", "xx_NO.SUCH-LOCALE", 1);
  EXPECT_EQ(localeCharset(), "ANSI_X3.4-1968");
  if (saved) {
    ::setenv("LC_ALL", saved->c_str(), 1);
  } else {
    ::unsetenv("LC_ALL");
  }
}

}  // namespace
}  // namespace talvek
