// What the application object takes from its command line.
#include <windows.h>

#include <gtest/gtest.h>

#include "winui/encoder_app.h"

namespace talvek::test {
namespace {

TEST(EncoderAppTest, OnlyASingleArgumentIsTheCommandLineFile) {
  const struct {
    std::vector<std::string> arguments;
    const char* file;
  } cases[] = {
      {{"talvek.exe"}, ""},
      // As the C runtime parsed a quoted path: whole, without the quotes.
      {{"C:\\Apps\\talvek.exe", "C:\\My Files\\report.doc.tc"}, "C:\\My Files\\report.doc.tc"},
      // An unquoted path with a space is two arguments: none is taken.
      {{"talvek.exe", "C:\\My", "Files\\report.tc"}, ""},
      {{}, ""},
  };
  for (const auto& entry : cases) {
    const EncoderApp app(::GetModuleHandleW(nullptr), entry.arguments, nullptr, "");
    EXPECT_EQ(app.commandLineFile(), entry.file) << entry.arguments.size();
  }
}

}  // namespace
}  // namespace talvek::test
