#include "job/text_utils.h"

#include <gtest/gtest.h>

namespace talvek {
namespace {

TEST(TextUtils, TrimsTheFiveWhitespaceCharactersOnly) {
  EXPECT_EQ(trimmedCopy(" \tname\r\n"), "name");
  EXPECT_EQ(trimmedCopy("\fa b\f"), "a b");
  EXPECT_EQ(trimmedCopy(" \t\r\f\n"), "");
  EXPECT_EQ(trimmedCopy(""), "");
  EXPECT_EQ(trimmedCopy("\vname"), "\vname");
  EXPECT_EQ(trimmedCopy("x"), "x");
  std::string text = "  inner  space  ";
  trimWhitespace(text);
  EXPECT_EQ(text, "inner  space");
}

TEST(TextUtils, LowerCasesAsciiLettersOnly) {
  EXPECT_EQ(toLowerCopy("C:\\Data\\FILE.TC"), "c:\\data\\file.tc");
  EXPECT_EQ(toLowerCopy("\xC4\xD6\x80\xFF@[`{"), "\xC4\xD6\x80\xFF@[`{");
  std::string text = "MiXeD";
  toLowerInPlace(text);
  EXPECT_EQ(text, "mixed");
}

TEST(TextUtils, FileNamePartTakesTheTextAfterEitherSeparator) {
  EXPECT_EQ(fileNamePart("C:\\dir/sub\\name.ext "), "name.ext");
  EXPECT_EQ(fileNamePart("dir\\"), "");
  EXPECT_EQ(fileNamePart("dir/"), "");
  EXPECT_EQ(fileNamePart("name"), "name");
  EXPECT_EQ(fileNamePart("/home/user/ report.txt"), "report.txt");
}

TEST(TextUtils, FileExtensionLooksOnlyAtTheFileName) {
  EXPECT_EQ(fileExtension("archive.tar.gz"), "gz");
  EXPECT_EQ(fileExtension("C:\\my.dir\\readme"), "");
  EXPECT_EQ(fileExtension("/my.dir/readme"), "");
  EXPECT_EQ(fileExtension("name."), "");
  EXPECT_EQ(fileExtension(".profile"), "profile");
  EXPECT_EQ(fileExtension("FILE.TC"), "TC");
  EXPECT_EQ(fileExtension("file.tc \n"), "tc");
}

}  // namespace
}  // namespace talvek
